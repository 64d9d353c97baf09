// The BIFF8 reader on hand-made streams: every cell record it turns into
// text, shared strings split over CONTINUE records, and the workbook
// structure (sheets, active sheet, formats, nested substreams).
#include <QtTest>

#include "BiffTestStreams.h"
#include "report/XlsFile.h"

using namespace BiffRecords;
using namespace BiffTestStreams;

class TestBiffReader : public QObject
{
    Q_OBJECT

private slots:
    void CellRecordsAsText_data();
    void CellRecordsAsText();
    void SstSplits_data();
    void SstSplits();
    void FormatsFromXf();
    void SheetsAndActiveSheet();
    void EmbeddedSubstreamSkipped();
};

void TestBiffReader::CellRecordsAsText_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<int>("nCol");
    QTest::addColumn<QString>("strExpected");
    QTest::addColumn<bool>("bHasValue");

    QTest::newRow("NUMBER whole") << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(42.0)) << 0 << QStringLiteral("42") << true;
    QTest::newRow("NUMBER negative whole")
        << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(-7.0)) << 0 << QStringLiteral("-7") << true;
    QTest::newRow("NUMBER fraction") << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(0.1)) << 0 << QStringLiteral("0.1")
                                     << true;
    QTest::newRow("NUMBER large") << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(-1.5e20)) << 0 << QStringLiteral("-1.5e+20")
                                  << true;
    QTest::newRow("NUMBER 15 digits") << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(123456789012345.0)) << 0
                                      << QStringLiteral("123456789012345") << true;
    QTest::newRow("NUMBER shortest") << Rec(BIFF_NUMBER, Cell3(0, 0, 15) + F64(1.0 / 3.0)) << 0
                                     << QStringLiteral("0.3333333333333333") << true;
    QTest::newRow("RK integer") << Rec(BIFF_RK, Cell3(0, 0, 15) + RkInt(1234)) << 0 << QStringLiteral("1234") << true;
    QTest::newRow("RK negative integer") << Rec(BIFF_RK, Cell3(0, 0, 15) + RkInt(-3)) << 0 << QStringLiteral("-3")
                                         << true;
    QTest::newRow("RK integer / 100") << Rec(BIFF_RK, Cell3(0, 0, 15) + RkInt(1234, true)) << 0
                                      << QStringLiteral("12.34") << true;
    QTest::newRow("RK double") << Rec(BIFF_RK, Cell3(0, 0, 15) + U32(0x3FF80000)) << 0 << QStringLiteral("1.5") << true;
    QTest::newRow("MULRK middle cell") << Rec(BIFF_MULRK, U16s({0, 2}) + U16s({15}) + RkInt(1) + U16s({15}) + RkInt(2) +
                                                              U16s({15}) + RkInt(3) + U16s({4}))
                                       << 3 << QStringLiteral("2") << true;
    QTest::newRow("BOOLERR true") << Rec(BIFF_BOOLERR, Cell3(0, 0, 15) + QByteArray::fromHex("0100")) << 0
                                  << QStringLiteral("TRUE") << true;
    QTest::newRow("BOOLERR false") << Rec(BIFF_BOOLERR, Cell3(0, 0, 15) + QByteArray::fromHex("0000")) << 0
                                   << QStringLiteral("FALSE") << true;
    QTest::newRow("BOOLERR #DIV/0!") << Rec(BIFF_BOOLERR, Cell3(0, 0, 15) + QByteArray::fromHex("0701")) << 0
                                     << QStringLiteral("#DIV/0!") << true;
    QTest::newRow("BOOLERR #N/A") << Rec(BIFF_BOOLERR, Cell3(0, 0, 15) + QByteArray::fromHex("2A01")) << 0
                                  << QStringLiteral("#N/A") << true;
    QTest::newRow("BOOLERR #NAME?") << Rec(BIFF_BOOLERR, Cell3(0, 0, 15) + QByteArray::fromHex("1D01")) << 0
                                    << QStringLiteral("#NAME?") << true;
    const QByteArray formulaTail = U16s({0}) + U32(0) + U16s({3}) + QByteArray::fromHex("1E0500"); // flags, chn, =5
    QTest::newRow("FORMULA number") << Rec(BIFF_FORMULA, Cell3(0, 0, 15) + F64(5.0) + formulaTail) << 0
                                    << QStringLiteral("5") << true;
    QTest::newRow("FORMULA string in STRING")
        << Rec(BIFF_FORMULA, Cell3(0, 0, 15) + QByteArray::fromHex("000000000000FFFF") + formulaTail) +
               Rec(BIFF_STRING, U16s({3}) + QByteArray(1, '\1') + Utf16(QStringLiteral("ab中")))
        << 0 << QStringLiteral("ab中") << true;
    QTest::newRow("FORMULA string in STRING + CONTINUE")
        << Rec(BIFF_FORMULA, Cell3(0, 0, 15) + QByteArray::fromHex("000000000000FFFF") + formulaTail) +
               Rec(BIFF_STRING, U16s({4}) + QByteArray::fromHex("00") + "ab") +
               Rec(BIFF_CONTINUE, QByteArray::fromHex("01") + Utf16(QStringLiteral("中文")))
        << 0 << QStringLiteral("ab中文") << true;
    QTest::newRow("FORMULA boolean") << Rec(BIFF_FORMULA,
                                            Cell3(0, 0, 15) + QByteArray::fromHex("010001000000FFFF") + formulaTail)
                                     << 0 << QStringLiteral("TRUE") << true;
    QTest::newRow("FORMULA error") << Rec(BIFF_FORMULA,
                                          Cell3(0, 0, 15) + QByteArray::fromHex("020024000000FFFF") + formulaTail)
                                   << 0 << QStringLiteral("#NUM!") << true;
    QTest::newRow("FORMULA empty string")
        << Rec(BIFF_FORMULA, Cell3(0, 0, 15) + QByteArray::fromHex("030000000000FFFF") + formulaTail) << 0
        << QStringLiteral("") << true;
    QTest::newRow("LABEL compressed") << Rec(BIFF_LABEL, Cell3(0, 0, 15) + U16s({3}) + QByteArray(1, '\0') + "abc") << 0
                                      << QStringLiteral("abc") << true;
    QTest::newRow("LABEL UTF-16") << Rec(BIFF_LABEL, Cell3(0, 0, 15) + U16s({2}) + QByteArray(1, '\1') +
                                                         Utf16(QStringLiteral("中文")))
                                  << 0 << QStringLiteral("中文") << true;
    QTest::newRow("LABELSST") << Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(1)) << 0 << QStringLiteral("第二") << true;
    QTest::newRow("BLANK") << Rec(BIFF_BLANK, Cell3(0, 0, 16)) << 0 << QStringLiteral("") << false;
    QTest::newRow("MULBLANK") << Rec(BIFF_MULBLANK, U16s({0, 1, 16, 16, 16, 3})) << 2 << QStringLiteral("") << false;
}

void TestBiffReader::CellRecordsAsText()
{
    QFETCH(QByteArray, records);
    QFETCH(int, nCol);
    QFETCH(QString, strExpected);
    QFETCH(bool, bHasValue);
    const QByteArray stream = MakeStream({records}, Sst({QStringLiteral("第一"), QStringLiteral("第二")}));
    Workbook book;
    QString strError;
    QVERIFY2(ParseWorkbookStream(stream, book, &strError), qPrintable(strError));
    const Cell* pCell = book.ActiveSheet().Find(0, nCol);
    QVERIFY(pCell);
    QCOMPARE(pCell->strText, strExpected);
    QCOMPARE(pCell->bHasValue, bHasValue);
}

void TestBiffReader::SstSplits_data()
{
    QTest::addColumn<QByteArray>("sst");
    QTest::addColumn<QStringList>("expected");
    const QByteArray head = U32(2) + U32(2);
    QTest::newRow("one byte, then UTF-16 after the option byte")
        << Rec(BIFF_SST, head + U16s({5}) + QByteArray::fromHex("00") + "abc") +
               Rec(BIFF_CONTINUE, QByteArray::fromHex("01") + Utf16(QStringLiteral("中文")) + U16s({2}) +
                                      QByteArray::fromHex("00") + "ok")
        << QStringList{QStringLiteral("abc中文"), QStringLiteral("ok")};
    QTest::newRow("UTF-16, then one byte after the option byte")
        << Rec(BIFF_SST, head + U16s({4}) + QByteArray::fromHex("01") + Utf16(QStringLiteral("中"))) +
               Rec(BIFF_CONTINUE, QByteArray::fromHex("00") + "xyz" + U16s({2}) + QByteArray::fromHex("01") +
                                      Utf16(QStringLiteral("文字")))
        << QStringList{QStringLiteral("中xyz"), QStringLiteral("文字")};
    QTest::newRow("header at the end of a record, characters in CONTINUE")
        << Rec(BIFF_SST, head + U16s({3}) + QByteArray::fromHex("00")) +
               Rec(BIFF_CONTINUE, QByteArray::fromHex("00") + "abc" + U16s({1}) + QByteArray::fromHex("00") + "z")
        << QStringList{QStringLiteral("abc"), QStringLiteral("z")};
    QTest::newRow("next string starts a CONTINUE without option byte")
        << Rec(BIFF_SST, head + U16s({2}) + QByteArray::fromHex("00") + "ab") +
               Rec(BIFF_CONTINUE, U16s({2}) + QByteArray::fromHex("01") + Utf16(QStringLiteral("中文")))
        << QStringList{QStringLiteral("ab"), QStringLiteral("中文")};
    QTest::newRow("rich runs and extended data skipped across a CONTINUE")
        << Rec(BIFF_SST,
               head + U16s({2}) + QByteArray::fromHex("0C") + U16s({1}) + U32(3) + "hi" + QByteArray::fromHex("0100")) +
               Rec(BIFF_CONTINUE, QByteArray::fromHex("0500") + QByteArray::fromHex("AABBCC") + U16s({2}) +
                                      QByteArray::fromHex("00") + "ok")
        << QStringList{QStringLiteral("hi"), QStringLiteral("ok")};
}

void TestBiffReader::SstSplits()
{
    QFETCH(QByteArray, sst);
    QFETCH(QStringList, expected);
    const QByteArray cells =
        Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(0)) + Rec(BIFF_LABELSST, Cell3(0, 1, 15) + U32(1));
    Workbook book;
    QString strError;
    QVERIFY2(ParseWorkbookStream(MakeStream({cells}, sst), book, &strError), qPrintable(strError));
    QCOMPARE(book.ActiveSheet().Text(0, 0), expected[0]);
    QCOMPARE(book.ActiveSheet().Text(0, 1), expected[1]);
}

void TestBiffReader::FormatsFromXf()
{
    // XF 16: bold font, custom format "@", right / centre, palette 42;
    // every column takes XF 16, so it is the sheet-wide format.
    const QByteArray body = Rec(BIFF_COLINFO, U16s({0, 255, 2340, 16, 0, 0})) +
                            Rec(BIFF_COLINFO, U16s({3, 3, 5814, 16, 0, 0})) + Rec(BIFF_BLANK, Cell3(1, 1, 16)) +
                            Rec(BIFF_BLANK, Cell3(1, 2, 15)) + Rec(BIFF_BLANK, Cell3(1, 3, 999));
    Workbook book;
    QString strError;
    QVERIFY2(ParseWorkbookStream(MakeStream({body}), book, &strError), qPrintable(strError));
    const Worksheet& sheet = book.ActiveSheet();
    const CellFormat f = sheet.Find(1, 1)->format;
    QVERIFY(f.bBold);
    QVERIFY(f.bTextFormat);
    QCOMPARE(f.nFillColorIndex, 35);
    QCOMPARE(f.nHorzAlign, 3);
    QCOMPARE(f.nVertAlign, 1);
    QVERIFY(sheet.Find(1, 2)->format == CellFormat());
    QVERIFY(sheet.Find(1, 3)->format == CellFormat()); // no such XF: plain
    QVERIFY(sheet.m_defaultFormat == f);
    QCOMPARE(sheet.m_columnWidths.size(), size_t(1));
    QCOMPARE(sheet.m_columnWidths.at(3), 22);
}

void TestBiffReader::SheetsAndActiveSheet()
{
    // Three sheets: a worksheet, a chart sheet (kept by name, empty) and a
    // worksheet; WINDOW1 makes the third active.
    const QByteArray window1 = Rec(BIFF_WINDOW1, U16s({0, 0, 100, 100, 0x38, 2, 0, 1, 600}));
    const QVector<QByteArray> bodies{Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(0)), QByteArray(),
                                     Rec(BIFF_LABELSST, Cell3(5, 6, 15) + U32(1))};
    Workbook book;
    QString strError;
    QVERIFY2(
        ParseWorkbookStream(MakeStream(bodies, window1 + Sst({QStringLiteral("a"), QStringLiteral("b")}), {0, 2, 0}),
                            book, &strError),
        qPrintable(strError));
    QCOMPARE(book.m_sheets.size(), 3);
    QCOMPARE(book.m_nActiveSheet, 2);
    QCOMPARE(book.m_sheets[1].m_strName, QStringLiteral("S1"));
    QCOMPARE(book.m_sheets[1].CellCount(), 0);
    QCOMPARE(book.m_sheets[0].Text(0, 0), QStringLiteral("a"));
    QCOMPARE(book.m_sheets[2].Text(5, 6), QStringLiteral("b"));
}

void TestBiffReader::EmbeddedSubstreamSkipped()
{
    // A chart embedded in the sheet brings its own BOF ... EOF; its records
    // are not the sheet's, and its EOF does not end the sheet.
    const QByteArray body = Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(0)) + Bof(0x0020) +
                            Rec(BIFF_LABELSST, Cell3(9, 9, 15) + U32(0)) + Eof() +
                            Rec(BIFF_LABELSST, Cell3(1, 0, 15) + U32(0));
    Workbook book;
    QString strError;
    QVERIFY2(ParseWorkbookStream(MakeStream({body}, Sst({QStringLiteral("x")})), book, &strError),
             qPrintable(strError));
    QCOMPARE(book.ActiveSheet().CellCount(), 2);
    QCOMPARE(book.ActiveSheet().Text(1, 0), QStringLiteral("x"));
}

QTEST_GUILESS_MAIN(TestBiffReader)
#include "tst_biffreader.moc"
