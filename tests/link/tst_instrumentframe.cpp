// Frame codec: every frame worked out by hand for the meter's manual, and the
// frames the receiving side must accept or refuse.
#include "link/InstrumentFrame.h"

#include <QtTest>

class TestInstrumentFrame : public QObject
{
    Q_OBJECT

private slots:
    void BuildKnownFrames_data();
    void BuildKnownFrames();
    void IsValid_data();
    void IsValid();
};

void TestInstrumentFrame::BuildKnownFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected"); // empty: refused

    QTest::newRow("connect") << InstrumentFrame::Build(CMD_CONNECT, {}) << QByteArray::fromHex("330310BA08");
    QTest::newRow("disconnect") << InstrumentFrame::Build(CMD_DISCONNECT, {}) << QByteArray::fromHex("330320AA08");
    QTest::newRow("read count") << InstrumentFrame::Build(CMD_READ_COUNT, {}) << QByteArray::fromHex("3303804A08");
    QTest::newRow("read record 1") << InstrumentFrame::BuildReadRecord(1) << QByteArray::fromHex("33057000015708");
    QTest::newRow("read record 256") << InstrumentFrame::BuildReadRecord(256) << QByteArray::fromHex("33057001005708");
    QTest::newRow("read record 258") << InstrumentFrame::BuildReadRecord(258) << QByteArray::fromHex("33057001025508");
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
    // 0x33 + 0x03 + 0xCA = 0x100: a checksum of 0x00 is a good one.
    QTest::newRow("checksum 00") << InstrumentFrame::Build(0xCA, {}) << QByteArray::fromHex("3303CA0008");
    // L is one byte: 253 payload bytes would wrap it to 0.
    QTest::newRow("payload too long") << InstrumentFrame::Build(RSP_RECORD, QByteArray(253, '\0')) << QByteArray();
}

void TestInstrumentFrame::BuildKnownFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
    if (!expected.isEmpty())
        QVERIFY(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(built.constData()), int(built.size())));
}

void TestInstrumentFrame::IsValid_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    QTest::newRow("wrong end byte") << QByteArray::fromHex("330310BAFF") << true;
    QTest::newRow("bad checksum") << QByteArray::fromHex("330310BB08") << false;
    QTest::newRow("no start byte") << QByteArray::fromHex("340310B908") << false;
    QTest::newRow("L 2") << QByteArray::fromHex("3302CB08") << false;
    QTest::newRow("one byte short") << QByteArray::fromHex("330570000157") << false;
    QTest::newRow("one byte long") << QByteArray::fromHex("330310BA0808") << false;
}

void TestInstrumentFrame::IsValid()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);
    QCOMPARE(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())), valid);
}

QTEST_APPLESS_MAIN(TestInstrumentFrame)
#include "tst_instrumentframe.moc"
