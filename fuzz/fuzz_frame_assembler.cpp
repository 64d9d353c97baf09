// Fuzz target of the frame assembly. Checks, for any input: the assembly
// stays within its buffer (ASan), every frame handed on is a valid frame,
// and frames separated by garbage without start bytes all come out, once
// each and in order.
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
    FrameAssembler assembler;
    QList<QByteArray> frames;
    for (size_t i = 0; i < nSize; ++i)
    {
        assembler.PushByte(pData[i]);
        for (const QByteArray& frame : assembler.TakeFrames())
        {
            Check(InstrumentFrame::IsValid(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())));
            frames.append(frame);
        }
    }
    // Nothing is made up: the frames fit in the input.
    qsizetype nFrameBytes = 0;
    for (const QByteArray& frame : frames)
        nFrameBytes += frame.size();
    Check(quint64(nFrameBytes) <= nSize);
    return frames;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    Assemble(pData, nSize);

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
