// VARIANT-like value that travels through the automation calls: arguments,
// results and the "missing" marker of an optional argument. Copying a value
// that holds an object takes a reference; destroying it gives it back.
#pragma once

#include <QString>
#include <QtGlobal>

class Dispatch;

using VarType = quint16;
using SCode = quint32;

// Value types, with the numbers of the automation type system.
constexpr VarType VT_EMPTY = 0;
constexpr VarType VT_I2 = 2;
constexpr VarType VT_I4 = 3;
constexpr VarType VT_R8 = 5;
constexpr VarType VT_BSTR = 8;
constexpr VarType VT_DISPATCH = 9;
constexpr VarType VT_ERROR = 10;
constexpr VarType VT_BOOL = 11;
constexpr VarType VT_VARIANT = 12; // only in parameter lists: "pass the value as it is"

// Result codes of the automation calls.
constexpr SCode S_OK = 0x00000000;
constexpr SCode E_FAIL = 0x80004005;
constexpr SCode E_INVALIDARG = 0x80070057;
constexpr SCode E_OUTOFMEMORY = 0x8007000E;
constexpr SCode DISP_E_MEMBERNOTFOUND = 0x80020003;
constexpr SCode DISP_E_PARAMNOTFOUND = 0x80020004;
constexpr SCode DISP_E_TYPEMISMATCH = 0x80020005;
constexpr SCode DISP_E_BADVARTYPE = 0x80020008;
constexpr SCode DISP_E_EXCEPTION = 0x80020009;
constexpr SCode DISP_E_BADPARAMCOUNT = 0x8002000E;
constexpr SCode RPC_E_DISCONNECTED = 0x80010108;

constexpr bool Failed(SCode sc)
{
    return (sc & 0x80000000u) != 0;
}

class Variant
{
public:
    Variant() = default;
    // A 32-bit integer as VT_I4, or with vt VT_I2, VT_BOOL or VT_ERROR.
    explicit Variant(qint32 nValue, VarType vt = VT_I4);
    explicit Variant(bool bValue);
    explicit Variant(double dValue);
    explicit Variant(const QString& strValue);
    // Holds pDispatch; bAddRef false hands over a reference the caller owns.
    explicit Variant(Dispatch* pDispatch, bool bAddRef);

    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant()
    {
        if (m_vt == VT_DISPATCH)
            ReleaseObject();
    }

    // An optional argument that is not given: VT_ERROR with DISP_E_PARAMNOTFOUND.
    static Variant Missing() { return Variant(qint32(DISP_E_PARAMNOTFOUND), VT_ERROR); }

    VarType Type() const { return m_vt; }
    bool IsEmpty() const { return m_vt == VT_EMPTY; }
    bool IsMissing() const { return m_vt == VT_ERROR && m_scode == DISP_E_PARAMNOTFOUND; }

    qint16 I2() const { return m_vt == VT_I2 ? m_iVal : qint16(0); }
    qint32 I4() const { return m_vt == VT_I4 ? m_lVal : 0; }
    double R8() const { return m_vt == VT_R8 ? m_dblVal : 0.0; }
    bool Bool() const { return m_vt == VT_BOOL && m_bVal; }
    SCode Error() const { return m_vt == VT_ERROR ? m_scode : S_OK; }
    const QString& String() const { return m_strVal; }
    Dispatch* DispatchPtr() const { return m_vt == VT_DISPATCH ? m_pdisp : nullptr; }

    // Takes the object out of the value (the caller now owns its reference)
    // and leaves the value empty; null when it holds no object.
    Dispatch* DetachDispatch();
    void Clear();

    // Coercions the server uses on its arguments. A number is whole when it
    // has no fraction; a boolean converts to -1/0 as in the automation rules.
    bool ToInt(qint32& nValue) const
    {
        if (m_vt == VT_I4)
            nValue = m_lVal;
        else if (m_vt == VT_I2)
            nValue = m_iVal;
        else
            return OtherToInt(nValue);
        return true;
    }
    bool ToDouble(double& dValue) const;
    bool ToBool(bool& bValue) const;

private:
    void ReleaseObject();
    bool OtherToInt(qint32& nValue) const;

    VarType m_vt = VT_EMPTY;
    // Anonymous union of trivial members: copied as a whole, the object
    // reference counted by hand.
    union {
        qint16 m_iVal;
        qint32 m_lVal;
        double m_dblVal;
        bool m_bVal;
        SCode m_scode;
        Dispatch* m_pdisp;
        quint64 m_qwRaw = 0;
    };
    QString m_strVal;
};
