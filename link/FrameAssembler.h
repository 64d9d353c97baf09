// Assembly of received bytes into frames: one byte in at a time, each valid
// frame handed on exactly once, and step regained after a bad or cut frame.
#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <functional>

// Size of the assembly buffer the dialog keeps (m_rxFrame). The assembly never
// holds more than one frame, at most FRAME_MAX_BYTES (257) of it.
constexpr int FRAME_BUFFER_SIZE = 1024;

// What the assembly threw away, for diagnostics and tests.
struct FrameAssemblyStats
{
    quint64 nDroppedBytes = 0; // bytes outside any frame (not a start byte)
    quint64 nBadFrames = 0;    // collections given up: bad checksum or L < 3
};

// Feeds one received byte. Calls onFrame() for every valid frame completed by
// it, with the frame at pBuffer[0..L+1] and nCount already 0, which is the
// state in which the dialog dispatches. pBuffer must hold FRAME_BUFFER_SIZE
// bytes; bInFrame is true while a frame is being collected.
//
// A frame starts at a 0x33 (bytes before it are dropped); a 0x33 inside a
// frame is stored like any byte; the frame is complete at L+2 bytes and valid
// when position L equals the checksum of 0..L-1; the end byte is counted but
// not compared. When a completed frame fails its checksum, or its L is below
// 3, the collected bytes after position 0 are fed again, so a frame that was
// cut short on the line costs only itself and every later valid frame is
// still acted on once. onFrame may run a nested event loop; it may even feed
// bytes itself, since no state of this call is kept in the buffer across it.
void PushFrameByte(quint8 byData, quint8* pBuffer, int& nCount, bool& bInFrame, const std::function<void()>& onFrame,
                   FrameAssemblyStats* pStats = nullptr);

// The same assembly with its own buffer, collecting whole frames.
class FrameAssembler
{
public:
    FrameAssembler();

    // True when one or more frames were completed by this byte.
    bool PushByte(quint8 byData);
    // Feeds every byte; returns the number of frames completed.
    int PushBytes(const QByteArray& data);
    // The frames completed so far (each L+2 bytes), oldest first; clears the list.
    QList<QByteArray> TakeFrames();
    // Forgets a partly collected frame (the frames already taken stay).
    void Reset();

    int GetPendingCount() const { return m_nCount; }
    const FrameAssemblyStats& GetStats() const { return m_stats; }

private:
    quint8 m_buffer[FRAME_BUFFER_SIZE];
    int m_nCount;
    bool m_bInFrame;
    QList<QByteArray> m_frames;
    FrameAssemblyStats m_stats;
};
