// Requests and replies over the serial driver for the command-line tool.
#include "tools/meterctl/MeterLink.h"

#include "link/InstrumentFrame.h"
#include "link/PortMessages.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
constexpr unsigned WRITE_SLOT_SIZE = 512;
} // namespace

MeterLink::MeterLink() : m_rxFrame{}
{
    // The driver reports a lost line (a read that fails) through its
    // process-wide reporter, on this thread.
    SerialPort::SetFailureReporter([this](const QString&, const QString& strText) { OnPortFailure(strText); });
}

MeterLink::~MeterLink()
{
    SerialPort::SetFailureReporter(SerialPort::FailureReporter());
}

bool MeterLink::Open(const QString& strDevice)
{
    m_nRxCount = 0;
    m_bInFrame = false;
    m_frames.clear();
    m_nResends = 0;
    m_bLineLost = false;
    m_strLineError.clear();
    // The port number is only echoed back with each byte; one port here.
    if (!m_serial.Open(this, strDevice, 1, LINE_BAUD, 'N', 8, 1, EV_RXCHAR, WRITE_SLOT_SIZE))
        return false;
    return m_serial.StartWatch();
}

bool MeterLink::event(QEvent* pEvent)
{
    if (pEvent->type() == PortMessageEvent::EventType())
    {
        const auto* pMessage = static_cast<PortMessageEvent*>(pEvent);
        if (pMessage->m_nMessage == WM_PORT_BYTE)
            OnPortByte(static_cast<quint8>(pMessage->m_wParam));
        return true;
    }
    return QObject::event(pEvent);
}

void MeterLink::OnPortByte(quint8 byData)
{
    PushFrameByte(byData, m_rxFrame, m_nRxCount, m_bInFrame, [this]() {
        // The frame is at m_rxFrame[0 .. L+1].
        const int nLength = m_rxFrame[FRAME_POS_LENGTH];
        m_frames.append(QByteArray(reinterpret_cast<const char*>(m_rxFrame), nLength + 2));
        if (m_pLoop)
            m_pLoop->quit();
    });
}

void MeterLink::OnPortFailure(const QString& strText)
{
    m_strLineError = strText;
    // A failed read closes the port: the other end is gone for good.
    if (!m_serial.IsOpen())
    {
        m_bLineLost = true;
        if (m_pLoop)
            m_pLoop->quit();
    }
}

bool MeterLink::TakeReply(quint8 byReply, const ReplyFilter& filter, QByteArray* pReply)
{
    while (!m_frames.isEmpty())
    {
        const QByteArray frame = m_frames.takeFirst();
        const quint8 byCommand = static_cast<quint8>(frame.at(FRAME_POS_COMMAND));
        const int nLength = static_cast<quint8>(frame.at(FRAME_POS_LENGTH));
        // A reply too short for the fields it should carry is ignored, as is
        // any reply to another request (a late answer to an earlier attempt).
        if (byCommand != byReply || nLength < InstrumentFrame::MinimumLength(byReply))
            continue;
        if (filter && !filter(frame))
            continue;
        if (pReply)
            *pReply = frame;
        return true;
    }
    return false;
}

LinkResult MeterLink::Request(const QByteArray& frame, quint8 byReply, QByteArray* pReply, const ReplyFilter& filter)
{
    return Request([&frame]() { return frame; }, byReply, pReply, filter);
}

LinkResult MeterLink::Request(const std::function<QByteArray()>& build, quint8 byReply, QByteArray* pReply,
                              const ReplyFilter& filter)
{
    for (int nAttempt = 0; nAttempt <= m_nRetries; ++nAttempt)
    {
        if (m_bLineLost || !m_serial.IsOpen())
            return LINK_LOST;
        if (nAttempt > 0)
            ++m_nResends;
        // The driver purges its input before it writes, so a reply that was
        // late for the previous attempt is mostly gone; what still comes is
        // sorted out by the filter.
        m_frames.clear();
        const QByteArray frame = build();
        m_serial.Send(reinterpret_cast<const quint8*>(frame.constData()), static_cast<unsigned>(frame.size()));

        QDeadlineTimer deadline(m_nTimeoutMs);
        for (;;)
        {
            if (TakeReply(byReply, filter, pReply))
                return LINK_OK;
            if (m_bLineLost)
                return LINK_LOST;
            const qint64 nLeftMs = deadline.remainingTime();
            if (nLeftMs <= 0)
                break;
            QEventLoop loop;
            QTimer timer;
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            timer.start(static_cast<int>(nLeftMs));
            m_pLoop = &loop;
            loop.exec();
            m_pLoop = nullptr;
        }
    }
    return m_bLineLost ? LINK_LOST : LINK_NO_ANSWER;
}
