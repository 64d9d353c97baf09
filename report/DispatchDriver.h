// The client side of an automation object: holds at most one reference,
// makes typed calls through Invoke and turns failures into exceptions
// (OleException for a failed call, OleDispatchException when the server
// raised one). A driver that holds nothing ignores calls.
#pragma once

#include "report/Dispatch.h"

#include <QString>
#include <array>
#include <string>
#include <utility>

// Parameter-type strings of InvokeHelper: one byte per parameter, joined by
// writing them next to each other (VTS_BSTR VTS_I4).
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R8 "\x05"
#define VTS_BSTR "\x08"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_NONE ""

// The call itself failed (unknown member, wrong argument count or type, ...).
class OleException
{
public:
    explicit OleException(SCode sc) : m_sc(sc) {}
    SCode m_sc;
};

// The server carried out the call and raised an exception.
class OleDispatchException
{
public:
    OleDispatchException(quint16 wCode, const QString& strDescription, SCode scError)
        : m_wCode(wCode), m_strDescription(strDescription), m_scError(scError)
    {
    }
    quint16 m_wCode;
    QString m_strDescription;
    SCode m_scError;
};

class DispatchDriver
{
public:
    DispatchDriver() = default;
    explicit DispatchDriver(Dispatch* pDispatch, bool bAutoRelease = true)
        : m_lpDispatch(pDispatch), m_bAutoRelease(bAutoRelease)
    {
    }
    // The copy takes its own reference.
    DispatchDriver(const DispatchDriver& other);
    DispatchDriver& operator=(const DispatchDriver& other);
    ~DispatchDriver() { ReleaseDispatch(); }

    // Starts the server registered under strProgId; false when there is
    // none or it refused. Whatever was held before is released first.
    bool CreateDispatch(const QString& strProgId);
    // Takes over one reference (released by this driver when bAutoRelease).
    void AttachDispatch(Dispatch* pDispatch, bool bAutoRelease = true)
    {
        if (pDispatch == m_lpDispatch && pDispatch != nullptr)
        {
            AttachSame(bAutoRelease);
            return;
        }
        ReleaseDispatch();
        m_lpDispatch = pDispatch;
        m_bAutoRelease = bAutoRelease;
    }
    // Hands the reference to the caller and empties the driver.
    Dispatch* DetachDispatch()
    {
        Dispatch* pDispatch = m_lpDispatch;
        m_lpDispatch = nullptr;
        return pDispatch;
    }
    void ReleaseDispatch()
    {
        Dispatch* pDispatch = m_lpDispatch;
        m_lpDispatch = nullptr;
        if (pDispatch != nullptr && m_bAutoRelease)
            pDispatch->Release();
    }

    // One call through Invoke. pbParamInfo holds one VTS_ byte per argument;
    // vtRet says what pvRet points to: VT_EMPTY (nothing), VT_DISPATCH
    // (Dispatch*, the caller owns the reference), VT_VARIANT (Variant),
    // VT_I4 (qint32), VT_BOOL (bool) or VT_BSTR (QString).
    //
    // A call costs no heap object and no reference count: the arguments are
    // made on the stack, and a Variant argument is passed borrowed (see
    // Variant::Borrowed), its text and object staying the caller's.
    template <typename... Args>
    void InvokeHelper(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const char* pbParamInfo,
                      const Args&... args) const
    {
        if (m_lpDispatch == nullptr)
        {
            ClearResult(vtRet, pvRet);
            return;
        }
        // A literal's length is known when this is compiled.
        if (pbParamInfo == nullptr || std::char_traits<char>::length(pbParamInfo) != sizeof...(Args))
            ThrowOle(DISP_E_BADPARAMCOUNT);
        [[maybe_unused]] int nIndex = 0;
        const std::array<Variant, sizeof...(Args)> argv{{MakeArgument(pbParamInfo[nIndex++], args)...}};
        InvokeArgs(dispid, wFlags, vtRet, pvRet, argv.data(), int(sizeof...(Args)));
    }

    Dispatch* m_lpDispatch = nullptr;
    bool m_bAutoRelease = true;

private:
    static void ClearResult(VarType vtRet, void* pvRet);
    void AttachSame(bool bAutoRelease);
    void InvokeArgs(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const Variant* pArgs, int nArgs) const;
    // A result that is converted to vtRet after the call.
    void InvokeConverted(DispId dispid, quint16 wFlags, VarType vtRet, void* pvRet, const Variant* pArgs,
                         int nArgs) const;
    // Out of line, so that the calls above stay small.
    [[noreturn]] static void ThrowOle(SCode sc);
    // The exception of a failed call: OleDispatchException with what the
    // server wrote into m_excepInfo, else OleException(sc).
    [[noreturn]] void ThrowFailure(SCode sc) const;

    // Where a server describes the exception it raises. Made once with the
    // driver, not for every call; emptied when an exception is thrown.
    mutable ExcepInfo m_excepInfo;

    // Each argument becomes a Variant of its parameter's type; a C++ value
    // that does not fit the declared type throws OleException(DISP_E_TYPEMISMATCH).
    static Variant MakeArgument(char chType, const Variant& value)
    {
        if (VarType(chType) != VT_VARIANT && VarType(chType) != value.Type())
            ThrowOle(DISP_E_TYPEMISMATCH);
        return Variant::Borrowed(value);
    }
    static Variant MakeArgument(char chType, const QString& strValue)
    {
        if (VarType(chType) != VT_BSTR && VarType(chType) != VT_VARIANT)
            ThrowOle(DISP_E_TYPEMISMATCH);
        return Variant(strValue);
    }
    static Variant MakeArgument(char chType, qint32 nValue)
    {
        if (VarType(chType) == VT_I4 || VarType(chType) == VT_VARIANT)
            return Variant(nValue, VT_I4);
        return OtherArgument(chType, nValue);
    }
    static Variant OtherArgument(char chType, qint32 nValue);
    static Variant MakeArgument(char chType, qint16 nValue) { return MakeArgument(chType, qint32(nValue)); }
    static Variant MakeArgument(char chType, bool bValue)
    {
        if (VarType(chType) != VT_BOOL && VarType(chType) != VT_VARIANT)
            ThrowOle(DISP_E_TYPEMISMATCH);
        return Variant(bValue);
    }
    static Variant MakeArgument(char chType, double dValue)
    {
        if (VarType(chType) != VT_R8 && VarType(chType) != VT_VARIANT)
            ThrowOle(DISP_E_TYPEMISMATCH);
        return Variant(dValue);
    }
};
