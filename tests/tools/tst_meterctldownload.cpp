// meterctl download end to end against the simulated meter over a real
// pseudo-terminal: the report equals what the program's Save writes for the
// same records, the CSV, retries after a dropped reply, time-outs, a meter
// that hangs up, the row limit of a sheet, and the built-in demo meter.
#include "CtlTestRun.h"

#include "link/InstrumentFrame.h"
#include "records/RecordDecoder.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/XlsFile.h"
#include "tools/meter-sim/MeterSim.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

class TestMeterCtlDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ReportEqualsSavedReport_data();
    void ReportEqualsSavedReport();
    void RetryAfterDroppedReply_data();
    void RetryAfterDroppedReply();
    void MeterNeverAnswers();
    void NoAnswerMidDownload_data();
    void NoAnswerMidDownload();
    void MeterHangsUp_data();
    void MeterHangsUp();
    void TooManyRecordsForOneSheet();
    void RowLimitOfTheReport_data();
    void RowLimitOfTheReport();
    void EmptyMeter();
    void RowsOnTheOutputWithoutFiles();
    void DemoOneCommand();

private:
    std::unique_ptr<MeterSim> StartSim(int nRecords, const MeterSimOptions& options = MeterSimOptions());
    QString Path(const char* pszName) const { return m_pDir->filePath(QString::fromUtf8(pszName)); }
    QVector<MeasurementRecord> ExpectedRows(const MeterSim& sim) const;

    std::unique_ptr<QTemporaryDir> m_pDir;
};

namespace {
// The CSV as a spreadsheet program expects it, written out by hand.
QByteArray ExpectedCsv(const QVector<MeasurementRecord>& rows, bool bEnglish)
{
    QByteArray data("\xEF\xBB\xBF");
    data += bEnglish ? "Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n"
                     : "序号,波长,模式,RL|OPM|IL,REF|功率值,日期/时间,备注\r\n";
    for (const MeasurementRecord& row : rows)
    {
        QStringList fields;
        for (const QString& str : row.texts)
            fields << str;
        data += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return data;
}

int CsvRowCount(const QByteArray& csv)
{
    return int(csv.count("\r\n")) - 1;
}

// Every cell (text and format), the merges and the column widths of the
// active sheets of two report files.
void CompareReports(const QString& strActual, const QString& strExpected)
{
    Workbook actual, expected;
    QString strError;
    QVERIFY2(LoadWorkbookXls(strActual, actual, &strError), qPrintable(strError));
    QVERIFY2(LoadWorkbookXls(strExpected, expected, &strError), qPrintable(strError));
    const Worksheet& a = actual.ActiveSheet();
    const Worksheet& e = expected.ActiveSheet();
    QCOMPARE(a.CellCount(), e.CellCount());
    std::map<std::pair<int, int>, const Cell*> expectedCells;
    e.ForEachCell([&](int nRow, int nCol, const Cell& cell) { expectedCells[{nRow, nCol}] = &cell; });
    int nCompared = 0;
    a.ForEachCell([&](int nRow, int nCol, const Cell& cell) {
        const auto it = expectedCells.find({nRow, nCol});
        const QString strWhere = QStringLiteral("row %1 column %2").arg(nRow + 1).arg(nCol + 1);
        QVERIFY2(it != expectedCells.end(), qPrintable(strWhere));
        QVERIFY2(cell.strText == it->second->strText, qPrintable(strWhere + QStringLiteral(": ") + cell.strText +
                                                                 QStringLiteral(" / ") + it->second->strText));
        QVERIFY2(cell.format == it->second->format, qPrintable(strWhere));
        ++nCompared;
    });
    QCOMPARE(nCompared, e.CellCount());
    QCOMPARE(a.m_merges.size(), e.m_merges.size());
    for (int i = 0; i < a.m_merges.size(); ++i)
    {
        QCOMPARE(a.m_merges[i].nFirstRow, e.m_merges[i].nFirstRow);
        QCOMPARE(a.m_merges[i].nLastRow, e.m_merges[i].nLastRow);
        QCOMPARE(a.m_merges[i].nFirstCol, e.m_merges[i].nFirstCol);
        QCOMPARE(a.m_merges[i].nLastCol, e.m_merges[i].nLastCol);
    }
    QVERIFY(a.m_columnWidths == e.m_columnWidths);
}
} // namespace

void TestMeterCtlDownload::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
}

std::unique_ptr<MeterSim> TestMeterCtlDownload::StartSim(int nRecords, const MeterSimOptions& options)
{
    auto pSim = std::make_unique<MeterSim>();
    pSim->Records().Generate(nRecords);
    pSim->SetOptions(options);
    if (!pSim->Start())
        return nullptr;
    return pSim;
}

// The rows the program makes from the meter's replies: the simulator's
// reply frames through the shared record decoder.
QVector<MeasurementRecord> TestMeterCtlDownload::ExpectedRows(const MeterSim& sim) const
{
    QVector<MeasurementRecord> rows;
    auto& records = const_cast<MeterSim&>(sim).Records();
    for (int i = 1; i <= records.Count(); ++i)
    {
        const QByteArray frame = SimRecordSet::BuildReply(quint16(i), records.Record(i));
        rows.append(DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), MeterSim::DefaultWavelengths()));
    }
    return rows;
}

void TestMeterCtlDownload::ReportEqualsSavedReport_data()
{
    QTest::addColumn<QString>("strLang");
    QTest::addColumn<int>("nRecords");
    QTest::newRow("English, 300 records") << QStringLiteral("en") << 300;
    QTest::newRow("Chinese, 300 records") << QStringLiteral("zh") << 300;
}

void TestMeterCtlDownload::ReportEqualsSavedReport()
{
    QFETCH(QString, strLang);
    QFETCH(int, nRecords);
    auto pSim = StartSim(nRecords);
    QVERIFY(pSim);
    const ReportUserInfo info{QStringLiteral("光纤公司, Ltd"), QStringLiteral("FM-200"), QStringLiteral("SN 0042"),
                              QStringLiteral("李工"), QStringLiteral("line 3, \"north\"")};
    const CtlResult r =
        RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(), QStringLiteral("--xls"),
                Path("got.xls"), QStringLiteral("--csv"), Path("got.csv"), QStringLiteral("--lang"), strLang,
                QStringLiteral("--company"), info.strCompany, QStringLiteral("--meter-type"), info.strMeterType,
                QStringLiteral("--serial"), info.strSerial, QStringLiteral("--operator"), info.strOperator,
                QStringLiteral("--notes"), info.strNotes});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.contains(strLang == QLatin1String("en") ? QStringLiteral("Power reading success")
                                                             : QStringLiteral("功率读取成功")));
    // Records 1 .. N+1 asked for once each, after connect and count.
    QCOMPARE(pSim->GetRequestCount(CMD_READ_RECORD), nRecords + 1);
    QCOMPARE(pSim->GetRequestCount(CMD_CONNECT), 1);

    // The program's Save of the same rows and user information.
    const QVector<MeasurementRecord> rows = ExpectedRows(*pSim);
    QVector<MeasurementRecord*> pointers;
    for (const MeasurementRecord& row : rows)
        pointers.append(const_cast<MeasurementRecord*>(&row));
    ReportHooks hooks;
    hooks.fetchUserInfo = [&info]() { return info; };
    QVERIFY(WriteReportJob(Path("saved.xls"), pointers, strLang == QLatin1String("en") ? 1 : 2, hooks));
    CompareReports(Path("got.xls"), Path("saved.xls"));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(ReadWholeFile(Path("got.csv")), ExpectedCsv(rows, strLang == QLatin1String("en")));
}

void TestMeterCtlDownload::RetryAfterDroppedReply_data()
{
    // Replies are numbered connect 1, count 2, record i i+2, end N+3.
    QTest::addColumn<int>("nDropReply");
    QTest::newRow("connect") << 1;
    QTest::newRow("count") << 2;
    QTest::newRow("first record") << 3;
    QTest::newRow("record 15") << 17;
    QTest::newRow("last record") << 32;
    QTest::newRow("end of download") << 33;
}

void TestMeterCtlDownload::RetryAfterDroppedReply()
{
    QFETCH(int, nDropReply);
    MeterSimOptions options;
    options.nDropReply = nDropReply;
    auto pSim = StartSim(30, options);
    QVERIFY(pSim);
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(),
                                QStringLiteral("--csv"), Path("r.csv"), QStringLiteral("--timeout"),
                                QStringLiteral("200"), QStringLiteral("--lang"), QStringLiteral("en")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.contains(QStringLiteral("Power reading success")));
    QVERIFY(r.strOut.contains(QStringLiteral("1 request(s) sent again")));
    // One request more than a clean download: 1 + 1 + 31, plus the retry.
    QCOMPARE(pSim->GetRequestCount(), 33 + 1);
    QCOMPARE(ReadWholeFile(Path("r.csv")), ExpectedCsv(ExpectedRows(*pSim), true));
}

void TestMeterCtlDownload::MeterNeverAnswers()
{
    auto pSim = StartSim(10);
    QVERIFY(pSim);
    pSim->SetAutoReply(false);
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(),
                                QStringLiteral("--csv"), Path("n.csv"), QStringLiteral("--timeout"),
                                QStringLiteral("100"), QStringLiteral("--retries"), QStringLiteral("2")});
    QCOMPARE(r.nExit, int(EXIT_NO_ANSWER));
    QVERIFY2(r.strErr.contains(QStringLiteral("did not answer the connect request (3 attempts, 100 ms each)")),
             qPrintable(r.strErr));
    QCOMPARE(pSim->GetRequestCount(CMD_CONNECT), 3);
    QVERIFY(!QFile::exists(Path("n.csv")));
}

void TestMeterCtlDownload::NoAnswerMidDownload_data()
{
    QTest::addColumn<bool>("bKeepPartial");
    QTest::newRow("nothing written") << false;
    QTest::newRow("--keep-partial") << true;
}

void TestMeterCtlDownload::NoAnswerMidDownload()
{
    QFETCH(bool, bKeepPartial);
    MeterSimOptions options;
    options.nDropReply = 12; // record 10
    auto pSim = StartSim(20, options);
    QVERIFY(pSim);
    QStringList args{QStringLiteral("download"),
                     QStringLiteral("--port"),
                     pSim->GetDevicePath(),
                     QStringLiteral("--csv"),
                     Path("p.csv"),
                     QStringLiteral("--xls"),
                     Path("p.xls"),
                     QStringLiteral("--timeout"),
                     QStringLiteral("150"),
                     QStringLiteral("--retries"),
                     QStringLiteral("0")};
    if (bKeepPartial)
        args << QStringLiteral("--keep-partial");
    const CtlResult r = RunCtl(args);
    QCOMPARE(r.nExit, int(EXIT_NO_ANSWER));
    QVERIFY2(r.strErr.contains(QStringLiteral("record 10 of 20")), qPrintable(r.strErr));
    QCOMPARE(QFile::exists(Path("p.csv")), bKeepPartial);
    QCOMPARE(QFile::exists(Path("p.xls")), bKeepPartial);
    if (bKeepPartial)
    {
        QCOMPARE(ReadWholeFile(Path("p.csv")), ExpectedCsv(ExpectedRows(*pSim).mid(0, 9), true));
        QVERIFY(r.strOut.contains(QStringLiteral("9 records received so far")));
    }
}

void TestMeterCtlDownload::MeterHangsUp_data()
{
    QTest::addColumn<int>("nHangupAfter");
    QTest::addColumn<bool>("bKeepPartial");
    QTest::addColumn<int>("nExpectedExit");
    QTest::addColumn<int>("nExpectedRows");
    QTest::newRow("after 40 of 100") << 40 << false << int(EXIT_PORT) << -1;
    QTest::newRow("after 40 of 100, --keep-partial") << 40 << true << int(EXIT_PORT) << 40;
    // Every record is in; only the end of the download is missing.
    QTest::newRow("after the last record") << 100 << false << int(EXIT_OK) << 100;
}

void TestMeterCtlDownload::MeterHangsUp()
{
    QFETCH(int, nHangupAfter);
    QFETCH(bool, bKeepPartial);
    QFETCH(int, nExpectedExit);
    QFETCH(int, nExpectedRows);
    MeterSimOptions options;
    options.nHangupAfterRecords = nHangupAfter;
    auto pSim = StartSim(100, options);
    QVERIFY(pSim);
    QStringList args{QStringLiteral("download"),
                     QStringLiteral("--port"),
                     pSim->GetDevicePath(),
                     QStringLiteral("--csv"),
                     Path("h.csv"),
                     QStringLiteral("--timeout"),
                     QStringLiteral("2000"),
                     QStringLiteral("--retries"),
                     QStringLiteral("1")};
    if (bKeepPartial)
        args << QStringLiteral("--keep-partial");
    QElapsedTimer clock;
    clock.start();
    const CtlResult r = RunCtl(args);
    QVERIFY2(r.nExit == nExpectedExit, qPrintable(r.strErr));
    // A closed line is noticed at once, not after the time-outs.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    if (nExpectedExit == EXIT_PORT)
        QVERIFY2(r.strErr.contains(QStringLiteral("the line to the meter closed")), qPrintable(r.strErr));
    else
        QVERIFY(r.strErr.contains(QStringLiteral("warning: the meter did not confirm the end")));
    QCOMPARE(QFile::exists(Path("h.csv")), nExpectedRows >= 0);
    if (nExpectedRows >= 0)
        QCOMPARE(CsvRowCount(ReadWholeFile(Path("h.csv"))), nExpectedRows);
}

void TestMeterCtlDownload::TooManyRecordsForOneSheet()
{
    // Only a report asked for: refused once the count is known, before any record.
    auto pSim = StartSim(REPORT_MAX_RECORDS + 1);
    QVERIFY(pSim);
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(),
                                QStringLiteral("--xls"), Path("big.xls")});
    QCOMPARE(r.nExit, int(EXIT_TOO_MANY_ROWS));
    QVERIFY2(r.strErr.contains(QStringLiteral("65531 records")) && r.strErr.contains(QStringLiteral("--csv")),
             qPrintable(r.strErr));
    QCOMPARE(pSim->GetRequestCount(CMD_READ_RECORD), 0);
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
    QCOMPARE(CsvRowCount(ReadWholeFile(outputs.strCsv)), nRows);
    QCOMPARE(QFile::exists(outputs.strXls), nExpectedExit == EXIT_OK);
    if (nExpectedExit != EXIT_OK)
        QVERIFY2(strErr.contains(QStringLiteral("the CSV holds every record")), qPrintable(strErr));
    else
    {
        Workbook book;
        QVERIFY(LoadWorkbookXls(outputs.strXls, book, nullptr));
        QCOMPARE(book.ActiveSheet().Text(REPORT_SHEET_ROWS - 1, 0), QString::number(nRows));
    }
}

void TestMeterCtlDownload::EmptyMeter()
{
    auto pSim = StartSim(0);
    QVERIFY(pSim);
    const CtlResult r =
        RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(), QStringLiteral("--csv"),
                Path("e.csv"), QStringLiteral("--xls"), Path("e.xls"), QStringLiteral("--lang"), QStringLiteral("zh")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.contains(QStringLiteral("没有功率可读取")));
    QCOMPARE(pSim->GetRequestCount(CMD_READ_RECORD), 0);
    QCOMPARE(ReadWholeFile(Path("e.csv")), ExpectedCsv({}, false));
    Workbook book;
    QVERIFY(LoadWorkbookXls(Path("e.xls"), book, nullptr));
    QCOMPARE(book.ActiveSheet().Text(REPORT_HEADER_ROW - 1, 0), QStringLiteral("序号"));
}

void TestMeterCtlDownload::RowsOnTheOutputWithoutFiles()
{
    // Neither --xls nor --csv: the output holds the rows only, so that it
    // can be piped; progress and messages go to the error stream.
    auto pSim = StartSim(5);
    QVERIFY(pSim);
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), pSim->GetDevicePath(),
                                QStringLiteral("--lang"), QStringLiteral("en")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QString strExpected;
    for (const MeasurementRecord& row : ExpectedRows(*pSim))
    {
        QStringList fields;
        for (const QString& str : row.texts)
            fields << str;
        strExpected += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    QCOMPARE(r.strOut, strExpected);
    QVERIFY(r.strErr.contains(QStringLiteral("Power reading success")));
    QVERIFY(r.strErr.contains(QStringLiteral("5/5 records (100%)")));
}

void TestMeterCtlDownload::DemoOneCommand()
{
    // The one-command example of the user guide, run as the real program
    // (the demo meter paces its replies at 9600 baud: about ten seconds).
    const QString strXls = Path("out.xls");
    const QString strCsv = Path("out.csv");
    const CtlResult r =
        RunCtlProcess({QStringLiteral("download"), QStringLiteral("--demo"), QStringLiteral("--xls"), strXls,
                       QStringLiteral("--csv"), strCsv, QStringLiteral("--lang"), QStringLiteral("en")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.contains(QStringLiteral("Power reading success")));
    // Not a terminal: plain progress lines at every tenth, no bar.
    QVERIFY(r.strOut.contains(QStringLiteral("150/300 records (50%)")));
    QVERIFY(!r.strOut.contains(QLatin1Char('\r')));
    QCOMPARE(CsvRowCount(ReadWholeFile(strCsv)), 300);
    Workbook book;
    QVERIFY(LoadWorkbookXls(strXls, book, nullptr));
    int nFirst = 0, nLast = 0;
    QVERIFY(book.ActiveSheet().UsedRows(nFirst, nLast));
    QCOMPARE(nLast, REPORT_FIRST_DATA_ROW - 1 + 300 - 1);
}

QTEST_MAIN(TestMeterCtlDownload)
#include "tst_meterctldownload.moc"
