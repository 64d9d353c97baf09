// Fuzz target of the record decoding: any 21 or more bytes decode into seven
// texts of the row's forms (a number, a wavelength or nothing, one of three
// modes, values with two decimals and a point, a date of six numbers), and
// the plausibility of the time agrees with its fields.
#include "records/RecordDecoder.h"

#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void Check(bool bOk)
{
    if (!bOk)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 21 + 2 * WAVELENGTH_COUNT)
        return 0;
    WavelengthTable table{};
    for (int i = 0; i < WAVELENGTH_COUNT; ++i)
        table[size_t(i)] = quint32(pData[21 + 2 * i]) << 8 | pData[22 + 2 * i];
    const MeasurementRecord record = DecodeRecord(pData, table);

    static const QRegularExpression number(QStringLiteral("^\\d+$"));
    static const QRegularExpression wave(QStringLiteral("^(\\d+nm)?$"));
    static const QRegularExpression value(QStringLiteral("^(-?\\d+\\.\\d\\d|-?inf|-?nan)dBm?$"));
    static const QRegularExpression date(QStringLiteral("^20\\d+-\\d+-\\d+  \\d+:\\d+:\\d+$"));
    Check(number.match(record.texts[COL_NUMBER]).hasMatch());
    Check(record.texts[COL_NUMBER].toInt() == DecodeRecordIndex(pData));
    Check(wave.match(record.texts[COL_WAVELENGTH]).hasMatch());
    Check(record.texts[COL_WAVELENGTH].isEmpty() == (pData[RECORD_POS_WAVE] >= WAVELENGTH_COUNT));
    const QString& mode = record.texts[COL_MODE];
    Check(mode == QLatin1String("RL") || mode == QLatin1String("OPM") || mode == QLatin1String("IL"));
    Check(value.match(record.texts[COL_VALUE]).hasMatch());
    Check(record.texts[COL_VALUE].endsWith(QLatin1String("dBm")) == (mode == QLatin1String("OPM")));
    Check(value.match(record.texts[COL_REFERENCE]).hasMatch());
    Check(date.match(record.texts[COL_DATETIME]).hasMatch());
    Check(record.texts[COL_NOTES].isEmpty());

    const quint8* pDate = pData + RECORD_POS_DATE;
    const bool bPlausible = pDate[1] >= 1 && pDate[1] <= 12 && pDate[2] >= 1 && pDate[2] <= 31 && pDate[3] <= 23 &&
                            pDate[4] <= 59 && pDate[5] <= 59;
    Check(IsPlausibleRecordTime(pData) == bPlausible);
    return 0;
}
