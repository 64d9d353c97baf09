// Frame assembly: collecting bytes into frames and regaining step.
#include "link/FrameAssembler.h"

#include <cstring>

FrameAssembler::FrameAssembler() : m_rxFrame{}, m_nRxCount(0), m_bInFrame(false), m_nDamage(0)
{
}

bool FrameAssembler::PushByte(quint8 byData)
{
    // Bytes still to be fed, in order. When a collection is given up, the
    // bytes it held after its start byte go in front of what is left here;
    // the total never exceeds one frame plus the byte that came in.
    quint8 pending[FRAME_MAX_BYTES + 1];
    int nFirst = 0;
    int nLast = 1;
    pending[0] = byData;
    bool bDone = false;

    while (nFirst < nLast)
    {
        const quint8 by = pending[nFirst++];

        // Outside a frame only a start byte counts. Also true after a valid
        // frame: stray bytes between frames must not become a frame's position 0.
        if (!m_bInFrame || m_nRxCount <= 0 || m_nRxCount >= FRAME_MAX_BYTES)
        {
            m_nRxCount = 0;
            m_bInFrame = false;
            if (by != FRAME_START)
            {
                ++m_nDamage;
                continue;
            }
            m_bInFrame = true;
        }
        m_rxFrame[m_nRxCount++] = by;
        if (m_nRxCount < FRAME_POS_LENGTH + 1)
            continue;

        const int nLength = m_rxFrame[FRAME_POS_LENGTH];
        if (nLength >= FRAME_MIN_LENGTH)
        {
            if (m_nRxCount < nLength + 2)
                continue;
            if (m_rxFrame[nLength] == InstrumentFrame::Checksum(m_rxFrame, nLength))
            {
                // Valid: the next byte is looked at as a new start.
                m_frames.append(QByteArray(reinterpret_cast<const char*>(m_rxFrame), nLength + 2));
                m_nRxCount = 0;
                m_bInFrame = false;
                bDone = true;
                continue;
            }
        }

        // Bad checksum, or a length no frame can have: the start byte was not
        // one. Feed the bytes after it again, ahead of what is still pending.
        ++m_nDamage;
        const int nTail = m_nRxCount - 1;
        const int nRest = nLast - nFirst;
        quint8 rest[FRAME_MAX_BYTES + 1];
        std::memcpy(rest, pending + nFirst, size_t(nRest));
        std::memcpy(pending, m_rxFrame + 1, size_t(nTail));
        std::memcpy(pending + nTail, rest, size_t(nRest));
        nFirst = 0;
        nLast = nTail + nRest;
        m_nRxCount = 0;
        m_bInFrame = false;
    }
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
    m_nRxCount = 0;
    m_bInFrame = false;
}

int FrameAssembler::TakeDamageCount()
{
    const int nRejected = m_nDamage;
    m_nDamage = 0;
    return nRejected;
}
