// Serial port driver. The port is opened and set up on the owner's thread;
// StartWatch hands it to the watch thread, which from then on is the only
// thread that touches it: it reads every byte, writes the write slot, and
// closes the port when it is told to stop.
//
// Every notification (the bytes received, the event character, a finished
// write, a failure box) is posted to a relay object on the owner's thread,
// and the watch thread waits until the relay has handed it on. The bytes
// that have come in are handed over together, with one wake-up of the
// owner's thread, and the relay gives them to the owner one WM_PORT_BYTE
// at a time, in order; the next batch is read only when the owner has
// handled the last byte of this one, so a message box opened by the owner's
// handler holds up further input. The wait ends early when a stop is
// requested, so stopping never deadlocks against a notification in flight;
// the bytes not yet handed on are then dropped.
#include "link/SerialPort.h"

#include "link/PortMessages.h"
#include "link/PortNames.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QMutex>
#include <QPointer>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace {
constexpr int WRITE_TIMEOUT_MS = 1000;
// At most this many bytes go to the owner in one hand-over (a few frames).
constexpr qint64 BATCH_BYTES = 256;
void CallReporter(const SerialPort::FailureReporter& reporter, const SerialPort::Failure& failure)
{
    if (reporter)
        reporter(failure);
    else
        qWarning().noquote() << SerialPort::Failure::Caption() << failure.BoxText();
}

// One notification on its way from the watch thread to the owner's thread.
// Finished once the owner has handled it (or thrown it away unhandled);
// cancelled when the driver stops, which releases the watch thread at once.
class Delivery
{
public:
    void Finish()
    {
        QMutexLocker locker(&m_mutex);
        m_bFinished = true;
        m_cond.wakeAll();
    }
    void Cancel()
    {
        QMutexLocker locker(&m_mutex);
        m_bCancelled = true;
        m_cond.wakeAll();
    }
    bool IsCancelled()
    {
        QMutexLocker locker(&m_mutex);
        return m_bCancelled;
    }
    // True when the owner handled it, false when the driver stopped first.
    bool Wait()
    {
        QMutexLocker locker(&m_mutex);
        while (!m_bFinished && !m_bCancelled)
            m_cond.wait(&m_mutex);
        return !m_bCancelled;
    }

private:
    QMutex m_mutex;
    QWaitCondition m_cond;
    bool m_bFinished = false;
    bool m_bCancelled = false;
};

class RelayEvent : public QEvent
{
public:
    RelayEvent(std::shared_ptr<Delivery> pDelivery, quint32 nMessage, QByteArray bytes, quint32 lParam,
               const SerialPort::Failure* pFailure)
        : QEvent(EventType()), m_pDelivery(std::move(pDelivery)), m_nMessage(nMessage), m_bytes(std::move(bytes)),
          m_lParam(lParam), m_bFailure(pFailure != nullptr), m_failure(pFailure ? *pFailure : SerialPort::Failure())
    {
    }
    // An event thrown away unhandled (its receiver went) must not keep the
    // watch thread waiting.
    ~RelayEvent() override { m_pDelivery->Finish(); }

    static QEvent::Type EventType()
    {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    std::shared_ptr<Delivery> m_pDelivery;
    quint32 m_nMessage;
    // WM_PORT_BYTE: the bytes, each its own notification; other messages:
    // wParam in the first byte, if any.
    QByteArray m_bytes;
    quint32 m_lParam;
    bool m_bFailure; // report m_failure instead of a message
    SerialPort::Failure m_failure;
    bool m_bEventChar = false; // after the bytes, a WM_PORT_EVENTCHAR
};

// Lives on the owner's thread and hands each notification on: as a
// PortMessageEvent sent to the notify object, or as a failure report.
class Relay : public QObject
{
public:
    QPointer<QObject> m_pNotify;
    SerialPort::FailureReporter m_reporter;
    int m_nDepth = 0; // > 0 while a handler (perhaps with a message box) runs

    void Send(quint32 nMessage, quint32 wParam, quint32 lParam)
    {
        if (!m_pNotify)
            return;
        PortMessageEvent message(nMessage, wParam, lParam);
        QCoreApplication::sendEvent(m_pNotify, &message);
    }

    bool event(QEvent* pEvent) override
    {
        if (pEvent->type() != RelayEvent::EventType())
            return QObject::event(pEvent);
        auto* pRelayEvent = static_cast<RelayEvent*>(pEvent);
        const std::shared_ptr<Delivery> pDelivery = pRelayEvent->m_pDelivery;
        if (pDelivery->IsCancelled())
            return true; // the driver stopped: the byte is dropped
        ++m_nDepth;
        if (pRelayEvent->m_bFailure)
        {
            CallReporter(m_reporter, pRelayEvent->m_failure);
        }
        else if (pRelayEvent->m_nMessage == WM_PORT_BYTE)
        {
            // One notification per byte, in order; a stop while a handler
            // runs (a message box) drops the rest.
            for (const char cByte : std::as_const(pRelayEvent->m_bytes))
            {
                if (pDelivery->IsCancelled())
                    break;
                Send(WM_PORT_BYTE, quint8(cByte), pRelayEvent->m_lParam);
            }
            if (pRelayEvent->m_bEventChar && !pDelivery->IsCancelled())
                Send(WM_PORT_EVENTCHAR, 0, pRelayEvent->m_lParam);
        }
        else
        {
            Send(pRelayEvent->m_nMessage, pRelayEvent->m_bytes.isEmpty() ? 0 : quint8(pRelayEvent->m_bytes.at(0)),
                 pRelayEvent->m_lParam);
        }
        --m_nDepth;
        pDelivery->Finish();
        return true;
    }
};

class WatchThreadObject : public QThread
{
public:
    explicit WatchThreadObject(std::function<void()> body) : m_body(std::move(body)) {}

protected:
    void run() override { m_body(); }

private:
    std::function<void()> m_body;
};

QSerialPort::Parity ParityFromLetter(char cParity, bool& bOk)
{
    bOk = true;
    switch (cParity)
    {
    case 'N':
    case 'n':
        return QSerialPort::NoParity;
    case 'E':
    case 'e':
        return QSerialPort::EvenParity;
    case 'O':
    case 'o':
        return QSerialPort::OddParity;
    case 'M':
    case 'm':
        return QSerialPort::MarkParity;
    case 'S':
    case 's':
        return QSerialPort::SpaceParity;
    default:
        bOk = false;
        return QSerialPort::NoParity;
    }
}
} // namespace

struct SerialPort::Impl
{
    // The port lock: guards the write slot and its pending flag. Never held
    // across a notification, nor across a write to the port.
    QMutex m_lock;
    std::vector<quint8> m_pWriteSlot;
    unsigned m_nWriteSlotSize = 0;
    unsigned m_nWriteLength = 1;
    bool m_bWritePending = false;

    // Owned by the owner's thread while Open, by the watch thread once
    // StartWatch ran; the watch thread closes and deletes it.
    QSerialPort* m_pPort = nullptr;
    QThread* m_pThread = nullptr;
    Relay* m_pRelay = nullptr;
    unsigned m_nPort = 0;
    quint32 m_dwEventMask = 0;

    SerialPort::FailureReporter m_reporter;
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    QString m_strOpenError;

    std::atomic<bool> m_bPortHeld{false};
    std::atomic<bool> m_bThreadRunning{false};
    std::atomic<bool> m_bStopRequested{false};

    // The notification the watch thread waits on, so that a stop can cancel it.
    QMutex m_deliveryLock;
    std::shared_ptr<Delivery> m_pCurrent;

    // Where a batch of received bytes may end (none: every read at once).
    SerialPort::BatchBoundary m_boundary;
    int m_nBaud = 9600;

    // Watch-thread only.
    bool m_bDataReady = false;
    bool m_bQuietTimeUp = false;
    int m_nExpected = -1;  // bytes the boundary expects before the next one
    qint64 m_nSleepNs = 0; // > 0: look for input again after this long
    QMutex m_sleepLock;
    QWaitCondition m_sleepCond;
    bool m_bWakeRequested = false; // under m_sleepLock
    void SleepForInput(qint64 nNs);
    QByteArray m_pending; // bytes read and not yet handed over (no boundary yet)
    QTimer* m_pQuietTimer = nullptr;
    void HandOver(bool bEventChar);
    bool HandOverNow(bool bEventChar);

    void ReportFailure(const QString& strOperation, const QString& strSystemText);
    bool Notify(quint32 nMessage, QByteArray bytes, bool bEventChar = false,
                const SerialPort::Failure* pFailure = nullptr);
    void Post(quint32 nMessage);
    void WatchThread();
    void DrainInput();
    void WritePending();
    void StopWatch();
    void WakeWatchThread();
};

// A failure on the owner's thread is shown at once; one on the watch thread
// is handed to the owner's thread and the watch thread waits for the box to
// close (or for a stop).
void SerialPort::Impl::ReportFailure(const QString& strOperation, const QString& strSystemText)
{
    const SerialPort::Failure failure{strOperation, strSystemText, m_nPort};
    if (m_pThread && QThread::currentThread() == m_pThread)
        Notify(0, QByteArray(), false, &failure);
    else
        CallReporter(m_reporter, failure);
}

void SerialPort::Impl::Post(quint32 nMessage)
{
    {
        QMutexLocker locker(&m_deliveryLock);
        if (m_bStopRequested)
            return;
    }
    QCoreApplication::postEvent(m_pRelay,
                                new RelayEvent(std::make_shared<Delivery>(), nMessage, QByteArray(), m_nPort, nullptr));
}

bool SerialPort::Impl::Notify(quint32 nMessage, QByteArray bytes, bool bEventChar, const SerialPort::Failure* pFailure)
{
    auto pDelivery = std::make_shared<Delivery>();
    {
        QMutexLocker locker(&m_deliveryLock);
        if (m_bStopRequested)
            return false;
        m_pCurrent = pDelivery;
    }
    auto* pEvent = new RelayEvent(pDelivery, nMessage, std::move(bytes), m_nPort, pFailure);
    pEvent->m_bEventChar = bEventChar;
    QCoreApplication::postEvent(m_pRelay, pEvent);
    const bool bHandled = pDelivery->Wait();
    QMutexLocker locker(&m_deliveryLock);
    m_pCurrent.reset();
    return bHandled;
}

// The watch thread: waits for input, a write request or a stop. Input is
// served before a write, as the port event comes before the write request.
void SerialPort::Impl::WatchThread()
{
    m_bThreadRunning = true;
    QSerialPort* pPort = m_pPort;
    m_bDataReady = false;
    // Both run inside processEvents below, on this thread; they only note
    // what happened, the loop acts on it.
    QObject::connect(pPort, &QSerialPort::readyRead, pPort, [this]() { m_bDataReady = true; });
    // Bytes after the last boundary go over once the line has been quiet for
    // three character times.
    QTimer quietTimer;
    quietTimer.setSingleShot(true);
    quietTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&quietTimer, &QTimer::timeout, &quietTimer, [this]() { m_bQuietTimeUp = true; });
    m_pQuietTimer = &quietTimer;
    m_pending.clear();
    m_bQuietTimeUp = false;
    // A read that fails means the line went away (the other end of a
    // pseudo-terminal closed, a USB adapter pulled). The port keeps failing
    // every read from then on, so the loop closes it and tells the owner once.
    bool bLineLost = false;
    QObject::connect(pPort, &QSerialPort::errorOccurred, pPort, [&bLineLost](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            bLineLost = true;
    });
    QAbstractEventDispatcher* pDispatcher = QAbstractEventDispatcher::instance();

    while (!m_bStopRequested)
    {
        if (bLineLost && pPort->isOpen())
        {
            const QString strSystemText = pPort->errorString();
            pPort->close();
            m_bPortHeld = false;
            ReportFailure(QStringLiteral("ReadFile()"), strSystemText);
            continue;
        }
        if (m_bDataReady)
        {
            m_bDataReady = false;
            if (m_dwEventMask & EV_RXCHAR)
                DrainInput();
            else if ((m_dwEventMask & EV_RXFLAG) && !m_bStopRequested)
                Notify(WM_PORT_EVENTCHAR, QByteArray());
            continue;
        }
        if (m_bQuietTimeUp)
        {
            m_bQuietTimeUp = false;
            HandOver((m_dwEventMask & EV_RXFLAG) != 0);
            continue;
        }
        if (m_nSleepNs > 0)
        {
            const qint64 nNs = m_nSleepNs;
            m_nSleepNs = 0;
            SleepForInput(nNs);
            continue;
        }
        bool bWrite = false;
        {
            QMutexLocker locker(&m_lock);
            bWrite = m_bWritePending;
        }
        if (bWrite)
        {
            if (!pPort->isOpen())
            {
                // The line was lost: nothing can be written.
                QMutexLocker locker(&m_lock);
                m_bWritePending = false;
                continue;
            }
            WritePending();
            continue;
        }
        pDispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    }

    m_pQuietTimer = nullptr;
    if (pPort->isOpen())
        pPort->close();
    delete pPort;
    m_pPort = nullptr;
    m_bPortHeld = false;
    m_bThreadRunning = false;
}

// Hands the bytes that have come in to the owner, a batch at a time, with
// one wake-up of its thread; the owner sees one notification per byte, and
// after the last batch of a port event the event character when its mask
// asks for it. With a boundary, a batch ends at the byte the boundary
// points to (a whole frame, say), so that bytes arriving one by one on a
// slow line are not handed over one by one.
void SerialPort::Impl::DrainInput()
{
    QSerialPort* pPort = m_pPort;
    const bool bEventChar = (m_dwEventMask & EV_RXFLAG) != 0;
    while (!m_bStopRequested && pPort->bytesAvailable() > 0)
    {
        const QByteArray bytes = pPort->read(qMin(pPort->bytesAvailable(), BATCH_BYTES));
        if (bytes.isEmpty())
        {
            // A failed read has no byte to deliver.
            const QString strSystemText = pPort->errorString();
            pPort->clearError();
            ReportFailure(QStringLiteral("ReadFile()"), strSystemText);
            return;
        }
        for (const char cByte : bytes)
        {
            m_pending.append(cByte);
            m_nExpected = m_boundary ? m_boundary(quint8(cByte)) : -1;
            if (m_nExpected == 0 && !HandOverNow(bEventChar))
                return;
        }
        if (!m_boundary && !HandOverNow(bEventChar && pPort->bytesAvailable() == 0))
            return;
    }
    m_pQuietTimer->stop();
    if (m_pending.isEmpty())
        return;
    // More of a frame to come: look again when it should be there, instead
    // of waking for each byte. Anything else: once the line is quiet.
    const qint64 nByteNs = 10LL * 1000000000LL / qMax(1, m_nBaud);
    if (m_nExpected > 0)
        m_nSleepNs = m_nExpected * nByteNs;
    else
        m_pQuietTimer->start(int(qMax<qint64>(1, 3 * nByteNs / 1000000)));
}

// Waits until nNs have passed, a stop or a write is asked for; then takes
// in what the port has received meanwhile.
void SerialPort::Impl::SleepForInput(qint64 nNs)
{
    {
        QMutexLocker locker(&m_sleepLock);
        const QDeadlineTimer deadline = QDeadlineTimer::addNSecs(QDeadlineTimer::current(Qt::PreciseTimer), nNs);
        while (!m_bStopRequested && !m_bWakeRequested && !deadline.hasExpired())
            m_sleepCond.wait(&m_sleepLock, deadline);
        m_bWakeRequested = false;
    }
    if (m_pPort->isOpen())
        m_pPort->waitForReadyRead(0);
    if (m_pPort->bytesAvailable() > 0)
        m_bDataReady = true;
    else if (!m_pending.isEmpty())
        m_pQuietTimer->start(1);
}

bool SerialPort::Impl::HandOverNow(bool bEventChar)
{
    QByteArray bytes;
    bytes.swap(m_pending);
    return Notify(WM_PORT_BYTE, std::move(bytes), bEventChar);
}

void SerialPort::Impl::HandOver(bool bEventChar)
{
    if (!m_pending.isEmpty())
        HandOverNow(bEventChar);
}

// Writes the write slot. Both directions are purged first: input that came
// in but was not read yet is lost, as is output not yet on the line.
// The slot is copied under the lock and written outside it, so a Send on
// the owner's thread never waits for the line.
void SerialPort::Impl::WritePending()
{
    QSerialPort* pPort = m_pPort;
    QByteArray frame;
    {
        QMutexLocker locker(&m_lock);
        m_bWritePending = false;
        frame = QByteArray(reinterpret_cast<const char*>(m_pWriteSlot.data()), qsizetype(m_nWriteLength));
    }
    QString strFailure;
    pPort->clear(QSerialPort::AllDirections);
    m_bDataReady = false; // what readyRead announced has just been purged
    m_pending.clear();    // as has what was read but not handed over
    m_pQuietTimer->stop();
    m_nSleepNs = 0;
    const qint64 nWritten = pPort->write(frame);
    if (nWritten != frame.size())
    {
        strFailure = pPort->errorString();
    }
    else
    {
        pPort->flush();
        if (pPort->bytesToWrite() > 0 && !pPort->waitForBytesWritten(WRITE_TIMEOUT_MS))
            strFailure = pPort->errorString();
    }
    if (!strFailure.isEmpty())
    {
        pPort->clearError();
        ReportFailure(QStringLiteral("WriteFile()"), strFailure);
    }
    // In order with everything else, but not waited for: nothing the owner
    // does with it can hold up the line, and it saves a thread switch a write.
    Post(WM_PORT_SENT);
}

void SerialPort::Impl::WakeWatchThread()
{
    if (!m_pThread)
        return;
    {
        QMutexLocker locker(&m_sleepLock);
        m_bWakeRequested = true;
        m_sleepCond.wakeAll();
    }
    // Null only before the thread has reached its loop, which checks the
    // flags before it waits.
    if (QAbstractEventDispatcher* pDispatcher = m_pThread->eventDispatcher())
        pDispatcher->wakeUp();
}

// Ends the watch thread (which closes the port). Never blocks for good: a
// notification in flight is cancelled, and the thread checks the stop flag
// before every byte and every wait.
void SerialPort::Impl::StopWatch()
{
    if (!m_pThread)
        return;
    {
        QMutexLocker locker(&m_deliveryLock);
        m_bStopRequested = true;
        if (m_pCurrent)
            m_pCurrent->Cancel();
    }
    WakeWatchThread();
    m_pThread->wait();
    delete m_pThread;
    m_pThread = nullptr;
    m_bStopRequested = false;
}

SerialPort::SerialPort() : m_pImpl(new Impl)
{
}

SerialPort::~SerialPort()
{
    m_pImpl->StopWatch();
    if (m_pImpl->m_pPort)
    {
        m_pImpl->m_pPort->close();
        delete m_pImpl->m_pPort;
        m_pImpl->m_pPort = nullptr;
    }
    if (Relay* pRelay = m_pImpl->m_pRelay)
    {
        // Destroyed from inside a handler that the relay called: let the
        // relay finish that call first.
        if (pRelay->m_nDepth > 0)
            pRelay->deleteLater();
        else
            delete pRelay;
    }
    delete m_pImpl;
}

bool SerialPort::Open(QObject* pNotifyWnd, const QString& strPortName, unsigned nPort, int nBaud, char cParity,
                      int nDataBits, int nStopBits, quint32 dwEventMask, unsigned nWriteSlotSize)
{
    Close();
    Impl& d = *m_pImpl;
    if (!d.m_pRelay || d.m_pRelay->thread() != QThread::currentThread())
    {
        if (d.m_pRelay)
            d.m_pRelay->deleteLater();
        d.m_pRelay = new Relay;
    }
    d.m_pRelay->m_pNotify = pNotifyWnd;
    d.m_pRelay->m_reporter = d.m_reporter;
    {
        QMutexLocker locker(&d.m_lock);
        d.m_pWriteSlot.assign(nWriteSlotSize, 0);
        d.m_nWriteSlotSize = nWriteSlotSize;
        d.m_nWriteLength = 1;
        d.m_bWritePending = false;
    }
    d.m_nPort = nPort;
    d.m_dwEventMask = dwEventMask;
    d.m_nBaud = nBaud;

    auto* pPort = new QSerialPort;
    pPort->setPortName(DevicePathForPortName(strPortName));
    d.m_openError = QSerialPort::NoError;
    d.m_strOpenError.clear();
    if (!pPort->open(QIODevice::ReadWrite))
    {
        d.m_openError = pPort->error();
        d.m_strOpenError = pPort->errorString();
        delete pPort;
        return false;
    }
    d.m_pPort = pPort;
    d.m_bPortHeld = true;

    // Line settings: the mode is checked first, then applied; the first
    // setting that fails is reported and the rest are skipped.
    bool bParityOk = false;
    const QSerialPort::Parity parity = ParityFromLetter(cParity, bParityOk);
    const bool bDataOk = nDataBits >= 5 && nDataBits <= 8;
    const bool bStopOk = nStopBits == 1 || nStopBits == 2;
    if (!bParityOk || !bDataOk || !bStopOk)
    {
        d.ReportFailure(QStringLiteral("BuildCommDCB()"),
                        QStringLiteral("The mode baud=%1 parity=%2 data=%3 stop=%4 is not valid.")
                            .arg(nBaud)
                            .arg(QLatin1Char(cParity))
                            .arg(nDataBits)
                            .arg(nStopBits));
    }
    else if (!pPort->setBaudRate(nBaud) || !pPort->setDataBits(static_cast<QSerialPort::DataBits>(nDataBits)) ||
             !pPort->setParity(parity) ||
             !pPort->setStopBits(nStopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) ||
             !pPort->setFlowControl(QSerialPort::NoFlowControl))
    {
        const QString strSystemText = pPort->errorString();
        pPort->clearError();
        d.ReportFailure(QStringLiteral("SetCommState()"), strSystemText);
    }
    else if (!pPort->setRequestToSend(true))
    {
        // Pseudo-terminals have no modem lines; RTS is held on where there is one.
        pPort->clearError();
    }
    pPort->clear(QSerialPort::AllDirections);
    return true;
}

bool SerialPort::StartWatch()
{
    Impl& d = *m_pImpl;
    if (!d.m_pPort || d.m_pThread)
        return false;
    d.m_bStopRequested = false;
    // Whatever came in before the watch starts is dropped; everything after
    // StartWatch returns is delivered.
    d.m_pPort->clear(QSerialPort::AllDirections);
    d.m_pThread = new WatchThreadObject([&d]() { d.WatchThread(); });
    d.m_pPort->moveToThread(d.m_pThread);
    d.m_pThread->start();
    return true;
}

void SerialPort::Send(const quint8* pData, unsigned nCount)
{
    Impl& d = *m_pImpl;
    {
        QMutexLocker locker(&d.m_lock);
        // A frame that does not fit the slot is refused whole: writing part
        // of it would send the meter a frame it cannot check.
        if (!pData || nCount == 0 || nCount > d.m_nWriteSlotSize)
            return;
        std::copy(pData, pData + nCount, d.m_pWriteSlot.begin());
        d.m_nWriteLength = nCount;
        d.m_bWritePending = true;
    }
    d.WakeWatchThread();
}

void SerialPort::SetBatchBoundary(BatchBoundary boundary)
{
    m_pImpl->m_boundary = std::move(boundary);
}

void SerialPort::Close()
{
    Impl& d = *m_pImpl;
    d.StopWatch();
    if (d.m_pPort)
    {
        d.m_pPort->close();
        delete d.m_pPort;
        d.m_pPort = nullptr;
    }
    d.m_bPortHeld = false;
}

bool SerialPort::IsOpen() const
{
    return m_pImpl->m_bPortHeld;
}

void SerialPort::SetFailureReporter(FailureReporter reporter)
{
    m_pImpl->m_reporter = reporter;
    if (m_pImpl->m_pRelay)
        m_pImpl->m_pRelay->m_reporter = std::move(reporter);
}

QSerialPort::SerialPortError SerialPort::GetOpenError(QString* pText) const
{
    if (pText)
        *pText = m_pImpl->m_strOpenError;
    return m_pImpl->m_openError;
}

QString SerialPort::Failure::Caption()
{
    return QStringLiteral("Application Error");
}

QString SerialPort::Failure::BoxText() const
{
    return QStringLiteral("WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n")
        .arg(strOperation, strSystemText, QString::number(static_cast<int>(nPort)));
}
