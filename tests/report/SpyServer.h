// Test stand-in for the spreadsheet server: passes every call on to the real
// built-in server, writes each one down (member, kind, arguments, result)
// and fails a chosen call with a chosen SCODE or server exception. Objects
// it hands back are wrapped too, so calls on workbooks and ranges are seen.
#pragma once

#include "report/Dispatch.h"
#include "report/ExcelDispIds.h"
#include "report/SpreadsheetServer.h"

#include <QVector>
#include <memory>

struct SpyCall
{
    DispId dispid = 0;
    quint16 wFlags = 0;
    QVector<Variant> args;
    SCode sc = S_OK;
};

struct SpyPlan
{
    // Fail the call with this number (0 = the first call of the job), or the
    // first call of this member and kind; -1 / 0 for none.
    int nFailAtCall = -1;
    DispId failDispId = 0;
    quint16 wFailFlags = 0;
    bool bFailEveryCallAfter = false; // once failed, fail every later call too
    SCode scFail = DISP_E_MEMBERNOTFOUND;
    // With scFail == DISP_E_EXCEPTION: what the server says.
    quint16 wCode = 0;
    QString strDescription;

    QVector<SpyCall> calls;
    bool bFailed = false;

    // The calls of (dispid, kind) in order, as indexes into calls.
    int Count(DispId dispid, quint16 wFlags) const
    {
        int n = 0;
        for (const SpyCall& call : calls)
            if (call.dispid == dispid && call.wFlags == wFlags)
                ++n;
        return n;
    }
};

class SpyDispatch : public Dispatch
{
public:
    SpyDispatch(Dispatch* pInner, std::shared_ptr<SpyPlan> plan) : m_pInner(pInner), m_plan(std::move(plan)) {}

    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override
    {
        SpyCall call;
        call.dispid = dispid;
        call.wFlags = wFlags;
        for (int i = 0; i < nArgs; ++i)
            call.args.append(pArgs[i]);
        const int nCall = int(m_plan->calls.size());
        const bool bHit = nCall == m_plan->nFailAtCall ||
                          (m_plan->failDispId != 0 && dispid == m_plan->failDispId && wFlags == m_plan->wFailFlags);
        if (bHit || (m_plan->bFailed && m_plan->bFailEveryCallAfter))
        {
            m_plan->bFailed = true;
            call.sc = m_plan->scFail;
            m_plan->calls.append(call);
            if (m_plan->scFail == DISP_E_EXCEPTION && pExcepInfo != nullptr)
            {
                pExcepInfo->wCode = m_plan->wCode;
                pExcepInfo->strDescription = m_plan->strDescription;
            }
            return m_plan->scFail;
        }
        call.sc = m_pInner->Invoke(dispid, wFlags, pArgs, nArgs, pResult, pExcepInfo);
        m_plan->calls.append(call);
        if (!Failed(call.sc) && pResult != nullptr && pResult->Type() == VT_DISPATCH)
            *pResult = Variant(new SpyDispatch(pResult->DetachDispatch(), m_plan), false);
        return call.sc;
    }

protected:
    ~SpyDispatch() override { m_pInner->Release(); }

private:
    Dispatch* m_pInner;
    std::shared_ptr<SpyPlan> m_plan;
};

// Puts a spy on the built-in server under "Excel.Application" for the life
// of the object; the built-in server comes back afterwards.
class ScopedSpyServer
{
public:
    ScopedSpyServer() : m_plan(std::make_shared<SpyPlan>())
    {
        std::shared_ptr<SpyPlan> plan = m_plan;
        RegisterDispatchServer(QLatin1String(SPREADSHEET_PROG_ID),
                               [plan]() -> Dispatch* { return new SpyDispatch(CreateSpreadsheetServer(), plan); });
    }
    ~ScopedSpyServer() { RegisterSpreadsheetServer(); }
    ScopedSpyServer(const ScopedSpyServer&) = delete;
    ScopedSpyServer& operator=(const ScopedSpyServer&) = delete;
    SpyPlan& Plan() { return *m_plan; }

private:
    std::shared_ptr<SpyPlan> m_plan;
};

// No server under "Excel.Application" for the life of the object.
class ScopedNoServer
{
public:
    ScopedNoServer() { UnregisterDispatchServer(QLatin1String(SPREADSHEET_PROG_ID)); }
    ~ScopedNoServer() { RegisterSpreadsheetServer(); }
    ScopedNoServer(const ScopedNoServer&) = delete;
    ScopedNoServer& operator=(const ScopedNoServer&) = delete;
};
