// Frame codec of the meter's serial protocol: building request frames and the
// checksum.
#pragma once

#include <QByteArray>
#include <QtGlobal>

// InstrumentFrame on the wire (positions from 0):
//   0       FRAME_START 0x33
//   1       L = 3 + payload length; also the position of the checksum
//   2       command (CMD_* from the PC, RSP_* from the meter)
//   3..L-1  payload, layout per command
//   L       checksum: two's complement of the low byte of the sum of 0..L-1,
//           so bytes 0..L sum to 0 mod 256 (a checksum of 0x00 is fine)
//   L+1     FRAME_END 0x08 (counted by the receiver, never compared)
// A frame is L+2 bytes; L is one byte, so the longest frame is 257 bytes.
constexpr quint8 FRAME_START = 0x33;
constexpr quint8 FRAME_END = 0x08;
constexpr int FRAME_POS_LENGTH = 1;
constexpr int FRAME_POS_COMMAND = 2;
constexpr int FRAME_POS_PAYLOAD = 3;
constexpr int FRAME_MIN_LENGTH = 3;      // smallest L: a frame without payload
constexpr int FRAME_MAX_BYTES = 255 + 2; // whole frame with L = 255

// Requests, PC to meter. Payloads:
//   CMD_CAL_RL / CMD_CAL_OPM  3..6 calibration value, float, least significant byte first
//   CMD_READ_RECORD           3..4 record index, 16-bit big-endian, first record is 1
//   CMD_SET_CLOCK             3..8 year (two last digits), month, day, hour, minute, second
constexpr quint8 CMD_CONNECT = 0x10;
constexpr quint8 CMD_DISCONNECT = 0x20;
constexpr quint8 CMD_CAL_RL = 0x50;
constexpr quint8 CMD_CAL_OPM = 0x60;
constexpr quint8 CMD_READ_RECORD = 0x70;
constexpr quint8 CMD_READ_COUNT = 0x80;
constexpr quint8 CMD_SET_CLOCK = 0xC0;

// Replies, meter to PC; each is its request's code plus 1. Payloads:
//   RSP_CONNECTED  3 unused, 4..43 twenty wavelengths in nm, each 16-bit big-endian
//   RSP_RECORD     3..20 one stored record (see records/RecordDecoder.h)
//   RSP_COUNT      3..4 number of stored records, 16-bit big-endian
//   the others carry no payload
constexpr quint8 RSP_CONNECTED = 0x11;
constexpr quint8 RSP_DISCONNECTED = 0x21;
constexpr quint8 RSP_CAL_RL_DONE = 0x51;
constexpr quint8 RSP_CAL_OPM_DONE = 0x61;
constexpr quint8 RSP_RECORD = 0x71;
constexpr quint8 RSP_COUNT = 0x81;
constexpr quint8 RSP_WAVE_SET = 0x91; // the meter may send it; no request of ours asks for it
constexpr quint8 RSP_CLOCK_SET = 0xC1;

class InstrumentFrame
{
public:
    // Whole frame: start, L, command, payload, checksum, end. A payload longer
    // than 252 bytes cannot be framed (L is one byte): the result is empty.
    static QByteArray Build(quint8 byCommand, const QByteArray& payload);
    // Two's complement of the low byte of the sum of the first nCount bytes.
    static quint8 Checksum(const quint8* pData, int nCount);
    // True when pFrame[0..nCount-1] holds exactly one frame with a matching
    // checksum (the end byte is not compared, as the receiver does).
    static bool IsValid(const quint8* pData, int nCount);

    static QByteArray BuildReadRecord(quint16 nIndex);
    // byCommand is CMD_CAL_RL or CMD_CAL_OPM.
    static QByteArray BuildCalibration(quint8 byCommand, float fValue);
    // byYear is the two last digits of the year.
    static QByteArray BuildSetClock(quint8 byYear, quint8 byMonth, quint8 byDay, quint8 byHour, quint8 byMinute,
                                    quint8 bySecond);

    // Smallest L a reply must carry so that its handler reads only bytes of
    // the frame: 44 for RSP_CONNECTED, 21 for RSP_RECORD, 5 for RSP_COUNT,
    // 3 for every other reply.
    static int MinimumLength(quint8 byCommand);
};
