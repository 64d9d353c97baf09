// Probing the serial ports for the meter: one MeterLink per port with a
// policy of one attempt, all waited for in one event loop.
#include "tools/meterctl/PortProbe.h"

#include "link/MeterLink.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <vector>

QVector<ProbeResult> ProbePorts(const QStringList& ports, int nTimeoutMs)
{
    QVector<ProbeResult> results(ports.size());
    std::vector<std::unique_ptr<MeterLink>> links(size_t(ports.size()));
    std::vector<bool> done(size_t(ports.size()), true);
    int nPending = 0;
    QEventLoop loop;
    const auto finish = [&](int i) {
        if (done[size_t(i)])
            return;
        done[size_t(i)] = true;
        if (--nPending == 0)
            loop.quit();
    };

    LinkPolicy policy;
    policy.nReplyTimeoutMs = nTimeoutMs;
    policy.nRetries = 0;
    for (int i = 0; i < ports.size(); ++i)
    {
        ProbeResult& result = results[i];
        result.strPort = ports[i];
        result.access = CheckPortAccess(ports[i]);
        if (result.access.nResult != PORT_ACCESS_OK)
        {
            result.nOutcome = PROBE_NOT_OPENED;
            continue;
        }
        auto pLink = std::make_unique<MeterLink>();
        MeterLink* pRaw = pLink.get();
        pLink->SetPolicy(policy);
        pLink->SetFailureReporter([](const SerialPort::Failure&) {});
        if (!pLink->Open(result.access.strDevice, unsigned(i + 1)))
        {
            result.access = pLink->GetOpenProblem();
            result.nOutcome = PROBE_NOT_OPENED;
            continue;
        }
        QObject::connect(pRaw, &MeterLink::Connected, &loop, [&results, &finish, pRaw, i](bool) {
            results[i].nOutcome = PROBE_METER;
            results[i].wavelengths = pRaw->Wavelengths();
            if (!pRaw->SendDisconnect())
                finish(i);
        });
        QObject::connect(pRaw, &MeterLink::Disconnected, &loop, [&finish, i] { finish(i); });
        // A meter that does not confirm the disconnect request still answered.
        QObject::connect(pRaw, &MeterLink::RequestFailed, &loop, [&results, &finish, i](quint8, LinkFailure failure) {
            if (results[i].nOutcome != PROBE_METER)
                results[i].nOutcome = failure == LinkFailure::LineLost ? PROBE_LINE_CLOSED : PROBE_NO_ANSWER;
            finish(i);
        });
        result.nOutcome = PROBE_NO_ANSWER;
        done[size_t(i)] = false;
        ++nPending;
        links[size_t(i)] = std::move(pLink);
        if (!pRaw->SendConnect())
        {
            result.nOutcome = PROBE_LINE_CLOSED;
            finish(i);
        }
    }
    // Each link gives up on its own after the time-out (twice: connect and
    // disconnect); this bounds the whole should a damaged reply keep one
    // asking again.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(2 * nTimeoutMs + 1000);
    if (nPending > 0)
        loop.exec();
    links.clear(); // the ports closed before the loop and its handlers go
    return results;
}

QString ProbeOutcomeText(const ProbeResult& result)
{
    switch (result.nOutcome)
    {
    case PROBE_METER:
        return QStringLiteral("answers as a meter");
    case PROBE_NO_ANSWER:
        return QStringLiteral("no answer");
    case PROBE_LINE_CLOSED:
        return QStringLiteral("the line closed");
    case PROBE_NOT_OPENED:
        break;
    }
    switch (result.access.nResult)
    {
    case PORT_ACCESS_MISSING:
        return QStringLiteral("no such device");
    case PORT_ACCESS_DENIED:
        return result.access.strGroup.isEmpty() || result.access.strGroup == QLatin1String("root")
                   ? QStringLiteral("permission denied")
                   : QStringLiteral("permission denied (group %1)").arg(result.access.strGroup);
    case PORT_ACCESS_BUSY:
        return QStringLiteral("in use by another program");
    case PORT_ACCESS_NOT_A_PORT:
        return QStringLiteral("not a serial port");
    case PORT_ACCESS_OTHER:
        return QStringLiteral("cannot be opened: %1").arg(result.access.strSystemText);
    case PORT_ACCESS_OK:
        break;
    }
    return QStringLiteral("cannot be opened");
}
