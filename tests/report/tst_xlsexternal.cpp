// The .xls engine against a reader and writer that nobody here wrote:
// LibreOffice reads what we save, and we read what LibreOffice saves from a
// flat ODS document. (xlrd reads the saved report in tst_reportlayout.)
#include <QStandardPaths>
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
    void LibreOfficeReadsReport();
    void ReadLibreOfficeFile();

private:
    bool RunSoffice(const QString& strFilter, const QString& strOutDir, const QString& strFile);

    QTemporaryDir m_dir;
    QString m_strSoffice;
};

namespace {

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

QString OdsCell(const QString& strAttributes, const QString& strText)
{
    return QStringLiteral("<table:table-cell %1><text:p>%2</text:p></table:table-cell>")
        .arg(strAttributes, strText.toHtmlEscaped());
}

QString OdsNumber(const QString& strValue)
{
    return OdsCell(QStringLiteral("office:value-type=\"float\" office:value=\"%1\"").arg(strValue), strValue);
}

// Sheet "数据": a text, numbers, a boolean, an error and formulas, a merge
// over A2:C2 and a 2-inch column A; sheet "Long": LongSheetTexts() in A.
QByteArray FlatOds()
{
    const QString strString = QStringLiteral("office:value-type=\"string\"");
    QString str = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document"
        " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
        " xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\""
        " office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
        "<office:automatic-styles><style:style style:name=\"co1\" style:family=\"table-column\">"
        "<style:table-column-properties style:column-width=\"2in\"/></style:style></office:automatic-styles>\n"
        "<office:body><office:spreadsheet><table:table table:name=\"数据\"><table:table-column "
        "table:style-name=\"co1\"/><table:table-column table:number-columns-repeated=\"8\"/>\n<table:table-row>");
    str +=
        OdsCell(strString, QStringLiteral("名称")) + OdsNumber(QStringLiteral("42")) +
        OdsNumber(QStringLiteral("0.1")) + OdsNumber(QStringLiteral("-1.5E+20")) +
        OdsCell(QStringLiteral("office:value-type=\"boolean\" office:boolean-value=\"true\""), QStringLiteral("TRUE")) +
        OdsCell(QStringLiteral("table:formula=\"of:=1/0\""), QStringLiteral("#DIV/0!")) +
        OdsNumber(QStringLiteral("123456")) +
        OdsCell(QStringLiteral("table:formula=\"of:=2+3\" office:value-type=\"float\" office:value=\"5\""),
                QStringLiteral("5")) +
        QStringLiteral("</table:table-row>\n<table:table-row>") +
        OdsCell(QStringLiteral("table:number-columns-spanned=\"3\" table:number-rows-spanned=\"1\" ") + strString,
                QStringLiteral("merged")) +
        QStringLiteral("<table:covered-table-cell table:number-columns-repeated=\"2\"/>") +
        OdsNumber(QStringLiteral("1")) + OdsNumber(QStringLiteral("2")) + OdsNumber(QStringLiteral("3")) +
        QStringLiteral("</table:table-row>\n</table:table>\n<table:table table:name=\"Long\"><table:table-column/>");
    for (const QString& strText : LongSheetTexts())
        str += QStringLiteral("<table:table-row>%1</table:table-row>\n").arg(OdsCell(strString, strText));
    str += QStringLiteral("</table:table>\n</office:spreadsheet></office:body></office:document>\n");
    return str.toUtf8();
}

} // namespace

void TestXlsExternal::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_dir.setAutoRemove(!qEnvironmentVariableIsSet("METER_KEEP_TEMP"));
    m_strSoffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

bool TestXlsExternal::RunSoffice(const QString& strFilter, const QString& strOutDir, const QString& strFile)
{
    // A private profile, so that the test neither needs nor touches the
    // user's LibreOffice settings and runs beside an open LibreOffice.
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(m_strSoffice,
            {QStringLiteral("--headless"),
             QStringLiteral("-env:UserInstallation=file://") + m_dir.filePath(QStringLiteral("lo-profile")),
             QStringLiteral("--convert-to"), strFilter, QStringLiteral("--outdir"), strOutDir, strFile});
    if (!p.waitForFinished(180000))
        p.kill(), p.waitForFinished();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void TestXlsExternal::LibreOfficeReadsReport()
{
    if (m_strSoffice.isEmpty())
        QSKIP("LibreOffice is not installed (apt-get install libreoffice-calc-nogui)");
    const Workbook book = ReportBook(true, 20);
    const QString strPath = m_dir.filePath(QStringLiteral("lo-in.xls"));
    QVERIFY(SaveWorkbookXls(book, strPath, nullptr));
    const QString strOut = m_dir.filePath(QStringLiteral("csv"));
    QVERIFY2(RunSoffice(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), strOut, strPath),
             "soffice failed to convert the workbook");
    QFile csv(strOut + QStringLiteral("/lo-in.csv"));
    QVERIFY2(csv.open(QIODevice::ReadOnly), "LibreOffice wrote no CSV");
    // No text of the report holds a comma, a quote or a line break.
    QStringList lines = QString::fromUtf8(csv.readAll()).remove(QLatin1Char('\r')).split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    int nFirst = 0, nLast = 0;
    QVERIFY(book.ActiveSheet().UsedRows(nFirst, nLast));
    QCOMPARE(lines.size(), nLast + 1);
    for (int nRow = 0; nRow < lines.size(); ++nRow)
    {
        const QStringList fields = lines[nRow].split(QLatin1Char(','));
        for (int nCol = 0; nCol < 11; ++nCol)
            QCOMPARE(fields.value(nCol).remove(QLatin1Char('"')), book.ActiveSheet().Text(nRow, nCol));
    }
}

void TestXlsExternal::ReadLibreOfficeFile()
{
    if (m_strSoffice.isEmpty())
        QSKIP("LibreOffice is not installed (apt-get install libreoffice-calc-nogui)");
    QFile fods(m_dir.filePath(QStringLiteral("made-by-lo.fods")));
    QVERIFY(fods.open(QIODevice::WriteOnly) && fods.write(FlatOds()) > 0);
    fods.close();
    const QString strOut = m_dir.filePath(QStringLiteral("xls"));
    QVERIFY2(RunSoffice(QStringLiteral("xls:MS Excel 97"), strOut, fods.fileName()),
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
    QStringList row0, row1;
    for (int nCol = 0; nCol < 8; ++nCol)
        row0 << data.Text(0, nCol), row1 << data.Text(1, nCol);
    QCOMPARE(row0.join(QLatin1Char('|')), QStringLiteral("名称|42|0.1|-1.5e+20|TRUE|#DIV/0!|123456|5"));
    QCOMPARE(row1.join(QLatin1Char('|')), QStringLiteral("merged|||1|2|3||"));
    QVERIFY(data.m_merges.size() == 1 && data.m_merges[0].nFirstCol == 0 && data.m_merges[0].nLastCol == 2);
    QVERIFY(data.m_columnWidths.count(0) == 1 && data.m_columnWidths.at(0) > 15);
    const QStringList texts = LongSheetTexts();
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(book.m_sheets[1].Text(i, 0) == texts[i], qPrintable(QStringLiteral("Long row %1").arg(i)));
}

QTEST_GUILESS_MAIN(TestXlsExternal)
#include "tst_xlsexternal.moc"
