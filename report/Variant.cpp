// VARIANT-like value of the automation calls.
#include "report/Variant.h"

#include "report/Dispatch.h"

#include <cmath>
#include <utility>

Variant::Variant(qint32 nValue, VarType vt) : m_vt(vt)
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

Variant::Variant(bool bValue) : m_vt(VT_BOOL)
{
    m_bVal = bValue;
}

Variant::Variant(double dValue) : m_vt(VT_R8)
{
    m_dblVal = dValue;
}

Variant::Variant(const QString& strValue) : m_vt(VT_BSTR), m_strVal(strValue)
{
}

Variant::Variant(Dispatch* pDispatch, bool bAddRef)
{
    if (pDispatch == nullptr)
        return;
    m_vt = VT_DISPATCH;
    m_pdisp = pDispatch;
    if (bAddRef)
        pDispatch->AddRef();
}

Variant::Variant(const Variant& other) : m_vt(other.m_vt), m_strVal(other.m_strVal)
{
    m_qwRaw = other.m_qwRaw;
    if (m_vt == VT_DISPATCH && m_pdisp != nullptr)
        m_pdisp->AddRef();
}

Variant::Variant(Variant&& other) noexcept : m_vt(other.m_vt), m_strVal(std::move(other.m_strVal))
{
    m_qwRaw = other.m_qwRaw;
    other.m_vt = VT_EMPTY;
    other.m_qwRaw = 0;
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

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other)
    {
        Clear();
        m_vt = other.m_vt;
        m_qwRaw = other.m_qwRaw;
        m_strVal = std::move(other.m_strVal);
        other.m_vt = VT_EMPTY;
        other.m_qwRaw = 0;
    }
    return *this;
}

void Variant::ReleaseObject()
{
    if (m_pdisp != nullptr)
        m_pdisp->Release();
    m_pdisp = nullptr;
}

Dispatch* Variant::DetachDispatch()
{
    if (m_vt != VT_DISPATCH)
        return nullptr;
    Dispatch* p = m_pdisp;
    m_qwRaw = 0;
    m_vt = VT_EMPTY;
    return p;
}

void Variant::Clear()
{
    if (m_vt == VT_DISPATCH)
        ReleaseObject();
    else if (m_vt == VT_BSTR)
        m_strVal.clear();
    m_vt = VT_EMPTY;
    m_qwRaw = 0;
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
