// Record decoding: the texts of a list row for record replies of every
// mode, wavelength index, value and date the meter can send.
#include "link/InstrumentFrame.h"
#include "records/RecordDecoder.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {
struct Fields
{
    quint16 nIndex = 1;
    quint8 byMode = MODE_OPM;
    quint8 byWave = 4;
    float fValue = -12.34f;
    float fReference = -3.0f;
    quint8 date[6] = {12, 5, 3, 9, 5, 7};
};

QByteArray RecordFrame(const Fields& f)
{
    quint8 payload[18];
    WriteU16BE(payload, f.nIndex);
    payload[2] = f.byMode;
    payload[3] = f.byWave;
    WriteF32LE(payload + 4, f.fValue);
    WriteF32LE(payload + 8, f.fReference);
    for (int i = 0; i < 6; ++i)
        payload[12 + i] = f.date[i];
    return InstrumentFrame::Build(RSP_RECORD, QByteArray(reinterpret_cast<const char*>(payload), 18));
}

WavelengthTable Table()
{
    WavelengthTable table{};
    for (int i = 0; i < WAVELENGTH_COUNT; ++i)
        table[size_t(i)] = quint32(1000 + i);
    table[4] = 1550;
    table[19] = 1625;
    return table;
}
} // namespace

Q_DECLARE_METATYPE(Fields)

class TestRecordDecoder : public QObject
{
    Q_OBJECT

private slots:
    void WorkedExample();
    void Rows_data();
    void Rows();
    void BeforeAnyConnect();
    void NotANumberAndInfinity();
};

void TestRecordDecoder::WorkedExample()
{
    const QByteArray frame = QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
    WavelengthTable table{};
    table[4] = 1550;
    const MeasurementRecord record = DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), table);
    const std::array<QString, RECORD_COLUMNS> expected = {QStringLiteral("1"),
                                                          QStringLiteral("1550nm"),
                                                          QStringLiteral("OPM"),
                                                          QStringLiteral("-12.34dBm"),
                                                          QStringLiteral("-3.00dBm"),
                                                          QStringLiteral("2012-5-3  9:5:7"),
                                                          QString()};
    QCOMPARE(record.texts, expected);
    QCOMPARE(DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())), 1);
}

void TestRecordDecoder::Rows_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");

    Fields f;
    f.byMode = MODE_RL;
    QTest::newRow("mode 0 is RL") << f << int(COL_MODE) << "RL";
    QTest::newRow("RL value in dB") << f << int(COL_VALUE) << "-12.34dB";
    f.fValue = 10.0f;
    QTest::newRow("10 in RL") << f << int(COL_VALUE) << "10.00dB";
    f.byMode = 2;
    QTest::newRow("mode 2 is IL") << f << int(COL_MODE) << "IL";
    QTest::newRow("IL value in dB") << f << int(COL_VALUE) << "10.00dB";
    f.byMode = 3;
    QTest::newRow("mode 3 is IL") << f << int(COL_MODE) << "IL";
    f.byMode = 255;
    QTest::newRow("mode 255 is IL") << f << int(COL_MODE) << "IL";
    QTest::newRow("mode 255 in dB") << f << int(COL_VALUE) << "10.00dB";

    f = Fields();
    QTest::newRow("reference -3.0") << f << int(COL_REFERENCE) << "-3.00dBm";
    f.byMode = MODE_RL;
    QTest::newRow("reference in dBm in RL too") << f << int(COL_REFERENCE) << "-3.00dBm";
    f.fReference = 0.999f;
    QTest::newRow("rounding carries") << f << int(COL_REFERENCE) << "1.00dBm";
    f.fReference = -0.001f;
    QTest::newRow("small negative") << f << int(COL_REFERENCE) << "-0.00dBm";
    f.fReference = std::numeric_limits<float>::lowest();
    QTest::newRow("lowest float") << f << int(COL_REFERENCE) << "-340282346638528859811704183484516925440.00dBm";

    f = Fields();
    f.byWave = 19;
    QTest::newRow("wave 19 is the last entry") << f << int(COL_WAVELENGTH) << "1625nm";
    f.byWave = 0;
    QTest::newRow("wave 0") << f << int(COL_WAVELENGTH) << "1000nm";
    f.byWave = 20;
    QTest::newRow("wave 20 names none") << f << int(COL_WAVELENGTH) << "";
    QTest::newRow("wave 20 keeps the value") << f << int(COL_VALUE) << "-12.34dBm";
    f.byWave = 255;
    QTest::newRow("wave 255 names none") << f << int(COL_WAVELENGTH) << "";

    f = Fields();
    f.date[0] = 5;
    QTest::newRow("year 5") << f << int(COL_DATETIME) << "205-5-3  9:5:7";
    f.date[4] = 0;
    QTest::newRow("minute 0") << f << int(COL_DATETIME) << "205-5-3  9:0:7";
    const quint8 high[6] = {99, 12, 31, 23, 59, 59};
    std::copy(high, high + 6, f.date);
    QTest::newRow("last second of 2099") << f << int(COL_DATETIME) << "2099-12-31  23:59:59";
    std::fill(f.date, f.date + 6, quint8(255));
    QTest::newRow("bytes of 255") << f << int(COL_DATETIME) << "20255-255-255  255:255:255";

    f = Fields();
    f.nIndex = 300;
    QTest::newRow("index 300") << f << int(COL_NUMBER) << "300";
    f.nIndex = 65535;
    QTest::newRow("index 65535") << f << int(COL_NUMBER) << "65535";
    QTest::newRow("notes empty") << f << int(COL_NOTES) << "";
}

void TestRecordDecoder::Rows()
{
    QFETCH(Fields, fields);
    QFETCH(int, column);
    QFETCH(QString, text);
    const QByteArray frame = RecordFrame(fields);
    const MeasurementRecord record = DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), Table());
    QCOMPARE(record.texts[size_t(column)], text);
    QCOMPARE(DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())), int(fields.nIndex));
}

void TestRecordDecoder::BeforeAnyConnect()
{
    // The dialog's table is all 0 until the first connect reply.
    for (quint8 byWave = 0; byWave < WAVELENGTH_COUNT; ++byWave)
    {
        Fields f;
        f.byWave = byWave;
        const QByteArray frame = RecordFrame(f);
        QCOMPARE(
            DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), WavelengthTable{}).texts[COL_WAVELENGTH],
            QStringLiteral("0nm"));
    }
}

void TestRecordDecoder::NotANumberAndInfinity()
{
    // Whatever the C library prints, followed by the unit, and nothing more.
    Fields f;
    f.fValue = std::numeric_limits<float>::infinity();
    f.fReference = std::numeric_limits<float>::quiet_NaN();
    const QByteArray frame = RecordFrame(f);
    const MeasurementRecord record = DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), Table());
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", double(f.fValue));
    QCOMPARE(record.texts[COL_VALUE], QString::fromLatin1(text) + QStringLiteral("dBm"));
    QVERIFY(record.texts[COL_REFERENCE].endsWith(QStringLiteral("dBm")));
    QVERIFY(record.texts[COL_REFERENCE].contains(QStringLiteral("nan"), Qt::CaseInsensitive));
}

QTEST_APPLESS_MAIN(TestRecordDecoder)
#include "tst_recorddecoder.moc"
