// meterctl's commands: the command table, help and options, the port list,
// calibration, the meter's clock and showing a report.
#include "tools/meterctl/MeterCtl.h"

#include "link/InstrumentFrame.h"
#include "link/MeterLink.h"
#include "link/PortAccess.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "sim/MeterSim.h"
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/LinkSession.h"

#include "MeterVersion.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSerialPortInfo>
#include <cmath>

namespace {
const char* const EXIT_CODES_HELP = "Exit codes:\n"
                                    "  0  done\n"
                                    "  1  usage: unknown command or option, bad value\n"
                                    "  2  port: not found, permission denied, cannot be opened, or the line closed\n"
                                    "  3  the meter did not answer (after every retry)\n"
                                    "  4  file: an output cannot be written, the input is not a report\n"
                                    "  5  more records than one .xls sheet holds (65,530); the CSV is still written\n";

const char* const METER_OPTIONS_HELP =
    "  --port DEV       serial device: ttyUSB0, COM1, or any path such as /dev/pts/3\n"
    "  --demo           use the built-in simulated meter (300 records) instead of a port\n"
    "  --timeout MS     wait this long for each reply (default 1000)\n"
    "  --retries N      ask again this often when a reply does not come (default 3)\n"
    "  --lang zh|en     language of the messages (default: from the locale)\n";

struct CommandHelp
{
    const char* pszName;
    const char* pszUsage;
    const char* pszText;
    bool bMeterOptions;
};

const CommandHelp COMMAND_HELP[] = {
    {"ports", "meterctl ports",
     "Lists the serial ports found, with description, manufacturer, USB vendor and\n"
     "product id and serial number where the system knows them.\n",
     false},
    {"download",
     "meterctl download (--port DEV | --demo) [--xls FILE] [--csv FILE] [--lang zh|en]\n"
     "                  [--company T] [--meter-type T] [--serial T] [--operator T] [--notes T]\n"
     "                  [--keep-partial] [--timeout MS] [--retries N]",
     "Connects to the meter and downloads every stored record. --xls writes the\n"
     "report as the program's Save does (same layout, texts in the chosen\n"
     "language, the five user-information fields from the options); --csv writes\n"
     "the rows as CSV (UTF-8 with byte order mark, header row, seven columns).\n"
     "Without either the rows are printed. A reply that does not come is asked\n"
     "for again; when it never comes nothing is written unless --keep-partial is\n"
     "given, which writes the records received so far.\n"
     "\n"
     "  --xls FILE       write the report workbook (the name must end in .xls)\n"
     "  --csv FILE       write the records as CSV\n"
     "  --company T, --meter-type T, --serial T, --operator T, --notes T\n"
     "                   the user information of the report\n"
     "  --keep-partial   after a failure, write the records received so far\n",
     true},
    {"calibrate", "meterctl calibrate (--rl VALUE | --opm VALUE) (--port DEV | --demo)",
     "Sends a calibration value to the meter and waits for its confirmation:\n"
     "--rl for the return-loss power path, --opm for the power meter.\n"
     "\n"
     "  --rl VALUE       calibrate the return-loss power path (a decimal number)\n"
     "  --opm VALUE      calibrate the power meter path\n",
     true},
    {"set-clock", "meterctl set-clock [--now | \"YYYY-MM-DD hh:mm:ss\"] (--port DEV | --demo)",
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
    {"show", "meterctl show FILE.xls [--csv] [--lang zh|en]",
     "Prints a report's user information and rows as the program's Open loads\n"
     "them, tab-separated (control characters shown as spaces). --csv prints the\n"
     "rows as CSV instead (header row first, no byte order mark), without the\n"
     "user information.\n"
     "\n"
     "  --csv            print the rows as CSV\n"
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

// Text from a file shown on a terminal: control characters (escape
// sequences included) become spaces, so a report cannot drive the terminal
// and every row stays on one line.
QString Printable(const QString& strText)
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

bool ReadIntOption(const QCommandLineParser& parser, const QString& strName, int nMin, int nMax, int nDefault,
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
} // namespace

MeterCtl::MeterCtl(QTextStream& out, QTextStream& err, bool bTerminal)
    : m_out(out), m_err(err), m_pStatus(&out), m_bTerminal(bTerminal)
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
                 "  ports       list the serial ports\n"
                 "  download    download every record to an .xls report and/or a CSV\n"
                 "  calibrate   send a calibration value (--rl or --opm)\n"
                 "  set-clock   set the meter's clock\n"
                 "  show        print a report's user information and rows\n"
                 "  convert     turn a download CSV into a report and back\n"
                 "\n`meterctl COMMAND --help` describes a command.\n\n"
              << EXIT_CODES_HELP;
    }
    m_out.flush();
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
        nExit = Usage(strCommand, parser.errorText() + QLatin1Char('.'));
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
    AddLanguageOption(parser);
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
        strError = options.bDemo ? QStringLiteral("give either --port or --demo, not both.")
                                 : QStringLiteral("which meter? Give --port DEV (see `meterctl ports`) or --demo.");
        return false;
    }
    if (!options.bDemo && options.strPort.isEmpty())
    {
        strError = QStringLiteral("--port needs a device.");
        return false;
    }
    const LinkPolicy defaults;
    return ReadIntOption(parser, QStringLiteral("timeout"), 10, 60000, defaults.nReplyTimeoutMs, options.nTimeoutMs,
                         strError) &&
           ReadIntOption(parser, QStringLiteral("retries"), 0, 100, defaults.nRetries, options.nRetries, strError) &&
           ReadLanguage(parser, options.nLanguage, strError);
}

int MeterCtl::OpenMeter(const MeterOptions& options, MeterLink& link)
{
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
        Status() << "Simulated meter on " << strPort << '\n';
        Status().flush();
    }
    PortAccess access = CheckPortAccess(strPort);
    LinkPolicy policy;
    policy.nReplyTimeoutMs = options.nTimeoutMs;
    policy.nRetries = options.nRetries;
    link.SetPolicy(policy);
    // The line closing is said once the request fails (ReportLinkFailure).
    link.SetFailureReporter([](const QString&, const QString&) {});
    if (access.nResult == PORT_ACCESS_OK && !link.Open(access.strDevice, 1))
        access = link.GetOpenProblem();
    if (access.nResult != PORT_ACCESS_OK)
    {
        m_err << "meterctl: " << PortAccessMessage(access);
        if (access.nResult == PORT_ACCESS_MISSING)
            m_err << " `meterctl ports` lists the ports found.";
        m_err << '\n';
        m_err.flush();
        return EXIT_PORT;
    }
    return EXIT_OK;
}

int MeterCtl::ReportLinkFailure(LinkResult result, const QString& strWhat, const MeterLink& link)
{
    if (result == LINK_LOST)
    {
        m_err << "meterctl: the line to the meter closed during " << strWhat
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

int MeterCtl::CmdPorts(const QStringList& args)
{
    QCommandLineParser parser;
    int nExit = EXIT_OK;
    if (!Parse(parser, args, QStringLiteral("ports"), nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return Usage(QStringLiteral("ports"), QStringLiteral("ports takes no arguments."));
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

int MeterCtl::CmdCalibrate(const QStringList& args)
{
    const QString strCommand = QStringLiteral("calibrate");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("rl"), QString(), QStringLiteral("VALUE")));
    parser.addOption(QCommandLineOption(QStringLiteral("opm"), QString(), QStringLiteral("VALUE")));
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    MeterOptions options;
    QString strError;
    if (!ReadMeterOptions(parser, options, strError))
        return Usage(strCommand, strError);
    if (!parser.positionalArguments().isEmpty())
        return Usage(strCommand, QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments()[0]));
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
    if (bRl)
        m_out << PickText(TXT_CAL_RL_DONE, options.nLanguage);
    else
        m_out << PickText(TXT_CAL_OPM_DONE, options.nLanguage);
    m_out << " (" << QLocale::c().toString(fValue) << ")\n";
    m_out.flush();
    return EXIT_OK;
}

int MeterCtl::CmdSetClock(const QStringList& args)
{
    const QString strCommand = QStringLiteral("set-clock");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("now")));
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    MeterOptions options;
    QString strError;
    if (!ReadMeterOptions(parser, options, strError))
        return Usage(strCommand, strError);
    // "2012-05-03 09:05:07" as one argument, or date and time as two.
    const QString strTime = parser.positionalArguments().join(QLatin1Char(' ')).simplified();
    if (parser.isSet(QStringLiteral("now")) && !strTime.isEmpty())
        return Usage(strCommand, QStringLiteral("give either --now or a time, not both."));
    QDateTime fixed;
    if (!strTime.isEmpty())
    {
        fixed = QDateTime::fromString(strTime, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!fixed.isValid())
            return Usage(strCommand,
                         QStringLiteral("'%1' is not a time of the form \"YYYY-MM-DD hh:mm:ss\".").arg(strTime));
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
    m_out << PickText(TXT_CLOCK_SET, options.nLanguage) << " (" << sent.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
          << ")\n";
    m_out.flush();
    return EXIT_OK;
}

int MeterCtl::CmdShow(const QStringList& args)
{
    const QString strCommand = QStringLiteral("show");
    QCommandLineParser parser;
    AddLanguageOption(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("csv")));
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    Language nLanguage = LANGUAGE_ENGLISH;
    QString strError;
    if (!ReadLanguage(parser, nLanguage, strError))
        return Usage(strCommand, strError);
    if (parser.positionalArguments().size() != 1)
        return Usage(strCommand, QStringLiteral("give one report file."));
    const QString strPath = parser.positionalArguments().first();
    ReportUserInfo userInfo;
    QVector<MeasurementRecord> rows;
    nExit = ReadReportFile(strPath, rows, userInfo);
    if (nExit != EXIT_OK)
        return nExit;

    if (parser.isSet(QStringLiteral("csv")))
    {
        m_out << QString::fromUtf8(BuildRecordsCsv(rows, nLanguage, false));
        m_out.flush();
        return EXIT_OK;
    }
    // Labels as the report shows them, field by field.
    std::array<QString, INFO_FIELD_COUNT> labels;
    for (const ReportInfoRow& row : REPORT_INFO_ROWS)
    {
        labels[size_t(row.leftField)] = PickText(row.leftLabel, nLanguage);
        if (row.rightField < INFO_FIELD_COUNT)
            labels[size_t(row.rightField)] = PickText(row.rightLabel, nLanguage);
    }
    const QString values[INFO_FIELD_COUNT] = {userInfo.strCompany, userInfo.strMeterType, userInfo.strSerial,
                                              userInfo.strOperator, userInfo.strNotes};
    QString strText;
    for (int nField = 0; nField < INFO_FIELD_COUNT; ++nField)
        strText += labels[size_t(nField)] + Printable(values[nField]) + QLatin1Char('\n');
    strText += QLatin1Char('\n');
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        const BiText& text = REPORT_COLUMN_HEADERS[size_t(nCol)];
        strText += (nCol > 0 ? QStringLiteral("\t") : QString()) + PickText(text, nLanguage);
    }
    strText += QLatin1Char('\n');
    for (const MeasurementRecord& row : std::as_const(rows))
    {
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        {
            if (nCol > 0)
                strText += QLatin1Char('\t');
            strText += Printable(row.texts[size_t(nCol)]);
        }
        strText += QLatin1Char('\n');
    }
    m_out << strText;
    m_out.flush();
    return EXIT_OK;
}
