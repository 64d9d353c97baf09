// Frame assembly: frames cut anywhere, packed together, mixed with garbage,
// bad frames followed by good ones, and random input that must never overrun.
#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
const QByteArray RECORD = QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
const QByteArray COUNT300 = QByteArray::fromHex("330581012C1A08");
const QByteArray DISCONNECTED = QByteArray::fromHex("330321A908");

// A frame whose checksum byte comes out as 0x33.
QByteArray FrameWithChecksum33()
{
    for (int i = 0; i < 256; ++i)
    {
        const QByteArray frame = InstrumentFrame::Build(RSP_COUNT, QByteArray(1, '\0') + char(i));
        if (quint8(frame[5]) == FRAME_START)
            return frame;
    }
    return QByteArray();
}

// Runs bytes through PushFrameByte on a dialog-like buffer; returns what
// onFrame saw and fails the test when the assembly leaves its bounds.
QList<QByteArray> Assemble(const QByteArray& stream, FrameAssemblyStats* pStats = nullptr)
{
    quint8 buffer[FRAME_BUFFER_SIZE] = {};
    int nCount = 0;
    bool bInFrame = false;
    QList<QByteArray> frames;
    for (const char c : stream)
    {
        PushFrameByte(
            quint8(c), buffer, nCount, bInFrame,
            [&]() {
                // The dialog dispatches with nCount 0 and the frame at 0..L+1.
                QCOMPARE(nCount, 0);
                frames.append(QByteArray(reinterpret_cast<const char*>(buffer), buffer[1] + 2));
            },
            pStats);
        if (nCount < 0 || nCount > FRAME_MAX_BYTES)
        {
            qWarning("nCount %d out of bounds", nCount);
            return {};
        }
    }
    return frames;
}

QByteArray Times(const QByteArray& frame, int nTimes)
{
    QByteArray out;
    for (int i = 0; i < nTimes; ++i)
        out += frame;
    return out;
}
} // namespace

class TestFrameAssembler : public QObject
{
    Q_OBJECT

private slots:
    void Streams_data();
    void Streams();
    void EverySplitOfAFrame();
    void DroppedAndBadAreCounted();
    void NestedFeedFromHandler();
    void RandomBytesStayInBounds();
    void RandomGarbageBetweenFramesLosesNothing();
};

void TestFrameAssembler::Streams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray bad = QByteArray::fromHex("330321AA08"); // checksum one off
    const QByteArray cut = RECORD.left(10);
    const QByteArray check33 = FrameWithChecksum33();
    const QByteArray payload33 = InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("3333"));
    QByteArray wrongEnd = DISCONNECTED;
    wrongEnd[4] = '\x5A';

    QTest::newRow("one frame") << RECORD << QList<QByteArray>{RECORD};
    QTest::newRow("back to back") << RECORD + COUNT300 + DISCONNECTED
                                  << QList<QByteArray>{RECORD, COUNT300, DISCONNECTED};
    QTest::newRow("garbage before") << QByteArray::fromHex("0008FF7112") + RECORD << QList<QByteArray>{RECORD};
    QTest::newRow("garbage between") << COUNT300 + QByteArray::fromHex("0102FE08") + RECORD + QByteArray(7, '\0') +
                                            DISCONNECTED
                                     << QList<QByteArray>{COUNT300, RECORD, DISCONNECTED};
    QTest::newRow("0x33 in payload") << payload33 + RECORD << QList<QByteArray>{payload33, RECORD};
    QTest::newRow("0x33 as checksum") << check33 + DISCONNECTED << QList<QByteArray>{check33, DISCONNECTED};
    QTest::newRow("wrong end byte") << wrongEnd + COUNT300 << QList<QByteArray>{wrongEnd, COUNT300};
    QTest::newRow("bad checksum then valid") << bad + DISCONNECTED << QList<QByteArray>{DISCONNECTED};
    QTest::newRow("bad record then valid")
        << QByteArray(RECORD).replace(7, 1, "\x00") + RECORD << QList<QByteArray>{RECORD};
    QTest::newRow("cut frame then valid") << cut + RECORD << QList<QByteArray>{RECORD};
    QTest::newRow("cut frame then two") << cut + COUNT300 + RECORD << QList<QByteArray>{COUNT300, RECORD};
    QTest::newRow("L 2 then valid") << QByteArray::fromHex("3302") + DISCONNECTED << QList<QByteArray>{DISCONNECTED};
    QTest::newRow("L 0 then valid") << QByteArray::fromHex("3300") + DISCONNECTED << QList<QByteArray>{DISCONNECTED};
    // A bogus L of 255 holds the frames behind it until 257 bytes are in;
    // then they are fed again and each one comes out once, in order.
    QTest::newRow("long bogus L") << QByteArray::fromHex("33FF") + Times(COUNT300, 40)
                                  << QList<QByteArray>(40, COUNT300);
    // A stray start byte reads the next frame's start as L = 0x33.
    QTest::newRow("stray start byte") << QByteArray(1, '\x33') + Times(DISCONNECTED, 12)
                                      << QList<QByteArray>(12, DISCONNECTED);
    QTest::newRow("only garbage") << QByteArray::fromHex("0008FF08") << QList<QByteArray>{};
}

void TestFrameAssembler::Streams()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
    const QList<QByteArray> frames = Assemble(stream);
    QCOMPARE(frames, expected);

    // The class gives the same frames whichever way the bytes come in.
    FrameAssembler assembler;
    QCOMPARE(assembler.PushBytes(stream), int(expected.size()));
    QCOMPARE(assembler.TakeFrames(), expected);
    QVERIFY(assembler.TakeFrames().isEmpty());
}

void TestFrameAssembler::EverySplitOfAFrame()
{
    const QByteArray stream = RECORD + COUNT300;
    for (int nSplit = 0; nSplit <= stream.size(); ++nSplit)
    {
        FrameAssembler assembler;
        const int nFirst = assembler.PushBytes(stream.left(nSplit));
        const int nSecond = assembler.PushBytes(stream.mid(nSplit));
        QCOMPARE(nFirst, nSplit == stream.size() ? 2 : nSplit >= RECORD.size() ? 1 : 0);
        QCOMPARE(nFirst + nSecond, 2);
        QCOMPARE(assembler.TakeFrames(), (QList<QByteArray>{RECORD, COUNT300}));
        QCOMPARE(assembler.GetPendingCount(), 0);
    }
}

void TestFrameAssembler::DroppedAndBadAreCounted()
{
    FrameAssemblyStats stats;
    const QList<QByteArray> frames =
        Assemble(QByteArray::fromHex("0102") + QByteArray::fromHex("330321AA08") + DISCONNECTED, &stats);
    QCOMPARE(frames.size(), 1);
    // 01 02 before, then 03 21 AA 08 fed again after the bad frame.
    QCOMPARE(stats.nDroppedBytes, quint64(6));
    QCOMPARE(stats.nBadFrames, quint64(1));
}

void TestFrameAssembler::NestedFeedFromHandler()
{
    // The handler may open a message box whose event loop delivers more
    // bytes. Here the first frame is found while bytes of a bad frame are fed
    // again, and its handler feeds a whole frame of its own.
    quint8 buffer[FRAME_BUFFER_SIZE] = {};
    int nCount = 0;
    bool bInFrame = false;
    QList<QByteArray> frames;
    std::function<void()> onFrame = [&]() {
        frames.append(QByteArray(reinterpret_cast<const char*>(buffer), buffer[1] + 2));
        if (frames.size() == 1)
        {
            for (const char c : COUNT300)
                PushFrameByte(quint8(c), buffer, nCount, bInFrame, onFrame);
        }
    };
    // L = 8: the bad frame's 10 bytes hold a whole DISCONNECTED and "33 05".
    const QByteArray stream =
        QByteArray::fromHex("3308") + DISCONNECTED + QByteArray::fromHex("3305") + QByteArray::fromHex("81012C1A08");
    for (const char c : stream)
        PushFrameByte(quint8(c), buffer, nCount, bInFrame, onFrame);
    QCOMPARE(frames, (QList<QByteArray>{DISCONNECTED, COUNT300, COUNT300}));
    QCOMPARE(nCount, 0);
}

void TestFrameAssembler::RandomBytesStayInBounds()
{
    QRandomGenerator random(20121);
    for (int nRound = 0; nRound < 5; ++nRound)
    {
        QByteArray stream(10000, '\0');
        for (char& c : stream)
        {
            // Plenty of start bytes and small lengths, so frames do form.
            const quint32 n = random.bounded(8u);
            quint8 by = quint8(random.bounded(256u));
            if (n == 0)
                by = FRAME_START;
            else if (n == 1)
                by = quint8(random.bounded(3u, 9u));
            c = char(by);
        }
        FrameAssembler assembler;
        for (const char c : stream)
        {
            assembler.PushByte(quint8(c));
            QVERIFY(assembler.GetPendingCount() >= 0 && assembler.GetPendingCount() <= FRAME_MAX_BYTES);
        }
        for (const QByteArray& frame : assembler.TakeFrames())
            QVERIFY(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())));
    }
}

void TestFrameAssembler::RandomGarbageBetweenFramesLosesNothing()
{
    // Garbage without start bytes between frames: every frame comes out once.
    QRandomGenerator random(7);
    QByteArray stream;
    QList<QByteArray> sent;
    for (int i = 0; i < 500; ++i)
    {
        const int nGarbage = int(random.bounded(6u));
        for (int g = 0; g < nGarbage; ++g)
        {
            const char c = char(random.bounded(256u));
            stream.append(c == '\x33' ? '\x34' : c);
        }
        QByteArray payload(int(random.bounded(40u)), '\0');
        for (char& c : payload)
            c = char(random.bounded(256u));
        sent.append(InstrumentFrame::Build(quint8(random.bounded(256u)), payload));
        stream += sent.last();
    }
    QCOMPARE(Assemble(stream), sent);
}

QTEST_APPLESS_MAIN(TestFrameAssembler)
#include "tst_frameassembler.moc"
