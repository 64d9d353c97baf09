// Frame codec of the meter's serial protocol (layout in InstrumentFrame.h).
#include "link/InstrumentFrame.h"

#include "records/RecordDecoder.h"

#include <QtEndian>

QByteArray InstrumentFrame::Build(quint8 byCommand, const QByteArray& payload)
{
    const int nLength = FRAME_MIN_LENGTH + int(payload.size());
    if (nLength > 255)
        return QByteArray();
    QByteArray frame(nLength + 2, '\0');
    quint8* p = reinterpret_cast<quint8*>(frame.data());
    p[0] = FRAME_START;
    p[FRAME_POS_LENGTH] = quint8(nLength);
    p[FRAME_POS_COMMAND] = byCommand;
    if (!payload.isEmpty())
        std::memcpy(p + FRAME_POS_PAYLOAD, payload.constData(), size_t(payload.size()));
    p[nLength] = Checksum(p, nLength);
    p[nLength + 1] = FRAME_END;
    return frame;
}

quint8 InstrumentFrame::Checksum(const quint8* pData, int nCount)
{
    unsigned nSum = 0;
    for (int i = 0; i < nCount; ++i)
        nSum += pData[i];
    return quint8((0x100u - (nSum & 0xFFu)) & 0xFFu);
}

bool InstrumentFrame::IsValid(const quint8* pData, int nCount)
{
    if (nCount < FRAME_MIN_LENGTH + 2 || pData[0] != FRAME_START)
        return false;
    const int nLength = pData[FRAME_POS_LENGTH];
    if (nLength < FRAME_MIN_LENGTH || nCount != nLength + 2)
        return false;
    return pData[nLength] == Checksum(pData, nLength);
}

QByteArray InstrumentFrame::BuildReadRecord(quint16 nIndex)
{
    quint8 payload[2];
    qToBigEndian(nIndex, payload);
    return Build(CMD_READ_RECORD, QByteArray(reinterpret_cast<const char*>(payload), 2));
}

QByteArray InstrumentFrame::BuildCalibration(quint8 byCommand, float fValue)
{
    // -3.5 is C0 60 00 00 as a float and goes out as 00 00 60 C0.
    quint8 payload[4];
    qToLittleEndian(fValue, payload);
    return Build(byCommand, QByteArray(reinterpret_cast<const char*>(payload), 4));
}

QByteArray InstrumentFrame::BuildSetClock(quint8 byYear, quint8 byMonth, quint8 byDay, quint8 byHour, quint8 byMinute,
                                          quint8 bySecond)
{
    const quint8 payload[6] = {byYear, byMonth, byDay, byHour, byMinute, bySecond};
    return Build(CMD_SET_CLOCK, QByteArray(reinterpret_cast<const char*>(payload), 6));
}

int InstrumentFrame::MinimumLength(quint8 byCommand)
{
    switch (byCommand)
    {
    case RSP_CONNECTED:
        return 44; // positions 4..43 hold the wavelength table
    case RSP_RECORD:
        return RECORD_MIN_LENGTH; // positions 3..20 hold the record
    case RSP_COUNT:
        return 5; // positions 3..4 hold the count
    default:
        return FRAME_MIN_LENGTH;
    }
}
