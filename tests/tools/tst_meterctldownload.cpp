// meterctl download end to end against the simulated meter over a real
// pseudo-terminal: the report equals what the program's Save writes for the
// same records, the CSV, retries after a dropped reply, time-outs, a meter
// that hangs up, the row limit of a sheet, the disconnect at the end, CSV
// and JSON on standard output, info and its frame trace, --port auto, and
// the real program: data and messages apart, a progress bar on a terminal only.
#include "../report/LayoutCheck.h"
#include "CtlTestRun.h"

#include "link/InstrumentFrame.h"
#include "records/RecordDecoder.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "sim/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestMeterCtlDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ReportEqualsSavedReport_data();
    void ReportEqualsSavedReport();
    void DownloadWithFaults_data();
    void DownloadWithFaults();
    void TooManyRecordsForOneSheet();
    void RowLimitOfTheReport_data();
    void RowLimitOfTheReport();
    void DemoOneCommand();
    void StandardOutput_data();
    void StandardOutput();
    void Trace();
    void AutoPort_data();
    void AutoPort();
    void ProgressBarOnTerminalOnly();

private:
    // A simulated meter with nRecords records; its device replaces %1 in strArgs.
    QStringList StartSim(int nRecords, const QString& strArgs, const MeterSimOptions& options = MeterSimOptions());
    QString Path(const char* pszName) const { return m_pDir->filePath(QString::fromUtf8(pszName)); }
    QVector<MeasurementRecord> ExpectedRows() const;

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MeterSim> m_pSim;
};

namespace {
// The CSV as a spreadsheet program expects it, written out by hand.
QByteArray ExpectedCsv(const QVector<MeasurementRecord>& rows, bool bEnglish)
{
    QByteArray data("\xEF\xBB\xBF");
    data += bEnglish ? "Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n"
                     : "序号,波长,模式,RL|OPM|IL,REF|功率值,日期/时间,备注\r\n";
    for (const MeasurementRecord& row : rows)
        data += QStringList(row.texts.begin(), row.texts.end()).join(QLatin1Char(',')).toUtf8() + "\r\n";
    return data;
}

} // namespace

void TestMeterCtlDownload::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
}

QStringList TestMeterCtlDownload::StartSim(int nRecords, const QString& strArgs, const MeterSimOptions& options)
{
    m_pSim = std::make_unique<MeterSim>();
    m_pSim->Records().Generate(nRecords);
    m_pSim->SetOptions(options);
    return m_pSim->Start() ? Args(strArgs.arg(m_pSim->GetDevicePath())) : QStringList();
}

// The rows the program makes from the meter's replies: the simulator's
// reply frames through the shared record decoder.
QVector<MeasurementRecord> TestMeterCtlDownload::ExpectedRows() const
{
    QVector<MeasurementRecord> rows;
    for (int i = 1; i <= m_pSim->Records().Count(); ++i)
    {
        const QByteArray frame = SimRecordSet::BuildReply(quint16(i), m_pSim->Records().Record(i));
        rows.append(DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), MeterSim::DefaultWavelengths()));
    }
    return rows;
}

void TestMeterCtlDownload::ReportEqualsSavedReport_data()
{
    QTest::addColumn<QString>("strLang");
    QTest::addColumn<int>("nRecords");
    QTest::addColumn<QString>("strMessage");
    QTest::newRow("English, 300 records") << QStringLiteral("en") << 300 << QStringLiteral("Power reading success");
    QTest::newRow("Chinese, empty meter") << QStringLiteral("zh") << 0 << QStringLiteral("没有功率可读取");
}

void TestMeterCtlDownload::ReportEqualsSavedReport()
{
    QFETCH(QString, strLang);
    QFETCH(int, nRecords);
    QFETCH(QString, strMessage);
    const ReportUserInfo info{QStringLiteral("光纤公司, Ltd"), QStringLiteral("FM-200"), QStringLiteral("SN 0042"),
                              QStringLiteral("李工"), QStringLiteral("line 3, \"north\"")};
    QStringList args = StartSim(nRecords, QStringLiteral("download --port %1 --xls %2 --csv %3 --lang %4")
                                              .arg(QStringLiteral("%1"), Path("got.xls"), Path("got.csv"), strLang));
    QVERIFY(!args.isEmpty());
    args << QStringLiteral("--company") << info.strCompany << QStringLiteral("--meter-type") << info.strMeterType
         << QStringLiteral("--serial") << info.strSerial << QStringLiteral("--operator") << info.strOperator
         << QStringLiteral("--notes") << info.strNotes;
    const CtlResult r = RunCtl(args);
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    // Messages on the error stream; the files are all the data.
    QVERIFY2(r.strErr.contains(strMessage) && r.strOut.isEmpty(), qPrintable(r.strErr + r.strOut));
    // Records 1 .. N+1 asked for once each (none when empty), after one
    // connect and before the disconnect.
    QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), nRecords ? nRecords + 1 : 0);
    QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 1);
    QCOMPARE(m_pSim->GetRequests().last().at(FRAME_POS_COMMAND), char(CMD_DISCONNECT));

    // The report as the layout description says, read back by xlrd.
    QVector<MeasurementRecord> rows = ExpectedRows();
    const bool bEnglish = strLang == QLatin1String("en");
    if (LayoutCheck::HaveXlrd())
    {
        const QString strDiff =
            LayoutCheck::Compare(Path("got.xls"), bEnglish ? LANGUAGE_ENGLISH : LANGUAGE_CHINESE, info, rows);
        QVERIFY2(strDiff.isEmpty(), qPrintable(strDiff));
    }
    QCOMPARE(FileBytes(Path("got.csv")), ExpectedCsv(rows, bEnglish));
}

void TestMeterCtlDownload::DownloadWithFaults_data()
{
    // Replies are numbered connect 1, count 2, record i i+2; nDrop -1: none
    // at all. In strArgs %2 is the CSV, %3 the report; without them the rows
    // go to the output alone, to be piped, and every message to the error stream.
    QTest::addColumn<int>("nDrop");
    QTest::addColumn<int>("nHangupAfter");
    QTest::addColumn<QString>("strArgs");
    QTest::addColumn<int>("nExpectedExit");
    QTest::addColumn<QString>("strError");
    QTest::addColumn<int>("nKeptRows"); // -1: nothing written
    QTest::addColumn<int>("nDisconnects");
    const auto row = [](const char* pszName, int nDrop, int nHangup, const char* pszArgs, int nExit,
                        const char* pszError, int nKept, int nDisconnects) {
        QTest::newRow(pszName) << nDrop << nHangup << QString::fromUtf8(pszArgs) << nExit << QString::fromUtf8(pszError)
                               << nKept << nDisconnects;
    };
    row("connect sent again", 1, 0, "--timeout 200", EXIT_OK, "1 request was sent again", 100, 1);
    row("never answers", -1, 0, "--csv %2 --xls %3 --timeout 100 --retries 2", EXIT_NO_ANSWER,
        "did not answer the connect request (3 attempts, 100 ms each)", -1, 0);
    row("no answer for record 10", 12, 0, "--csv %2 --xls %3 --timeout 150 --retries 0", EXIT_NO_ANSWER,
        "record 10 of 100", -1, 1);
    row("hang-up after 40, --keep-partial", 0, 40, "--csv %2 --xls %3 --timeout 2000 --retries 1 --keep-partial",
        EXIT_PORT, "the line to the meter closed", 40, 0);
    // Replies: connect 1, count 2, records 3..102, end 103, disconnect 104.
    row("disconnect not answered: a warning", 104, 0, "--csv %2 --xls %3 --timeout 150 --retries 0", EXIT_OK,
        "warning: the meter did not confirm the disconnect", 100, 1);
    // Every record is in; only the end of the download is missing.
    row("hang-up after the last record", 0, 100, "--csv %2 --xls %3 --timeout 2000 --retries 1", EXIT_OK,
        "warning: the meter did not confirm the end", 100, 0);
}

void TestMeterCtlDownload::DownloadWithFaults()
{
    QFETCH(int, nDrop);
    QFETCH(int, nHangupAfter);
    QFETCH(QString, strArgs);
    QFETCH(int, nExpectedExit);
    QFETCH(QString, strError);
    QFETCH(int, nKeptRows);
    QFETCH(int, nDisconnects);
    MeterSimOptions options;
    options.nDropReply = qMax(nDrop, 0);
    options.nHangupAfterRecords = nHangupAfter;
    const QString strCsv = Path("c.csv"), strXls = Path("c.xls");
    const QStringList args = StartSim(100,
                                      QStringLiteral("download --lang en --port %1 ") +
                                          QString(strArgs).replace("%2", strCsv).replace("%3", strXls),
                                      options);
    QVERIFY(!args.isEmpty());
    m_pSim->SetAutoReply(nDrop >= 0);
    QElapsedTimer clock;
    clock.start();
    const CtlResult r = RunCtl(args);
    QVERIFY2(r.nExit == nExpectedExit && r.strErr.contains(strError), qPrintable(r.strErr));
    // The download ends with the disconnect request where the line allows,
    // and a failure is said once: no warning about the disconnect on top.
    QCOMPARE(m_pSim->GetRequestCount(CMD_DISCONNECT), nDisconnects);
    QVERIFY2(nExpectedExit == EXIT_OK || !r.strErr.contains(QStringLiteral("disconnect")), qPrintable(r.strErr));
    // Said for people: not the serial driver's box, not its "Unknown error",
    // one full stop at a time.
    for (const char* pszWindows : {"Failed", "WARNING", "ReadFile", "Unknown error", ".."})
        QVERIFY2(!r.strErr.contains(QLatin1String(pszWindows)), qPrintable(r.strErr));
    // A closed line is noticed at once, not after the time-outs.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    const QVector<MeasurementRecord> rows = ExpectedRows().mid(0, qMax(nKeptRows, 0));
    if (args.contains(strCsv))
    {
        QCOMPARE(QFile::exists(strXls) + QFile::exists(strCsv), nKeptRows < 0 ? 0 : 2);
        QCOMPARE(FileBytes(strCsv), nKeptRows < 0 ? QByteArray("<missing>") : ExpectedCsv(rows, true));
        return;
    }
    QString strRows;
    for (const MeasurementRecord& row : rows)
        strRows += QStringList(row.texts.begin(), row.texts.end()).join(QLatin1Char('\t')) + QLatin1Char('\n');
    QCOMPARE(r.strOut, strRows);
}

void TestMeterCtlDownload::TooManyRecordsForOneSheet()
{
    // Only a report asked for: refused once the count is known, before any record.
    const QStringList args =
        StartSim(REPORT_MAX_RECORDS + 1, QStringLiteral("download --port %1 --xls %2").arg("%1", Path("big.xls")));
    QVERIFY(!args.isEmpty());
    const CtlResult r = RunCtl(args);
    QCOMPARE(r.nExit, int(EXIT_TOO_MANY_ROWS));
    QVERIFY2(r.strErr.contains(QStringLiteral("65531 records")) && r.strErr.contains(QStringLiteral("--csv")),
             qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), 0);
    QVERIFY(!QFile::exists(Path("big.xls")));
}

void TestMeterCtlDownload::RowLimitOfTheReport_data()
{
    QTest::addColumn<int>("nRows");
    QTest::addColumn<int>("nExpectedExit");
    QTest::newRow("65,530 rows fit") << REPORT_MAX_RECORDS << int(EXIT_OK);
    QTest::newRow("65,531 rows do not") << REPORT_MAX_RECORDS + 1 << int(EXIT_TOO_MANY_ROWS);
}

void TestMeterCtlDownload::RowLimitOfTheReport()
{
    // A full download of 65,531 records takes over a minute; the writing
    // step gets the rows directly. The CSV holds them all either way.
    QFETCH(int, nRows);
    QFETCH(int, nExpectedExit);
    const QVector<MeasurementRecord> rows(nRows);
    QString strOut, strErr;
    QTextStream out(&strOut), err(&strErr);
    MeterCtl ctl(out, err, false);
    MeterCtl::DownloadOutputs outputs;
    outputs.strXls = Path("limit.xls");
    outputs.strCsv = Path("limit.csv");
    QCOMPARE(ctl.WriteOutputs(outputs, rows, false), nExpectedExit);
    QCOMPARE(int(FileBytes(outputs.strCsv).count("\r\n")) - 1, nRows);
    QCOMPARE(QFile::exists(outputs.strXls), nExpectedExit == EXIT_OK);
    if (nExpectedExit != EXIT_OK)
        QVERIFY2(strErr.contains(QStringLiteral("the CSV holds every record")), qPrintable(strErr));
}

void TestMeterCtlDownload::DemoOneCommand()
{
    // The one-command example of the user guide, run as the real program
    // (the demo meter paces its replies at 9600 baud: about ten seconds).
    const CtlResult r = RunCtlProcess(
        Args(QStringLiteral("download --demo --xls %1 --csv %2 --lang en").arg(Path("out.xls"), Path("out.csv"))));
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    // Files written: nothing on the output; every message on the error stream.
    QCOMPARE(r.strOut, QString());
    for (const char* pszFile : {"out.xls", "out.csv"})
        QVERIFY2(r.strErr.contains(QStringLiteral("Wrote 300 records to ") + Path(pszFile)), qPrintable(r.strErr));
    // Not a terminal: no bar, no line every so often, one line at the end.
    QVERIFY2(r.strErr.contains(QStringLiteral("\n300 of 300 records in 0:")), qPrintable(r.strErr));
    QVERIFY(!r.strErr.contains(QLatin1Char('\r')) && !r.strErr.contains(QStringLiteral("150 of")));
}

void TestMeterCtlDownload::StandardOutput_data()
{
    QTest::addColumn<QString>("strArgs");
    QTest::addColumn<QString>("strWrote"); // "" or the line on the error stream; %2 is the test's folder
    QTest::newRow("--csv=- with a report")
        << QStringLiteral("--csv=- --xls %2/r.xls") << QStringLiteral("Wrote 3 records to %2/r.xls\n");
    QTest::newRow("--json") << QStringLiteral("--json --company Fibre --notes 光纤") << QString();
    QTest::newRow("--json with a CSV file") << QStringLiteral("--json --csv %2/r.csv --company Fibre --notes 光纤")
                                            << QStringLiteral("Wrote 3 records to %2/r.csv\n");
}

void TestMeterCtlDownload::StandardOutput()
{
    QFETCH(QString, strArgs);
    QFETCH(QString, strWrote);
    m_pSim = std::make_unique<MeterSim>();
    // No wavelength (index 21), an insertion-loss byte of 7, a leap day.
    QVERIFY(m_pSim->Records().Parse(QStringLiteral("OPM 4 -12.34 -3.00 12-05-03 09:05:07\n"
                                                   "RL 21 45.1 0 99-12-31 23:59:59\n"
                                                   "7 0 1.5 -3.5 24-02-29 00:00:00\n")));
    QVERIFY(m_pSim->Start());
    const CtlResult r = RunCtl(QStringList{QStringLiteral("download"), QStringLiteral("--lang"), QStringLiteral("en"),
                                           QStringLiteral("--port"), m_pSim->GetDevicePath()} +
                               Args(QString(strArgs).replace(QStringLiteral("%2"), m_pDir->path())));
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QCOMPARE(r.strErr.contains(QStringLiteral("Wrote ")), !strWrote.isEmpty());
    QVERIFY2(r.strErr.contains(strWrote.replace(QStringLiteral("%2"), m_pDir->path())), qPrintable(r.strErr));
    const QStringList rows{QStringLiteral("1,1550nm,OPM,-12.34dBm,-3.00dBm,2012-5-3  9:5:7,"),
                           QStringLiteral("2,,RL,45.10dB,0.00dBm,2099-12-31  23:59:59,"),
                           QStringLiteral("3,850nm,IL,1.50dB,-3.50dBm,2024-2-29  0:0:0,")};
    if (!strArgs.contains(QStringLiteral("--json")))
    {
        // As `show --csv` prints it: no byte order mark.
        QCOMPARE(r.strOut, QStringLiteral("Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n") +
                               rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        return;
    }
    QJsonParseError error;
    const QJsonObject got = QJsonDocument::fromJson(r.strOut.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(r.strOut));
    // The members in the documented order, each record on a line of its own.
    QVERIFY2(r.strOut.startsWith(QStringLiteral("{\n\"userInformation\": ")) &&
                 r.strOut.indexOf(QStringLiteral("\n\"wavelengths\": ")) <
                     r.strOut.indexOf(QStringLiteral("\n\"records\": ")) &&
                 r.strOut.count(QRegularExpression(QStringLiteral("\n\\{\"mode\":[^\n]*\\}(,|\n\\])\n"))) == 3,
             qPrintable(r.strOut));
    QCOMPARE(got.value(QStringLiteral("userInformation")).toObject(),
             QJsonDocument::fromJson(R"({"company": "Fibre", "meterType": "", "serial": "", "operator": "",
                                         "notes": "光纤"})")
                 .object());
    // The records carry the texts the CSV shows; the fields read from them
    // are tst_meterctloutput's business.
    QStringList texts;
    for (const QJsonValue& record : got.value(QStringLiteral("records")).toArray())
        texts << record.toObject().value(QStringLiteral("texts")).toVariant().toStringList().join(QLatin1Char(','));
    QCOMPARE(texts, rows);
    // The table the meter sent when it connected.
    QJsonArray wavelengths;
    for (const quint32 nWave : MeterSim::DefaultWavelengths())
        wavelengths.append(int(nWave));
    QCOMPARE(got.value(QStringLiteral("wavelengths")).toArray(), wavelengths);
}

void TestMeterCtlDownload::Trace()
{
    // `info` with --trace in-process, and QT_LOGGING_RULES for the real
    // program (read once when a program starts): the same lines, with a time
    // stamp and the port; without either, no trace.
    const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} meter\\.link: "
                                                 "/dev/pts/\\d+ (->|<-) ([0-9A-F]{2}( [0-9A-F]{2})*)$"));
    WavelengthTable wavelengths = MeterSim::DefaultWavelengths();
    wavelengths[19] = 0;
    for (int nRun = 0; nRun < 3; ++nRun)
    {
        const QStringList args = StartSim(2, QStringLiteral("info --lang en --port %1"));
        QVERIFY(!args.isEmpty());
        m_pSim->SetWavelengths(wavelengths);
        const CtlResult r = nRun == 0 ? RunCtl(args + QStringList{QStringLiteral("--trace")})
                            : nRun == 1
                                ? RunCtlProcess(args, {}, {QStringLiteral("QT_LOGGING_RULES=meter.link.debug=true")})
                                : RunCtl(args);
        QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
        QStringList frames;
        for (const QString& strLine : r.strErr.split(QLatin1Char('\n')))
        {
            const QRegularExpressionMatch match = line.match(strLine);
            if (match.hasMatch())
                frames << match.captured(1) + QLatin1Char(' ') + match.captured(2).left(8);
        }
        // Connect, count, disconnect: each request and the start of its reply.
        const QStringList expected{"-> 33 03 10", "<- 33 2C 11", "-> 33 03 80",
                                   "<- 33 05 81", "-> 33 03 20", "<- 33 03 21"};
        QCOMPARE(frames, nRun < 2 ? expected : QStringList());
        // The table as the meter sent it and the count; the messages apart.
        QCOMPARE(r.strOut, QStringLiteral("Wavelengths (nm): 850 1300 1310 1490 1550 1625 1270 1290 1330 1350 1370 "
                                          "1390 1410 1430 1450 1470 1510 1530 1570 0\nRecords: 2\n"));
        if (nRun == 2)
            QCOMPARE(r.strErr, QStringLiteral("Connection success\nDisconnect success!\n"));
    }
}

void TestMeterCtlDownload::AutoPort_data()
{
    // The ports tried, in order: m meters that answer, s meters that stay
    // silent, and a device that does not exist.
    QTest::addColumn<int>("nMeters");
    QTest::addColumn<int>("nSilent");
    QTest::addColumn<int>("nExpectedExit");
    QTest::addColumn<QString>("strError");
    QTest::newRow("one meter among silent ports") << 1 << 3 << int(EXIT_OK) << QStringLiteral("The meter answers on ");
    QTest::newRow("none answers") << 0 << 2 << int(EXIT_PORT) << QStringLiteral("no port answers as a meter");
    QTest::newRow("two meters") << 2 << 0 << int(EXIT_PORT) << QStringLiteral("name one with --port");
}

void TestMeterCtlDownload::AutoPort()
{
    QFETCH(int, nMeters);
    QFETCH(int, nSilent);
    QFETCH(int, nExpectedExit);
    QFETCH(QString, strError);
    std::vector<std::unique_ptr<MeterSim>> sims;
    QStringList ports{QStringLiteral("/dev/pts/9999")};
    for (int i = 0; i < nMeters + nSilent; ++i)
    {
        sims.push_back(std::make_unique<MeterSim>());
        sims.back()->Records().Generate(5);
        QVERIFY(sims.back()->Start());
        sims.back()->SetAutoReply(i < nMeters);
        ports.insert(i % 2 ? ports.size() : 0, sims.back()->GetDevicePath());
    }
    QElapsedTimer clock;
    clock.start();
    const CtlResult r = RunCtl(Args(QStringLiteral("download --lang en --port auto --timeout 1000 --csv -")), ports);
    QVERIFY2(r.nExit == nExpectedExit && r.strErr.contains(strError), qPrintable(r.strErr));
    // Every port at once: one time-out for all the silent ones, not one each.
    if (nSilent > 1)
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    if (nExpectedExit == EXIT_OK)
    {
        // Probed and disconnected again, then connected for the download.
        QCOMPARE(sims[0]->GetRequestCount(CMD_CONNECT), 2);
        QCOMPARE(sims[0]->GetRequestCount(CMD_DISCONNECT), 2);
        QVERIFY(r.strErr.contains(sims[0]->GetDevicePath()));
        QCOMPARE(r.strOut.count(QStringLiteral("\r\n")), 1 + 5);
    }
    else
        QCOMPARE(r.strOut, QString());
    if (nMeters == 0)
        QVERIFY2(r.strErr.contains(QStringLiteral("    /dev/pts/9999: no such device\n")) &&
                     r.strErr.contains(QStringLiteral(": no answer\n")),
                 qPrintable(r.strErr));
}

void TestMeterCtlDownload::ProgressBarOnTerminalOnly()
{
    // The real program with the error stream on a terminal (script(1) gives
    // it one) and the output in a file: the bar is drawn on the terminal and
    // the file holds the CSV alone. Not a terminal: see DemoOneCommand.
    const QString strScript = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (strScript.isEmpty())
        QSKIP("script (bsdutils) is not installed");
    const QStringList args = StartSim(50, QStringLiteral("download --lang en --port %1 --csv -"));
    QVERIFY(!args.isEmpty());
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(strScript, {QStringLiteral("-qec"),
                              QStringLiteral(METERCTL_PATH " ") + args.join(QLatin1Char(' ')) + QStringLiteral(" > ") +
                                  Path("t.csv"),
                              QStringLiteral("/dev/null")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), int(EXIT_OK));
    const QString strTerminal = QString::fromUtf8(process.readAllStandardOutput());
    const QString strFull = QLatin1Char('[') + QString(30, QLatin1Char('#')) + QStringLiteral("]  50/50  100%");
    QVERIFY2(strTerminal.contains(QLatin1Char('\r') + strFull), qPrintable(strTerminal));
    const QByteArray csv = FileBytes(Path("t.csv"));
    QVERIFY2(csv.startsWith("Number,") && csv.count("\r\n") == 51 && !csv.contains('[') && !csv.contains('\x1b'),
             csv.constData());
}

QTEST_MAIN(TestMeterCtlDownload)
#include "tst_meterctldownload.moc"
