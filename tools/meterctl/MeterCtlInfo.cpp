// meterctl ports and info: the serial ports the system lists, which of them
// answers as a meter (--probe, and --port auto for every command), and what
// the meter says about itself (its wavelength table and record count).
#include "tools/meterctl/MeterCtl.h"

#include "link/MeterLink.h"
#include "tools/meterctl/LinkSession.h"
#include "tools/meterctl/PortProbe.h"

#include <QCommandLineParser>
#include <QSerialPortInfo>

namespace {
QString WavelengthList(const WavelengthTable& wavelengths)
{
    QStringList numbers;
    for (const quint32 nWave : wavelengths)
        numbers << QString::number(nWave);
    return numbers.join(QLatin1Char(' '));
}
} // namespace

QStringList MeterCtl::ProbeCandidates() const
{
    if (!m_probePorts.isEmpty())
        return m_probePorts;
    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    return ports;
}

int MeterCtl::FindMeterPort(int nTimeoutMs, QString& strPort)
{
    const QStringList candidates = ProbeCandidates();
    if (candidates.isEmpty())
    {
        m_err << "meterctl: --port auto: no serial ports found. Is the cable plugged in?\n";
        m_err.flush();
        return EXIT_PORT;
    }
    const QVector<ProbeResult> results = ProbePorts(candidates, nTimeoutMs);
    QStringList meters;
    for (const ProbeResult& result : results)
        if (result.nOutcome == PROBE_METER)
            meters << result.strPort;
    if (meters.size() == 1)
    {
        strPort = meters.first();
        m_err << "The meter answers on " << strPort << '\n';
        m_err.flush();
        return EXIT_OK;
    }
    if (meters.isEmpty())
    {
        m_err << "meterctl: --port auto: no port answers as a meter (" << nTimeoutMs << " ms each):\n";
        for (const ProbeResult& result : results)
            m_err << "    " << result.strPort << ": " << ProbeOutcomeText(result) << '\n';
    }
    else
        m_err << "meterctl: --port auto: meters answer on " << meters.join(QStringLiteral(", "))
              << "; name one with --port.\n";
    m_err.flush();
    return EXIT_PORT;
}

int MeterCtl::CmdPorts(const QStringList& args)
{
    const QString strCommand = QStringLiteral("ports");
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("probe")));
    parser.addOption(QCommandLineOption(QStringLiteral("timeout"), QString(), QStringLiteral("MS")));
    AddTraceOption(parser);
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return Usage(strCommand, QStringLiteral("ports takes no arguments."));
    const bool bProbe = parser.isSet(QStringLiteral("probe"));
    if (!bProbe && (parser.isSet(QStringLiteral("timeout")) || parser.isSet(QStringLiteral("trace"))))
        return Usage(strCommand, QStringLiteral("--timeout and --trace go with --probe."));
    int nTimeoutMs = 0;
    QString strError;
    if (!ReadIntOption(parser, QStringLiteral("timeout"), 10, 60000, LinkPolicy().nReplyTimeoutMs, nTimeoutMs,
                       strError))
        return Usage(strCommand, strError);

    if (!bProbe)
    {
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        if (ports.isEmpty())
            m_out << "No serial ports found.\n";
        for (const QSerialPortInfo& info : ports)
        {
            m_out << info.portName() << "  " << info.systemLocation() << '\n';
            if (!info.description().isEmpty())
                m_out << "    description:   " << Printable(info.description()) << '\n';
            if (!info.manufacturer().isEmpty())
                m_out << "    manufacturer:  " << Printable(info.manufacturer()) << '\n';
            if (info.hasVendorIdentifier() || info.hasProductIdentifier())
                m_out << "    USB id:        "
                      << QStringLiteral("%1:%2")
                             .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                             .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'))
                      << '\n';
            if (!info.serialNumber().isEmpty())
                m_out << "    serial number: " << Printable(info.serialNumber()) << '\n';
        }
        m_out.flush();
        return EXIT_OK;
    }

    // One line a port: its device and what it did; then the answer.
    StartTrace(parser.isSet(QStringLiteral("trace")));
    const QStringList candidates = ProbeCandidates();
    if (candidates.isEmpty())
    {
        m_out << "No serial ports found.\n";
        m_out.flush();
        return EXIT_PORT;
    }
    m_err << "Probing " << candidates.size() << (candidates.size() == 1 ? " port" : " ports") << " (at most "
          << nTimeoutMs << " ms each)\n";
    m_err.flush();
    const QVector<ProbeResult> results = ProbePorts(candidates, nTimeoutMs);
    qsizetype nWidth = 0;
    for (const ProbeResult& result : results)
        nWidth = qMax(nWidth, result.strPort.size());
    int nMeters = 0;
    for (const ProbeResult& result : results)
    {
        m_out << result.strPort.leftJustified(nWidth + 2) << ProbeOutcomeText(result) << '\n';
        nMeters += result.nOutcome == PROBE_METER ? 1 : 0;
    }
    m_out.flush();
    return nMeters > 0 ? EXIT_OK : EXIT_PORT;
}

int MeterCtl::CmdInfo(const QStringList& args)
{
    const QString strCommand = QStringLiteral("info");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    int nExit = EXIT_OK;
    MeterOptions options;
    if (!ParseMeterCommand(parser, args, strCommand, options, nExit))
        return nExit;

    MeterLink link;
    nExit = OpenMeter(options, link);
    if (nExit != EXIT_OK)
        return nExit;
    LinkSession session(link);
    LinkResult result = session.Connect();
    if (result != LINK_OK)
        return ReportLinkFailure(result, QStringLiteral("the connect request"), link);
    m_err << PickText(TXT_CONNECTED, options.nLanguage) << '\n';
    m_err.flush();
    // The count is the first step of a download; it stops there.
    int nCount = -1;
    bool bEndConfirmed = false;
    result = session.Download(
        [&nCount](int nTotal) {
            nCount = nTotal;
            return false;
        },
        [](const QByteArray&, int) {}, &bEndConfirmed);
    if (result != LINK_OK)
    {
        nExit = ReportLinkFailure(result, QStringLiteral("the request for the record count"), link);
        DisconnectMeter(link, options, true);
        return nExit;
    }
    m_out << "Wavelengths (nm): " << WavelengthList(link.Wavelengths()) << '\n';
    m_out << "Records: " << nCount << '\n';
    m_out.flush();
    DisconnectMeter(link, options, false);
    return EXIT_OK;
}
