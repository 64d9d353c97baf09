// Assembly of received bytes into frames: one byte in at a time, each valid
// frame handed on exactly once, and step regained after a bad or cut frame.
#pragma once

#include "link/InstrumentFrame.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Size of the assembly buffer (the receive buffer of the link). The
// assembly never holds more than one frame, at most FRAME_MAX_BYTES of it.
constexpr int RX_FRAME_SIZE = 1024;
static_assert(RX_FRAME_SIZE >= FRAME_MAX_BYTES, "the receive buffer must hold the longest frame");

// A frame starts at a 0x33 (bytes before it are dropped); a 0x33 inside a
// frame is stored like any byte; the frame is complete at L+2 bytes and valid
// when position L equals the checksum of 0..L-1; the end byte is counted but
// not compared. When a completed frame fails its checksum, or its L is below
// 3, the collected bytes after position 0 are fed again, so a frame that was
// cut short on the line costs only itself and every later valid frame is
// still taken once.
class FrameAssembler
{
public:
    FrameAssembler();

    // Feeds one byte; true when one or more frames were completed by it.
    bool PushByte(quint8 byData);
    // Feeds every byte; returns the number of frames completed.
    int PushBytes(const QByteArray& data);
    // The frames completed so far (each L+2 bytes), oldest first; clears the list.
    QList<QByteArray> TakeFrames();
    // Forgets a partly collected frame, as after a time-out: whatever came
    // before is not the start of what comes next.
    void Reset();
    // Signs of damage since the last call: collections given up (bad
    // checksum, impossible length) and bytes dropped outside any frame.
    // Clears the count.
    int TakeDamageCount();

private:
    quint8 m_rxFrame[RX_FRAME_SIZE];
    int m_nRxCount;
    bool m_bInFrame;
    int m_nDamage;
    QList<QByteArray> m_frames;
};
