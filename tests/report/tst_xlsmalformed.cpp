// Files the reader must refuse: other formats, older BIFF versions,
// truncated or corrupted files, counts that claim more than the file holds.
// Each returns false with a reason, leaves the workbook as it was, and
// neither crashes nor hangs.
#include <QRandomGenerator>
#include <QtTest>

#include "BiffTestStreams.h"
#include "XlsTestBook.h"
#include "report/BiffReader.h"
#include "report/CompoundFile.h"
#include "report/XlsFile.h"

using namespace BiffRecords;
using namespace BiffTestStreams;

class TestXlsMalformed : public QObject
{
    Q_OBJECT

private slots:
    void BadInputs_data();
    void BadInputs();
    void StreamCutAnywhere();
    void FileCutAtManyPoints();
    void RandomBytes();
    void FlippedBytes();
};

namespace {

// A workbook that must come out of a failed load untouched.
Workbook Sentinel()
{
    Workbook book;
    book.ActiveSheet().m_strName = QStringLiteral("untouched");
    book.ActiveSheet().At(3, 3).strText = QStringLiteral("keep");
    return book;
}

bool IsSentinel(const Workbook& book)
{
    return book.m_sheets.size() == 1 && book.ActiveSheet().m_strName == QStringLiteral("untouched") &&
           book.ActiveSheet().Text(3, 3) == QStringLiteral("keep") && book.ActiveSheet().CellCount() == 1;
}

QByteArray Compound(const QString& strStream, const QByteArray& stream)
{
    QByteArray file;
    CompoundFile::Write(strStream, stream, file, nullptr);
    return file;
}

QByteArray WithSheetOffset(QByteArray stream, int nSheet, quint32 nOffset)
{
    // Finds the n-th BOUNDSHEET and sets its stream position.
    BiffReader rd(stream);
    int n = 0;
    while (rd.Next())
        if (rd.Id() == BIFF_BOUNDSHEET && n++ == nSheet)
        {
            PutU32(stream.data() + rd.Position() + 4, nOffset);
            break;
        }
    return stream;
}

QByteArray ValidStream()
{
    return BuildWorkbookStream(XlsTestBook::ReportBook(true, 30));
}

} // namespace

void TestXlsMalformed::BadInputs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("bIsStream"); // a bare workbook stream, else a whole file
    QTest::addColumn<QString>("strReason");

    const QByteArray cell = Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(0));
    QByteArray biff5 = Bof(BIFF_BOF_GLOBALS) + Eof();
    PutU16(biff5.data() + 4, 0x0500);

    QTest::newRow("empty file") << QByteArray() << false << QStringLiteral("Not an Excel workbook");
    QTest::newRow("text file") << QByteArray("Number,Wave\n1,1550nm\n") << false
                               << QStringLiteral("Not an Excel workbook");
    QTest::newRow("xlsx bytes") << QByteArray::fromHex("504B030414000600080000002100DFA4D26C5A01") << false
                                << QStringLiteral(".xlsx");
    QTest::newRow("BIFF5 stream in a BIFF8-named file")
        << Compound(QStringLiteral("Workbook"), biff5) << false << QStringLiteral("BIFF5");
    QTest::newRow("BIFF5 file (Book stream)")
        << Compound(QStringLiteral("Book"), biff5) << false << QStringLiteral("BIFF5");
    QTest::newRow("BIFF4 worksheet file")
        << QByteArray::fromHex("0904060000001000000000000A000000") << false << QStringLiteral("BIFF2-5");
    QTest::newRow("BIFF4 stream") << QByteArray::fromHex("0904060000001000000000000A000000") << true
                                  << QStringLiteral("Excel 2");
    QTest::newRow("compound file without a workbook")
        << Compound(QStringLiteral("Other"), ValidStream()) << false << QStringLiteral("no Excel workbook");
    QTest::newRow("signature only") << QByteArray::fromHex("D0CF11E0A1B11AE1") << false
                                    << QStringLiteral("compound file");
    QTest::newRow("empty stream") << QByteArray() << true << QStringLiteral("Empty");
    QTest::newRow("globals without EOF") << QByteArray(Bof(BIFF_BOF_GLOBALS) + Font(false)) << true
                                         << QStringLiteral("no EOF");
    QTest::newRow("record longer than the stream")
        << QByteArray(Bof(BIFF_BOF_GLOBALS) + QByteArray::fromHex("3100FF00")) << true << QStringLiteral("Damaged");
    QTest::newRow("no sheet") << QByteArray(Bof(BIFF_BOF_GLOBALS) + Eof()) << true << QStringLiteral("no sheet");
    QTest::newRow("encrypted") << MakeStream({cell}, Rec(0x002F, U16s({1, 1}))) << true << QStringLiteral("encrypted");
    QTest::newRow("SST claims more strings than it holds")
        << MakeStream({cell}, Rec(BIFF_SST, U32(1000) + U32(1000) + U16s({1}) + QByteArray(1, '\0') + "a")) << true
        << QStringLiteral("SST");
    QTest::newRow("SST claims 4 billion strings")
        << MakeStream({cell}, Rec(BIFF_SST, U32(0xFFFFFFFF) + U32(0xFFFFFFFF))) << true << QStringLiteral("SST");
    QTest::newRow("SST string longer than its record")
        << MakeStream({cell}, Rec(BIFF_SST, U32(1) + U32(1) + U16s({60000}) + QByteArray(1, '\1') + "ab")) << true
        << QStringLiteral("SST");
    QTest::newRow("LABELSST beyond the SST")
        << MakeStream({Rec(BIFF_LABELSST, Cell3(0, 0, 15) + U32(5))}, Sst({QStringLiteral("only")})) << true
        << QStringLiteral("LABELSST");
    QTest::newRow("MERGEDCELLS claims more ranges than it holds")
        << MakeStream({Rec(BIFF_MERGEDCELLS, U16s({500, 0, 1, 0, 1}))}) << true << QStringLiteral("MERGEDCELLS");
    QTest::newRow("MULRK with a wrong last column")
        << MakeStream({Rec(BIFF_MULRK, U16s({0, 0, 15}) + RkInt(1) + U16s({15}) + RkInt(2) + U16s({7}))}) << true
        << QStringLiteral("MULRK");
    QTest::newRow("short NUMBER") << MakeStream({Rec(BIFF_NUMBER, Cell3(0, 0, 15))}) << true
                                  << QStringLiteral("NUMBER");
    QTest::newRow("sheet position beyond the stream")
        << WithSheetOffset(MakeStream({cell}), 0, 0x7FFFFFF0) << true << QStringLiteral("position");
    QTest::newRow("sheet position inside the globals")
        << WithSheetOffset(MakeStream({cell}), 0, 0) << true << QStringLiteral("position");
    const QByteArray two = MakeStream({cell, cell}, Sst({QStringLiteral("x")}));
    BiffReader rd(two);
    quint32 nFirstSheet = 0;
    while (rd.Next())
        if (rd.Id() == BIFF_BOUNDSHEET)
        {
            nFirstSheet = quint32(rd.Data()[0] | (rd.Data()[1] << 8) | (rd.Data()[2] << 16));
            break;
        }
    QTest::newRow("two sheets on the same bytes")
        << WithSheetOffset(two, 1, nFirstSheet) << true << QStringLiteral("position");
    QTest::newRow("sheet without EOF") << QByteArray(MakeStream({cell}, Sst({QStringLiteral("x")})).chopped(4)) << true
                                       << QStringLiteral("no EOF");
}

void TestXlsMalformed::BadInputs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, bIsStream);
    QFETCH(QString, strReason);
    Workbook book = Sentinel();
    QString strError;
    const bool bOk =
        bIsStream ? ParseWorkbookStream(bytes, book, &strError) : LoadWorkbookXlsData(bytes, book, &strError);
    QVERIFY(!bOk);
    QVERIFY2(strError.contains(strReason, Qt::CaseInsensitive), qPrintable(strError));
    QVERIFY(IsSentinel(book));
}

void TestXlsMalformed::StreamCutAnywhere()
{
    const QByteArray stream = ValidStream();
    for (int n = 0; n < stream.size(); ++n)
    {
        Workbook book = Sentinel();
        QString strError;
        const bool bOk = ParseWorkbookStream(stream.left(n), book, &strError);
        QVERIFY2(!bOk, qPrintable(QStringLiteral("stream cut at %1 of %2 was accepted").arg(n).arg(stream.size())));
        QVERIFY(!strError.isEmpty());
        QVERIFY(IsSentinel(book));
    }
}

void TestXlsMalformed::FileCutAtManyPoints()
{
    const Workbook original = XlsTestBook::ReportBook(true, 30);
    QByteArray file;
    QVERIFY(BuildWorkbookXlsData(original, file, nullptr));
    for (int n = 0; n < file.size(); n += (n < 1100 ? 1 : 37))
    {
        Workbook book = Sentinel();
        QString strError;
        if (LoadWorkbookXlsData(file.left(n), book, &strError))
            XlsTestBook::CompareBooks(book, original); // only a cut in unused bytes may pass
        else
            QVERIFY(IsSentinel(book) && !strError.isEmpty());
    }
}

void TestXlsMalformed::RandomBytes()
{
    QRandomGenerator rng(20120503);
    for (int i = 0; i < 300; ++i)
    {
        QByteArray bytes(int(rng.bounded(1, 20000)), '\0');
        for (char& c : bytes)
            c = char(rng.bounded(256));
        if (i % 3 == 1)
            bytes.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1")); // behind a valid signature
        if (i % 3 == 2)
            bytes.replace(0, 20, Bof(BIFF_BOF_GLOBALS)); // behind a valid BOF
        Workbook book = Sentinel();
        QString strError;
        QVERIFY(!LoadWorkbookXlsData(bytes, book, &strError));
        QVERIFY(IsSentinel(book));
        ParseWorkbookStream(bytes, book, &strError); // may not crash; random records rarely form a workbook
    }
}

void TestXlsMalformed::FlippedBytes()
{
    // Corrupted but well-framed: the reader may accept or refuse, but must
    // do it in bounded time and memory, and never touch bytes it lacks.
    const QByteArray stream = ValidStream();
    QByteArray file;
    QVERIFY(BuildWorkbookXlsData(XlsTestBook::ReportBook(false, 10), file, nullptr));
    QRandomGenerator rng(1550);
    for (int i = 0; i < 2000; ++i)
    {
        QByteArray bad = (i % 2) ? stream : file;
        for (int k = 0; k < 1 + i % 4; ++k)
            bad[int(rng.bounded(int(bad.size())))] = char(rng.bounded(256));
        Workbook book;
        QString strError;
        const bool bOk =
            (i % 2) ? ParseWorkbookStream(bad, book, &strError) : LoadWorkbookXlsData(bad, book, &strError);
        QVERIFY(bOk || !strError.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestXlsMalformed)
#include "tst_xlsmalformed.moc"
