// The .xls engine against readers and writers that nobody here wrote:
// xlrd reads what we save (texts and formatting), LibreOffice reads what we
// save, and we read what LibreOffice saves from a flat ODS document.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "XlsTestBook.h"
#include "report/XlsFile.h"

using namespace XlsTestBook;

class TestXlsExternal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void XlrdReadsReport_data();
    void XlrdReadsReport();
    void LibreOfficeReadsReport();
    void ReadLibreOfficeFile();

private:
    bool RunSoffice(const QStringList& args);

    QTemporaryDir m_dir;
    QString m_strSoffice;
};

namespace {

// Splits LibreOffice's CSV (comma, double quotes, UTF-8) into rows of fields.
QVector<QStringList> ParseCsv(const QString& strText)
{
    QVector<QStringList> rows;
    QStringList row;
    QString field;
    bool bQuoted = false;
    for (int i = 0; i < strText.size(); ++i)
    {
        const QChar ch = strText[i];
        if (bQuoted)
        {
            if (ch == QLatin1Char('"') && i + 1 < strText.size() && strText[i + 1] == QLatin1Char('"'))
                field += ch, ++i;
            else if (ch == QLatin1Char('"'))
                bQuoted = false;
            else
                field += ch;
        }
        else if (ch == QLatin1Char('"'))
            bQuoted = true;
        else if (ch == QLatin1Char(','))
            row << field, field.clear();
        else if (ch == QLatin1Char('\n'))
        {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        }
        else if (ch != QLatin1Char('\r'))
            field += ch;
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QString XmlEscaped(const QString& str)
{
    return str.toHtmlEscaped();
}

// Texts of the "Long" sheet: enough of them for the shared-string table to
// need many CONTINUE records, Chinese (two bytes a character) and Latin-1
// (one byte) mixed, and one text longer than a whole record.
QStringList LongSheetTexts()
{
    QStringList texts;
    for (int i = 0; i < 3000; ++i)
        texts << ((i % 3 == 0) ? QStringLiteral("plain text line %1 of the long sheet").arg(i)
                               : QStringLiteral("第%1行 测量记录 record-%1").arg(i));
    texts[1500] = QString(20000, QLatin1Char('x')) + QStringLiteral("尾");
    return texts;
}

QByteArray FlatOds()
{
    QString str = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
        " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
        " xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\""
        " xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\""
        " office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
        "<office:automatic-styles>"
        "<style:style style:name=\"co1\" style:family=\"table-column\">"
        "<style:table-column-properties style:column-width=\"2in\"/></style:style>"
        "</office:automatic-styles>\n"
        "<office:body><office:spreadsheet>\n"
        "<table:table table:name=\"数据\">"
        "<table:table-column table:style-name=\"co1\"/><table:table-column table:number-columns-repeated=\"8\"/>\n"
        "<table:table-row>"
        "<table:table-cell office:value-type=\"string\" "
        "><text:p>名称</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" office:value=\"42\"><text:p>42</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" office:value=\"0.1\"><text:p>0.1</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" "
        "office:value=\"-1.5E+20\"><text:p>-1.5E+20</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"boolean\" "
        "office:boolean-value=\"true\"><text:p>TRUE</text:p></table:table-cell>"
        "<table:table-cell table:formula=\"of:=1/0\"><text:p>#DIV/0!</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" "
        "office:value=\"123456\"><text:p>123456</text:p></table:table-cell>"
        "<table:table-cell table:formula=\"of:=2+3\" office:value-type=\"float\" "
        "office:value=\"5\"><text:p>5</text:p></table:table-cell>"
        "</table:table-row>\n"
        "<table:table-row>"
        "<table:table-cell table:number-columns-spanned=\"3\" table:number-rows-spanned=\"1\" "
        "office:value-type=\"string\">"
        "<text:p>merged</text:p></table:table-cell><table:covered-table-cell table:number-columns-repeated=\"2\"/>"
        "<table:table-cell office:value-type=\"float\" office:value=\"1\"><text:p>1</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" office:value=\"2\"><text:p>2</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"float\" office:value=\"3\"><text:p>3</text:p></table:table-cell>"
        "</table:table-row>\n"
        "</table:table>\n<table:table table:name=\"Long\"><table:table-column/>\n");
    for (const QString& strText : LongSheetTexts())
        str += QStringLiteral("<table:table-row><table:table-cell office:value-type=\"string\"><text:p>%1</text:p>"
                              "</table:table-cell></table:table-row>\n")
                   .arg(XmlEscaped(strText));
    str += QStringLiteral("</table:table>\n</office:spreadsheet></office:body></office:document>\n");
    return str.toUtf8();
}

} // namespace

void TestXlsExternal::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsSet("METER_KEEP_TEMP"))
    {
        m_dir.setAutoRemove(false);
        qInfo("files kept in %s", qPrintable(m_dir.path()));
    }
    m_strSoffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

bool TestXlsExternal::RunSoffice(const QStringList& args)
{
    // A private profile, so that the test neither needs nor touches the
    // user's LibreOffice settings and runs beside an open LibreOffice.
    QStringList all{QStringLiteral("--headless"),
                    QStringLiteral("-env:UserInstallation=file://") + m_dir.filePath(QStringLiteral("lo-profile"))};
    all += args;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_strSoffice, all);
    if (!p.waitForFinished(180000))
    {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void TestXlsExternal::XlrdReadsReport_data()
{
    QTest::addColumn<bool>("bChinese");
    QTest::addColumn<int>("nRows");
    QTest::newRow("Chinese, 5 rows") << true << 5;
    QTest::newRow("English, no rows") << false << 0;
}

void TestXlsExternal::XlrdReadsReport()
{
    QFETCH(bool, bChinese);
    QFETCH(int, nRows);
    const QString strPython = PythonWithXlrd();
    if (strPython.isEmpty())
        QSKIP("python3-xlrd is not installed (apt-get install python3-xlrd)");
    const Workbook book = ReportBook(bChinese, nRows);
    const QString strPath = m_dir.filePath(QStringLiteral("xlrd.xls"));
    QString strError;
    QVERIFY2(SaveWorkbookXls(book, strPath, &strError), qPrintable(strError));

    QProcess p;
    p.start(strPython, {QFINDTESTDATA("xls_check.py"), strPath});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QCOMPARE(root.value(QStringLiteral("nsheets")).toInt(), 1);
    const QJsonObject sheet = root.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("name")).toString(), QStringLiteral("Sheet1"));
    QCOMPARE(sheet.value(QStringLiteral("selected")).toInt(), 1);
    QCOMPARE(sheet.value(QStringLiteral("visible")).toInt(), 1);

    // Merges: xlrd gives (first row, last row + 1, first column, last column + 1).
    QSet<QString> merges;
    for (const QJsonValue& v : sheet.value(QStringLiteral("merges")).toArray())
    {
        const QJsonArray m = v.toArray();
        merges << QStringLiteral("%1:%2 %3:%4")
                      .arg(m[0].toInt())
                      .arg(m[1].toInt() - 1)
                      .arg(m[2].toInt())
                      .arg(m[3].toInt() - 1);
    }
    QSet<QString> expectedMerges;
    for (int nRow = 1; nRow <= 3; ++nRow)
        for (const QString& strCols : {QStringLiteral("1:2"), QStringLiteral("3:5"), QStringLiteral("7:8")})
            expectedMerges << QStringLiteral("%1:%1 %2").arg(nRow).arg(strCols);
    QCOMPARE(merges, expectedMerges);

    // Widths: B, C, H, I 8 characters; D, E 10; F, G 22; the rest default.
    const QJsonObject widths = sheet.value(QStringLiteral("widths")).toObject();
    const int expectedWidths[] = {2340, 2230, 2230, 2742, 2742, 5814, 5814, 2230, 2230, 2340};
    for (int nCol = 0; nCol < 10; ++nCol)
        QCOMPARE(widths.value(QString::number(nCol)).toInt(), expectedWidths[nCol]);

    const Worksheet& ws = book.ActiveSheet();
    int nTexts = 0;
    for (const QJsonValue& v : sheet.value(QStringLiteral("cells")).toArray())
    {
        const QJsonObject c = v.toObject();
        const int nRow = c.value(QStringLiteral("row")).toInt();
        const int nCol = c.value(QStringLiteral("col")).toInt();
        const QString strWhere = QStringLiteral("row %1 col %2").arg(nRow).arg(nCol);
        const Cell* pCell = ws.Find(nRow, nCol);
        QVERIFY2(c.value(QStringLiteral("text")).toString() == ws.Text(nRow, nCol), qPrintable(strWhere));
        if (!pCell)
            continue;
        if (!pCell->strText.isEmpty())
        {
            ++nTexts;
            QCOMPARE(c.value(QStringLiteral("type")).toInt(), 1); // XL_CELL_TEXT
        }
        const CellFormat& f = pCell->format;
        QVERIFY2(c.value(QStringLiteral("bold")).toInt() == (f.bBold ? 1 : 0), qPrintable(strWhere));
        QVERIFY2(c.value(QStringLiteral("format")).toString() == QStringLiteral("@"), qPrintable(strWhere));
        QVERIFY2(c.value(QStringLiteral("horz")).toInt() == f.nHorzAlign, qPrintable(strWhere));
        QVERIFY2(c.value(QStringLiteral("vert")).toInt() == f.nVertAlign, qPrintable(strWhere));
        if (f.nFillColorIndex == 35) // Excel's light green is palette entry 42
            QVERIFY2(c.value(QStringLiteral("pattern")).toInt() == 1 && c.value(QStringLiteral("colour")).toInt() == 42,
                     qPrintable(strWhere));
        else
            QVERIFY2(c.value(QStringLiteral("pattern")).toInt() == 0, qPrintable(strWhere));
    }
    QCOMPARE(nTexts, 12 + 7 + 6 * nRows);
}

void TestXlsExternal::LibreOfficeReadsReport()
{
    if (m_strSoffice.isEmpty())
        QSKIP("LibreOffice is not installed (apt-get install libreoffice-calc-nogui)");
    const Workbook book = ReportBook(true, 20);
    const QString strPath = m_dir.filePath(QStringLiteral("lo-in.xls"));
    QVERIFY(SaveWorkbookXls(book, strPath, nullptr));
    const QString strOut = m_dir.filePath(QStringLiteral("csv"));
    QVERIFY2(RunSoffice({QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                         QStringLiteral("--outdir"), strOut, strPath}),
             "soffice failed to convert the workbook");
    QFile csv(strOut + QStringLiteral("/lo-in.csv"));
    QVERIFY2(csv.open(QIODevice::ReadOnly), "LibreOffice wrote no CSV");
    const QVector<QStringList> rows = ParseCsv(QString::fromUtf8(csv.readAll()));
    int nFirst = 0, nLast = 0;
    QVERIFY(book.ActiveSheet().UsedRows(nFirst, nLast));
    QCOMPARE(rows.size(), nLast + 1);
    for (int nRow = 0; nRow < rows.size(); ++nRow)
        for (int nCol = 0; nCol < 11; ++nCol)
            QCOMPARE(rows[nRow].value(nCol), book.ActiveSheet().Text(nRow, nCol));
}

void TestXlsExternal::ReadLibreOfficeFile()
{
    if (m_strSoffice.isEmpty())
        QSKIP("LibreOffice is not installed (apt-get install libreoffice-calc-nogui)");
    const QString strFods = m_dir.filePath(QStringLiteral("made-by-lo.fods"));
    QFile fods(strFods);
    QVERIFY(fods.open(QIODevice::WriteOnly));
    fods.write(FlatOds());
    fods.close();
    const QString strOut = m_dir.filePath(QStringLiteral("xls"));
    QVERIFY2(RunSoffice({QStringLiteral("--convert-to"), QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"),
                         strOut, strFods}),
             "soffice failed to convert the flat ODS file");

    Workbook book;
    QString strError;
    QVERIFY2(LoadWorkbookXls(strOut + QStringLiteral("/made-by-lo.xls"), book, &strError), qPrintable(strError));
    QCOMPARE(book.m_sheets.size(), 2);
    QCOMPARE(book.m_sheets[0].m_strName, QStringLiteral("数据"));
    QCOMPARE(book.m_sheets[1].m_strName, QStringLiteral("Long"));
    QCOMPARE(book.m_nActiveSheet, 0); // LibreOffice shows the first sheet

    // Numbers, booleans, errors and formula results as the reader turns
    // them into text.
    const Worksheet& data = book.m_sheets[0];
    const QStringList expected{QStringLiteral("名称"),     QStringLiteral("42"),   QStringLiteral("0.1"),
                               QStringLiteral("-1.5e+20"), QStringLiteral("TRUE"), QStringLiteral("#DIV/0!"),
                               QStringLiteral("123456"),   QStringLiteral("5")};
    for (int nCol = 0; nCol < expected.size(); ++nCol)
        QCOMPARE(data.Text(0, nCol), expected[nCol]);
    QCOMPARE(data.Text(1, 0), QStringLiteral("merged"));
    QCOMPARE(data.Text(1, 3) + data.Text(1, 4) + data.Text(1, 5), QStringLiteral("123"));
    QCOMPARE(data.m_merges.size(), 1);
    QCOMPARE(data.m_merges[0].nFirstCol, 0);
    QCOMPARE(data.m_merges[0].nLastCol, 2);
    QVERIFY(data.m_columnWidths.count(0) == 1 && data.m_columnWidths.at(0) > 15);

    const QStringList texts = LongSheetTexts();
    const Worksheet& longSheet = book.m_sheets[1];
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(longSheet.Text(i, 0) == texts[i], qPrintable(QStringLiteral("Long row %1").arg(i)));
}

QTEST_GUILESS_MAIN(TestXlsExternal)
#include "tst_xlsexternal.moc"
