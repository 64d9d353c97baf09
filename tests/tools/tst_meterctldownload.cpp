// meterctl download end to end against the simulated meter over a real
// pseudo-terminal: the report equals what the program's Save writes for the
// same records, the CSV, retries after a dropped reply, time-outs, a meter
// that hangs up, the row limit of a sheet, and the built-in demo meter.
#include "CtlTestRun.h"
#include "../report/LayoutCheck.h"

#include "link/InstrumentFrame.h"
#include "records/RecordDecoder.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/XlsFile.h"
#include "sim/MeterSim.h"

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

int CsvRowCount(const QString& strPath)
{
    return int(ReadWholeFile(strPath).count("\r\n")) - 1;
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
    QVERIFY2(r.strOut.contains(strMessage), qPrintable(r.strOut));
    // Records 1 .. N+1 asked for once each (none when empty), after one connect.
    QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), nRecords ? nRecords + 1 : 0);
    QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 1);

    // The report as the layout description says, read back by xlrd.
    QVector<MeasurementRecord> rows = ExpectedRows();
    const bool bEnglish = strLang == QLatin1String("en");
    if (LayoutCheck::HaveXlrd())
    {
        const QString strDiff =
            LayoutCheck::Compare(Path("got.xls"), bEnglish ? LANGUAGE_ENGLISH : LANGUAGE_CHINESE, info, rows);
        QVERIFY2(strDiff.isEmpty(), qPrintable(strDiff));
    }
    QCOMPARE(ReadWholeFile(Path("got.csv")), ExpectedCsv(rows, bEnglish));
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
    const auto row = [](const char* pszName, int nDrop, int nHangup, const char* pszArgs, int nExit,
                        const char* pszError, int nKept) {
        QTest::newRow(pszName) << nDrop << nHangup << QString::fromUtf8(pszArgs) << nExit << QString::fromUtf8(pszError)
                               << nKept;
    };
    row("connect sent again", 1, 0, "--timeout 200", EXIT_OK, "1 request(s) sent again", 100);
    row("record 15 sent again", 17, 0, "--timeout 200", EXIT_OK, "1 request(s) sent again", 100);
    row("never answers", -1, 0, "--csv %2 --xls %3 --timeout 100 --retries 2", EXIT_NO_ANSWER,
        "did not answer the connect request (3 attempts, 100 ms each)", -1);
    row("no answer for record 10", 12, 0, "--csv %2 --xls %3 --timeout 150 --retries 0", EXIT_NO_ANSWER,
        "record 10 of 100", -1);
    row("no answer for record 10, --keep-partial", 12, 0, "--csv %2 --xls %3 --timeout 150 --retries 0 --keep-partial",
        EXIT_NO_ANSWER, "record 10 of 100", 9);
    row("hang-up after 40", 0, 40, "--csv %2 --xls %3 --timeout 2000 --retries 1", EXIT_PORT,
        "the line to the meter closed", -1);
    row("hang-up after 40, --keep-partial", 0, 40, "--csv %2 --xls %3 --timeout 2000 --retries 1 --keep-partial",
        EXIT_PORT, "the line to the meter closed", 40);
    // Every record is in; only the end of the download is missing.
    row("hang-up after the last record", 0, 100, "--csv %2 --xls %3 --timeout 2000 --retries 1", EXIT_OK,
        "warning: the meter did not confirm the end", 100);
}

void TestMeterCtlDownload::DownloadWithFaults()
{
    QFETCH(int, nDrop);
    QFETCH(int, nHangupAfter);
    QFETCH(QString, strArgs);
    QFETCH(int, nExpectedExit);
    QFETCH(QString, strError);
    QFETCH(int, nKeptRows);
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
    // A closed line is noticed at once, not after the time-outs.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    const QVector<MeasurementRecord> rows = ExpectedRows().mid(0, qMax(nKeptRows, 0));
    if (args.contains(strCsv))
    {
        QCOMPARE(QFile::exists(strXls) + QFile::exists(strCsv), nKeptRows < 0 ? 0 : 2);
        QCOMPARE(ReadWholeFile(strCsv), nKeptRows < 0 ? QByteArray() : ExpectedCsv(rows, true));
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
    // step gets the rows directly.
    QFETCH(int, nRows);
    QFETCH(int, nExpectedExit);
    QVector<MeasurementRecord> rows(nRows);
    for (int i = 0; i < nRows; ++i)
        rows[i].texts[COL_NUMBER] = QString::number(i + 1);
    QString strOut, strErr;
    QTextStream out(&strOut), err(&strErr);
    MeterCtl ctl(out, err, false);
    MeterCtl::DownloadOutputs outputs;
    outputs.strXls = Path("limit.xls");
    outputs.strCsv = Path("limit.csv");
    QCOMPARE(ctl.WriteOutputs(outputs, rows, false), nExpectedExit);
    err.flush();
    QCOMPARE(CsvRowCount(outputs.strCsv), nRows);
    Workbook book;
    QCOMPARE(LoadWorkbookXls(outputs.strXls, book, nullptr), nExpectedExit == EXIT_OK);
    if (nExpectedExit == EXIT_OK)
        QCOMPARE(book.ActiveSheet().Text(REPORT_SHEET_ROWS - 1, 0), QString::number(nRows));
    else
        QVERIFY2(strErr.contains(QStringLiteral("the CSV holds every record")), qPrintable(strErr));
}

void TestMeterCtlDownload::DemoOneCommand()
{
    // The one-command example of the user guide, run as the real program
    // (the demo meter paces its replies at 9600 baud: about ten seconds).
    const CtlResult r = RunCtlProcess(
        Args(QStringLiteral("download --demo --xls %1 --csv %2 --lang en").arg(Path("out.xls"), Path("out.csv"))));
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.contains(QStringLiteral("Power reading success")));
    // Not a terminal: plain progress lines at every tenth, no bar.
    QVERIFY(r.strOut.contains(QStringLiteral("\n150/300 records (50%)")));
    QVERIFY(!r.strOut.contains(QLatin1Char('\r')));
    QCOMPARE(CsvRowCount(Path("out.csv")), 300);
    Workbook book;
    int nFirst = 0, nLast = 0;
    QVERIFY(LoadWorkbookXls(Path("out.xls"), book, nullptr) && book.ActiveSheet().UsedRows(nFirst, nLast));
    QCOMPARE(nLast, REPORT_FIRST_DATA_ROW - 1 + 300 - 1);
}

QTEST_MAIN(TestMeterCtlDownload)
#include "tst_meterctldownload.moc"
