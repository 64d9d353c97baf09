// meterctl's console and CSV output: field quoting, the header in both
// languages, the progress bar on a terminal and progress lines elsewhere.
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/ProgressMeter.h"

#include <QtTest>

class TestMeterCtlOutput : public QObject
{
    Q_OBJECT

private slots:
    void CsvField_data();
    void CsvField();
    void CsvHeaderAndRows();
    void Duration_data();
    void Duration();
    void BarAndLine_data();
    void BarAndLine();
    void PlainLinesAtEveryTenth();
    void TerminalBarRedrawnInPlace();
};

void TestMeterCtlOutput::CsvField_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strField");
    QTest::newRow("plain") << QStringLiteral("-12.34dBm") << QStringLiteral("-12.34dBm");
    QTest::newRow("two blanks inside") << QStringLiteral("2012-5-3  9:5:7") << QStringLiteral("2012-5-3  9:5:7");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quotes doubled") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
    QTest::newRow("leading blank kept") << QStringLiteral(" x") << QStringLiteral("\" x\"");
    QTest::newRow("Chinese") << QStringLiteral("复测，北") << QStringLiteral("复测，北");
}

void TestMeterCtlOutput::CsvField()
{
    QFETCH(QString, strText);
    QFETCH(QString, strField);
    QCOMPARE(::CsvField(strText), strField);
}

void TestMeterCtlOutput::CsvHeaderAndRows()
{
    MeasurementRecord row;
    row.texts = {QStringLiteral("7"),       QStringLiteral("1550nm"),   QStringLiteral("IL"),
                 QStringLiteral("0.50dB"),  QStringLiteral("-3.00dBm"), QStringLiteral("2012-5-3  9:5:7"),
                 QStringLiteral("a, \"b\"")};
    QCOMPARE(BuildRecordsCsv({row}, 2, true),
             QByteArray("\xEF\xBB\xBF序号,波长,模式,RL|OPM|IL,REF|功率值,日期/时间,备注\r\n"
                        "7,1550nm,IL,0.50dB,-3.00dBm,2012-5-3  9:5:7,\"a, \"\"b\"\"\"\r\n"));
    QCOMPARE(BuildRecordsCsv({}, 1, false),
             QByteArray("Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n"));
}

void TestMeterCtlOutput::Duration_data()
{
    QTest::addColumn<qint64>("nSeconds");
    QTest::addColumn<QString>("strText");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0:00");
    QTest::newRow("59 s") << qint64(59) << QStringLiteral("0:59");
    QTest::newRow("61 s") << qint64(61) << QStringLiteral("1:01");
    QTest::newRow("59:59") << qint64(3599) << QStringLiteral("59:59");
    QTest::newRow("1 h") << qint64(3600) << QStringLiteral("1:00:00");
    QTest::newRow("1:01:01") << qint64(3661) << QStringLiteral("1:01:01");
    QTest::newRow("negative") << qint64(-5) << QStringLiteral("0:00");
}

void TestMeterCtlOutput::Duration()
{
    QFETCH(qint64, nSeconds);
    QFETCH(QString, strText);
    QCOMPARE(ProgressMeter::FormatDuration(nSeconds), strText);
}

void TestMeterCtlOutput::BarAndLine_data()
{
    QTest::addColumn<int>("nDone");
    QTest::addColumn<int>("nTotal");
    QTest::addColumn<double>("dRate");
    QTest::addColumn<QString>("strBar");
    QTest::addColumn<QString>("strLine");
    QTest::newRow("start, no rate yet") << 0 << 300 << 0.0 << QStringLiteral("[----------]    0/300    0%")
                                        << QStringLiteral("0/300 records (0%)");
    QTest::newRow("half way") << 150 << 300 << 50.0
                              << QStringLiteral("[#####-----]  150/300   50%  50.0 rec/s  0:03 left")
                              << QStringLiteral("150/300 records (50%), 50.0 rec/s, 0:03 left");
    // 64,000 records left at 9.5 a second: 1:52:17 (rounded up).
    QTest::newRow("long download") << 1535 << 65535 << 9.5
                                   << QStringLiteral("[----------]   1535/65535    2%  9.5 rec/s  1:52:17 left")
                                   << QStringLiteral("1535/65535 records (2%), 9.5 rec/s, 1:52:17 left");
    QTest::newRow("done") << 300 << 300 << 33.3 << QStringLiteral("[##########]  300/300  100%  33.3 rec/s  0:00 left")
                          << QStringLiteral("300/300 records (100%), 33.3 rec/s, 0:00 left");
}

void TestMeterCtlOutput::BarAndLine()
{
    QFETCH(int, nDone);
    QFETCH(int, nTotal);
    QFETCH(double, dRate);
    QFETCH(QString, strBar);
    QFETCH(QString, strLine);
    QCOMPARE(ProgressMeter::FormatBar(nDone, nTotal, dRate, 10), strBar);
    QCOMPARE(ProgressMeter::FormatLine(nDone, nTotal, dRate), strLine);
}

void TestMeterCtlOutput::PlainLinesAtEveryTenth()
{
    QString strOut;
    QTextStream out(&strOut);
    ProgressMeter progress(out, false);
    progress.Start(25);
    for (int i = 1; i <= 25; ++i)
        progress.Update(i);
    progress.Finish();
    out.flush();
    const QStringList lines = strOut.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // 0 and one line for each tenth reached: 3, 5, 8, 10, 13, 15, 18, 20, 23, 25.
    QCOMPARE(lines.size(), 11);
    QVERIFY(lines.first().startsWith(QStringLiteral("0/25 records (0%)")));
    QVERIFY(lines[5].startsWith(QStringLiteral("13/25 records (52%)")));
    QVERIFY(lines.last().startsWith(QStringLiteral("25/25 records (100%)")));
    QVERIFY(!strOut.contains(QLatin1Char('\r')));
}

void TestMeterCtlOutput::TerminalBarRedrawnInPlace()
{
    QString strOut;
    QTextStream out(&strOut);
    ProgressMeter progress(out, true);
    progress.Start(1000);
    for (int i = 1; i <= 1000; ++i)
        progress.Update(i);
    progress.Finish();
    out.flush();
    // Redrawn at most ten times a second (the loop takes far less), but the
    // last state is always drawn, and the line ends once.
    QVERIFY2(strOut.count(QLatin1Char('\r')) <= 3, qPrintable(strOut));
    QCOMPARE(strOut.count(QLatin1Char('\n')), 1);
    QVERIFY(strOut.endsWith(QStringLiteral("\x1b[K\n")));
    const QString strLast = strOut.section(QLatin1Char('\r'), -1);
    QVERIFY2(strLast.startsWith(QStringLiteral("[##############################]  1000/1000  100%")),
             qPrintable(strLast));
}

QTEST_GUILESS_MAIN(TestMeterCtlOutput)
#include "tst_meterctloutput.moc"
