// Client side of the automation objects: references and typed calls.
#include "report/DispatchDriver.h"

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

void DispatchDriver::AttachDispatch(Dispatch* pDispatch, bool bAutoRelease)
{
    if (pDispatch == m_lpDispatch && pDispatch != nullptr)
    {
        // The same object again: the reference handed over is one too many.
        if (bAutoRelease && m_bAutoRelease)
            pDispatch->Release();
        else if (bAutoRelease)
            m_bAutoRelease = true;
        return;
    }
    ReleaseDispatch();
    m_lpDispatch = pDispatch;
    m_bAutoRelease = bAutoRelease;
}

Dispatch* DispatchDriver::DetachDispatch()
{
    Dispatch* pDispatch = m_lpDispatch;
    m_lpDispatch = nullptr;
    return pDispatch;
}

void DispatchDriver::ReleaseDispatch()
{
    Dispatch* pDispatch = m_lpDispatch;
    m_lpDispatch = nullptr;
    if (pDispatch != nullptr && m_bAutoRelease)
        pDispatch->Release();
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

void DispatchDriver::InvokeArgs(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const Variant* pArgs,
                                int nArgs) const
{
    ClearResult(vtRet, pvRet);
    Variant result;
    ExcepInfo excepInfo;
    // A VARIANT result goes straight to the caller's value.
    Variant* pResult = vtRet == VT_EMPTY                         ? nullptr
                       : vtRet == VT_VARIANT && pvRet != nullptr ? static_cast<Variant*>(pvRet)
                                                                 : &result;
    const SCode sc = m_lpDispatch->Invoke(dispid, wFlags, pArgs, nArgs, pResult, &excepInfo);
    if (Failed(sc) && pResult != nullptr)
        pResult->Clear();
    if (sc == DISP_E_EXCEPTION)
        throw OleDispatchException(excepInfo.wCode, excepInfo.strDescription, excepInfo.scode);
    if (Failed(sc))
        throw OleException(sc);
    if (pvRet == nullptr || vtRet == VT_EMPTY)
        return;

    switch (vtRet)
    {
    case VT_DISPATCH:
        if (result.Type() != VT_DISPATCH && !result.IsEmpty())
            throw OleException(DISP_E_TYPEMISMATCH);
        *static_cast<Dispatch**>(pvRet) = result.DetachDispatch();
        break;
    case VT_VARIANT:
        break; // already there
    case VT_I4:
        if (!result.ToInt(*static_cast<qint32*>(pvRet)))
            throw OleException(DISP_E_TYPEMISMATCH);
        break;
    case VT_BOOL:
        if (!result.ToBool(*static_cast<bool*>(pvRet)))
            throw OleException(DISP_E_TYPEMISMATCH);
        break;
    case VT_BSTR:
        if (result.Type() != VT_BSTR && !result.IsEmpty())
            throw OleException(DISP_E_TYPEMISMATCH);
        *static_cast<QString*>(pvRet) = result.String();
        break;
    default:
        throw OleException(DISP_E_BADVARTYPE);
    }
}

Variant DispatchDriver::MakeArgument(char chType, const Variant& value)
{
    if (VarType(chType) == VT_VARIANT || VarType(chType) == value.Type())
        return value;
    throw OleException(DISP_E_TYPEMISMATCH);
}

Variant DispatchDriver::MakeArgument(char chType, const QString& strValue)
{
    if (VarType(chType) == VT_BSTR || VarType(chType) == VT_VARIANT)
        return Variant(strValue);
    throw OleException(DISP_E_TYPEMISMATCH);
}

Variant DispatchDriver::MakeArgument(char chType, qint32 nValue)
{
    switch (VarType(chType))
    {
    case VT_I4:
    case VT_VARIANT:
        return Variant(nValue, VT_I4);
    case VT_I2:
        if (nValue < -32768 || nValue > 32767)
            throw OleException(DISP_E_TYPEMISMATCH);
        return Variant(nValue, VT_I2);
    case VT_BOOL:
        return Variant(nValue != 0);
    case VT_R8:
        return Variant(double(nValue));
    default:
        throw OleException(DISP_E_TYPEMISMATCH);
    }
}

Variant DispatchDriver::MakeArgument(char chType, bool bValue)
{
    if (VarType(chType) == VT_BOOL || VarType(chType) == VT_VARIANT)
        return Variant(bValue);
    throw OleException(DISP_E_TYPEMISMATCH);
}

Variant DispatchDriver::MakeArgument(char chType, double dValue)
{
    if (VarType(chType) == VT_R8 || VarType(chType) == VT_VARIANT)
        return Variant(dValue);
    throw OleException(DISP_E_TYPEMISMATCH);
}
