// Fuzz target of the link control's reply handling: a model of the line in
// which the input decides, step by step, what the meter does with each
// request (answers, stays silent, answers twice, late or damaged, sends
// garbage) and when time runs out. Whatever happens, every record of a
// download is acted on once, in order, carrying the index asked for, and
// the download ends at most once, never before all its records.
#include "link/InstrumentFrame.h"
#include "link/MeterLink.h"
#include "records/RecordDecoder.h"

#include <QCoreApplication>
#include <QtEndian>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void Check(bool bOk)
{
    if (!bOk)
        std::abort();
}

// What the model meter answers to a request.
QByteArray Answer(const QByteArray& request, int nTotal)
{
    const quint8 byCommand = quint8(request.at(FRAME_POS_COMMAND));
    switch (byCommand)
    {
    case CMD_CONNECT:
        return InstrumentFrame::Build(RSP_CONNECTED, QByteArray(41, '\x01'));
    case CMD_READ_COUNT: {
        quint8 count[2];
        qToBigEndian<quint16>(quint16(nTotal), count);
        return InstrumentFrame::Build(RSP_COUNT, QByteArray(reinterpret_cast<const char*>(count), 2));
    }
    case CMD_READ_RECORD: {
        // Index, mode, wave, value, reference, then a plausible date.
        QByteArray payload = request.mid(FRAME_POS_PAYLOAD, 2) + QByteArray(10, '\x02');
        payload += QByteArray::fromHex("0C0503090507");
        return InstrumentFrame::Build(RSP_RECORD, payload);
    }
    default:
        return InstrumentFrame::Build(quint8(byCommand + 1), QByteArray());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static int nArgc = 1;
    static char szName[] = "fuzz_link_control";
    static char* argv[] = {szName, nullptr};
    static QCoreApplication app(nArgc, argv);
    if (nSize < 1)
        return 0;

    const int nTotal = 1 + pData[0] % 12;
    MeterLink link;
    QList<QByteArray> requests; // sent, not answered yet (the last is the newest)
    link.UseModelLine([&requests](const QByteArray& frame) { requests.append(frame); });
    int nNext = 1;
    int nFinished = 0;
    QObject::connect(&link, &MeterLink::RecordReceived, [&](const QByteArray& frame, int nIndex) {
        Check(nFinished == 0 && nIndex == nNext && nIndex <= nTotal);
        Check(frame.size() >= RECORD_MIN_LENGTH + 2 && quint8(frame.at(FRAME_POS_COMMAND)) == RSP_RECORD);
        Check(DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())) == nIndex);
        ++nNext;
    });
    QObject::connect(&link, &MeterLink::DownloadFinished, [&](int nCount) {
        Check(nCount == nTotal && nNext == nTotal + 1);
        ++nFinished;
    });
    link.StartDownload();

    const auto feed = [&link](const QByteArray& bytes) {
        for (const char c : bytes)
            link.OnPortByte(quint8(c));
    };
    QByteArray last;
    for (size_t i = 1; i + 1 < nSize && link.IsDownloading(); i += 2)
    {
        const quint8 byAction = pData[i];
        const quint8 byArg = pData[i + 1];
        const QByteArray answer = requests.isEmpty() ? last : Answer(requests.last(), nTotal);
        switch (byAction % 8)
        {
        case 0: // the answer, as it should be
        case 1:
            if (!requests.isEmpty())
                requests.removeLast();
            last = answer;
            feed(answer);
            break;
        case 2: // silence until time runs out
            link.FireTimeouts();
            break;
        case 3: // the answer to an older request, or the last one again
            feed(requests.size() > 1 ? Answer(requests.first(), nTotal) : last);
            break;
        case 4: { // the answer with one byte damaged
            QByteArray damaged = answer;
            if (!damaged.isEmpty())
                damaged[byArg % damaged.size()] = char(damaged.at(byArg % damaged.size()) ^ (byArg | 1));
            feed(damaged);
            break;
        }
        case 5: // stray bytes
            feed(QByteArray(1 + byArg % 5, char(byArg)));
            break;
        case 6: // the answer cut short
            feed(answer.left(byArg % qMax<qsizetype>(1, answer.size())));
            break;
        default: // the download timer's tick
            link.OnTimer(0);
            break;
        }
    }
    Check(nFinished <= 1);
    return 0;
}
