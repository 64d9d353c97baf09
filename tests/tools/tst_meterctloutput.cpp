// meterctl's console, CSV and JSON output: field quoting, the progress
// texts, the bar redrawn in place on a terminal, and the record texts read
// back into numbers for JSON.
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/ProgressMeter.h"
#include "tools/meterctl/RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class TestMeterCtlOutput : public QObject
{
    Q_OBJECT

private slots:
    void CsvField_data();
    void CsvField();
    void BarAndSummary();
    void TerminalBarRedrawnInPlace();
    void RecordFields_data();
    void RecordFields();
};

void TestMeterCtlOutput::CsvField_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strField");
    // Plain fields, commas and doubled quotes are in the CSVs the other
    // meterctl tests compare (a note x, "y" among them).
    QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("leading blank kept") << QStringLiteral(" x") << QStringLiteral("\" x\"");
}

void TestMeterCtlOutput::CsvField()
{
    QFETCH(QString, strText);
    QFETCH(QString, strField);
    QCOMPARE(::CsvField(strText), strField);
}

void TestMeterCtlOutput::BarAndSummary()
{
    // 64,000 records left at 9.5 a second: 1:52:17 (rounded up).
    QCOMPARE(ProgressMeter::FormatBar(1535, 65535, 9.5, 10),
             QStringLiteral("[----------]   1535/65535    2%  9.5 rec/s  1:52:17 left"));
    // A point in the rate whatever the locale (the tests run in German).
    QCOMPARE(ProgressMeter::FormatSummary(40, 100, 4200), QStringLiteral("40 of 100 records in 0:05 (9.5 rec/s)"));
    QCOMPARE(ProgressMeter::FormatSummary(3, 3, 0), QStringLiteral("3 of 3 records in 0:00"));
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

void TestMeterCtlOutput::RecordFields_data()
{
    // The seven texts (tab-separated) and the fields expected from them.
    QTest::addColumn<QString>("strTexts");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* pszName, const char* pszTexts, const char* pszJson) {
        QTest::newRow(pszName) << QString::fromUtf8(pszTexts) << QByteArray(pszJson);
    };
    // An OPM record as the meter gives it is read in the JSON of show
    // (tst_meterctlcommands).
    row("leap day, 850 nm", "3\t850nm\tIL\t0.35dB\t-3.50dBm\t2024-2-29  0:0:0\t",
        R"({"number":3,"wavelength":850,"mode":"IL","value":0.35,"unit":"dB","reference":-3.5,)"
        R"("time":"2024-02-29T00:00:00"})");
    row("return loss, no wavelength", "2\t\tRL\t45.10dB\t0.00dBm\t2099-12-31  23:59:59\tnote",
        R"({"number":2,"wavelength":null,"mode":"RL","value":45.1,"unit":"dB","reference":0,)"
        R"("time":"2099-12-31T23:59:59"})");
    row("edited in a spreadsheet", " 3 \t1310\til\t1.5\t-3dBm\t2012-05-03 09:05:07\t",
        R"({"number":3,"wavelength":1310,"mode":"IL","value":1.5,"unit":null,"reference":-3,)"
        R"("time":"2012-05-03T09:05:07"})");
    row("blanks around, signs, bare points",
        "+7\t 1550.nm\n\tOpm \t -.5 dB\t+.25dBm \t\x0b"
        "2012-5-3 \r 9:5:7\r\n\t",
        R"({"number":7,"wavelength":1550,"mode":"OPM","value":-0.5,"unit":"dB","reference":0.25,)"
        R"("time":"2012-05-03T09:05:07"})");
    // A whole number beyond 2^53 would lose digits; the others keep the
    // form QJsonDocument gives them (-0 is 0, 1e15 has all its digits, 1e21
    // an exponent).
    row("large and negative zero", "9007199254740992\t1000000000000000000000nm\tRL\t-0.00dB\t1000000000000000dBm\t\t",
        R"({"number":9007199254740992,"wavelength":1e21,"mode":"RL","value":0,"unit":"dB","reference":1e15,)"
        R"("time":null})");
    // What reads as no number: the decoder's inf and nan, a decimal comma,
    // a unit that is not the column's, month 13, a year byte of 150, an
    // exponent, a point alone, a no-break space, full-width digits, a day
    // of three digits, no blank before the hour, a number past 2^53.
    row("nothing reads", "x\t1550 nm?\tOTDR\tinfdB\tnandBm\t2012-13-1  0:0:0\t",
        R"({"number":null,"wavelength":null,"mode":null,"value":null,"unit":null,"reference":null,"time":null})");
    row("comma, wrong unit, five-digit year", "1.5\t1550mm\tRL\t-12,34dBm\t-3.00dB\t20150-1-1  0:0:0\t",
        R"({"number":null,"wavelength":null,"mode":"RL","value":null,"unit":null,"reference":null,"time":null})");
    row("exponent, point, no-break space",
        "9007199254740993\t1e3nm\tIL\t.dB\t1\xc2\xa0"
        "dBm\t2012-5-333 0:0:0\t",
        R"({"number":null,"wavelength":null,"mode":"IL","value":null,"unit":null,"reference":null,"time":null})");
    row("full-width digits, no blank", "\xef\xbc\x91\t\xef\xbc\x91\xef\xbc\x92nm\t\t5 dB m\t-\t2012-5-0309:5:7\t",
        R"({"number":null,"wavelength":null,"mode":null,"value":null,"unit":null,"reference":null,"time":null})");
    row("empty", "\t\t\t\t\t\t",
        R"({"number":null,"wavelength":null,"mode":null,"value":null,"unit":null,"reference":null,"time":null})");
    // Texts that need JSON's escapes or are not ASCII.
    row("texts escaped", "1\t\"q\"\tback\\slash\t\x01\x1f\x7f\t\xe5\x85\x89\xe7\xba\xa4\t\xf0\x9f\x98\x80\ttab\there",
        R"({"number":1,"wavelength":null,"mode":null,"value":null,"unit":null,"reference":null,"time":null})");
}

void TestMeterCtlOutput::RecordFields()
{
    QFETCH(QString, strTexts);
    QFETCH(QByteArray, expected);
    MeasurementRecord row;
    const QStringList texts = strTexts.split(QLatin1Char('\t')).mid(0, RECORD_COLUMNS - 1) +
                              QStringList{strTexts.section(QLatin1Char('\t'), RECORD_COLUMNS - 1)};
    std::copy(texts.cbegin(), texts.cend(), row.texts.begin());
    const QByteArray document = BuildRecordsJson({row}, ReportUserInfo{}, nullptr);
    // One record a line, between the line that opens the list and the one
    // that closes it.
    const QList<QByteArray> lines = document.split('\n');
    const qsizetype nOpen = lines.indexOf("\"records\": [");
    QVERIFY2(nOpen > 0 && lines.value(nOpen + 2) == "]", document.constData());
    const QByteArray line = lines[nOpen + 1];
    QJsonParseError error;
    QJsonObject got = QJsonDocument::fromJson(line, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
    // Compact, and the very bytes Qt's own writer makes of what it read.
    QCOMPARE(line, QJsonDocument(got).toJson(QJsonDocument::Compact));
    QVERIFY(QJsonDocument::fromJson(document).isObject());
    // The texts come back as they are.
    QCOMPARE(got.take(QStringLiteral("texts")).toArray().toVariantList(), QVariant(texts).toList());
    const QJsonObject want = QJsonDocument::fromJson(expected).object();
    QVERIFY(!want.isEmpty());
    QCOMPARE(got, want);
}

QTEST_GUILESS_MAIN(TestMeterCtlOutput)
#include "tst_meterctloutput.moc"
