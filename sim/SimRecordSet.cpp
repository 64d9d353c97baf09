// Stored records of the simulated meter and their RSP_RECORD replies.
#include "sim/SimRecordSet.h"

#include "link/InstrumentFrame.h"

#include <QtEndian>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace {
// Mode bytes in the order the generator uses them; IL has several bytes.
constexpr quint8 GENERATED_MODES[] = {1, 0, 2, 1, 0, 3, 1, 0, 255, 1, 0, 7};
constexpr int GENERATED_MODE_COUNT = int(sizeof GENERATED_MODES);

bool ParseByte(const QString& strText, quint8& byValue)
{
    bool bOk = false;
    const uint nValue = strText.toUInt(&bOk, 10);
    if (!bOk || nValue > 255)
        return false;
    byValue = quint8(nValue);
    return true;
}
} // namespace

void SimRecordSet::Generate(int nCount)
{
    m_records.clear();
    if (nCount > MAX_RECORDS)
        nCount = MAX_RECORDS;
    for (int i = 1; i <= nCount; ++i)
        m_records.append(Generated(i));
}

SimRecord SimRecordSet::Generated(int nIndex)
{
    SimRecord record;
    const int n = nIndex < 1 ? 1 : nIndex;
    record.byMode = GENERATED_MODES[(n - 1) % GENERATED_MODE_COUNT];
    record.byWaveIndex = quint8((n - 1) % 23);
    // Hundredths as integers, so every value prints back with its two decimals.
    int nHundredths = 0;
    if (record.byMode == 1)
        nHundredths = -((n * 137) % 5000); // power 0.00 .. -49.99 dBm
    else if (record.byMode == 0)
        nHundredths = 2000 + (n * 211) % 4000; // return loss 20.00 .. 59.99 dB
    else
        nHundredths = (n * 31) % 500; // insertion loss 0.00 .. 4.99 dB
    record.fValue = float(nHundredths) / 100.0f;
    record.fReference = float(-((n * 53) % 1000)) / 100.0f;
    record.byYear = quint8(12 + (n / 400) % 10);
    record.byMonth = quint8(1 + n % 12);
    record.byDay = quint8(1 + n % 28);
    record.byHour = quint8(n % 24);
    record.byMinute = quint8((n * 7) % 60);
    record.bySecond = quint8((n * 13) % 60);
    return record;
}

bool SimRecordSet::LoadFile(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    {
        m_strError = QStringLiteral("%1: %2").arg(strPath, file.errorString());
        return false;
    }
    return Parse(QString::fromUtf8(file.readAll()));
}

bool SimRecordSet::Parse(const QString& strText)
{
    static const QRegularExpression reBlank(QStringLiteral("\\s+"));
    QVector<SimRecord> records;
    const QStringList lines = strText.split(QLatin1Char('\n'));
    for (int nLine = 0; nLine < lines.size(); ++nLine)
    {
        const QString strLine = lines[nLine].trimmed();
        if (strLine.isEmpty() || strLine.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = strLine.split(reBlank);
        const QStringList date = fields.size() == 6 ? fields[4].split(QLatin1Char('-')) : QStringList();
        const QStringList time = fields.size() == 6 ? fields[5].split(QLatin1Char(':')) : QStringList();
        SimRecord record;
        bool bOk = fields.size() == 6 && date.size() == 3 && time.size() == 3;
        if (bOk)
        {
            const QString strMode = fields[0].toUpper();
            if (strMode == QLatin1String("RL"))
                record.byMode = 0;
            else if (strMode == QLatin1String("OPM"))
                record.byMode = 1;
            else if (strMode == QLatin1String("IL"))
                record.byMode = 2;
            else
                bOk = ParseByte(fields[0], record.byMode);
        }
        bool bValue = false;
        bool bReference = false;
        if (bOk)
        {
            record.fValue = fields[2].toFloat(&bValue);
            record.fReference = fields[3].toFloat(&bReference);
        }
        bOk = bOk && bValue && bReference && ParseByte(fields[1], record.byWaveIndex) &&
              ParseByte(date[0], record.byYear) && ParseByte(date[1], record.byMonth) &&
              ParseByte(date[2], record.byDay) && ParseByte(time[0], record.byHour) &&
              ParseByte(time[1], record.byMinute) && ParseByte(time[2], record.bySecond);
        if (!bOk)
        {
            m_strError = QStringLiteral("line %1: expected MODE WAVE VALUE REFERENCE YY-MM-DD HH:MM:SS").arg(nLine + 1);
            return false;
        }
        if (records.size() >= MAX_RECORDS)
        {
            m_strError = QStringLiteral("line %1: more than %2 records").arg(nLine + 1).arg(MAX_RECORDS);
            return false;
        }
        records.append(record);
    }
    m_records = records;
    m_strError.clear();
    return true;
}

QByteArray SimRecordSet::BuildReply(quint16 nIndex, const SimRecord& record)
{
    // Payload = frame positions 3..20: index (big-endian), mode, wavelength
    // index, value and reference (little-endian floats), six date bytes.
    quint8 payload[18];
    qToBigEndian<quint16>(nIndex, payload);
    payload[2] = record.byMode;
    payload[3] = record.byWaveIndex;
    qToLittleEndian<float>(record.fValue, payload + 4);
    qToLittleEndian<float>(record.fReference, payload + 8);
    payload[12] = record.byYear;
    payload[13] = record.byMonth;
    payload[14] = record.byDay;
    payload[15] = record.byHour;
    payload[16] = record.byMinute;
    payload[17] = record.bySecond;
    return InstrumentFrame::Build(RSP_RECORD, QByteArray(reinterpret_cast<const char*>(payload), int(sizeof payload)));
}

QByteArray SimRecordSet::ReplyFor(quint16 nIndex) const
{
    if (nIndex >= 1 && nIndex <= Count())
        return BuildReply(nIndex, Record(nIndex));
    SimRecord empty;
    empty.byMonth = 0;
    empty.byDay = 0;
    return BuildReply(nIndex, empty);
}
