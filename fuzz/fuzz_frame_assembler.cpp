// Fuzz target of the frame assembly. Checks, for any input: the collected
// count stays within one frame, every frame handed on is a valid frame, the
// class and the dialog's function agree, and frames separated by garbage
// without start bytes all come out, once each and in order.
#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void Check(bool bOk)
{
    if (!bOk)
        std::abort();
}

QList<QByteArray> Assemble(const quint8* pData, size_t nSize)
{
    // Exactly the dialog's buffer, on the stack, so a write past it is caught.
    quint8 buffer[FRAME_BUFFER_SIZE];
    int nCount = 0;
    bool bInFrame = false;
    QList<QByteArray> frames;
    FrameAssemblyStats stats;
    for (size_t i = 0; i < nSize; ++i)
    {
        PushFrameByte(
            pData[i], buffer, nCount, bInFrame,
            [&]() {
                Check(nCount == 0);
                const int nLength = buffer[FRAME_POS_LENGTH];
                Check(InstrumentFrame::IsValid(buffer, nLength + 2));
                frames.append(QByteArray(reinterpret_cast<const char*>(buffer), nLength + 2));
            },
            &stats);
        Check(nCount >= 0 && nCount <= FRAME_MAX_BYTES);
        Check(bInFrame == (nCount > 0));
    }
    // Nothing is made up: the frames and the dropped bytes fit in the input.
    qsizetype nFrameBytes = 0;
    for (const QByteArray& frame : frames)
        nFrameBytes += frame.size();
    Check(quint64(nFrameBytes) + stats.nDroppedBytes <= nSize);
    return frames;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const QList<QByteArray> frames = Assemble(pData, nSize);

    FrameAssembler assembler;
    for (size_t i = 0; i < nSize; ++i)
        assembler.PushByte(pData[i]);
    Check(assembler.TakeFrames() == frames);

    // Second reading of the input: records of (garbage length, payload
    // length, command, payload, garbage) become valid frames with garbage in
    // between; the garbage never holds a start byte, so no frame may be lost.
    QByteArray stream;
    QList<QByteArray> sent;
    size_t i = 0;
    while (i + 3 <= nSize)
    {
        const size_t nGarbage = pData[i] % 8;
        const size_t nPayload = pData[i + 1] % 64;
        const quint8 byCommand = pData[i + 2];
        i += 3;
        if (i + nPayload + nGarbage > nSize)
            break;
        const QByteArray frame =
            InstrumentFrame::Build(byCommand, QByteArray(reinterpret_cast<const char*>(pData + i), int(nPayload)));
        i += nPayload;
        for (size_t g = 0; g < nGarbage; ++g, ++i)
            stream.append(char(pData[i] == FRAME_START ? 0x00 : pData[i]));
        stream += frame;
        sent.append(frame);
    }
    Check(Assemble(reinterpret_cast<const quint8*>(stream.constData()), size_t(stream.size())) == sent);
    return 0;
}
