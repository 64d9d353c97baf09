// Frame codec: every frame worked out by hand for the meter's manual and the
// field helpers' byte order.
#include "link/InstrumentFrame.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestInstrumentFrame : public QObject
{
    Q_OBJECT

private slots:
    void BuildKnownFrames_data();
    void BuildKnownFrames();
    void ChecksumSumsToZero_data();
    void ChecksumSumsToZero();
    void IsValidRejects_data();
    void IsValidRejects();
    void OversizedPayloadIsRefused();
    void FloatFieldsRoundTrip_data();
    void FloatFieldsRoundTrip();
};

void TestInstrumentFrame::BuildKnownFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("connect") << InstrumentFrame::Build(CMD_CONNECT, {}) << QByteArray::fromHex("330310BA08");
    QTest::newRow("disconnect") << InstrumentFrame::Build(CMD_DISCONNECT, {}) << QByteArray::fromHex("330320AA08");
    QTest::newRow("read count") << InstrumentFrame::Build(CMD_READ_COUNT, {}) << QByteArray::fromHex("3303804A08");
    QTest::newRow("read record 258") << InstrumentFrame::BuildReadRecord(258) << QByteArray::fromHex("33057001025508");
    QTest::newRow("read record 1") << InstrumentFrame::BuildReadRecord(1) << QByteArray::fromHex("33057000015708");
    QTest::newRow("read record 256") << InstrumentFrame::BuildReadRecord(256) << QByteArray::fromHex("33057001005708");
    QTest::newRow("cal RL -3.5") << InstrumentFrame::BuildCalibration(CMD_CAL_RL, -3.5f)
                                 << QByteArray::fromHex("330750000060C05608");
    QTest::newRow("cal OPM -3.5") << InstrumentFrame::BuildCalibration(CMD_CAL_OPM, -3.5f)
                                  << QByteArray::fromHex("330760000060C04608");
    QTest::newRow("cal 0") << InstrumentFrame::BuildCalibration(CMD_CAL_RL, 0.0f)
                           << QByteArray::fromHex("330750000000007608");
    QTest::newRow("clock 2012-05-03 09:05:07")
        << InstrumentFrame::BuildSetClock(12, 5, 3, 9, 5, 7) << QByteArray::fromHex("3309C00C0503090507DB08");
    QTest::newRow("count 300") << InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("012C"))
                               << QByteArray::fromHex("330581012C1A08");
    QTest::newRow("record reply") << InstrumentFrame::Build(RSP_RECORD,
                                                            QByteArray::fromHex("00010104A47045C1000040C00C0503090507"))
                                  << QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
}

void TestInstrumentFrame::BuildKnownFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestInstrumentFrame::ChecksumSumsToZero_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("checksum");
    QTest::newRow("record 258") << QByteArray::fromHex("3305700102") << 0x55;
    // 0x33 + 0x03 + 0xCA = 0x100: a checksum of 0x00 is a good one.
    QTest::newRow("zero checksum") << QByteArray::fromHex("3303CA") << 0x00;
    QTest::newRow("sum wraps twice") << QByteArray::fromHex("33FFFFFF") << 0xD0;
    QTest::newRow("nothing") << QByteArray() << 0x00;
}

void TestInstrumentFrame::ChecksumSumsToZero()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, checksum);
    const quint8* p = reinterpret_cast<const quint8*>(bytes.constData());
    QCOMPARE(int(InstrumentFrame::Checksum(p, int(bytes.size()))), checksum);
    unsigned nSum = unsigned(checksum);
    for (const char c : bytes)
        nSum += quint8(c);
    QCOMPARE(nSum % 256u, 0u);
}

void TestInstrumentFrame::IsValidRejects_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    QTest::newRow("connect") << QByteArray::fromHex("330310BA08") << true;
    QTest::newRow("wrong end byte") << QByteArray::fromHex("330310BAFF") << true;
    QTest::newRow("checksum 00") << QByteArray::fromHex("3303CA0008") << true;
    QTest::newRow("bad checksum") << QByteArray::fromHex("330310BB08") << false;
    QTest::newRow("no start byte") << QByteArray::fromHex("340310B908") << false;
    QTest::newRow("L 2") << QByteArray::fromHex("3302CB08") << false;
    QTest::newRow("one byte short") << QByteArray::fromHex("330570000157") << false;
    QTest::newRow("one byte long") << QByteArray::fromHex("330310BA0808") << false;
}

void TestInstrumentFrame::IsValidRejects()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);
    QCOMPARE(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())), valid);
}

void TestInstrumentFrame::OversizedPayloadIsRefused()
{
    // L is one byte: 253 payload bytes would wrap it to 0 and make a frame
    // whose length says something else than what is on the wire.
    QVERIFY(InstrumentFrame::Build(RSP_RECORD, QByteArray(253, '\0')).isEmpty());
}

void TestInstrumentFrame::FloatFieldsRoundTrip_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("-3.5") << -3.5f << QByteArray::fromHex("000060C0");
    QTest::newRow("-12.34") << -12.34f << QByteArray::fromHex("A47045C1");
    QTest::newRow("-3.0") << -3.0f << QByteArray::fromHex("000040C0");
    QTest::newRow("largest") << std::numeric_limits<float>::max() << QByteArray::fromHex("FFFF7F7F");
    QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << QByteArray::fromHex("000080FF");
}

void TestInstrumentFrame::FloatFieldsRoundTrip()
{
    QFETCH(float, value);
    QFETCH(QByteArray, bytes);
    quint8 buffer[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    WriteF32LE(buffer + 1, value); // odd address on purpose
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer + 1), 4).toHex(), bytes.toHex());
    QCOMPARE(buffer[0], quint8(0xEE));
    QCOMPARE(ReadF32LE(buffer + 1), value);

    quint8 word[3] = {};
    WriteU16BE(word + 1, 0x012C);
    QCOMPARE(word[1], quint8(0x01));
    QCOMPARE(word[2], quint8(0x2C));
    QCOMPARE(ReadU16BE(word + 1), quint16(300));
}

QTEST_APPLESS_MAIN(TestInstrumentFrame)
#include "tst_instrumentframe.moc"
