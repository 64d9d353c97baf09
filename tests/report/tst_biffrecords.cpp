// Byte layouts of the BIFF8 record builders, the column width conversion,
// and the splitting of the shared-string table over CONTINUE records.
#include <QtTest>

#include "BiffTestStreams.h"
#include "report/BiffRecords.h"

using namespace BiffRecords;

class TestBiffRecords : public QObject
{
    Q_OBJECT

private slots:
    void RecordBytes_data();
    void RecordBytes();
    void ColumnWidths_data();
    void ColumnWidths();
    void ColumnWidthsReadBack();
    void SstSplitting_data();
    void SstSplitting();
    void ExtSstPointsAtStrings();
};

namespace {

QByteArray Hex(const char* psz)
{
    return QByteArray::fromHex(QByteArray(psz).replace(' ', ""));
}

QByteArray Appended(void (*fn)(QByteArray&, int, int, int, quint32), int a, int b, int c, quint32 d)
{
    QByteArray out;
    fn(out, a, b, c, d);
    return out;
}

} // namespace

void TestBiffRecords::RecordBytes_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("BOF globals") << Bof(BIFF_BOF_GLOBALS) << Hex("0908 1000 0006 0500 BB0D CC07 00000000 06000000");
    QTest::newRow("WINDOW1, third sheet active")
        << Window1(2) << Hex("3D00 1200 6801 0E01 5C3A BE23 3800 0200 0000 0100 5802");
    QTest::newRow("FONT bold") << Font(true) << Hex("3100 1500 C800 0100 FF7F BC02 0000 00 00 00 00 0500 417269616C");
    QTest::newRow("XF style 0") << StyleXf(0) << Hex("E000 1400 0000 0000 F5FF 20 00 00 00 00000000 00000000 C020");
    QTest::newRow("XF default cell") << CellXf(0, 0, 0, 2, -1)
                                     << Hex("E000 1400 0000 0000 0100 20 00 00 00 00000000 00000000 C020");
    // Bold, "@", centred / bottom, solid fill with palette entry 42.
    QTest::newRow("XF bold text fill") << CellXf(BIFF_FONT_BOLD, BIFF_FORMAT_TEXT, 2, 2, 42)
                                       << Hex("E000 1400 0500 3100 0100 22 00 00 5C 00000000 00000004 AA20");
    QTest::newRow("XF right / top, no fill")
        << CellXf(0, 0, 3, 0, -1) << Hex("E000 1400 0000 0000 0100 03 00 00 10 00000000 00000000 C020");
    QTest::newRow("STYLE Normal") << StyleNormal() << Hex("9302 0400 0080 00FF");
    QTest::newRow("BOUNDSHEET Latin-1") << BoundSheet(QStringLiteral("Sheet1"))
                                        << Hex("8500 0E00 00000000 00 00 06 00 536865657431");
    QTest::newRow("BOUNDSHEET Chinese") << BoundSheet(QStringLiteral("记录"))
                                        << Hex("8500 0C00 00000000 00 00 02 01 B08B 555F");
    QTest::newRow("TABID 3 sheets") << TabId(3) << Hex("3D01 0600 0100 0200 0300");
    QTest::newRow("COLINFO B:C width 8") << ColInfo(1, 2, ColumnWidthToBiff(8), 16)
                                         << Hex("7D00 0C00 0100 0200 B608 1000 0000 0000");
    QTest::newRow("DIMENSIONS") << Dimensions(1, 65536, 0, 10) << Hex("0002 0E00 01000000 00000100 0000 0A00 0000");
    QTest::newRow("WINDOW2 active") << Window2(true) << Hex("3E02 1200 B606 0000 0000 40000000 0000 0000 00000000");
    QTest::newRow("LABELSST") << Appended(AppendLabelSst, 65535, 6, 17, 70000)
                              << Hex("FD00 0A00 FFFF 0600 1100 70110100");
    QByteArray blank;
    AppendBlank(blank, 6, 255, 15);
    QTest::newRow("BLANK") << blank << Hex("0102 0600 0600 FF00 0F00");
    QByteArray merged;
    AppendMergedCells(merged, {CellRect{1, 1, 3, 5}, CellRect{2, 3, 7, 8}});
    QTest::newRow("MERGEDCELLS") << merged << Hex("E500 1200 0200 0100 0100 0300 0500 0200 0300 0700 0800");
    QTest::newRow("WRITEACCESS is 112 bytes")
        << WriteAccess(QStringLiteral("MeterClient")).left(20) << Hex("5C00 7000 0B00 00 4D65746572436C69656E74 2020");
}

void TestBiffRecords::RecordBytes()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

void TestBiffRecords::ColumnWidths_data()
{
    QTest::addColumn<int>("nChars");
    QTest::addColumn<int>("nWidth");
    QTest::newRow("0") << 0 << 182;
    QTest::newRow("8, the label columns") << 8 << 2230;
    QTest::newRow("10, the value columns") << 10 << 2742;
    QTest::newRow("22, date and notes") << 22 << 5814;
    QTest::newRow("255, Excel's widest") << 255 << 65462;
    QTest::newRow("negative is 0") << -5 << 182;
    QTest::newRow("beyond 255 is 255") << 1000 << 65462;
}

void TestBiffRecords::ColumnWidths()
{
    QFETCH(int, nChars);
    QFETCH(int, nWidth);
    QCOMPARE(int(ColumnWidthToBiff(nChars)), nWidth);
}

void TestBiffRecords::ColumnWidthsReadBack()
{
    for (int n = 0; n <= 255; ++n)
        QCOMPARE(ColumnWidthFromBiff(ColumnWidthToBiff(n)), n);
    QCOMPARE(ColumnWidthFromBiff(BIFF_DEFAULT_COLUMN_WIDTH), 8); // Excel's 8.43
    QCOMPARE(ColumnWidthFromBiff(0), 0);
}

void TestBiffRecords::SstSplitting_data()
{
    QTest::addColumn<QStringList>("strings");
    QTest::addColumn<QList<int>>("lengths");        // SST, then each CONTINUE
    QTest::addColumn<QByteArray>("continueStarts"); // first data byte of each CONTINUE
    // The SST holds 8 bytes of counts, then 8216 bytes of strings.
    QTest::newRow("one byte a character, split inside the characters")
        << QStringList{QString(10000, QLatin1Char('a'))} << QList<int>{8224, 1788} << Hex("00");
    QTest::newRow("UTF-16, split between two characters")
        << QStringList{QString(5000, QChar(0x4E2D))} << QList<int>{8223, 1789} << Hex("01");
    QTest::newRow("header and first character stay together")
        << QStringList{QString(8211, QLatin1Char('a')), QStringLiteral("xyz")} << QList<int>{8222, 6} << Hex("03");
    QTest::newRow("an empty string needs only its header")
        << QStringList{QString(8210, QLatin1Char('a')), QString(), QStringLiteral("q")} << QList<int>{8224, 4}
        << Hex("01");
    QTest::newRow("UTF-16 header needs room for one two-byte character")
        << QStringList{QString(8210, QLatin1Char('a')), QStringLiteral("中")} << QList<int>{8221, 5} << Hex("01");
    QTest::newRow("long string over three records")
        << QStringList{QString(20000, QChar(0x6587))} << QList<int>{8223, 8223, 8223, 8223, 7123} << Hex("01010101");
}

void TestBiffRecords::SstSplitting()
{
    QFETCH(QStringList, strings);
    QFETCH(QList<int>, lengths);
    QFETCH(QByteArray, continueStarts);
    QByteArray out;
    AppendSst(out, QVector<QString>(strings.begin(), strings.end()), 1, 0, nullptr);
    QList<int> gotLengths;
    QByteArray gotStarts;
    int nPos = 0;
    while (nPos + 4 <= out.size())
    {
        const int nId = quint8(out[nPos]) | (quint8(out[nPos + 1]) << 8);
        const int nLength = quint8(out[nPos + 2]) | (quint8(out[nPos + 3]) << 8);
        QCOMPARE(nId, int(gotLengths.isEmpty() ? BIFF_SST : BIFF_CONTINUE));
        if (!gotLengths.isEmpty())
            gotStarts += out[nPos + 4];
        gotLengths << nLength;
        nPos += 4 + nLength;
    }
    QCOMPARE(nPos, int(out.size()));
    QCOMPARE(gotLengths, lengths);
    QCOMPARE(gotStarts.toHex(), continueStarts.toHex());
}

void TestBiffRecords::ExtSstPointsAtStrings()
{
    // EXTSST keeps, for every eighth string, its stream position and its
    // offset in its record; both must land on the string's header.
    QVector<QString> strings;
    for (int i = 0; i < 700; ++i)
        strings << QString(10 + i % 50, i % 2 ? QChar(0x4E00 + i) : QLatin1Char(char('a' + i % 26)));
    const quint32 nBase = 1000;
    QByteArray out;
    QVector<SstPosition> positions;
    AppendSst(out, strings, 700, nBase, &positions);
    QCOMPARE(positions.size(), strings.size());
    for (int i = 0; i < strings.size(); ++i)
    {
        const int nAt = int(positions[i].nStreamOffset - nBase);
        const int nChars = quint8(out[nAt]) | (quint8(out[nAt + 1]) << 8);
        QCOMPARE(nChars, int(strings[i].size()));
        const int nRecord = nAt - positions[i].nRecordOffset;
        const int nId = quint8(out[nRecord]) | (quint8(out[nRecord + 1]) << 8);
        QVERIFY(nId == BIFF_SST || nId == BIFF_CONTINUE);
    }
    const QByteArray ext = ExtSst(positions);
    QCOMPARE(ExtSstBucketSize(700), 8);
    QCOMPARE(int(ext.size()), 4 + 2 + 8 * ((700 + 7) / 8));
    QCOMPARE(quint8(ext[6 + 8]) | (quint8(ext[6 + 9]) << 8), int(positions[8].nStreamOffset & 0xFFFF));
}

QTEST_GUILESS_MAIN(TestBiffRecords)
#include "tst_biffrecords.moc"
