// Record decoding: one RSP_RECORD frame to one MeasurementRecord of texts.
#include "records/RecordDecoder.h"

#include <QtEndian>

namespace {
// "%.2f" of the value widened to double, then the unit. Qt's formatting,
// not the C library's: the meter's texts have a decimal point whatever the
// desktop's language (the C library would follow LC_NUMERIC).
QString FormatFixed2(float fValue, const char* pszUnit)
{
    return QString::asprintf("%.2f%s", double(fValue), pszUnit);
}
} // namespace

int DecodeRecordIndex(const quint8* pFrame)
{
    return qFromBigEndian<quint16>(pFrame + RECORD_POS_INDEX);
}

bool IsPlausibleRecordTime(const quint8* pFrame)
{
    const quint8* pDate = pFrame + RECORD_POS_DATE;
    const int nMonth = pDate[1], nDay = pDate[2], nHour = pDate[3], nMinute = pDate[4], nSecond = pDate[5];
    return nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= 31 && nHour <= 23 && nMinute <= 59 && nSecond <= 59;
}

MeasurementRecord DecodeRecord(const quint8* pFrame, const WavelengthTable& wavelengths)
{
    MeasurementRecord record;
    record.texts[COL_NUMBER] = QString::number(DecodeRecordIndex(pFrame));

    const quint8 byMode = pFrame[RECORD_POS_MODE];
    const float fValue = qFromLittleEndian<float>(pFrame + RECORD_POS_VALUE);
    if (byMode == MODE_RL)
    {
        record.texts[COL_MODE] = QStringLiteral("RL");
        record.texts[COL_VALUE] = FormatFixed2(fValue, "dB");
    }
    else if (byMode == MODE_OPM)
    {
        record.texts[COL_MODE] = QStringLiteral("OPM");
        record.texts[COL_VALUE] = FormatFixed2(fValue, "dBm");
    }
    else
    {
        record.texts[COL_MODE] = QStringLiteral("IL");
        record.texts[COL_VALUE] = FormatFixed2(fValue, "dB");
    }

    const int nWave = pFrame[RECORD_POS_WAVE];
    if (nWave < WAVELENGTH_COUNT)
        record.texts[COL_WAVELENGTH] = QString::number(wavelengths[size_t(nWave)]) + QStringLiteral("nm");

    record.texts[COL_REFERENCE] = FormatFixed2(qFromLittleEndian<float>(pFrame + RECORD_POS_REFERENCE), "dBm");

    // Plain decimal bytes, no leading zeros, two blanks between date and time.
    const quint8* pDate = pFrame + RECORD_POS_DATE;
    record.texts[COL_DATETIME] =
        QString::asprintf("20%u-%u-%u  %u:%u:%u", unsigned(pDate[0]), unsigned(pDate[1]), unsigned(pDate[2]),
                          unsigned(pDate[3]), unsigned(pDate[4]), unsigned(pDate[5]));
    return record;
}
