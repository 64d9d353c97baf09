// meterctl's commands: the command table, help and options, opening the
// meter, calibration, the meter's clock and showing a report.
#include "tools/meterctl/MeterCtl.h"

#include "link/InstrumentFrame.h"
#include "link/MeterLink.h"
#include "link/PortAccess.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "sim/MeterSim.h"
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/LinkSession.h"
#include "tools/meterctl/LinkTrace.h"
#include "tools/meterctl/RecordJson.h"
#include "tools/meterctl/ReportText.h"

#include "MeterVersion.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {
const char* const EXIT_CODES_HELP = "Exit codes:\n"
                                    "  0  done\n"
                                    "  1  usage: unknown command or option, bad value\n"
                                    "  2  port: not found, permission denied, cannot be opened, or the line closed;\n"
                                    "     --port auto or ports --probe found no meter (or auto several)\n"
                                    "  3  the meter did not answer (after every retry)\n"
                                    "  4  file: an output cannot be written, the input is not a report\n"
                                    "  5  more records than one .xls sheet holds (65,530); the CSV is still written\n";

const char* const METER_OPTIONS_HELP =
    "  --port DEV       serial device: ttyUSB0, COM1, or any path such as /dev/pts/3;\n"
    "                   auto: the one port that answers as a meter (see ports --probe)\n"
    "  --demo           use the built-in simulated meter (300 records) instead of a port\n"
    "  --timeout MS     wait this long for each reply (default 1000)\n"
    "  --retries N      ask again this often when a reply does not come (default 3)\n"
    "  --trace          print every frame sent and received, in hex with a time stamp,\n"
    "                   on standard error\n"
    "  --lang zh|en     language of the messages (default: from the locale)\n"
    "\n"
    "Data goes to standard output; the meter's messages, progress and warnings go\n"
    "to standard error.\n";

struct CommandHelp
{
    const char* pszName;
    const char* pszUsage;
    const char* pszText;
    bool bMeterOptions;
};

const CommandHelp COMMAND_HELP[] = {
    {"ports", "meterctl ports [--probe [--timeout MS] [--trace]]",
     "Lists the serial ports found, with description, manufacturer, USB vendor and\n"
     "product id and serial number where the system knows them.\n"
     "\n"
     "  --probe          send the connect request to every port at once and say\n"
     "                   which one answers as a meter (exit code 2 when none does)\n"
     "  --timeout MS     wait this long for each port's reply (default 1000)\n"
     "  --trace          print every frame sent and received on standard error\n",
     false},
    {"info", "meterctl info (--port DEV|auto | --demo) [--timeout MS] [--retries N] [--trace]",
     "Connects, prints the meter's wavelength table and the number of records it\n"
     "holds, and ends with the disconnect request.\n",
     true},
    {"download",
     "meterctl download (--port DEV|auto | --demo) [--xls FILE] [--csv FILE|-] [--json]\n"
     "                  [--company T] [--meter-type T] [--serial T] [--operator T] [--notes T]\n"
     "                  [--keep-partial] [--lang zh|en] [--timeout MS] [--retries N] [--trace]",
     "Connects to the meter, downloads every stored record and ends with the\n"
     "disconnect request. --xls writes the report as the program's Save does\n"
     "(same layout, texts in the chosen language, the five user-information\n"
     "fields from the options); --csv writes the rows as CSV (UTF-8, header row,\n"
     "seven columns; a file starts with a byte order mark, standard output does\n"
     "not); --json prints the records as JSON. Without any of them the rows are\n"
     "printed, separated by tabs. A reply that does not come is asked for again;\n"
     "when it never comes nothing is written unless --keep-partial is given,\n"
     "which writes the records received so far.\n"
     "\n"
     "A progress bar is drawn when standard error is a terminal; otherwise one\n"
     "line at the end says how many records came in and how long it took.\n"
     "\n"
     "  --xls FILE       write the report workbook (the name must end in .xls)\n"
     "  --csv FILE       write the records as CSV; - prints them on standard output\n"
     "  --json           print the user information, the wavelength table and the\n"
     "                   records as one JSON document on standard output\n"
     "  --company T, --meter-type T, --serial T, --operator T, --notes T\n"
     "                   the user information of the report\n"
     "  --keep-partial   after a failure, write the records received so far\n",
     true},
    {"calibrate", "meterctl calibrate (--rl VALUE | --opm VALUE) (--port DEV|auto | --demo)",
     "Sends a calibration value to the meter and waits for its confirmation:\n"
     "--rl for the return-loss power path, --opm for the power meter.\n"
     "\n"
     "  --rl VALUE       calibrate the return-loss power path (a decimal number)\n"
     "  --opm VALUE      calibrate the power meter path\n",
     true},
    {"set-clock",
     "meterctl set-clock [--now | \"YYYY-MM-DD hh:mm:ss\" | YYYY-MM-DDThh:mm:ss]\n"
     "                   (--port DEV|auto | --demo)",
     "Sets the meter's clock to the computer's local time (--now, the default) or to\n"
     "the time given; the meter keeps years 2000 to 2099.\n",
     true},
    {"convert",
     "meterctl convert IN OUT [--lang zh|en]\n"
     "                 [--company T] [--meter-type T] [--serial T] [--operator T] [--notes T]",
     "Turns the CSV that `download --csv` writes into a report and back: IN and OUT\n"
     "each end in .csv (UTF-8, header row, seven columns) or .xls (the report, as\n"
     "the program's Save writes it). The user information of a report comes from\n"
     "the options, or from IN when it is a report. A CSV that is not in that form\n"
     "is refused with the number of the line at fault.\n"
     "\n"
     "  --company T, --meter-type T, --serial T, --operator T, --notes T\n"
     "                   the user information of the report\n"
     "  --lang zh|en     language of the report's labels and the header row\n",
     false},
    {"show", "meterctl show FILE.xls [--csv [-] | --json] [--lang zh|en]",
     "Prints a report's user information and rows as the program's Open loads\n"
     "them, tab-separated (control characters shown as spaces). --csv prints the\n"
     "rows as CSV instead (header row first, no byte order mark), without the\n"
     "user information; --json prints the user information and the records as\n"
     "one JSON document, each field read from the report's texts.\n"
     "\n"
     "  --csv [-]        print the rows as CSV (- names standard output, where they go anyway)\n"
     "  --json           print the user information and the records as JSON\n"
     "  --lang zh|en     language of the labels and the header row\n",
     false},
};

const CommandHelp* FindCommand(const QString& strName)
{
    for (const CommandHelp& help : COMMAND_HELP)
        if (strName == QLatin1String(help.pszName))
            return &help;
    return nullptr;
}

QString Utf8(const char* psz)
{
    return QString::fromUtf8(psz);
}

// "2024-05-03 09:05:07", also with the date and time as two arguments, or
// ISO 8601 "2024-05-03T09:05:07"; invalid when it is neither.
QDateTime ParseClockTime(const QString& strTime)
{
    for (const char* pszFormat : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd'T'HH:mm:ss"})
    {
        const QDateTime time = QDateTime::fromString(strTime, QLatin1String(pszFormat));
        if (time.isValid())
            return time;
    }
    return QDateTime();
}

} // namespace

QString MeterCtl::AsSentence(const QString& strText)
{
    QString str = strText.trimmed();
    if (str.endsWith(QLatin1Char('?')) || str.endsWith(QLatin1Char('!')))
        return str;
    while (str.endsWith(QLatin1Char('.')) || str.endsWith(QChar(0x3002)))
        str.chop(1);
    return str + QLatin1Char('.');
}

QString MeterCtl::Printable(const QString& strText)
{
    QString str = strText;
    for (QChar& ch : str)
    {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
            ch = QLatin1Char(' ');
    }
    return str;
}

bool MeterCtl::ReadIntOption(const QCommandLineParser& parser, const QString& strName, int nMin, int nMax, int nDefault,
                             int& nValue, QString& strError)
{
    nValue = nDefault;
    if (!parser.isSet(strName))
        return true;
    bool bOk = false;
    nValue = parser.value(strName).toInt(&bOk);
    if (!bOk || nValue < nMin || nValue > nMax)
    {
        strError = QStringLiteral("--%1 takes a whole number from %2 to %3.").arg(strName).arg(nMin).arg(nMax);
        return false;
    }
    return true;
}

MeterCtl::MeterCtl(QTextStream& out, QTextStream& err, bool bTerminal) : m_out(out), m_err(err), m_bTerminal(bTerminal)
{
}

MeterCtl::~MeterCtl() = default;

Language MeterCtl::DefaultLanguage()
{
    return QLocale::system().language() == QLocale::Chinese ? LANGUAGE_CHINESE : LANGUAGE_ENGLISH;
}

void MeterCtl::PrintHelp(const QString& strCommand)
{
    if (const CommandHelp* pHelp = FindCommand(strCommand))
    {
        m_out << "usage: " << Utf8(pHelp->pszUsage) << "\n\n" << Utf8(pHelp->pszText);
        if (pHelp->bMeterOptions)
            m_out << "\nTalking to the meter:\n" << METER_OPTIONS_HELP;
        m_out << '\n' << EXIT_CODES_HELP;
    }
    else
    {
        m_out << "usage: meterctl COMMAND [OPTIONS]\n\n"
                 "The fibre-optic meter from the command line.\n\nCommands:\n"
                 "  ports       list the serial ports (--probe: which one answers as a meter)\n"
                 "  info        print the meter's wavelength table and record count\n"
                 "  download    download every record to an .xls report, a CSV or JSON\n"
                 "  calibrate   send a calibration value (--rl or --opm)\n"
                 "  set-clock   set the meter's clock\n"
                 "  show        print a report's user information and rows\n"
                 "  convert     turn a download CSV into a report and back\n"
                 "\n`meterctl COMMAND --help` describes a command.\n\n"
              << EXIT_CODES_HELP;
    }
    m_out.flush();
}

bool MeterCtl::ParseMeterCommand(QCommandLineParser& parser, const QStringList& args, const QString& strCommand,
                                 MeterOptions& options, int& nExit, bool bArgumentsAllowed)
{
    if (!Parse(parser, args, strCommand, nExit))
        return false;
    QString strError;
    if (!ReadMeterOptions(parser, options, strError))
    {
        nExit = Usage(strCommand, strError);
        return false;
    }
    if (!bArgumentsAllowed && !parser.positionalArguments().isEmpty())
    {
        nExit = Usage(strCommand, QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments()[0]));
        return false;
    }
    return true;
}

int MeterCtl::Usage(const QString& strCommand, const QString& strMessage)
{
    m_err << "meterctl: " << strMessage << '\n';
    m_err << "Try `meterctl " << (strCommand.isEmpty() ? QString() : strCommand + QLatin1Char(' ')) << "--help`.\n";
    m_err.flush();
    return EXIT_USAGE;
}

int MeterCtl::Run(const QStringList& args)
{
    if (args.isEmpty())
    {
        PrintHelp(QString());
        return EXIT_USAGE;
    }
    const QString strCommand = args.first();
    const QStringList rest = args.mid(1);
    if (strCommand == QLatin1String("--help") || strCommand == QLatin1String("-h") ||
        strCommand == QLatin1String("help"))
    {
        PrintHelp(rest.value(0));
        return EXIT_OK;
    }
    if (strCommand == QLatin1String("--version"))
    {
        m_out << "meterctl " << QStringLiteral(METER_VERSION) << '\n';
        m_out.flush();
        return EXIT_OK;
    }
    if (strCommand == QLatin1String("ports"))
        return CmdPorts(rest);
    if (strCommand == QLatin1String("info"))
        return CmdInfo(rest);
    if (strCommand == QLatin1String("download"))
        return CmdDownload(rest);
    if (strCommand == QLatin1String("calibrate"))
        return CmdCalibrate(rest);
    if (strCommand == QLatin1String("set-clock"))
        return CmdSetClock(rest);
    if (strCommand == QLatin1String("show"))
        return CmdShow(rest);
    if (strCommand == QLatin1String("convert"))
        return CmdConvert(rest);
    return Usage(QString(), QStringLiteral("unknown command '%1'.").arg(strCommand));
}

bool MeterCtl::Parse(QCommandLineParser& parser, const QStringList& args, const QString& strCommand, int& nExit)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    // The parser takes the program's name first.
    if (!parser.parse(QStringList{QStringLiteral("meterctl")} + args))
    {
        nExit = Usage(strCommand, AsSentence(parser.errorText()));
        return false;
    }
    if (parser.isSet(help))
    {
        PrintHelp(strCommand);
        nExit = EXIT_OK;
        return false;
    }
    return true;
}

void MeterCtl::AddLanguageOption(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(QStringLiteral("lang"), QString(), QStringLiteral("zh|en")));
}

void MeterCtl::AddMeterOptions(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(QStringLiteral("port"), QString(), QStringLiteral("DEV")));
    parser.addOption(QCommandLineOption(QStringLiteral("demo")));
    parser.addOption(QCommandLineOption(QStringLiteral("timeout"), QString(), QStringLiteral("MS")));
    parser.addOption(QCommandLineOption(QStringLiteral("retries"), QString(), QStringLiteral("N")));
    AddTraceOption(parser);
    AddLanguageOption(parser);
}

void MeterCtl::AddTraceOption(QCommandLineParser& parser)
{
    parser.addOption(QCommandLineOption(QStringLiteral("trace")));
}

bool MeterCtl::ReadLanguage(const QCommandLineParser& parser, Language& nLanguage, QString& strError) const
{
    nLanguage = DefaultLanguage();
    if (!parser.isSet(QStringLiteral("lang")))
        return true;
    const QString strLang = parser.value(QStringLiteral("lang")).toLower();
    if (strLang == QLatin1String("en"))
        nLanguage = LANGUAGE_ENGLISH;
    else if (strLang == QLatin1String("zh"))
        nLanguage = LANGUAGE_CHINESE;
    else
    {
        strError = QStringLiteral("--lang takes zh or en.");
        return false;
    }
    return true;
}

bool MeterCtl::ReadMeterOptions(const QCommandLineParser& parser, MeterOptions& options, QString& strError) const
{
    options.bDemo = parser.isSet(QStringLiteral("demo"));
    options.strPort = parser.value(QStringLiteral("port"));
    if (options.bDemo == parser.isSet(QStringLiteral("port")))
    {
        strError = options.bDemo
                       ? QStringLiteral("give either --port or --demo, not both.")
                       : QStringLiteral("which meter? Give --port DEV (see `meterctl ports`), --port auto or --demo.");
        return false;
    }
    if (!options.bDemo && options.strPort.isEmpty())
    {
        strError = QStringLiteral("--port needs a device.");
        return false;
    }
    options.bTrace = parser.isSet(QStringLiteral("trace"));
    const LinkPolicy defaults;
    return ReadIntOption(parser, QStringLiteral("timeout"), 10, 60000, defaults.nReplyTimeoutMs, options.nTimeoutMs,
                         strError) &&
           ReadIntOption(parser, QStringLiteral("retries"), 0, 100, defaults.nRetries, options.nRetries, strError) &&
           ReadLanguage(parser, options.nLanguage, strError);
}

void MeterCtl::StartTrace(bool bEnable)
{
    if (!m_pTrace)
        m_pTrace = std::make_unique<LinkTrace>(m_err, bEnable);
}

int MeterCtl::OpenMeter(const MeterOptions& options, MeterLink& link)
{
    StartTrace(options.bTrace);
    QString strPort = options.strPort;
    if (options.bDemo)
    {
        m_pDemo.reset(StartDemoMeter());
        if (!m_pDemo)
        {
            m_err << "meterctl: the simulated meter needs a pseudo-terminal and none is available.\n";
            m_err.flush();
            return EXIT_PORT;
        }
        strPort = m_pDemo->GetDevicePath();
        m_err << "Simulated meter on " << strPort << '\n';
        m_err.flush();
    }
    else if (strPort == QLatin1String("auto"))
    {
        const int nExit = FindMeterPort(options.nTimeoutMs, strPort);
        if (nExit != EXIT_OK)
            return nExit;
    }
    PortAccess access = CheckPortAccess(strPort);
    LinkPolicy policy;
    policy.nReplyTimeoutMs = options.nTimeoutMs;
    policy.nRetries = options.nRetries;
    link.SetPolicy(policy);
    link.SetFailureReporter([this, &link](const SerialPort::Failure& failure) { OnDriverFailure(link, failure); });
    if (access.nResult == PORT_ACCESS_OK && !link.Open(access.strDevice, 1))
        access = link.GetOpenProblem();
    if (access.nResult != PORT_ACCESS_OK)
    {
        // The reason may end in the system's words, with or without a full stop.
        m_err << "meterctl: " << AsSentence(PortAccessMessage(access));
        if (access.nResult == PORT_ACCESS_MISSING)
            m_err << " `meterctl ports` lists the ports found.";
        m_err << '\n';
        m_err.flush();
        return EXIT_PORT;
    }
    return EXIT_OK;
}

void MeterCtl::OnDriverFailure(const MeterLink& link, const SerialPort::Failure& failure)
{
    // The line closing is said once the request fails (ReportLinkFailure).
    if (!link.IsOpen())
        return;
    const QString& strOperation = failure.strOperation;
    QString strWarning;
    if (strOperation == QLatin1String("BuildCommDCB()") || strOperation == QLatin1String("SetCommState()"))
        strWarning = QStringLiteral("the port's line settings (9600 baud, 8 data bits, no parity, 1 stop bit) could "
                                    "not be set: ");
    else if (strOperation == QLatin1String("WriteFile()"))
        strWarning = QStringLiteral("a request could not be written to the port: ");
    else if (strOperation == QLatin1String("ReadFile()"))
        strWarning = QStringLiteral("reading from the port failed: ");
    else
        strWarning = QStringLiteral("the port reports a problem: ");
    strWarning += AsSentence(failure.strSystemText.simplified());
    // A port that keeps failing says so once.
    if (m_driverWarnings.contains(strWarning))
        return;
    m_driverWarnings << strWarning;
    m_err << "meterctl: warning: " << strWarning << '\n';
    m_err.flush();
}

int MeterCtl::ReportLinkFailure(LinkResult result, const QString& strWhat, const MeterLink& link)
{
    if (result == LINK_LOST)
    {
        // The system's reason when it has one ("Unknown error" is none).
        QString strReason = link.GetLineError().simplified();
        while (strReason.endsWith(QLatin1Char('.')))
            strReason.chop(1);
        if (strReason.compare(QLatin1String("Unknown error"), Qt::CaseInsensitive) == 0)
            strReason.clear();
        m_err << "meterctl: the line to the meter closed during " << strWhat
              << (strReason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(strReason))
              << ". Check the cable and that the meter is on.\n";
        m_err.flush();
        return EXIT_PORT;
    }
    const int nAttempts = link.Policy().nRetries + 1;
    m_err << "meterctl: the meter did not answer " << strWhat << " (" << nAttempts
          << (nAttempts == 1 ? " attempt, " : " attempts, ") << link.Policy().nReplyTimeoutMs
          << " ms each). Is it switched on, and is this its port?\n";
    m_err.flush();
    return EXIT_NO_ANSWER;
}

void MeterCtl::DisconnectMeter(MeterLink& link, const MeterOptions& options, bool bQuiet)
{
    if (!link.IsOpen() || !link.IsConnected())
        return;
    if (bQuiet)
    {
        // After a failure one attempt is enough: the meter was silent already.
        LinkPolicy policy = link.Policy();
        policy.nRetries = 0;
        link.SetPolicy(policy);
    }
    const LinkResult result = LinkSession(link).Disconnect();
    if (result == LINK_OK)
        m_err << PickText(TXT_DISCONNECTED, options.nLanguage) << '\n';
    else if (!bQuiet)
        m_err << "meterctl: warning: the meter did not confirm the disconnect request; it may still show the "
                 "connection.\n";
    m_err.flush();
}

int MeterCtl::CmdCalibrate(const QStringList& args)
{
    const QString strCommand = QStringLiteral("calibrate");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("rl"), QString(), QStringLiteral("VALUE")));
    parser.addOption(QCommandLineOption(QStringLiteral("opm"), QString(), QStringLiteral("VALUE")));
    int nExit = EXIT_OK;
    MeterOptions options;
    if (!ParseMeterCommand(parser, args, strCommand, options, nExit))
        return nExit;
    const bool bRl = parser.isSet(QStringLiteral("rl"));
    if (bRl == parser.isSet(QStringLiteral("opm")))
        return Usage(strCommand, QStringLiteral("give one of --rl VALUE or --opm VALUE."));
    const QString strValue = parser.value(bRl ? QStringLiteral("rl") : QStringLiteral("opm"));
    bool bOk = false;
    const float fValue = QLocale::c().toFloat(strValue.trimmed(), &bOk);
    // The meter takes the value as a 32-bit float: no infinity, no not-a-number.
    if (!bOk || !std::isfinite(fValue))
        return Usage(strCommand, QStringLiteral("'%1' is not a calibration value (a decimal number).").arg(strValue));

    MeterLink link;
    nExit = OpenMeter(options, link);
    if (nExit != EXIT_OK)
        return nExit;
    const quint8 byCommand = bRl ? CMD_CAL_RL : CMD_CAL_OPM;
    const LinkResult result = LinkSession(link).Calibrate(byCommand, fValue);
    if (result != LINK_OK)
        return ReportLinkFailure(result, QStringLiteral("the calibration request"), link);
    // The meter's confirmation is a message, not data: standard error.
    if (bRl)
        m_err << PickText(TXT_CAL_RL_DONE, options.nLanguage);
    else
        m_err << PickText(TXT_CAL_OPM_DONE, options.nLanguage);
    m_err << " (" << QLocale::c().toString(fValue) << ")\n";
    m_err.flush();
    return EXIT_OK;
}

int MeterCtl::CmdSetClock(const QStringList& args)
{
    const QString strCommand = QStringLiteral("set-clock");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("now")));
    int nExit = EXIT_OK;
    MeterOptions options;
    if (!ParseMeterCommand(parser, args, strCommand, options, nExit, true))
        return nExit;
    // "2012-05-03 09:05:07" as one argument, date and time as two, or ISO 8601.
    const QString strTime = parser.positionalArguments().join(QLatin1Char(' ')).simplified();
    if (parser.isSet(QStringLiteral("now")) && !strTime.isEmpty())
        return Usage(strCommand, QStringLiteral("give either --now or a time, not both."));
    QDateTime fixed;
    if (!strTime.isEmpty())
    {
        fixed = ParseClockTime(strTime);
        if (!fixed.isValid())
            return Usage(
                strCommand,
                QStringLiteral("'%1' is not a time of the form \"YYYY-MM-DD hh:mm:ss\" or YYYY-MM-DDThh:mm:ss.")
                    .arg(strTime));
    }
    const auto inRange = [](const QDateTime& t) { return t.date().year() >= 2000 && t.date().year() <= 2099; };
    if (fixed.isValid() && !inRange(fixed))
        return Usage(strCommand, QStringLiteral("the meter keeps years 2000 to 2099 only."));
    if (!fixed.isValid() && !inRange(QDateTime::currentDateTime()))
    {
        m_err << "meterctl: this computer's clock is outside the years the meter keeps (2000 to 2099).\n";
        m_err.flush();
        return EXIT_USAGE;
    }

    MeterLink link;
    nExit = OpenMeter(options, link);
    if (nExit != EXIT_OK)
        return nExit;
    const QDateTime sent = fixed.isValid() ? fixed : QDateTime::currentDateTime();
    const LinkResult result = LinkSession(link).SetClock(sent);
    if (result != LINK_OK)
        return ReportLinkFailure(result, QStringLiteral("the clock request"), link);
    m_err << PickText(TXT_CLOCK_SET, options.nLanguage) << " (" << sent.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
          << ")\n";
    m_err.flush();
    return EXIT_OK;
}

int MeterCtl::CmdShow(const QStringList& args)
{
    const QString strCommand = QStringLiteral("show");
    QCommandLineParser parser;
    AddLanguageOption(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("csv")));
    parser.addOption(QCommandLineOption(QStringLiteral("json")));
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    Language nLanguage = LANGUAGE_ENGLISH;
    QString strError;
    if (!ReadLanguage(parser, nLanguage, strError))
        return Usage(strCommand, strError);
    const bool bCsv = parser.isSet(QStringLiteral("csv"));
    const bool bJson = parser.isSet(QStringLiteral("json"));
    if (bCsv && bJson)
        return Usage(strCommand, QStringLiteral("give either --csv or --json, not both."));
    // --csv takes an optional "-" (standard output, where it prints anyway),
    // which the parser hands over as an argument.
    QStringList files = parser.positionalArguments();
    if (bCsv && files.size() == 2 && files.count(QStringLiteral("-")) == 1)
        files.removeOne(QStringLiteral("-"));
    if (files.size() != 1)
        return Usage(strCommand, QStringLiteral("give one report file."));
    const QString strPath = files.first();

    // Some 65,000 lines: made as UTF-8 in one buffer while the rows are
    // read (no row is kept), and written as it is once the whole report was
    // read; nothing is printed when it cannot be.
    ReportTextBuilder text(nLanguage);
    RecordsCsvBuilder csv(nLanguage, false);
    RecordsJsonBuilder json;
    ReportHooks hooks;
    hooks.showUserInfo = [&](const ReportUserInfo& info) {
        if (bJson)
            json.Begin(info, nullptr);
        else if (!bCsv)
            text.Begin(info);
    };
    hooks.expectRows = [&](qsizetype nRows) {
        if (bJson)
            json.Reserve(nRows);
        else if (bCsv)
            csv.Reserve(nRows);
        else
            text.Reserve(nRows);
    };
    hooks.appendRow = [&](MeasurementRecord&& row) {
        if (bJson)
            json.AddRow(row);
        else if (bCsv)
            csv.AddRow(row);
        else
            text.AddRow(row);
    };
    nExit = ReadReportFile(strPath, std::move(hooks));
    if (nExit != EXIT_OK)
        return nExit;
    WriteUtf8(m_out, bJson ? json.Take() : bCsv ? csv.Take() : text.Bytes());
    return EXIT_OK;
}
