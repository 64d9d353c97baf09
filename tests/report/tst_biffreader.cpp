// The BIFF8 records on hand-made streams: every cell record the reader turns
// into text, shared strings split over CONTINUE records both ways (as read
// and as written), the active sheet and embedded substreams.
#include <QtTest>

#include "BiffTestStreams.h"
#include "report/XlsFile.h"

using namespace BiffTestStreams;

class TestBiffReader : public QObject
{
    Q_OBJECT

private slots:
    void ReadCells_data();
    void ReadCells();
    void WriteSstSplits_data();
    void WriteSstSplits();
    void ColumnWidthsReadBack();
};

namespace {

QByteArray One(const QByteArray& body) // one sheet; shared strings "第一", "第二"
{
    return MakeStream({body}, Sst({QStringLiteral("第一"), QStringLiteral("第二")}));
}

// One record of type nId in each of columns 0, 1, ... of row 0.
QByteArray Cells(int nId, const QVector<QByteArray>& values)
{
    QByteArray out;
    for (int i = 0; i < values.size(); ++i)
        out += Rec(nId, Cell3(0, i) + values[i]);
    return out;
}

QByteArray LabelSst(int nCol, quint32 nIndex)
{
    return Rec(BIFF_LABELSST, Cell3(0, nCol) + U32(nIndex));
}

QByteArray Formula(int nCol, const char* pszResult) // result, flags, chn, "=5"
{
    return Rec(BIFF_FORMULA, Cell3(0, nCol) + QByteArray::fromHex(pszResult) + U16s({0}) + U32(0) + U16s({3}) +
                                 QByteArray::fromHex("1E0500"));
}

// Two shared strings, the first record ending in `first`, then `cont`.
QByteArray SplitSst(const QByteArray& first, const QByteArray& cont)
{
    return MakeStream({LabelSst(0, 0) + LabelSst(1, 1)},
                      Rec(BIFF_SST, U32(2) + U32(2) + first) + Rec(BIFF_CONTINUE, cont));
}

QByteArray Str8(const char* psz) // character count, option byte 0, characters
{
    return U16s({int(qstrlen(psz))}) + QByteArray(1, '\0') + psz;
}

} // namespace

void TestBiffReader::ReadCells_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("strRow"); // row 0 of the active sheet; "_" a cell without value
    const QByteArray h0 = QByteArray(1, '\0'), h1 = QByteArray(1, '\1');
    QTest::newRow("NUMBER") << One(Cells(BIFF_NUMBER, {F64(42), F64(-7), F64(0.1), F64(-1.5e20), F64(123456789012345.0),
                                                       F64(1.0 / 3.0)}))
                            << QStringLiteral("42|-7|0.1|-1.5e+20|123456789012345|0.3333333333333333");
    QTest::newRow("RK: integer, negative, cents, double; MULRK from column 5")
        << One(Cells(BIFF_RK, {RkInt(1234), RkInt(-3), RkInt(1234, true), U32(0x3FF80000)}) +
               Rec(BIFF_MULRK, U16s({0, 5, 15}) + RkInt(1) + U16s({15}) + RkInt(2) + U16s({15}) + RkInt(3) + U16s({7})))
        << QStringLiteral("1234|-3|12.34|1.5||1|2|3");
    QTest::newRow("BOOLERR") << One(Cells(BIFF_BOOLERR,
                                          {U16s({1}), U16s({0}), U16s({0x107}), U16s({0x12A}), U16s({0x11D})}))
                             << QStringLiteral("TRUE|FALSE|#DIV/0!|#N/A|#NAME?");
    QTest::newRow("FORMULA number, boolean, error; string in STRING, in STRING + CONTINUE")
        << One(Formula(0, "0000000000001440") + Formula(1, "010001000000FFFF") + Formula(2, "020024000000FFFF") +
               Formula(3, "000000000000FFFF") + Rec(BIFF_STRING, U16s({3}) + h1 + Utf16(QStringLiteral("ab中"))) +
               Formula(4, "000000000000FFFF") + Rec(BIFF_STRING, U16s({4}) + h0 + "ab") +
               Rec(BIFF_CONTINUE, h1 + Utf16(QStringLiteral("中文"))))
        << QStringLiteral("5|TRUE|#NUM!|ab中|ab中文");
    QTest::newRow("LABEL one byte and UTF-16, LABELSST, BLANK, MULBLANK")
        << One(Rec(BIFF_LABEL, Cell3(0, 0) + Str8("abc")) +
               Rec(BIFF_LABEL, Cell3(0, 1) + U16s({2}) + h1 + Utf16(QStringLiteral("中文"))) + LabelSst(2, 1) +
               Rec(BIFF_BLANK, Cell3(0, 3)) + Rec(BIFF_MULBLANK, U16s({0, 4, 15, 15, 15, 6})))
        << QStringLiteral("abc|中文|第二|_|_|_|_");
    // Cells in file order go into the sheet a run at a time; one out of
    // order, repeated or of an unknown format takes the slow way, and the
    // last of each position still wins.
    QTest::newRow("LABELSST and BLANK out of order, repeated, unknown format")
        << One(LabelSst(2, 0) + Rec(BIFF_LABELSST, U16s({0, 3, 999}) + U32(0)) + Rec(0x0208, QByteArray(16, '\0')) +
               LabelSst(0, 1) + Rec(BIFF_BLANK, Cell3(0, 1)) + LabelSst(2, 1) + LabelSst(4, 0))
        << QStringLiteral("第二|_|第二|第一|第一");
    QTest::newRow("WINDOW1 makes the third sheet active")
        << MakeStream({LabelSst(0, 0), LabelSst(0, 0), LabelSst(0, 1)},
                      Rec(BIFF_WINDOW1, U16s({0, 0, 100, 100, 0x38, 2, 0, 1, 600})) +
                          Sst({QStringLiteral("第一"), QStringLiteral("第二")}))
        << QStringLiteral("第二");
    // A chart embedded in the sheet: its records are not the sheet's, and
    // its EOF does not end the sheet.
    QTest::newRow("embedded substream skipped")
        << One(LabelSst(0, 0) + Bof(0x0020) + LabelSst(5, 1) + Eof() + LabelSst(1, 1)) << QStringLiteral("第一|第二");
    QTest::newRow("SST: one byte, then UTF-16 after the option byte")
        << SplitSst(U16s({5}) + h0 + "abc", h1 + Utf16(QStringLiteral("中文")) + Str8("ok"))
        << QStringLiteral("abc中文|ok");
    QTest::newRow("SST: UTF-16, then one byte after the option byte")
        << SplitSst(U16s({4}) + h1 + Utf16(QStringLiteral("中")),
                    h0 + "xyz" + U16s({2}) + h1 + Utf16(QStringLiteral("文字")))
        << QStringLiteral("中xyz|文字");
    QTest::newRow("SST: header ends a record, characters in CONTINUE")
        << SplitSst(U16s({3}) + h0, h0 + "abc" + Str8("z")) << QStringLiteral("abc|z");
    QTest::newRow("SST: next string starts a CONTINUE without option byte")
        << SplitSst(Str8("ab"), U16s({2}) + h1 + Utf16(QStringLiteral("中文"))) << QStringLiteral("ab|中文");
    QTest::newRow("SST: rich runs and extended data across a CONTINUE")
        << SplitSst(U16s({2}) + QByteArray::fromHex("0C") + U16s({1}) + U32(3) + "hi" + QByteArray::fromHex("0100"),
                    QByteArray::fromHex("0500AABBCC") + Str8("ok"))
        << QStringLiteral("hi|ok");
}

void TestBiffReader::ReadCells()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, strRow);
    Workbook book;
    QString strError;
    QVERIFY2(ParseWorkbookStream(stream, book, &strError), qPrintable(strError));
    QStringList got;
    for (int nCol = 0; nCol < 8; ++nCol)
    {
        Cell cell;
        const bool bThere = book.ActiveSheet().GetCell(0, nCol, &cell);
        got << (!bThere ? QString() : !cell.strText.isEmpty() ? cell.strText : QStringLiteral("_"));
    }
    while (!got.isEmpty() && got.last().isEmpty())
        got.removeLast();
    QCOMPARE(got.join(QLatin1Char('|')), strRow);
}

void TestBiffReader::WriteSstSplits_data()
{
    QTest::addColumn<QStringList>("strings");
    QTest::addColumn<QList<int>>("lengths");        // SST, then each CONTINUE
    QTest::addColumn<QByteArray>("continueStarts"); // first data byte of each CONTINUE
    const auto row = [](const char* pszName, const QStringList& strings, const QList<int>& lengths,
                        const char* pszStarts) {
        QTest::newRow(pszName) << strings << lengths << QByteArray::fromHex(pszStarts);
    };
    // The SST holds 8 bytes of counts, then 8216 bytes of strings.
    const QString a8210(8210, QLatin1Char('a'));
    row("one byte a character, split inside the characters", {QString(10000, QLatin1Char('a'))}, {8224, 1788}, "00");
    row("header and first character stay together", {a8210 + QLatin1Char('a'), QStringLiteral("xyz")}, {8222, 6}, "03");
    row("an empty string needs only its header", {a8210, QString(), QStringLiteral("q")}, {8224, 4}, "01");
    row("UTF-16 header needs room for one two-byte character", {a8210, QStringLiteral("中")}, {8221, 5}, "01");
    // UTF-16 splits between two characters, leaving a byte of each record unused.
    row("long string over five records", {QString(20000, QChar(0x6587))}, {8223, 8223, 8223, 8223, 7123}, "01010101");
}

void TestBiffReader::WriteSstSplits()
{
    QFETCH(QStringList, strings);
    QFETCH(QList<int>, lengths);
    QFETCH(QByteArray, continueStarts);
    QByteArray out;
    AppendSst(out, SstStrings(strings.begin(), strings.end()), 1, 0, nullptr);
    QList<int> gotLengths;
    QByteArray gotStarts;
    for (int nPos = 0; nPos < out.size(); nPos += 4 + gotLengths.last())
    {
        const auto u16 = [&out](int n) { return quint8(out[n]) | (quint8(out[n + 1]) << 8); };
        QCOMPARE(u16(nPos), int(nPos == 0 ? BIFF_SST : BIFF_CONTINUE));
        if (nPos > 0)
            gotStarts += out[nPos + 4];
        gotLengths << u16(nPos + 2);
    }
    QCOMPARE(gotLengths, lengths);
    QCOMPARE(gotStarts.toHex(), continueStarts.toHex());
}

void TestBiffReader::ColumnWidthsReadBack()
{
    for (int n = 0; n <= 255; ++n)
        QCOMPARE(ColumnWidthFromBiff(ColumnWidthToBiff(n)), n);
    QCOMPARE(ColumnWidthFromBiff(BIFF_DEFAULT_COLUMN_WIDTH), 8); // Excel's 8.43
}

QTEST_GUILESS_MAIN(TestBiffReader)
#include "tst_biffreader.moc"
