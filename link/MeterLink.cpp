// The meter link's request/reply control (see MeterLink.h).
//
// One request is outstanding at a time. Its reply is the next valid frame
// with the expected reply code that can be read (and, for a record, that
// carries the index asked for); other valid replies are acted on whenever
// they come, as the meter may send them unasked, except the download's
// count and records, which only count as answers. A reply that does not
// come within the time-out is asked for again with the same request, and
// the frame assembly starts afresh, since a damaged length byte may hold it
// waiting for bytes that never come. A damaged reply (seen by the assembly)
// is asked for again as soon as the line goes quiet, without using up an
// attempt: the meter is there, only the line is noisy.
#include "link/MeterLink.h"

#include "link/InstrumentFrame.h"
#include "link/PortMessages.h"
#include "records/RecordDecoder.h"

#include <QTimerEvent>
#include <QtEndian>

Q_LOGGING_CATEGORY(lcMeterLink, "meter.link", QtWarningMsg)

namespace {
constexpr unsigned WRITE_SLOT_SIZE = 512;
// A damaged reply is asked for again once the line has been quiet this long
// (a few byte times at 9600 baud, with room for the scheduler).
constexpr int QUIET_MS = 60;
// Damaged replies in a row that are asked for again without using up an
// attempt; beyond this they count like silence.
constexpr int MAX_GARBLED = 10;
// Records read again to find two answers that agree; then the last stands.
constexpr int MAX_CONFIRMATIONS = 4;
// The record index travels in 16 bits: no request can ask beyond this one.
constexpr int LAST_REQUESTABLE_RECORD = 0xFFFF;

quint8 CommandOf(const QByteArray& frame)
{
    return frame.size() > FRAME_POS_COMMAND ? quint8(frame.at(FRAME_POS_COMMAND)) : 0;
}

int LengthOf(const QByteArray& frame)
{
    return frame.size() > FRAME_POS_LENGTH ? quint8(frame.at(FRAME_POS_LENGTH)) : 0;
}

const quint8* BytesOf(const QByteArray& frame)
{
    return reinterpret_cast<const quint8*>(frame.constData());
}

// Where a frame ends, from its start byte and length alone, for the serial
// driver's watch thread: the bytes of a reply, which trickle in at 9600
// baud, go over to this thread together, when the reply is complete.
// Anything else (garbage, a frame cut short) goes over once the line is
// quiet. Push gives 0 at the end of a frame, else the bytes still to come
// (-1: not in a frame).
class FrameEnd
{
public:
    int Push(quint8 byData)
    {
        if (m_nCount == 0 && byData != FRAME_START)
            return -1;
        ++m_nCount;
        if (m_nCount == FRAME_POS_LENGTH + 1)
            m_nLength = byData;
        if (m_nCount <= FRAME_POS_LENGTH)
            return 1; // the length byte is next
        if (m_nLength >= FRAME_MIN_LENGTH && m_nCount < m_nLength + 2)
            return m_nLength + 2 - m_nCount;
        m_nCount = 0;
        return 0;
    }

private:
    int m_nCount = 0;
    int m_nLength = 0;
};
} // namespace

MeterLink::MeterLink(QObject* pParent) : QObject(pParent)
{
    m_serial.SetFailureReporter([this](const SerialPort::Failure& failure) { OnDriverFailure(failure); });
}

MeterLink::~MeterLink() = default;

void MeterLink::SetFailureReporter(SerialPort::FailureReporter reporter)
{
    m_reporter = std::move(reporter);
}

bool MeterLink::Open(const QString& strPortName, unsigned nPort)
{
    Close();
    m_strPortName = strPortName;
    m_openProblem = PortAccess();
    m_strLineError.clear();
    m_nResends = 0;
    m_assembler.Reset();
    m_assembler.TakeFrames();
    if (!m_serial.Open(this, strPortName, nPort, LINE_BAUD, 'N', 8, 1, EV_RXCHAR | EV_RXFLAG, WRITE_SLOT_SIZE))
    {
        QString strSystemText;
        const QSerialPort::SerialPortError error = m_serial.GetOpenError(&strSystemText);
        m_openProblem = ExplainOpenFailure(strPortName, error, strSystemText);
        return false;
    }
    m_serial.SetBatchBoundary([end = FrameEnd()](quint8 byData) mutable { return end.Push(byData); });
    m_serial.StartWatch();
    return true;
}

void MeterLink::Close()
{
    m_replyTimer.stop();
    m_quietTimer.stop();
    m_byAwaited = 0;
    EndDownload();
    m_serial.Close();
}

bool MeterLink::Send(const QByteArray& frame)
{
    if (!IsOpen() || frame.isEmpty())
        return false;
    qCDebug(lcMeterLink, "%s -> %s", qPrintable(m_strPortName), frame.toHex(' ').toUpper().constData());
    if (m_modelSend)
        m_modelSend(frame);
    else
        m_serial.Send(BytesOf(frame), unsigned(frame.size()));
    ++m_nSent;
    return true;
}

bool MeterLink::Request(const QByteArray& frame, quint8 byReply)
{
    m_quietTimer.stop();
    if (!Send(frame))
    {
        m_replyTimer.stop();
        m_byAwaited = 0;
        return false;
    }
    m_request = frame;
    m_byAwaited = byReply;
    m_nAttempts = 1;
    m_nGarbled = 0;
    m_bRechecked = false;
    m_candidate.clear();
    m_nConfirmations = 0;
    m_assembler.TakeDamageCount();
    m_replyTimer.start(m_policy.nReplyTimeoutMs, Qt::PreciseTimer, this);
    return true;
}

void MeterLink::Resend(bool bCountsAsAttempt)
{
    m_quietTimer.stop();
    if (!IsOpen())
    {
        Fail(LinkFailure::LineLost);
        return;
    }
    // Whatever the assembly holds is not the start of the answer to come.
    m_assembler.Reset();
    m_assembler.TakeDamageCount();
    if (bCountsAsAttempt)
        ++m_nAttempts;
    ++m_nResends;
    Send(m_request);
    m_replyTimer.start(m_policy.nReplyTimeoutMs, Qt::PreciseTimer, this);
}

void MeterLink::OnReplyTimeout()
{
    m_replyTimer.stop();
    m_quietTimer.stop();
    if (m_byAwaited == 0)
        return;
    if (!IsOpen())
        Fail(LinkFailure::LineLost);
    else if (m_nAttempts <= m_policy.nRetries)
        Resend(true);
    else
        Fail(LinkFailure::NoAnswer);
}

void MeterLink::Fail(LinkFailure failure)
{
    const quint8 byCommand = CommandOf(m_request);
    m_replyTimer.stop();
    m_quietTimer.stop();
    m_byAwaited = 0;
    EndDownload();
    emit RequestFailed(byCommand, failure);
}

void MeterLink::InterruptDownload()
{
    if (!IsDownloading())
        return;
    const quint8 byCommand = m_download == Download::Reading    ? CMD_READ_RECORD
                             : m_download == Download::Counting ? CMD_READ_COUNT
                                                                : CMD_CONNECT;
    StopDownload();
    emit RequestFailed(byCommand, LinkFailure::Interrupted);
}

bool MeterLink::SendConnect()
{
    InterruptDownload();
    return Request(InstrumentFrame::Build(CMD_CONNECT, QByteArray()), RSP_CONNECTED);
}

bool MeterLink::SendDisconnect()
{
    InterruptDownload();
    return Request(InstrumentFrame::Build(CMD_DISCONNECT, QByteArray()), RSP_DISCONNECTED);
}

bool MeterLink::SendCalibration(quint8 byCommand, float fValue)
{
    InterruptDownload();
    return Request(InstrumentFrame::BuildCalibration(byCommand, fValue), quint8(byCommand + 1));
}

bool MeterLink::SendSetClock(quint8 byYear, quint8 byMonth, quint8 byDay, quint8 byHour, quint8 byMinute,
                             quint8 bySecond)
{
    InterruptDownload();
    return Request(InstrumentFrame::BuildSetClock(byYear, byMonth, byDay, byHour, byMinute, bySecond), RSP_CLOCK_SET);
}

bool MeterLink::StartDownload()
{
    StopDownload();
    if (!IsOpen())
        return false;
    m_nRecordTotal = 0;
    m_nRecordsReceived = 0;
    m_nRequestIndex = 0;
    // Without a connect reply the wavelength table is not known and every
    // record would say 0nm: connect first.
    if (!m_bConnected)
    {
        m_download = Download::Connecting;
        if (Request(InstrumentFrame::Build(CMD_CONNECT, QByteArray()), RSP_CONNECTED))
            return true;
    }
    else
    {
        m_download = Download::Counting;
        if (Request(InstrumentFrame::Build(CMD_READ_COUNT, QByteArray()), RSP_COUNT))
            return true;
    }
    EndDownload();
    return false;
}

void MeterLink::StopDownload()
{
    if (m_download == Download::Idle)
        return;
    EndDownload();
    // The download's request no longer waits; its reply, should it come, is
    // not taken for anything.
    m_replyTimer.stop();
    m_quietTimer.stop();
    m_byAwaited = 0;
}

void MeterLink::EndDownload()
{
    StopDownloadTimer();
    m_download = Download::Idle;
    m_bRequestDue = false;
}

void MeterLink::StartDownloadTimer()
{
    // Starting again kills the running timer first, so one timer ever runs.
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
    m_nTimerId = startTimer(m_policy.nPaceMs, Qt::PreciseTimer);
}

void MeterLink::StopDownloadTimer()
{
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
    m_nTimerId = 0;
}

bool MeterLink::event(QEvent* pEvent)
{
    if (pEvent->type() == PortMessageEvent::EventType())
    {
        const auto* pMessage = static_cast<PortMessageEvent*>(pEvent);
        // Only received bytes have a route; the driver's other notifications are ignored.
        if (pMessage->m_nMessage == WM_PORT_BYTE)
            OnPortByte(quint8(pMessage->m_wParam));
        return true;
    }
    return QObject::event(pEvent);
}

void MeterLink::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() == m_replyTimer.timerId())
        OnReplyTimeout();
    else if (pEvent->timerId() == m_quietTimer.timerId())
    {
        m_quietTimer.stop();
        if (m_byAwaited == 0)
            return;
        // A damaged reply and silence since: ask again.
        if (m_nGarbled < MAX_GARBLED)
        {
            ++m_nGarbled;
            Resend(false);
        }
        else
        {
            OnReplyTimeout();
        }
    }
    else
        OnTimer(pEvent->timerId());
}

// Each record reply starts the timer and sets m_bRequestDue; the tick that
// finds a request due asks for the next record.
void MeterLink::OnTimer(int nIDEvent)
{
    if (m_nTimerId == 0 || nIDEvent != m_nTimerId || !m_bRequestDue || m_download != Download::Reading)
        return;
    RequestNextRecord();
}

void MeterLink::RequestNextRecord()
{
    m_bRequestDue = false;
    // Nothing is due until the reply: the timer need not tick meanwhile
    // (the reply starts it again).
    StopDownloadTimer();
    if (m_nRequestIndex >= LAST_REQUESTABLE_RECORD)
        return; // the next index has no 16-bit form
    ++m_nRequestIndex;
    if (!Request(InstrumentFrame::BuildReadRecord(quint16(m_nRequestIndex)), RSP_RECORD))
    {
        m_request = InstrumentFrame::BuildReadRecord(quint16(m_nRequestIndex));
        Fail(LinkFailure::LineLost);
    }
}

void MeterLink::OnPortByte(quint8 byData)
{
    const int nSentBefore = m_nSent;
    m_assembler.PushByte(byData);
    const bool bRejected = m_assembler.TakeDamageCount() > 0;
    if (bRejected)
        m_nNoisyLeft = LINK_NOISY_WINDOW;
    for (const QByteArray& frame : m_assembler.TakeFrames())
        OnFrame(frame);
    // A damaged answer to the request still waiting: once the line has been
    // quiet for a moment, ask again. Every byte that comes meanwhile waits
    // a moment longer.
    if (m_byAwaited != 0 && m_nSent == nSentBefore && (bRejected || m_quietTimer.isActive()))
        m_quietTimer.start(QUIET_MS, this);
}

bool MeterLink::Answers(const QByteArray& frame) const
{
    const quint8 byCommand = CommandOf(frame);
    if (m_byAwaited == 0 || byCommand != m_byAwaited)
        return false;
    const int nLength = LengthOf(frame);
    if (byCommand == RSP_RECORD)
    {
        const int nIndex =
            nLength >= InstrumentFrame::MinimumLength(RSP_RECORD) ? DecodeRecordIndex(BytesOf(frame)) : -1;
        // The reply to the request one beyond the count ends the download
        // whatever it holds, unless it is a late copy of the last record.
        if (m_nRequestIndex > m_nRecordTotal)
            return nIndex != m_nRecordTotal;
        return nIndex == m_nRequestIndex;
    }
    return nLength >= InstrumentFrame::MinimumLength(byCommand);
}

bool MeterLink::NeedsConfirmation(const QByteArray& frame) const
{
    return m_nNoisyLeft > 0 && CommandOf(frame) == RSP_RECORD && m_nRequestIndex <= m_nRecordTotal;
}

bool MeterLink::LooksDamaged(const QByteArray& frame) const
{
    const quint8 byCommand = CommandOf(frame);
    const bool bCarriesData = byCommand == RSP_CONNECTED || byCommand == RSP_COUNT ||
                              (byCommand == RSP_RECORD && m_nRequestIndex <= m_nRecordTotal);
    if (!bCarriesData)
        return false;
    if (quint8(frame.back()) != FRAME_END)
        return true;
    return byCommand == RSP_RECORD && !IsPlausibleRecordTime(BytesOf(frame));
}

void MeterLink::OnFrame(const QByteArray& frame)
{
    qCDebug(lcMeterLink, "%s <- %s", qPrintable(m_strPortName), frame.toHex(' ').toUpper().constData());
    const quint8 byCommand = CommandOf(frame);
    if (Answers(frame))
    {
        // The checksum is only 8 bits: a reply whose end byte or date is
        // impossible is asked for once more; the second answer stands.
        if (LooksDamaged(frame))
        {
            m_nNoisyLeft = LINK_NOISY_WINDOW;
            if (!m_bRechecked)
            {
                m_bRechecked = true;
                Resend(false);
                return;
            }
        }
        // On a line that damages replies, two in a hundred damaged bytes can
        // pass the checksum together: a record is taken once two answers
        // agree byte for byte.
        if (NeedsConfirmation(frame) && frame != m_candidate && m_nConfirmations < MAX_CONFIRMATIONS)
        {
            m_candidate = frame;
            ++m_nConfirmations;
            Resend(false);
            return;
        }
        m_replyTimer.stop();
        m_quietTimer.stop();
        m_byAwaited = 0;
        if (m_nNoisyLeft > 0)
            --m_nNoisyLeft;
        Dispatch(frame);
        return;
    }
    // Unasked: the download's replies count only as answers; the others
    // are acted on when they can be read.
    if (byCommand == RSP_COUNT || byCommand == RSP_RECORD)
        return;
    if (LengthOf(frame) < InstrumentFrame::MinimumLength(byCommand))
        return;
    Dispatch(frame);
}

void MeterLink::Dispatch(const QByteArray& frame)
{
    const quint8* p = BytesOf(frame);
    switch (CommandOf(frame))
    {
    case RSP_CONNECTED: {
        // Positions 4..43: twenty wavelengths, big-endian; position 3 is not used.
        m_bConnected = true;
        for (int i = 0; i < WAVELENGTH_COUNT; ++i)
            m_wavelengths[size_t(i)] = qFromBigEndian<quint16>(p + 4 + 2 * i);
        const bool bForDownload = m_download == Download::Connecting;
        if (bForDownload)
        {
            m_download = Download::Counting;
            if (!Request(InstrumentFrame::Build(CMD_READ_COUNT, QByteArray()), RSP_COUNT))
                EndDownload();
        }
        emit Connected(bForDownload);
        break;
    }
    case RSP_DISCONNECTED:
        m_bConnected = false;
        emit Disconnected();
        break;
    case RSP_CAL_RL_DONE:
    case RSP_CAL_OPM_DONE:
        emit CalibrationDone(CommandOf(frame));
        break;
    case RSP_WAVE_SET:
        emit WaveSet();
        break;
    case RSP_CLOCK_SET:
        emit ClockSet();
        break;
    case RSP_COUNT: {
        const int nTotal = qFromBigEndian<quint16>(p + FRAME_POS_PAYLOAD);
        m_nRecordTotal = nTotal;
        m_nRecordsReceived = 0;
        m_nRequestIndex = 0;
        if (nTotal == 0)
        {
            EndDownload();
            emit CountReceived(0);
            break;
        }
        m_download = Download::Reading;
        if (m_policy.nPaceMs > 0)
        {
            m_bRequestDue = true;
            StartDownloadTimer();
        }
        emit CountReceived(nTotal);
        if (m_policy.nPaceMs <= 0 && m_download == Download::Reading)
            RequestNextRecord();
        break;
    }
    case RSP_RECORD:
        OnRecordReply(frame);
        break;
    default:
        break;
    }
}

// The download ends on the reply to the request one beyond the count.
void MeterLink::OnRecordReply(const QByteArray& frame)
{
    if (m_download != Download::Reading)
        return;
    if (m_nRequestIndex > m_nRecordTotal)
    {
        EndDownload();
        emit DownloadFinished(m_nRecordTotal);
        return;
    }
    const int nIndex = m_nRequestIndex;
    ++m_nRecordsReceived;
    // A count of 65535: record 65536 cannot be asked for (its index would
    // go out as 0), so the last record ends the download.
    const bool bLast = nIndex >= LAST_REQUESTABLE_RECORD;
    if (bLast)
        EndDownload();
    else if (m_policy.nPaceMs > 0)
    {
        StartDownloadTimer();
        m_bRequestDue = true;
    }
    emit RecordReceived(frame, nIndex);
    if (bLast)
        emit DownloadFinished(m_nRecordTotal);
    else if (m_policy.nPaceMs <= 0 && m_download == Download::Reading && m_nRequestIndex == nIndex)
        RequestNextRecord();
}

void MeterLink::UseModelLine(std::function<void(const QByteArray&)> send)
{
    m_modelSend = std::move(send);
    m_strPortName = QStringLiteral("model");
}

void MeterLink::FireTimeouts()
{
    if (m_quietTimer.isActive())
    {
        QTimerEvent quiet(m_quietTimer.timerId());
        timerEvent(&quiet);
    }
    else if (m_replyTimer.isActive())
        OnReplyTimeout();
}

void MeterLink::OnDriverFailure(const SerialPort::Failure& failure)
{
    const bool bLost = !m_serial.IsOpen();
    if (bLost)
    {
        // Nothing more can come: no time-out or tick may act while the
        // driver's box is open.
        m_strLineError = failure.strSystemText;
        m_replyTimer.stop();
        m_quietTimer.stop();
        StopDownloadTimer();
    }
    if (m_reporter)
        m_reporter(failure);
    if (!bLost)
        return;
    m_bConnected = false;
    if (m_byAwaited != 0 || IsDownloading())
        Fail(LinkFailure::LineLost);
    emit LineLost(failure.strSystemText);
}
