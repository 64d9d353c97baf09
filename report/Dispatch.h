// The automation interface: an object answers Invoke(member id, call kind,
// arguments) and is kept alive by reference counts. Servers are found by
// program id ("Excel.Application"), as the system's class registry would.
#pragma once

#include "report/Variant.h"

#include <QString>
#include <functional>

using DispId = qint32;

// Call kinds (one per call).
constexpr quint16 DISPATCH_METHOD = 1;
constexpr quint16 DISPATCH_PROPERTYGET = 2;
constexpr quint16 DISPATCH_PROPERTYPUT = 4;
// The name of the new value of a property put.
constexpr DispId DISPID_PROPERTYPUT = -3;

// What a server says about an exception it raises (DISP_E_EXCEPTION).
struct ExcepInfo
{
    quint16 wCode = 0; // the server's own error number
    QString strSource;
    QString strDescription;
    SCode scode = S_OK;
};

class Dispatch
{
public:
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    quint32 AddRef() { return ++m_nRefs; }
    // Gives back one reference; the object is deleted with the last one.
    quint32 Release()
    {
        const quint32 nRefs = --m_nRefs;
        if (nRefs == 0)
            FinalRelease();
        return nRefs;
    }

    // One call. The arguments come in the order of the member's parameter
    // list (first parameter first, unlike the reversed order on the wire);
    // for DISPATCH_PROPERTYPUT the new value is the last one and stands for
    // the named argument DISPID_PROPERTYPUT. On DISP_E_EXCEPTION the server
    // has filled *pExcepInfo. pResult may be null when no result is wanted.
    virtual SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                         ExcepInfo* pExcepInfo) = 0;

protected:
    Dispatch() = default;
    virtual ~Dispatch() = default;
    // Called when the last reference is given back: deletes the object,
    // unless the object keeps itself for reuse.
    virtual void FinalRelease() { delete this; }
    // A kept object handed out again starts with one reference.
    void Revive() { m_nRefs = 1; }

private:
    quint32 m_nRefs = 1;
};

// Starts a server: a new object holding one reference, or null when the
// server refuses to start.
using DispatchFactory = std::function<Dispatch*()>;

// Registers (or replaces) the server of a program id.
void RegisterDispatchServer(const QString& strProgId, DispatchFactory factory);
// Removes a program id; CreateDispatchObject then fails for it.
void UnregisterDispatchServer(const QString& strProgId);
// Starts the server registered under strProgId; null when there is none or
// it refused. The built-in spreadsheet server is registered as
// "Excel.Application" from the first use on.
Dispatch* CreateDispatchObject(const QString& strProgId);
