// Test stand-in for the spreadsheet server: passes every call on to the real
// built-in server, writes each one down and fails the first call of a chosen
// member and kind (and, if asked, every call after it). Objects it hands back
// are wrapped too, so calls on workbooks and ranges are seen.
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
};

struct SpyPlan
{
    DispId failDispId = 0; // 0: fail nothing
    quint16 wFailFlags = 0;
    SCode scFail = DISP_E_MEMBERNOTFOUND; // DISP_E_EXCEPTION: code 1004, "Disk full"
    bool bFailEveryCallAfter = false;
    bool bFailed = false;
    QVector<SpyCall> calls;
};

class SpyDispatch : public Dispatch
{
public:
    SpyDispatch(Dispatch* pInner, std::shared_ptr<SpyPlan> plan) : m_pInner(pInner), m_plan(std::move(plan)) {}

    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override
    {
        SpyPlan& plan = *m_plan;
        plan.calls.append({dispid, wFlags, QVector<Variant>(pArgs, pArgs + nArgs)});
        if ((dispid == plan.failDispId && wFlags == plan.wFailFlags) || (plan.bFailed && plan.bFailEveryCallAfter))
        {
            plan.bFailed = true;
            if (plan.scFail == DISP_E_EXCEPTION && pExcepInfo != nullptr)
            {
                pExcepInfo->wCode = 1004;
                pExcepInfo->strDescription = QStringLiteral("Disk full");
            }
            return plan.scFail;
        }
        const SCode sc = m_pInner->Invoke(dispid, wFlags, pArgs, nArgs, pResult, pExcepInfo);
        if (!Failed(sc) && pResult != nullptr && pResult->Type() == VT_DISPATCH)
            *pResult = Variant(new SpyDispatch(pResult->DetachDispatch(), m_plan), false);
        return sc;
    }

protected:
    ~SpyDispatch() override { m_pInner->Release(); }

private:
    Dispatch* m_pInner;
    std::shared_ptr<SpyPlan> m_plan;
};

// A spy (bSpy) or no server at all under "Excel.Application" for the life of
// the object; the built-in server comes back afterwards.
class ScopedServer
{
public:
    explicit ScopedServer(bool bSpy) : m_plan(std::make_shared<SpyPlan>())
    {
        std::shared_ptr<SpyPlan> plan = m_plan;
        if (bSpy)
            RegisterDispatchServer(QLatin1String(SPREADSHEET_PROG_ID),
                                   [plan]() -> Dispatch* { return new SpyDispatch(CreateSpreadsheetServer(), plan); });
        else
            UnregisterDispatchServer(QLatin1String(SPREADSHEET_PROG_ID));
    }
    ~ScopedServer() { RegisterSpreadsheetServer(); }
    ScopedServer(const ScopedServer&) = delete;
    ScopedServer& operator=(const ScopedServer&) = delete;
    SpyPlan& Plan() { return *m_plan; }

private:
    std::shared_ptr<SpyPlan> m_plan;
};
