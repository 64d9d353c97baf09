// meterctl's console and CSV output: field quoting, the progress texts and
// the bar redrawn in place on a terminal.
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/ProgressMeter.h"

#include <QtTest>

class TestMeterCtlOutput : public QObject
{
    Q_OBJECT

private slots:
    void CsvField_data();
    void CsvField();
    void BarAndLine();
    void TerminalBarRedrawnInPlace();
};

void TestMeterCtlOutput::CsvField_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strField");
    QTest::newRow("plain") << QStringLiteral("-12.34dBm") << QStringLiteral("-12.34dBm");
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quotes doubled") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("leading blank kept") << QStringLiteral(" x") << QStringLiteral("\" x\"");
}

void TestMeterCtlOutput::CsvField()
{
    QFETCH(QString, strText);
    QFETCH(QString, strField);
    QCOMPARE(::CsvField(strText), strField);
}

void TestMeterCtlOutput::BarAndLine()
{
    // 64,000 records left at 9.5 a second: 1:52:17 (rounded up).
    QCOMPARE(ProgressMeter::FormatBar(1535, 65535, 9.5, 10),
             QStringLiteral("[----------]   1535/65535    2%  9.5 rec/s  1:52:17 left"));
    QCOMPARE(ProgressMeter::FormatLine(1535, 65535, 9.5),
             QStringLiteral("1535/65535 records (2%), 9.5 rec/s, 1:52:17 left"));
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
    const QString strFull = QLatin1Char('[') + QString(30, QLatin1Char('#')) + QStringLiteral("]  1000/1000  100%");
    QVERIFY2(strOut.section(QLatin1Char('\r'), -1).startsWith(strFull), qPrintable(strOut));
}

QTEST_GUILESS_MAIN(TestMeterCtlOutput)
#include "tst_meterctloutput.moc"
