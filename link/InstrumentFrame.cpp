// Frame codec of the meter's serial protocol (layout in InstrumentFrame.h).
#include "InstrumentFrame.h"

#include <cstring>

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
    WriteU16BE(payload, nIndex);
    return Build(CMD_READ_RECORD, QByteArray(reinterpret_cast<const char*>(payload), 2));
}

QByteArray InstrumentFrame::BuildCalibration(quint8 byCommand, float fValue)
{
    // -3.5 is C0 60 00 00 as a float and goes out as 00 00 60 C0.
    quint8 payload[4];
    WriteF32LE(payload, fValue);
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
        return 21; // positions 3..20 hold the record
    case RSP_COUNT:
        return 5; // positions 3..4 hold the count
    default:
        return FRAME_MIN_LENGTH;
    }
}

quint16 ReadU16BE(const quint8* p)
{
    return quint16((unsigned(p[0]) << 8) | unsigned(p[1]));
}

float ReadF32LE(const quint8* p)
{
    const quint32 nBits = quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    float fValue;
    static_assert(sizeof fValue == sizeof nBits, "float must be 32 bits");
    std::memcpy(&fValue, &nBits, sizeof fValue);
    return fValue;
}

void WriteU16BE(quint8* p, quint16 nValue)
{
    p[0] = quint8(nValue >> 8);
    p[1] = quint8(nValue & 0xFFu);
}

void WriteF32LE(quint8* p, float fValue)
{
    quint32 nBits;
    std::memcpy(&nBits, &fValue, sizeof nBits);
    p[0] = quint8(nBits & 0xFFu);
    p[1] = quint8((nBits >> 8) & 0xFFu);
    p[2] = quint8((nBits >> 16) & 0xFFu);
    p[3] = quint8((nBits >> 24) & 0xFFu);
}
