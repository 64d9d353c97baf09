// VARIANT-like value of the automation calls.
#include "report/Variant.h"

#include "report/Dispatch.h"

#include <cmath>
#include <utility>

const QString Variant::s_strEmpty;

void Variant::SetOther(qint32 nValue, VarType vt)
{
    switch (vt)
    {
    case VT_I2:
        m_iVal = qint16(nValue);
        break;
    case VT_BOOL:
        m_bVal = nValue != 0;
        break;
    case VT_ERROR:
        m_scode = SCode(nValue);
        break;
    default:
        m_vt = VT_I4;
        m_lVal = nValue;
        break;
    }
}

void Variant::CopyHeld(const Variant& other)
{
    if (m_vt == VT_BSTR)
        new (&m_strVal) QString(other.String());
    else
    {
        m_qwRaw = other.m_qwRaw;
        AddRefObject();
    }
}

Variant& Variant::operator=(const Variant& other)
{
    if (this != &other)
    {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant& Variant::MoveAssignSlow(Variant&& other) noexcept
{
    if (this == &other)
        return *this;
    Clear();
    m_vt = other.m_vt;
    if (other.m_bBorrowed)
        CopyHeld(other); // a borrowed value stays with its call: this one owns
    else
        TakeFrom(other);
    return *this;
}

void Variant::AddRefObject()
{
    if (m_pdisp != nullptr)
        m_pdisp->AddRef();
}

void Variant::ReleaseHeld()
{
    if (m_vt == VT_BSTR)
        m_strVal.~QString();
    else if (m_vt == VT_DISPATCH && m_pdisp != nullptr)
        m_pdisp->Release();
}

bool Variant::ToDouble(double& dValue) const
{
    switch (m_vt)
    {
    case VT_I2:
        dValue = m_iVal;
        return true;
    case VT_I4:
        dValue = m_lVal;
        return true;
    case VT_R8:
        dValue = m_dblVal;
        return std::isfinite(m_dblVal);
    case VT_BOOL:
        dValue = m_bVal ? -1.0 : 0.0;
        return true;
    default:
        return false;
    }
}

bool Variant::OtherToInt(qint32& nValue) const
{
    double dValue = 0.0;
    if (!ToDouble(dValue) || dValue != std::floor(dValue) || dValue < -2147483648.0 || dValue > 2147483647.0)
        return false;
    nValue = qint32(dValue);
    return true;
}

bool Variant::ToBool(bool& bValue) const
{
    double dValue = 0.0;
    if (!ToDouble(dValue))
        return false;
    bValue = dValue != 0.0;
    return true;
}
