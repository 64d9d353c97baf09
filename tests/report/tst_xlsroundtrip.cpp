// Write -> read round trips of whole workbooks through real .xls files, the
// golden files, and what the writer mends in a model it cannot store as is.
#include <QTemporaryDir>
#include <QtTest>

#include "TestFiles.h"
#include "XlsTestBook.h"
#include "report/BiffRecords.h"
#include "report/XlsFile.h"

Q_DECLARE_METATYPE(Workbook)

using namespace XlsTestBook;

namespace {

Workbook SpecialBook(bool bLongStrings)
{
    Workbook book;
    if (bLongStrings) // the SST runs over CONTINUE records, split inside characters of both storage modes
    {
        for (int i = 0; i < 40; ++i)
        {
            book.ActiveSheet().SetText(i, 0, QString(700 + 37 * i, i % 2 ? QChar(0x4E00 + i) : QChar('a' + i % 26)));
            book.ActiveSheet().SetText(i, 1, QStringLiteral("é%1ü").arg(i)); // Latin-1, one byte a character
        }
        return book;
    }
    book.m_sheets = {Worksheet(), Worksheet(), Worksheet()}; // second active, far corners
    book.m_sheets[0].m_strName = QStringLiteral("Sheet1");
    book.m_sheets[1].m_strName = QStringLiteral("测量记录");
    book.m_sheets[2].m_strName = QStringLiteral("Empty");
    book.m_nActiveSheet = 1;
    book.m_sheets[0].SetText(0, 0, QStringLiteral("first"));
    book.m_sheets[1].SetText(200, 255, QStringLiteral("last column"));
    book.m_sheets[1].SetText(65535, 0, QStringLiteral("last row"));
    book.m_sheets[1].EditFormat(3, 3, [](CellFormat& format) { // formatted, no value
        format.bBold = true;
        format.nFillColorIndex = 6;
        format.nVertAlign = 1;
    });
    book.m_sheets[1].m_columnWidths[0] = 0;
    book.m_sheets[1].m_columnWidths[255] = 100;
    return book;
}

} // namespace

class TestXlsRoundTrip : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Cells created in any order come out row by row, left to right, once each;
    // positions outside the sheet are not cells.
    void CellStoreInAnyOrder()
    {
        Worksheet sheet;
        sheet.m_defaultFormat.bTextFormat = true;
        for (const auto& p : {std::pair(9, 5), {2, 7}, {9, 1}, {2, 0}, {500, 255}, {9, 3}, {2, 7}, {0, 4}, {9, 5}})
            sheet.SetText(p.first, p.second, QStringLiteral("%1,%2").arg(p.first).arg(p.second));
        for (const auto& p : {std::pair(-1, 0), {SHEET_MAX_ROWS, 0}, {0, SHEET_MAX_COLS}})
            sheet.SetText(p.first, p.second, QStringLiteral("outside")); // not stored, nor wrapped into a cell
        QStringList order;
        sheet.ForEachCell([&order](int nRow, int nCol, const Cell& cell) {
            QCOMPARE(cell.strText, QStringLiteral("%1,%2").arg(nRow).arg(nCol));
            QVERIFY(cell.format.bTextFormat); // created with the sheet-wide format
            order << cell.strText;
        });
        QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("0,4 2,0 2,7 9,1 9,3 9,5 500,255"));
        QCOMPARE(sheet.CellCount(), 7);
        int nFirstRow = 0, nLastRow = 0, nFirstCol = 0, nLastCol = 0;
        QVERIFY(sheet.UsedRows(nFirstRow, nLastRow) && sheet.UsedColumns(nFirstCol, nLastCol));
        QCOMPARE(QList<int>({nFirstRow, nLastRow, nFirstCol, nLastCol}), QList<int>({0, 500, 0, 255}));
        sheet.ClearCells();
        QVERIFY(!sheet.UsedRows(nFirstRow, nLastRow));
    }

    // A sheet looks up the texts it is given a few dozen cells later; whatever
    // asks in between (a read, an overwrite, a merge clearing a cell, a copy
    // of the sheet, a text from a file) sees every text as written, and equal
    // texts on either side of a batch share one entry.
    void TextsSeenAsWritten()
    {
        Worksheet sheet;
        for (int nRow = 0; nRow < 100; ++nRow)
        {
            sheet.SetText(nRow, 0, QStringLiteral("r%1").arg(nRow % 10));
            sheet.SetText(nRow, 1, QStringLiteral("x"));
            sheet.SetText(nRow, 1, QStringLiteral("y%1").arg(nRow)); // the same cell again
            sheet.SetText(nRow, 2, QStringLiteral("gone"));
            if (nRow % 7 == 0)
                sheet.ClearText(nRow, 2);
            QCOMPARE(sheet.Text(nRow, 0), QStringLiteral("r%1").arg(nRow % 10));
        }
        sheet.SetText(100, 0, QStringLiteral("waiting"));
        const Worksheet copy = sheet;
        QCOMPARE(copy.Text(100, 0), QStringLiteral("waiting"));
        sheet.SetText(101, 0, QStringLiteral("before the file's"));
        const quint32 nFromFile = sheet.AddText(QStringLiteral("from a file"));
        QCOMPARE(sheet.Texts()[nFromFile], QStringLiteral("from a file"));
        QCOMPARE(sheet.Text(101, 0), QStringLiteral("before the file's"));
        for (int nRow = 0; nRow < 100; ++nRow)
        {
            QCOMPARE(sheet.Text(nRow, 1), QStringLiteral("y%1").arg(nRow));
            QCOMPARE(sheet.Text(nRow, 2), nRow % 7 == 0 ? QString() : QStringLiteral("gone"));
        }
        // r0..r9, x, y0..y99, gone, waiting, before the file's, from a file.
        QCOMPARE(int(sheet.Texts().size()), 10 + 1 + 100 + 1 + 3);
    }

    // What is saved comes back; sheet names Excel would refuse come back mended.
    void RoundTrip_data()
    {
        QTest::addColumn<Workbook>("book");
        QTest::addColumn<Workbook>("expected");
        QTest::newRow("strings across CONTINUE records") << SpecialBook(true) << SpecialBook(true);
        QTest::newRow("three sheets, second active, far corners") << SpecialBook(false) << SpecialBook(false);
        Workbook names, mended;
        names.m_sheets = mended.m_sheets = QVector<Worksheet>(7);
        const QStringList given{"记录", "a/b:c[d]*?\\", "  ", QString(40, QLatin1Char('x')), "Data", "DATA", "data"};
        const QStringList want{"记录", "a_b_c_d____", "Sheet3", QString(31, QLatin1Char('x')),
                               "Data", "DATA(2)",     "data(3)"};
        for (int i = 0; i < given.size(); ++i)
            names.m_sheets[i].m_strName = given[i], mended.m_sheets[i].m_strName = want[i];
        QTest::newRow("sheet names mended") << names << mended;
    }
    void RoundTrip()
    {
        QFETCH(Workbook, book);
        QFETCH(Workbook, expected);
        const QString strPath = m_dir.filePath(QStringLiteral("roundtrip.xls"));
        QString strError;
        QVERIFY2(SaveWorkbookXls(book, strPath, &strError), qPrintable(strError));
        Workbook back;
        QVERIFY2(LoadWorkbookXls(strPath, back, &strError), qPrintable(strError));
        CompareBooks(back, expected);
    }

    void GoldenFiles_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<Workbook>("book");
        QTest::newRow("Chinese report") << QStringLiteral("report_zh") << ReportBook(true, 3);
        QTest::newRow("English report, empty fields")
            << QStringLiteral("report_en_empty") << ReportBook(false, 0, QStringList(5, QString()));
    }

    // The golden files are regenerated with METER_UPDATE_GOLDEN=1 (see
    // tests/data/README), with the record dump beside each.
    void GoldenFiles()
    {
        QFETCH(QString, strName);
        QFETCH(Workbook, book);
        const QString strXls = qEnvironmentVariable("METER_TEST_DATA") + QStringLiteral("/report/%1.xls").arg(strName);
        QByteArray bytes;
        QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr));
        if (qEnvironmentVariableIsSet("METER_UPDATE_GOLDEN"))
        {
            QVERIFY(WriteFile(strXls, bytes));
            QProcess dump; // its record dump, to diff
            dump.setStandardOutputFile(strXls + QStringLiteral(".txt"));
            dump.start(QStringLiteral("/usr/bin/python3"), {QFINDTESTDATA("xls_dump.py"), strXls});
            QVERIFY(dump.waitForFinished(60000) && dump.exitCode() == 0);
        }
        QVERIFY2(bytes == FileBytes(strXls),
                 qPrintable(QStringLiteral("the file written differs from %1; compare the record dumps").arg(strXls)));
    }

    // A model the file format cannot hold is saved as a valid file: what does
    // not fit is left out, never written as corrupt bytes. (Texts cut to what
    // a cell holds: SharedStringsOnce.)
    void UnstorableModelMended()
    {
        Workbook book;
        Worksheet& sheet = book.ActiveSheet();
        const int fills[] = {0, 57, -4142, 1, 56}; // outside Excel's 56 is no fill
        for (int i = 0; i < 5; ++i)
            sheet.EditFormat(1, i, [&](CellFormat& format) { format.nFillColorIndex = fills[i]; });
        // Kept: A1:B1 and A9:A10; left out: overlapping, one cell, reversed or outside the sheet.
        sheet.m_merges = {CellRect{0, 0, 0, 1},   CellRect{0, 1, 1, 2}, CellRect{5, 5, 5, 5},
                          CellRect{-1, 2, 0, 0},  CellRect{3, 2, 0, 0}, CellRect{70000, 70001, 0, 1},
                          CellRect{2, 3, 0, 300}, CellRect{8, 9, 0, 0}};
        book.m_nActiveSheet = 7; // no such sheet: the first is active
        QByteArray bytes;
        QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr));
        Workbook back;
        QString strError;
        QVERIFY2(LoadWorkbookXlsData(bytes, back, &strError), qPrintable(strError));
        QCOMPARE(back.m_nActiveSheet, 0);
        const Worksheet& got = back.ActiveSheet();
        QCOMPARE(got.CellCount(), 5);
        const int expectedFills[] = {-1, -1, -1, 1, 56};
        for (int i = 0; i < 5; ++i)
        {
            Cell cell;
            QVERIFY(got.GetCell(1, i, &cell));
            QCOMPARE(cell.format.nFillColorIndex, expectedFills[i]);
        }
        QVERIFY(got.m_merges.size() == 2 && got.m_merges[0].nLastCol == 1 && got.m_merges[1].nFirstRow == 8);
    }

    // The shared-string table holds each text once, in order of first use:
    // texts of several sheets, texts loaded from a file, and texts that only
    // become equal when cut to the 32,767 characters a cell holds all meet in
    // one entry. (Equal texts far apart on one sheet: TextsSeenAsWritten and
    // the golden files.)
    void SharedStringsOnce_data()
    {
        QTest::addColumn<Workbook>("book");
        QTest::addColumn<QStringList>("expected"); // the SST, in order
        QTest::addColumn<int>("nCut");
        const QString strLong(BIFF_MAX_STRING_CHARS, QLatin1Char('q'));
        Workbook cut;
        cut.ActiveSheet().SetText(0, 0, strLong + QStringLiteral("A"));
        cut.ActiveSheet().SetText(1, 0, strLong); // equal to the cut of A1
        cut.ActiveSheet().SetText(2, 0, strLong + QStringLiteral("B"));
        QTest::newRow("equal once cut") << cut << QStringList{strLong} << 2;
        Workbook sheets;
        sheets.m_sheets = {Worksheet(), Worksheet()};
        sheets.m_sheets[1].m_strName = QStringLiteral("Two");
        sheets.m_sheets[0].SetText(0, 0, QStringLiteral("x"));
        sheets.m_sheets[1].SetText(0, 0, QStringLiteral("y"));
        sheets.m_sheets[1].SetText(0, 1, QStringLiteral("x"));
        QTest::newRow("two sheets") << sheets << QStringList{"x", "y"} << 0;
        Workbook loaded; // the reader's way: texts taken as they come
        const quint32 nFirst = loaded.ActiveSheet().AddText(QStringLiteral("same"));
        const quint32 nSecond = loaded.ActiveSheet().AddText(QStringLiteral("same"));
        loaded.ActiveSheet().Append(0, 0, CellFormat().Pack(), nFirst);
        loaded.ActiveSheet().Append(0, 1, CellFormat().Pack(), nSecond);
        loaded.ActiveSheet().SetText(1, 0, QStringLiteral("same"));
        QTest::newRow("texts loaded, then one written") << loaded << QStringList{"same"} << 0;
    }
    void SharedStringsOnce()
    {
        QFETCH(Workbook, book);
        QFETCH(QStringList, expected);
        QFETCH(int, nCut);
        QByteArray bytes;
        XlsFileNotes notes;
        QVERIFY(BuildWorkbookXlsData(book, bytes, nullptr, &notes));
        QCOMPARE(notes.nCutTexts, nCut);
        // The first sheet read back takes the file's shared strings over as
        // its text table, entry for entry.
        Workbook back;
        QString strError;
        QVERIFY2(LoadWorkbookXlsData(bytes, back, &strError), qPrintable(strError));
        const Worksheet::TextArray& sst = back.m_sheets[0].Texts();
        QCOMPARE(QStringList(sst.begin(), sst.end()), expected);
    }
};

QTEST_GUILESS_MAIN(TestXlsRoundTrip)
#include "tst_xlsroundtrip.moc"
