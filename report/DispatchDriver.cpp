// Client side of the automation objects: references and typed calls.
#include "report/DispatchDriver.h"

#include <utility>

DispatchDriver::DispatchDriver(const DispatchDriver& other) : m_lpDispatch(other.m_lpDispatch), m_bAutoRelease(true)
{
    if (m_lpDispatch != nullptr)
        m_lpDispatch->AddRef();
}

DispatchDriver& DispatchDriver::operator=(const DispatchDriver& other)
{
    if (m_lpDispatch != other.m_lpDispatch)
    {
        Dispatch* pNew = other.m_lpDispatch;
        if (pNew != nullptr)
            pNew->AddRef();
        ReleaseDispatch();
        m_lpDispatch = pNew;
    }
    else if (m_lpDispatch != nullptr && !m_bAutoRelease)
    {
        m_lpDispatch->AddRef(); // same object, but now we hold our own reference
    }
    m_bAutoRelease = true;
    return *this;
}

bool DispatchDriver::CreateDispatch(const QString& strProgId)
{
    ReleaseDispatch();
    Dispatch* pDispatch = CreateDispatchObject(strProgId);
    if (pDispatch == nullptr)
        return false;
    AttachDispatch(pDispatch, true);
    return true;
}

void DispatchDriver::AttachSame(bool bAutoRelease)
{
    // The same object again: the reference handed over is one too many.
    if (bAutoRelease && m_bAutoRelease)
        m_lpDispatch->Release();
    else if (bAutoRelease)
        m_bAutoRelease = true;
}

void DispatchDriver::ClearResult(VarType vtRet, void* pvRet)
{
    if (pvRet == nullptr)
        return;
    switch (vtRet)
    {
    case VT_DISPATCH:
        *static_cast<Dispatch**>(pvRet) = nullptr;
        break;
    case VT_VARIANT:
        static_cast<Variant*>(pvRet)->Clear();
        break;
    case VT_I4:
        *static_cast<qint32*>(pvRet) = 0;
        break;
    case VT_BOOL:
        *static_cast<bool*>(pvRet) = false;
        break;
    case VT_BSTR:
        static_cast<QString*>(pvRet)->clear();
        break;
    default:
        break;
    }
}

void DispatchDriver::ThrowOle(SCode sc)
{
    throw OleException(sc);
}

void DispatchDriver::ThrowFailure(SCode sc) const
{
    ExcepInfo excepInfo = std::exchange(m_excepInfo, ExcepInfo());
    if (sc == DISP_E_EXCEPTION)
        throw OleDispatchException(excepInfo.wCode, excepInfo.strDescription, excepInfo.scode);
    throw OleException(sc);
}

void DispatchDriver::InvokeArgs(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const Variant* pArgs,
                                int nArgs) const
{
    // Nothing wanted, or a VARIANT: the server writes straight into the
    // caller's value, and nothing is converted after the call.
    if (vtRet == VT_VARIANT && pvRet != nullptr)
    {
        auto* pResult = static_cast<Variant*>(pvRet);
        pResult->Clear();
        const SCode sc = m_lpDispatch->Invoke(dispid, wFlags, pArgs, nArgs, pResult, &m_excepInfo);
        if (Q_UNLIKELY(Failed(sc)))
        {
            pResult->Clear();
            ThrowFailure(sc);
        }
        return;
    }
    if (vtRet == VT_EMPTY)
    {
        const SCode sc = m_lpDispatch->Invoke(dispid, wFlags, pArgs, nArgs, nullptr, &m_excepInfo);
        if (Q_UNLIKELY(Failed(sc)))
            ThrowFailure(sc);
        return;
    }
    InvokeConverted(dispid, wFlags, vtRet, pvRet, pArgs, nArgs);
}

void DispatchDriver::InvokeConverted(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const Variant* pArgs,
                                     int nArgs) const
{
    ClearResult(vtRet, pvRet);
    Variant result;
    const SCode sc = m_lpDispatch->Invoke(dispid, wFlags, pArgs, nArgs, &result, &m_excepInfo);
    if (Failed(sc))
        ThrowFailure(sc);
    if (pvRet == nullptr)
        return;

    switch (vtRet)
    {
    case VT_DISPATCH:
        if (result.Type() != VT_DISPATCH && !result.IsEmpty())
            ThrowOle(DISP_E_TYPEMISMATCH);
        *static_cast<Dispatch**>(pvRet) = result.DetachDispatch();
        break;
    case VT_I4:
        if (!result.ToInt(*static_cast<qint32*>(pvRet)))
            ThrowOle(DISP_E_TYPEMISMATCH);
        break;
    case VT_BOOL:
        if (!result.ToBool(*static_cast<bool*>(pvRet)))
            ThrowOle(DISP_E_TYPEMISMATCH);
        break;
    case VT_BSTR:
        if (result.Type() != VT_BSTR && !result.IsEmpty())
            ThrowOle(DISP_E_TYPEMISMATCH);
        *static_cast<QString*>(pvRet) = result.TakeString();
        break;
    case VT_VARIANT:
        break; // no place for it
    default:
        ThrowOle(DISP_E_BADVARTYPE);
    }
}

Variant DispatchDriver::OtherArgument(char chType, qint32 nValue)
{
    switch (VarType(chType))
    {
    case VT_I2:
        if (nValue < -32768 || nValue > 32767)
            ThrowOle(DISP_E_TYPEMISMATCH);
        return Variant(nValue, VT_I2);
    case VT_BOOL:
        return Variant(nValue != 0);
    case VT_R8:
        return Variant(double(nValue));
    default:
        ThrowOle(DISP_E_TYPEMISMATCH);
    }
}
