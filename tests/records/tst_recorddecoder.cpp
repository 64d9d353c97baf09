// Record decoding: the texts of a list row for record replies of every
// mode, wavelength index, value and date the meter can send.
#include "records/RecordDecoder.h"

#include <QtEndian>
#include <QtTest>
#include <limits>

namespace {
// A record reply; the date bytes are year-2000, month, day, hour, minute, second.
QByteArray Frame(quint8 byMode, quint8 byWave, float fValue, float fReference = -3.0f,
                 const char* pDateHex = "0C0503090507", quint16 nIndex = 1)
{
    quint8 payload[12];
    qToBigEndian<quint16>(nIndex, payload);
    payload[2] = byMode;
    payload[3] = byWave;
    qToLittleEndian<float>(fValue, payload + 4);
    qToLittleEndian<float>(fReference, payload + 8);
    // Start, L = 21, RSP_RECORD, the payload, checksum, end.
    QByteArray frame = QByteArray::fromHex("331571") + QByteArray(reinterpret_cast<const char*>(payload), 12) +
                       QByteArray::fromHex(pDateHex);
    quint8 bySum = 0;
    for (char c : frame)
        bySum = quint8(bySum + quint8(c));
    return frame + char(quint8(0x100 - bySum)) + char(0x08);
}

MeasurementRecord Decode(const QByteArray& frame, const WavelengthTable& table)
{
    return DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), table);
}
} // namespace

class TestRecordDecoder : public QObject
{
    Q_OBJECT

private slots:
    void WorkedExample();
    void Rows_data();
    void Rows();
};

void TestRecordDecoder::WorkedExample()
{
    const QByteArray frame = QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
    WavelengthTable table{};
    table[4] = 1550;
    const std::array<QString, RECORD_COLUMNS> expected = {"1",        "1550nm",          "OPM",    "-12.34dBm",
                                                          "-3.00dBm", "2012-5-3  9:5:7", QString()};
    QCOMPARE(Decode(frame, table).texts, expected);
    QCOMPARE(DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())), 1);
    // Before the first connect the table is all 0.
    QCOMPARE(Decode(frame, WavelengthTable{}).texts[COL_WAVELENGTH], QStringLiteral("0nm"));
}

void TestRecordDecoder::Rows_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    const float fLowest = std::numeric_limits<float>::lowest();

    QTest::newRow("mode 0 is RL") << Frame(MODE_RL, 4, 10.0f) << int(COL_MODE) << "RL";
    QTest::newRow("RL value in dB") << Frame(MODE_RL, 4, 10.0f) << int(COL_VALUE) << "10.00dB";
    QTest::newRow("RL reference in dBm") << Frame(MODE_RL, 4, 10.0f) << int(COL_REFERENCE) << "-3.00dBm";
    QTest::newRow("mode 2 is IL") << Frame(2, 4, 10.0f) << int(COL_MODE) << "IL";
    QTest::newRow("mode 3 is IL") << Frame(3, 4, 10.0f) << int(COL_MODE) << "IL";
    QTest::newRow("mode 255 is IL") << Frame(255, 4, 10.0f) << int(COL_MODE) << "IL";
    QTest::newRow("IL value in dB") << Frame(255, 4, 10.0f) << int(COL_VALUE) << "10.00dB";
    QTest::newRow("wave 19 is the last") << Frame(MODE_OPM, 19, 1.0f) << int(COL_WAVELENGTH) << "1625nm";
    QTest::newRow("wave 20 names none") << Frame(MODE_OPM, 20, 1.0f) << int(COL_WAVELENGTH) << "";
    QTest::newRow("wave 20 keeps the value") << Frame(MODE_OPM, 20, 1.0f) << int(COL_VALUE) << "1.00dBm";
    QTest::newRow("lowest float") << Frame(MODE_OPM, 4, 1.0f, fLowest) << int(COL_REFERENCE)
                                  << "-340282346638528859811704183484516925440.00dBm";
    QTest::newRow("infinity") << Frame(MODE_OPM, 4, std::numeric_limits<float>::infinity()) << int(COL_VALUE)
                              << "infdBm";
    QTest::newRow("not a number") << Frame(MODE_OPM, 4, std::numeric_limits<float>::quiet_NaN()) << int(COL_VALUE)
                                  << "nandBm";
    QTest::newRow("year 205") << Frame(MODE_OPM, 4, 1.0f, 0.0f, "050503090007") << int(COL_DATETIME)
                              << "205-5-3  9:0:7";
    QTest::newRow("bytes of 255") << Frame(MODE_OPM, 4, 1.0f, 0.0f, "FFFFFFFFFFFF") << int(COL_DATETIME)
                                  << "20255-255-255  255:255:255";
    QTest::newRow("index 300") << Frame(MODE_OPM, 4, 1.0f, 0.0f, "0C0503090507", 300) << int(COL_NUMBER) << "300";
    QTest::newRow("index 65535") << Frame(MODE_OPM, 4, 1.0f, 0.0f, "0C0503090507", 65535) << int(COL_NUMBER) << "65535";
}

void TestRecordDecoder::Rows()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, column);
    QFETCH(QString, text);
    WavelengthTable table{};
    table[19] = 1625;
    QCOMPARE(Decode(frame, table).texts[size_t(column)], text);
    if (column == COL_NUMBER)
        QCOMPARE(DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())), text.toInt());
}

QTEST_APPLESS_MAIN(TestRecordDecoder)
#include "tst_recorddecoder.moc"
