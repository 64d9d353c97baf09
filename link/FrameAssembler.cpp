// Frame assembly shared by the dialog (on its own members) and FrameAssembler.
#include "link/FrameAssembler.h"

#include "link/InstrumentFrame.h"

#include <cstring>

namespace {
// Bytes still to be fed, in order. When a collection is given up, the bytes
// it held after its start byte go in front of what is left here; the total
// never exceeds one frame plus the byte that came in, so a fixed array does.
struct PendingBytes
{
    quint8 bytes[FRAME_MAX_BYTES + 1];
    int nFirst = 0;
    int nLast = 0;
};
} // namespace

void PushFrameByte(quint8 byData, quint8* pBuffer, int& nCount, bool& bInFrame, const std::function<void()>& onFrame,
                   FrameAssemblyStats* pStats)
{
    PendingBytes pending;
    pending.bytes[0] = byData;
    pending.nLast = 1;

    while (pending.nFirst < pending.nLast)
    {
        const quint8 by = pending.bytes[pending.nFirst++];

        // Outside a frame only a start byte counts. Also true after a valid
        // frame: stray bytes between frames must not become a frame's position 0.
        if (!bInFrame || nCount <= 0 || nCount >= FRAME_MAX_BYTES)
        {
            nCount = 0;
            bInFrame = false;
            if (by != FRAME_START)
            {
                if (pStats)
                    ++pStats->nDroppedBytes;
                continue;
            }
            bInFrame = true;
        }
        pBuffer[nCount++] = by;
        if (nCount < FRAME_POS_LENGTH + 1)
            continue;

        const int nLength = pBuffer[FRAME_POS_LENGTH];
        bool bGiveUp = nLength < FRAME_MIN_LENGTH;
        if (!bGiveUp)
        {
            if (nCount < nLength + 2)
                continue;
            if (pBuffer[nLength] == InstrumentFrame::Checksum(pBuffer, nLength))
            {
                // Valid: the next byte is looked at as a new start; dispatch.
                nCount = 0;
                bInFrame = false;
                if (onFrame)
                    onFrame();
                continue;
            }
            bGiveUp = true;
        }

        // Bad checksum, or a length no frame can have: the start byte was not
        // one. Feed the bytes after it again, ahead of what is still pending.
        if (pStats)
            ++pStats->nBadFrames;
        const int nTail = nCount - 1;
        const int nRest = pending.nLast - pending.nFirst;
        quint8 rest[FRAME_MAX_BYTES + 1];
        std::memcpy(rest, pending.bytes + pending.nFirst, size_t(nRest));
        std::memcpy(pending.bytes, pBuffer + 1, size_t(nTail));
        std::memcpy(pending.bytes + nTail, rest, size_t(nRest));
        pending.nFirst = 0;
        pending.nLast = nTail + nRest;
        nCount = 0;
        bInFrame = false;
    }
}

FrameAssembler::FrameAssembler() : m_buffer{}, m_nCount(0), m_bInFrame(false)
{
}

bool FrameAssembler::PushByte(quint8 byData)
{
    bool bDone = false;
    PushFrameByte(
        byData, m_buffer, m_nCount, m_bInFrame,
        [this, &bDone]() {
            const int nLength = m_buffer[FRAME_POS_LENGTH];
            m_frames.append(QByteArray(reinterpret_cast<const char*>(m_buffer), nLength + 2));
            bDone = true;
        },
        &m_stats);
    return bDone;
}

int FrameAssembler::PushBytes(const QByteArray& data)
{
    const qsizetype nBefore = m_frames.size();
    for (const char c : data)
        PushByte(quint8(c));
    return int(m_frames.size() - nBefore);
}

QList<QByteArray> FrameAssembler::TakeFrames()
{
    QList<QByteArray> frames;
    frames.swap(m_frames);
    return frames;
}

void FrameAssembler::Reset()
{
    m_nCount = 0;
    m_bInFrame = false;
}
