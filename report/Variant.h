// VARIANT-like value that travels through the automation calls: arguments,
// results and the "missing" marker of an optional argument. Copying a value
// that holds an object takes a reference; destroying it gives it back.
//
// A report makes close to a million calls, each with a few of these, so a
// value is small (32 bytes: the type, then one union that holds the number,
// the object or the text) and a number is made and dropped without touching
// a QString. The common operations are inline.
#pragma once

#include <QString>
#include <QtGlobal>
#include <new>
#include <utility>

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
    Variant() noexcept {}
    // A 32-bit integer as VT_I4, or with vt VT_I2, VT_BOOL or VT_ERROR.
    explicit Variant(qint32 nValue, VarType vt = VT_I4) : m_vt(vt)
    {
        if (vt == VT_I4)
            m_lVal = nValue;
        else
            SetOther(nValue, vt);
    }
    explicit Variant(bool bValue) : m_vt(VT_BOOL) { m_bVal = bValue; }
    explicit Variant(double dValue) : m_vt(VT_R8) { m_dblVal = dValue; }
    explicit Variant(const QString& strValue) : m_vt(VT_BSTR) { new (&m_strVal) QString(strValue); }
    explicit Variant(QString&& strValue) noexcept : m_vt(VT_BSTR) { new (&m_strVal) QString(std::move(strValue)); }
    // Holds pDispatch; bAddRef false hands over a reference the caller owns.
    explicit Variant(Dispatch* pDispatch, bool bAddRef)
    {
        if (pDispatch == nullptr)
            return;
        m_vt = VT_DISPATCH;
        m_pdisp = pDispatch;
        if (bAddRef)
            AddRefObject();
    }

    // Copies own what they hold (a borrowed value is copied as an owned one).
    Variant(const Variant& other) : m_vt(other.m_vt)
    {
        if (other.Holds())
            CopyHeld(other);
        else
            m_qwRaw = other.m_qwRaw;
    }
    Variant(Variant&& other) noexcept : m_vt(other.m_vt)
    {
        if (other.m_bBorrowed)
            CopyHeld(other);
        else
            TakeFrom(other);
    }
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept
    {
        // The common case inline: an empty value given an owned one.
        if (m_vt != VT_EMPTY || other.m_bBorrowed || this == &other)
            return MoveAssignSlow(std::move(other));
        m_vt = other.m_vt;
        TakeFrom(other);
        return *this;
    }
    ~Variant()
    {
        if (Holds())
            Clear();
    }

    // The same value as other for the time of one call, owning nothing: the
    // text and the object stay other's, so no reference is counted, and
    // other must outlive it. The automation driver passes its arguments this
    // way (as the framework copies a VARIANT argument bit for bit); a
    // server that keeps an argument keeps a copy, which owns again.
    static Variant Borrowed(const Variant& other) noexcept
    {
        Variant v;
        v.m_vt = other.m_vt;
        if (other.m_vt == VT_BSTR)
        {
            v.m_pstrVal = &other.String();
            v.m_bBorrowed = true;
        }
        else
        {
            v.m_qwRaw = other.m_qwRaw;
            v.m_bBorrowed = other.m_vt == VT_DISPATCH;
        }
        return v;
    }

    // A text borrowed the same way: str must outlive the value. A caller
    // passing texts it keeps anyway (the rows of a report) passes them
    // without counting a reference for each call.
    static Variant Borrowed(const QString& str) noexcept
    {
        Variant v;
        v.m_vt = VT_BSTR;
        v.m_pstrVal = &str;
        v.m_bBorrowed = true;
        return v;
    }
    // A temporary text would be gone before the value is used.
    static Variant Borrowed(QString&&) = delete;

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
    // The text of a VT_BSTR; empty for any other type.
    const QString& String() const
    {
        if (m_vt != VT_BSTR)
            return s_strEmpty;
        return m_bBorrowed ? *m_pstrVal : m_strVal;
    }
    Dispatch* DispatchPtr() const { return m_vt == VT_DISPATCH ? m_pdisp : nullptr; }

    // Takes the text out of a VT_BSTR (without copying its characters) and
    // leaves the value empty; an empty text for any other type.
    QString TakeString()
    {
        QString str;
        if (m_vt == VT_BSTR && !m_bBorrowed)
        {
            str.swap(m_strVal);
            m_strVal.~QString();
            m_vt = VT_EMPTY;
            m_qwRaw = 0;
            return str;
        }
        str = String();
        Clear();
        return str;
    }
    // Takes the object out of the value (the caller now owns its reference)
    // and leaves the value empty; null when it holds no object.
    Dispatch* DetachDispatch()
    {
        if (m_vt != VT_DISPATCH)
            return nullptr;
        Dispatch* p = m_pdisp;
        if (m_bBorrowed)
            AddRefObject(); // the caller gets a reference of its own
        m_qwRaw = 0;
        m_vt = VT_EMPTY;
        m_bBorrowed = false;
        return p;
    }
    void Clear()
    {
        if (Holds() && !m_bBorrowed)
            ReleaseHeld();
        m_vt = VT_EMPTY;
        m_bBorrowed = false;
        m_qwRaw = 0;
    }

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
    static const QString s_strEmpty;

    // A text or an object: something that may have to be given back.
    bool Holds() const { return m_vt == VT_BSTR || m_vt == VT_DISPATCH; }

    void SetOther(qint32 nValue, VarType vt);
    void AddRefObject();
    // Gives back the object or drops the text of an owned value (the type
    // is left for the caller to reset).
    void ReleaseHeld();
    Variant& MoveAssignSlow(Variant&& other) noexcept;
    // An owned copy of other's text or object (m_vt already set).
    void CopyHeld(const Variant& other);
    // The value of an owned other, which is left empty (m_vt already set).
    void TakeFrom(Variant& other) noexcept
    {
        if (m_vt == VT_BSTR)
        {
            new (&m_strVal) QString(std::move(other.m_strVal));
            other.m_strVal.~QString();
        }
        else
            m_qwRaw = other.m_qwRaw;
        other.m_vt = VT_EMPTY;
        other.m_qwRaw = 0;
    }
    bool OtherToInt(qint32& nValue) const;

    VarType m_vt = VT_EMPTY;
    // A borrowed VT_BSTR or VT_DISPATCH (see Borrowed): nothing to give back.
    bool m_bBorrowed = false;
    // One of these, by m_vt (and m_bBorrowed): all zero when empty, the text
    // constructed in place for an owned VT_BSTR.
    union {
        qint16 m_iVal;
        qint32 m_lVal;
        double m_dblVal;
        bool m_bVal;
        SCode m_scode;
        Dispatch* m_pdisp;
        const QString* m_pstrVal; // the text of a borrowed VT_BSTR
        quint64 m_qwRaw = 0;
        QString m_strVal; // the text of an owned VT_BSTR
    };
};
