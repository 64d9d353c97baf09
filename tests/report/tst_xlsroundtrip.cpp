// Write -> read round trips of whole workbooks through real .xls files, the
// golden files, and what the writer mends in a model it cannot store as is.
#include <QTemporaryDir>
#include <QtTest>

#include "XlsTestBook.h"
#include "report/BiffRecords.h"
#include "report/XlsFile.h"

Q_DECLARE_METATYPE(Workbook)

using namespace XlsTestBook;

class TestXlsRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void CellStoreInAnyOrder();
    void RoundTrip_data();
    void RoundTrip();
    void GoldenFiles_data();
    void GoldenFiles();
    void SheetNamesMended_data();
    void SheetNamesMended();
    void UnstorableModelMended();
    void SaveFailures();
    void LoadFailures();
    void SaveReplacesExistingFile();

private:
    QTemporaryDir m_dir;
};

namespace {

Workbook LongStringsBook()
{
    // Enough text for the SST to run over several CONTINUE records, with
    // strings split inside their characters in both storage modes.
    Workbook book;
    Worksheet& sheet = book.ActiveSheet();
    for (int i = 0; i < 40; ++i)
    {
        QString str;
        for (int k = 0; k < 700 + 37 * i; ++k)
            str += (i % 2) ? QChar(0x4E00 + (k * 7 + i) % 0x5000) : QChar('a' + (k + i) % 26);
        Put(sheet, i, 0, str);
        Put(sheet, i, 1, QStringLiteral("é%1ü").arg(i)); // Latin-1, stored one byte a character
    }
    return book;
}

Workbook ThreeSheetsBook()
{
    Workbook book;
    book.m_sheets = {Worksheet(), Worksheet(), Worksheet()};
    book.m_sheets[0].m_strName = QStringLiteral("Sheet1");
    book.m_sheets[1].m_strName = QStringLiteral("测量记录");
    book.m_sheets[2].m_strName = QStringLiteral("Empty");
    book.m_nActiveSheet = 1;
    Put(book.m_sheets[0], 0, 0, QStringLiteral("first"));
    Put(book.m_sheets[1], 200, 255, QStringLiteral("last column"));
    Put(book.m_sheets[1], 65535, 0, QStringLiteral("last row"));
    Cell& cell = book.m_sheets[1].At(3, 3); // formatted, no value
    cell.format.bBold = true;
    cell.format.nFillColorIndex = 6;
    cell.format.nVertAlign = 1;
    book.m_sheets[1].m_columnWidths[0] = 0;
    book.m_sheets[1].m_columnWidths[255] = 100;
    return book;
}

} // namespace

// The sparse cell store: cells created in any order come out row by row,
// left to right, once each; positions outside the sheet are not cells.
void TestXlsRoundTrip::CellStoreInAnyOrder()
{
    Worksheet sheet;
    sheet.m_defaultFormat.bTextFormat = true;
    const int positions[][2] = {{9, 5}, {2, 7}, {9, 1}, {2, 0}, {500, 255}, {9, 3}, {2, 7}, {0, 4}, {9, 5}};
    for (const auto& p : positions)
        sheet.At(p[0], p[1]).strText = QStringLiteral("%1,%2").arg(p[0]).arg(p[1]);
    sheet.At(-1, 0).strText = QStringLiteral("outside");
    sheet.At(0, SHEET_MAX_COLS).strText = QStringLiteral("outside");
    QCOMPARE(sheet.CellCount(), 7);
    QStringList order;
    sheet.ForEachCell([&order](int nRow, int nCol, const Cell& cell) {
        QCOMPARE(cell.strText, QStringLiteral("%1,%2").arg(nRow).arg(nCol));
        QVERIFY(cell.format.bTextFormat); // created with the sheet-wide format
        order << cell.strText;
    });
    QCOMPARE(order,
             (QStringList{QStringLiteral("0,4"), QStringLiteral("2,0"), QStringLiteral("2,7"), QStringLiteral("9,1"),
                          QStringLiteral("9,3"), QStringLiteral("9,5"), QStringLiteral("500,255")}));
    int nFirst = 0, nLast = 0;
    QVERIFY(sheet.UsedRows(nFirst, nLast));
    QCOMPARE(nFirst, 0);
    QCOMPARE(nLast, 500);
    QVERIFY(sheet.UsedColumns(nFirst, nLast));
    QCOMPARE(nFirst, 0);
    QCOMPARE(nLast, 255);
    QVERIFY(!sheet.Find(1, 0) && !sheet.Find(9, 4));
    QCOMPARE(sheet.Text(9, 3), QStringLiteral("9,3"));
    QCOMPARE(sheet.Text(0, 256), QString()); // no wrap into the next row
    sheet.ClearCells();
    QVERIFY(!sheet.UsedRows(nFirst, nLast));
}

void TestXlsRoundTrip::RoundTrip_data()
{
    QTest::addColumn<Workbook>("book");
    QTest::newRow("Chinese report, 3 rows") << ReportBook(true, 3);
    QTest::newRow("English report, no rows, empty user information")
        << ReportBook(false, 0, {QString(), QString(), QString(), QString(), QString()});
    QTest::newRow("empty workbook") << Workbook();
    QTest::newRow("strings across CONTINUE records") << LongStringsBook();
    QTest::newRow("three sheets, second active, far corners") << ThreeSheetsBook();
    QTest::newRow("report, 65530 rows") << ReportBook(true, 65530 - 6);
}

void TestXlsRoundTrip::RoundTrip()
{
    QFETCH(Workbook, book);
    const QString strPath = m_dir.filePath(QStringLiteral("roundtrip.xls"));
    QString strError;
    QVERIFY2(SaveWorkbookXls(book, strPath, &strError), qPrintable(strError));
    Workbook back;
    back.m_sheets.clear();
    QVERIFY2(LoadWorkbookXls(strPath, back, &strError), qPrintable(strError));
    CompareBooks(back, book);
}

void TestXlsRoundTrip::GoldenFiles_data()
{
    QTest::addColumn<QString>("strName");
    QTest::addColumn<Workbook>("book");
    QTest::newRow("Chinese report") << QStringLiteral("report_zh") << ReportBook(true, 3);
    QTest::newRow("English report, empty fields")
        << QStringLiteral("report_en_empty")
        << ReportBook(false, 0, {QString(), QString(), QString(), QString(), QString()});
}

// The golden files are regenerated with METER_UPDATE_GOLDEN=1 (see
// tests/data/README); the dump beside each shows its records.
void TestXlsRoundTrip::GoldenFiles()
{
    QFETCH(QString, strName);
    QFETCH(Workbook, book);
    const QString strXls = TestData(QStringLiteral("report/%1.xls").arg(strName));
    const QString strDump = strXls + QStringLiteral(".txt");
    QByteArray bytes;
    QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr));
    const QString strPython = PythonWithXlrd();
    if (qEnvironmentVariableIsSet("METER_UPDATE_GOLDEN"))
    {
        QFile out(strXls);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        if (!strPython.isEmpty())
        {
            QProcess dump;
            dump.setStandardOutputFile(strDump);
            dump.start(strPython, {QFINDTESTDATA("xls_dump.py"), strXls});
            QVERIFY(dump.waitForFinished(60000) && dump.exitCode() == 0);
        }
    }
    QFile golden(strXls);
    QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(strXls));
    const QByteArray expected = golden.readAll();
    QCOMPARE(bytes.size(), expected.size());
    QVERIFY2(bytes == expected, "written file differs from the golden file; compare the record dumps");

    if (strPython.isEmpty())
        QSKIP("python3-xlrd is not installed: the record dump is not checked");
    QProcess dump;
    dump.start(strPython, {QFINDTESTDATA("xls_dump.py"), strXls});
    QVERIFY(dump.waitForFinished(60000) && dump.exitCode() == 0);
    QFile dumpFile(strDump);
    QVERIFY(dumpFile.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(dump.readAllStandardOutput()), QString::fromUtf8(dumpFile.readAll()));
}

void TestXlsRoundTrip::SheetNamesMended_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("valid names kept") << QStringList{QStringLiteral("Sheet1"), QStringLiteral("记录")}
                                      << QStringList{QStringLiteral("Sheet1"), QStringLiteral("记录")};
    QTest::newRow("forbidden characters")
        << QStringList{QStringLiteral("a/b:c[d]*?\\")} << QStringList{QStringLiteral("a_b_c_d____")};
    QTest::newRow("empty name") << QStringList{QString(), QStringLiteral("  ")}
                                << QStringList{QStringLiteral("Sheet1"), QStringLiteral("Sheet2")};
    QTest::newRow("too long") << QStringList{QString(40, QLatin1Char('x'))}
                              << QStringList{QString(31, QLatin1Char('x'))};
    QTest::newRow("duplicates, any case")
        << QStringList{QStringLiteral("Data"), QStringLiteral("DATA"), QStringLiteral("data")}
        << QStringList{QStringLiteral("Data"), QStringLiteral("DATA(2)"), QStringLiteral("data(3)")};
}

void TestXlsRoundTrip::SheetNamesMended()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    Workbook book;
    book.m_sheets.clear();
    for (const QString& str : names)
    {
        Worksheet sheet;
        sheet.m_strName = str;
        book.m_sheets.push_back(sheet);
    }
    Workbook back;
    QString strError;
    QByteArray bytes;
    QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr));
    QVERIFY2(LoadWorkbookXlsData(bytes, back, &strError), qPrintable(strError));
    QStringList got;
    for (const Worksheet& sheet : back.m_sheets)
        got << sheet.m_strName;
    QCOMPARE(got, expected);
}

// A model the file format cannot hold is saved as a valid file: what does
// not fit is left out or cut, never written as corrupt bytes.
void TestXlsRoundTrip::UnstorableModelMended()
{
    Workbook book;
    Worksheet& sheet = book.ActiveSheet();
    // Outside the sheet: scratch cells, never saved.
    Put(sheet, -1, 0, QStringLiteral("above"));
    Put(sheet, SHEET_MAX_ROWS, 0, QStringLiteral("below"));
    Put(sheet, 0, SHEET_MAX_COLS, QStringLiteral("right"));
    // A text longer than a cell holds is cut to 32767 characters.
    Put(sheet, 0, 0, QString(40000, QLatin1Char('z')));
    // Fill colours outside Excel's 56 are no fill; 1 and 56 are kept.
    const int fills[] = {0, 57, -4142, 1, 56};
    for (int i = 0; i < 5; ++i)
        sheet.At(1, i).format.nFillColorIndex = fills[i];
    sheet.m_merges = {CellRect{0, 0, 0, 1},
                      CellRect{0, 1, 1, 2} /* overlaps the first */,
                      CellRect{5, 5, 5, 5} /* one cell */,
                      CellRect{-1, 2, 0, 0},
                      CellRect{3, 2, 0, 0} /* reversed */,
                      CellRect{70000, 70001, 0, 1},
                      CellRect{2, 3, 0, 300},
                      CellRect{8, 9, 0, 0}};
    book.m_nActiveSheet = 7; // no such sheet: the first is active

    QByteArray bytes;
    QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr));
    Workbook back;
    QString strError;
    QVERIFY2(LoadWorkbookXlsData(bytes, back, &strError), qPrintable(strError));
    QCOMPARE(back.m_nActiveSheet, 0);
    const Worksheet& got = back.ActiveSheet();
    QCOMPARE(got.CellCount(), 6);
    QCOMPARE(got.Text(0, 0), QString(BIFF_MAX_STRING_CHARS, QLatin1Char('z')));
    const int expectedFills[] = {-1, -1, -1, 1, 56};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(got.Find(1, i)->format.nFillColorIndex, expectedFills[i]);
    QCOMPARE(got.m_merges.size(), 2);
    QCOMPARE(got.m_merges[0].nLastCol, 1);
    QCOMPARE(got.m_merges[1].nFirstRow, 8);
}

void TestXlsRoundTrip::SaveFailures()
{
    QString strError;
    QVERIFY(!SaveWorkbookXls(Workbook(), m_dir.filePath(QStringLiteral("no/such/dir/a.xls")), &strError));
    QVERIFY(!strError.isEmpty());
    strError.clear();
    QVERIFY(!SaveWorkbookXls(Workbook(), m_dir.path(), &strError)); // a directory
    QVERIFY(!strError.isEmpty());
}

void TestXlsRoundTrip::LoadFailures()
{
    Workbook book;
    QString strError;
    QVERIFY(!LoadWorkbookXls(m_dir.filePath(QStringLiteral("missing.xls")), book, &strError));
    QVERIFY(!strError.isEmpty());
    strError.clear();
    QVERIFY(!LoadWorkbookXls(m_dir.path(), book, &strError)); // a directory
    QVERIFY(!strError.isEmpty());
}

void TestXlsRoundTrip::SaveReplacesExistingFile()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("replace")));
    const QString strFolder = m_dir.filePath(QStringLiteral("replace"));
    const QString strPath = strFolder + QStringLiteral("/existing.xls");
    QFile old(strPath);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    QVERIFY(SaveWorkbookXls(ReportBook(false, 2), strPath, nullptr));
    Workbook back;
    QString strError;
    QVERIFY2(LoadWorkbookXls(strPath, back, &strError), qPrintable(strError));
    QCOMPARE(back.ActiveSheet().Text(6, 1), QStringLiteral("1550nm"));
    QCOMPARE(QDir(strFolder).entryList(QDir::Files), QStringList{QStringLiteral("existing.xls")});
}

QTEST_GUILESS_MAIN(TestXlsRoundTrip)
#include "tst_xlsroundtrip.moc"
