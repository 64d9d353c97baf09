// meterctl's console and CSV output: field quoting, the progress bar on a
// terminal and progress lines elsewhere.
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/ProgressMeter.h"

#include <QtTest>

class TestMeterCtlOutput : public QObject
{
    Q_OBJECT

private slots:
    void CsvField_data();
    void CsvField();
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
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quotes doubled") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("leading blank kept") << QStringLiteral(" x") << QStringLiteral("\" x\"");
    QTest::newRow("Chinese") << QStringLiteral("复测，北") << QStringLiteral("复测，北");
}

void TestMeterCtlOutput::CsvField()
{
    QFETCH(QString, strText);
    QFETCH(QString, strField);
    QCOMPARE(::CsvField(strText), strField);
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
