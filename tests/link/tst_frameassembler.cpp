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

QList<QByteArray> Assemble(const QByteArray& stream)
{
    FrameAssembler assembler;
    assembler.PushBytes(stream);
    return assembler.TakeFrames();
}
} // namespace

class TestFrameAssembler : public QObject
{
    Q_OBJECT

private slots:
    void Streams_data();
    void Streams();
    void EverySplitOfAFrame();
    void ResetAfterTimeOut();
    void RandomStreams();
};

void TestFrameAssembler::Streams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");

    QByteArray check33; // a frame whose checksum byte is the start byte
    for (int i = 0; check33.isEmpty() || quint8(check33[5]) != FRAME_START; ++i)
        check33 = InstrumentFrame::Build(RSP_COUNT, QByteArray(1, '\0') + char(i));
    const QByteArray payload33 = InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("3333"));
    const QByteArray wrongEnd = QByteArray::fromHex("330321A95A");

    QTest::newRow("back to back") << RECORD + COUNT300 + DISCONNECTED
                                  << QList<QByteArray>{RECORD, COUNT300, DISCONNECTED};
    QTest::newRow("garbage") << QByteArray::fromHex("0008FF7112") + COUNT300 + QByteArray::fromHex("0102FE08") + RECORD
                             << QList<QByteArray>{COUNT300, RECORD};
    QTest::newRow("0x33 in payload") << payload33 + RECORD << QList<QByteArray>{payload33, RECORD};
    QTest::newRow("0x33 as checksum") << check33 + DISCONNECTED << QList<QByteArray>{check33, DISCONNECTED};
    QTest::newRow("wrong end byte") << wrongEnd + COUNT300 << QList<QByteArray>{wrongEnd, COUNT300};
    QTest::newRow("bad checksum then valid")
        << QByteArray(RECORD).replace(7, 1, "\x00") + RECORD << QList<QByteArray>{RECORD};
    QTest::newRow("cut frame then two") << RECORD.left(10) + COUNT300 + RECORD << QList<QByteArray>{COUNT300, RECORD};
    QTest::newRow("L 2 then valid") << QByteArray::fromHex("3302") + DISCONNECTED << QList<QByteArray>{DISCONNECTED};
    QTest::newRow("L 0 then valid") << QByteArray::fromHex("3300") + DISCONNECTED << QList<QByteArray>{DISCONNECTED};
    // A bogus L of 255 holds the frames behind it until 257 bytes are in;
    // then they are fed again and each one comes out once, in order.
    QTest::newRow("long bogus L") << QByteArray::fromHex("33FF") + COUNT300.repeated(40)
                                  << QList<QByteArray>(40, COUNT300);
    // A stray start byte reads the next frame's start as L = 0x33.
    QTest::newRow("stray start byte") << QByteArray(1, '\x33') + DISCONNECTED.repeated(12)
                                      << QList<QByteArray>(12, DISCONNECTED);
}

void TestFrameAssembler::Streams()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
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
        QCOMPARE(nFirst, nSplit == stream.size() ? 2 : nSplit >= RECORD.size() ? 1 : 0);
        QCOMPARE(nFirst + assembler.PushBytes(stream.mid(nSplit)), 2);
        QCOMPARE(assembler.TakeFrames(), (QList<QByteArray>{RECORD, COUNT300}));
    }
}

void TestFrameAssembler::ResetAfterTimeOut()
{
    // A corrupted length byte leaves the assembly waiting for bytes that
    // never come; without a reset the next reply would be swallowed.
    FrameAssembler assembler;
    assembler.PushBytes(QByteArray::fromHex("33F5710001"));
    assembler.Reset();
    QCOMPARE(assembler.PushBytes(COUNT300), 1);
    QCOMPARE(assembler.TakeFrames(), QList<QByteArray>{COUNT300});
    // Damage is counted, so the link knows a reply was garbled.
    QByteArray damaged = RECORD;
    damaged[7] = '\x00';
    assembler.PushBytes(damaged);
    QVERIFY(assembler.TakeDamageCount() > 0);
    QCOMPARE(assembler.TakeDamageCount(), 0);
}

void TestFrameAssembler::RandomStreams()
{
    QRandomGenerator random(20121);
    // Random bytes, plenty of start bytes and small lengths so that frames
    // do form: the assembly stays in bounds and hands on only valid frames.
    QByteArray noise(50000, '\0');
    for (char& c : noise)
    {
        const quint32 n = random.bounded(8u);
        c = char(n == 0 ? FRAME_START : n == 1 ? random.bounded(3u, 9u) : random.bounded(256u));
    }
    for (const QByteArray& frame : Assemble(noise))
        QVERIFY(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())));

    // Random frames with garbage (no start byte) between them: each comes out once.
    QByteArray stream;
    QList<QByteArray> sent;
    for (int i = 0; i < 500; ++i)
    {
        for (quint32 g = random.bounded(6u); g > 0; --g)
            stream.append(char(random.bounded(0x34u, 0x133u)));
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
