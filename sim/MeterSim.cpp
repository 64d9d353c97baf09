// The simulated meter's thread: reads requests from the master side of a
// pseudo-terminal, answers them, and plays the faults it was asked to.
#include "sim/MeterSim.h"

#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"

#include <QtEndian>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {
using Clock = std::chrono::steady_clock;
// One byte on a 9600 8N1 line: start bit, 8 data bits, stop bit.
constexpr auto BYTE_TIME = std::chrono::microseconds(10 * 1000000 / 9600);
// How long a hang-up waits for the client to read the last reply.
constexpr auto HANGUP_SETTLE = std::chrono::milliseconds(300);
} // namespace

struct MeterSim::Impl
{
    MeterSimOptions options;
    SimRecordSet records;
    WavelengthTable wavelengths = MeterSim::DefaultWavelengths();

    std::mutex startLock; // serialises Start and Stop
    std::thread thread;
    std::atomic<bool> bRunning{false};
    std::atomic<bool> bStop{false};
    std::atomic<bool> bAutoReply{true};
    std::atomic<bool> bHungUp{false};
    int nMaster = -1;
    int nSlave = -1; // held open so the line stays up while the client reopens it
    int wake[2] = {-1, -1};
    QString strDevice;
    QString strError;

    // Shared with the tests' threads, under stateLock.
    mutable std::mutex stateLock;
    mutable std::condition_variable stateChanged;
    QList<QByteArray> requests;
    QByteArray inject;
    QByteArray calibration;
    quint8 byCalCommand = 0;
    QByteArray clock;
    int nRepliesSent = 0;
    double dLineMs = 0.0;

    // Used by the meter's thread only.
    FrameAssembler assembler;
    int nReplyNumber = 0;
    int nRecordReplies = 0;
    quint32 nNoiseSeed = 0x2545F491u;
    quint32 nRateSeed = 1;
    quint32 NextRandom(quint32& nState);

    void Run();
    void Wake();
    bool SleepUntil(Clock::time_point tWhen);
    bool WriteRaw(const quint8* pData, int nCount);
    bool WriteBytes(const QByteArray& data, bool bSplit);
    void HandleRequest(const QByteArray& request);
    QByteArray BuildReply(const QByteArray& request);
    void HangUp();
    bool IsLineDrained() const;
    bool bHangupPending = false;
    Clock::time_point tRequestStart;
    Clock::time_point tHangup;
    void CloseAll();
};

#if defined(Q_OS_UNIX)

void MeterSim::Impl::Wake()
{
    stateChanged.notify_all();
    if (wake[1] >= 0)
    {
        const char c = 1;
        const ssize_t nDone = ::write(wake[1], &c, 1); // a full pipe is awake already
        (void)nDone;
    }
}

bool MeterSim::Impl::SleepUntil(Clock::time_point tWhen)
{
    std::unique_lock<std::mutex> lock(stateLock);
    stateChanged.wait_until(lock, tWhen, [this]() { return bStop.load(); });
    return !bStop;
}

bool MeterSim::Impl::WriteRaw(const quint8* pData, int nCount)
{
    int nDone = 0;
    while (nDone < nCount)
    {
        if (bStop || nMaster < 0)
            return false;
        const ssize_t n = ::write(nMaster, pData + nDone, size_t(nCount - nDone));
        if (n > 0)
        {
            nDone += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        // The client does not read and the line is full: wait for room or Stop.
        pollfd fds[2] = {{nMaster, POLLOUT, 0}, {wake[0], POLLIN, 0}};
        ::poll(fds, 2, 100);
        if (fds[1].revents & POLLIN)
        {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0)
            {
            }
        }
    }
    return true;
}

quint32 MeterSim::Impl::NextRandom(quint32& nState)
{
    // xorshift32: small, fast and the same on every machine.
    nState ^= nState << 13;
    nState ^= nState >> 17;
    nState ^= nState << 5;
    return nState;
}

bool MeterSim::Impl::WriteBytes(const QByteArray& clean, bool bSplit)
{
    QByteArray data = clean;
    if (options.dNoiseRate > 0.0)
    {
        // Line noise: a byte now and then arrives as another.
        const auto nThreshold = quint32(options.dNoiseRate * 4294967296.0);
        for (char& c : data)
            if (NextRandom(nRateSeed) < nThreshold)
                c = char(NextRandom(nRateSeed) & 0xFFu);
    }
    const quint8* p = reinterpret_cast<const quint8*>(data.constData());
    const int nCount = int(data.size());
    if (!options.bPace && !bSplit)
        return WriteRaw(p, nCount);
    // One byte at a time against a steady clock, so pacing does not drift.
    const auto tGap = bSplit ? std::chrono::microseconds(std::chrono::milliseconds(options.nSplitGapMs))
                             : std::chrono::microseconds(0);
    const auto tStep = (options.bPace ? BYTE_TIME : std::chrono::microseconds(0)) + tGap;
    const Clock::time_point tStart = Clock::now();
    for (int i = 0; i < nCount; ++i)
    {
        if (i > 0 && !SleepUntil(tStart + tStep * i))
            return false;
        if (!WriteRaw(p + i, 1))
            return false;
    }
    // The last byte also takes its time on the wire.
    return !options.bPace || SleepUntil(tStart + tStep * nCount);
}

QByteArray MeterSim::Impl::BuildReply(const QByteArray& request)
{
    const quint8* p = reinterpret_cast<const quint8*>(request.constData());
    const int nLength = p[FRAME_POS_LENGTH];
    switch (p[FRAME_POS_COMMAND])
    {
    case CMD_CONNECT: {
        // Position 3 is not used by the client; 4..43 the table, big-endian.
        QByteArray payload(1 + 2 * WAVELENGTH_COUNT, '\0');
        quint8* q = reinterpret_cast<quint8*>(payload.data());
        for (int i = 0; i < WAVELENGTH_COUNT; ++i)
            qToBigEndian<quint16>(quint16(wavelengths[size_t(i)]), q + 1 + 2 * i);
        return InstrumentFrame::Build(RSP_CONNECTED, payload);
    }
    case CMD_DISCONNECT:
        return InstrumentFrame::Build(RSP_DISCONNECTED, QByteArray());
    case CMD_CAL_RL:
    case CMD_CAL_OPM: {
        if (nLength < FRAME_POS_PAYLOAD + 4)
            return QByteArray(); // no value to calibrate with: no answer
        {
            std::lock_guard<std::mutex> lock(stateLock);
            calibration = request.mid(FRAME_POS_PAYLOAD, 4);
            byCalCommand = p[FRAME_POS_COMMAND];
        }
        return InstrumentFrame::Build(quint8(p[FRAME_POS_COMMAND] + 1), QByteArray());
    }
    case CMD_READ_COUNT: {
        quint8 payload[2];
        qToBigEndian<quint16>(quint16(records.Count()), payload);
        return InstrumentFrame::Build(RSP_COUNT, QByteArray(reinterpret_cast<const char*>(payload), 2));
    }
    case CMD_READ_RECORD:
        if (nLength < FRAME_POS_PAYLOAD + 2)
            return QByteArray();
        return records.ReplyFor(qFromBigEndian<quint16>(p + FRAME_POS_PAYLOAD));
    case CMD_SET_CLOCK: {
        if (nLength < FRAME_POS_PAYLOAD + 6)
            return QByteArray();
        {
            std::lock_guard<std::mutex> lock(stateLock);
            clock = request.mid(FRAME_POS_PAYLOAD, 6);
        }
        return InstrumentFrame::Build(RSP_CLOCK_SET, QByteArray());
    }
    default:
        return QByteArray(); // the meter ignores what it does not know
    }
}

void MeterSim::Impl::HandleRequest(const QByteArray& request)
{
    {
        std::lock_guard<std::mutex> lock(stateLock);
        requests.append(request);
    }
    stateChanged.notify_all();
    // On a real line the request takes its own time to arrive: the answer
    // can start only after its last byte.
    if (options.bPace && !SleepUntil(tRequestStart + BYTE_TIME * request.size()))
        return;

    const QByteArray reply = BuildReply(request); // also remembers calibration and clock
    if (reply.isEmpty() || !bAutoReply)
        return;
    const int nNumber = ++nReplyNumber;
    if (nNumber == options.nDropReply)
        return;

    QByteArray wire = reply;
    if (nNumber == options.nShortReply)
    {
        const int nPayload = int(reply.size()) - 2 - FRAME_POS_PAYLOAD;
        wire = InstrumentFrame::Build(quint8(reply[FRAME_POS_COMMAND]), reply.mid(FRAME_POS_PAYLOAD, nPayload / 2));
    }
    if (nNumber == options.nBadTimeReply && quint8(wire[FRAME_POS_COMMAND]) == RSP_RECORD && wire.size() >= 23)
    {
        wire[16] = char(13);
        wire[21] = char(InstrumentFrame::Checksum(reinterpret_cast<const quint8*>(wire.constData()), 21));
    }
    if (nNumber == options.nWrongEndReply)
        wire[wire.size() - 1] = '\0';
    if (nNumber == options.nBadChecksumReply)
    {
        const int nLength = quint8(wire[FRAME_POS_LENGTH]);
        wire[nLength] = char(quint8(wire[nLength]) ^ 0xFFu);
    }

    const bool bDelay = options.nReplyDelayMs > 0 && (options.nSlowReply == 0 || options.nSlowReply == nNumber);
    if (bDelay && !SleepUntil(Clock::now() + std::chrono::milliseconds(options.nReplyDelayMs)))
        return;
    if (options.bNoise)
    {
        // Never a start byte: a stray 0x33 would open a frame that nothing closes.
        QByteArray noise;
        const int nNoise = 1 + int(nNoiseSeed % 4);
        for (int i = 0; i < nNoise; ++i)
        {
            quint8 by = quint8(NextRandom(nNoiseSeed) & 0xFFu);
            if (by == FRAME_START)
                by = 0x55;
            noise.append(char(by));
        }
        if (!WriteBytes(noise, false))
            return;
    }
    if (!WriteBytes(wire, options.bSplit))
        return;
    {
        // The meter's own share of the exchange, as it really went (its
        // pacing, and whatever this machine made it wait): from the request's
        // arrival to the reply's last byte on the line.
        std::lock_guard<std::mutex> lock(stateLock);
        ++nRepliesSent;
        dLineMs += std::chrono::duration<double, std::milli>(Clock::now() - tRequestStart).count();
    }
    stateChanged.notify_all();

    if (quint8(reply[FRAME_POS_COMMAND]) == RSP_RECORD && ++nRecordReplies == options.nHangupAfterRecords)
    {
        // Closing the master at once would throw away the reply the client
        // has not read yet. Hang up when the next request shows it was read,
        // or once the line has stayed unread-free for a while.
        bHangupPending = true;
        tHangup = Clock::now() + HANGUP_SETTLE;
    }
}

bool MeterSim::Impl::IsLineDrained() const
{
    // Our own slave descriptor sees the client's input queue.
    int nUnread = 0;
    return nSlave < 0 || ::ioctl(nSlave, FIONREAD, &nUnread) != 0 || nUnread == 0;
}

void MeterSim::Impl::HangUp()
{
    // Closing both of our ends leaves the client's descriptor dead (EIO, HUP).
    // Said first: the client may see the line die before this returns.
    bHungUp = true;
    if (nSlave >= 0)
        ::close(nSlave);
    if (nMaster >= 0)
        ::close(nMaster);
    nSlave = -1;
    nMaster = -1;
    stateChanged.notify_all();
}

void MeterSim::Impl::Run()
{
    quint8 buffer[256];
    while (!bStop && nMaster >= 0)
    {
        QByteArray toInject;
        {
            std::lock_guard<std::mutex> lock(stateLock);
            toInject.swap(inject);
        }
        if (!toInject.isEmpty() && !WriteBytes(toInject, false))
            continue;

        if (bHangupPending && Clock::now() >= tHangup)
        {
            if (IsLineDrained() || Clock::now() >= tHangup + 10 * HANGUP_SETTLE)
            {
                HangUp();
                break;
            }
        }

        pollfd fds[2] = {{nMaster, POLLIN, 0}, {wake[0], POLLIN, 0}};
        const int nReady = ::poll(fds, 2, bHangupPending ? 20 : 200);
        if (nReady < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
        {
            char drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0)
            {
            }
        }
        if (!(fds[0].revents & POLLIN))
        {
            // No client has the line open and we hold the slave, so a HUP here
            // is transient; do not spin on it.
            if (fds[0].revents & (POLLHUP | POLLERR))
                SleepUntil(Clock::now() + std::chrono::milliseconds(20));
            continue;
        }
        const ssize_t nRead = ::read(nMaster, buffer, sizeof buffer);
        if (nRead <= 0)
        {
            if (nRead < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            SleepUntil(Clock::now() + std::chrono::milliseconds(20));
            continue;
        }
        // A request comes in one piece over the pseudo-terminal: its time on
        // a real line starts about now.
        tRequestStart = Clock::now();
        for (ssize_t i = 0; i < nRead && !bStop && nMaster >= 0; ++i)
        {
            if (!assembler.PushByte(buffer[i]))
                continue;
            for (const QByteArray& request : assembler.TakeFrames())
            {
                if (bStop || nMaster < 0)
                    break;
                if (bHangupPending)
                {
                    {
                        std::lock_guard<std::mutex> lock(stateLock);
                        requests.append(request);
                    }
                    HangUp(); // the client read the last reply and asks for more
                    break;
                }
                HandleRequest(request);
            }
        }
    }
}

void MeterSim::Impl::CloseAll()
{
    for (int* pFd : {&nSlave, &nMaster, &wake[0], &wake[1]})
    {
        if (*pFd >= 0)
            ::close(*pFd);
        *pFd = -1;
    }
}

bool MeterSim::Start()
{
    Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> guard(d.startLock);
    if (d.bRunning)
    {
        d.strError = QStringLiteral("the meter is already running");
        return false;
    }
    d.bStop = false;
    d.bHungUp = false;
    d.nRateSeed = d.options.nNoiseSeed ? d.options.nNoiseSeed : 1;
    d.nMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    bool bOk = d.nMaster >= 0 && ::grantpt(d.nMaster) == 0 && ::unlockpt(d.nMaster) == 0 &&
               ::ptsname_r(d.nMaster, name, sizeof name) == 0;
    if (bOk)
    {
        d.nSlave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio;
        bOk = d.nSlave >= 0 && ::tcgetattr(d.nSlave, &tio) == 0;
        if (bOk)
        {
            // Raw 9600 8N1, as the client will set it anyway.
            ::cfmakeraw(&tio);
            ::cfsetispeed(&tio, B9600);
            ::cfsetospeed(&tio, B9600);
            bOk = ::tcsetattr(d.nSlave, TCSANOW, &tio) == 0;
        }
    }
    bOk = bOk && ::fcntl(d.nMaster, F_SETFL, ::fcntl(d.nMaster, F_GETFL) | O_NONBLOCK) == 0 && ::pipe(d.wake) == 0 &&
          ::fcntl(d.wake[0], F_SETFL, O_NONBLOCK) == 0 && ::fcntl(d.wake[1], F_SETFL, O_NONBLOCK) == 0;
    if (!bOk)
    {
        d.strError =
            QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        d.CloseAll();
        return false;
    }
    ::fcntl(d.nMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(d.nSlave, F_SETFD, FD_CLOEXEC);
    ::fcntl(d.wake[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(d.wake[1], F_SETFD, FD_CLOEXEC);
    d.strDevice = QString::fromLocal8Bit(name);
    d.strError.clear();
    d.bRunning = true;
    d.thread = std::thread([&d]() { d.Run(); });
    return true;
}

void MeterSim::Stop()
{
    Impl& d = *m_pImpl;
    std::lock_guard<std::mutex> guard(d.startLock);
    if (!d.bRunning)
        return;
    {
        std::lock_guard<std::mutex> lock(d.stateLock);
        d.bStop = true;
    }
    d.Wake();
    d.thread.join();
    d.CloseAll();
    d.bRunning = false;
}

#else // no pseudo-terminals on this platform

void MeterSim::Impl::Run()
{
}
void MeterSim::Impl::Wake()
{
}
void MeterSim::Impl::CloseAll()
{
}

bool MeterSim::Start()
{
    m_pImpl->strError = QStringLiteral("the simulated meter needs pseudo-terminals");
    return false;
}

void MeterSim::Stop()
{
}

#endif

MeterSim::MeterSim() : m_pImpl(std::make_unique<Impl>())
{
}

MeterSim::~MeterSim()
{
    Stop();
}

void MeterSim::SetOptions(const MeterSimOptions& options)
{
    m_pImpl->options = options;
}

const MeterSimOptions& MeterSim::GetOptions() const
{
    return m_pImpl->options;
}

SimRecordSet& MeterSim::Records()
{
    return m_pImpl->records;
}

void MeterSim::SetWavelengths(const WavelengthTable& wavelengths)
{
    m_pImpl->wavelengths = wavelengths;
}

WavelengthTable MeterSim::DefaultWavelengths()
{
    return {850,  1300, 1310, 1490, 1550, 1625, 1270, 1290, 1330, 1350,
            1370, 1390, 1410, 1430, 1450, 1470, 1510, 1530, 1570, 1590};
}

bool MeterSim::IsRunning() const
{
    return m_pImpl->bRunning;
}

QString MeterSim::GetDevicePath() const
{
    return m_pImpl->strDevice;
}

QString MeterSim::GetLastError() const
{
    return m_pImpl->strError;
}

void MeterSim::SetAutoReply(bool bAutoReply)
{
    m_pImpl->bAutoReply = bAutoReply;
}

void MeterSim::InjectBytes(const QByteArray& data)
{
    {
        std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
        m_pImpl->inject.append(data);
    }
    m_pImpl->Wake();
}

QList<QByteArray> MeterSim::GetRequests() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->requests;
}

int MeterSim::GetRequestCount() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return int(m_pImpl->requests.size());
}

int MeterSim::GetRequestCount(quint8 byCommand) const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    int nCount = 0;
    for (const QByteArray& request : m_pImpl->requests)
        nCount += quint8(request[FRAME_POS_COMMAND]) == byCommand ? 1 : 0;
    return nCount;
}

bool MeterSim::WaitForRequests(int nCount, int nTimeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->stateChanged.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                                          [this, nCount]() { return m_pImpl->requests.size() >= nCount; });
}

void MeterSim::ClearRequests()
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    m_pImpl->requests.clear();
}

double MeterSim::GetLineMilliseconds() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->dLineMs;
}

int MeterSim::GetRepliesSent() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->nRepliesSent;
}

QByteArray MeterSim::GetLastCalibrationBytes() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->calibration;
}

quint8 MeterSim::GetLastCalibrationCommand() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->byCalCommand;
}

float MeterSim::GetLastCalibrationValue() const
{
    const QByteArray bytes = GetLastCalibrationBytes();
    return bytes.size() == 4 ? qFromLittleEndian<float>(reinterpret_cast<const quint8*>(bytes.constData())) : 0.0f;
}

QByteArray MeterSim::GetClockBytes() const
{
    std::lock_guard<std::mutex> lock(m_pImpl->stateLock);
    return m_pImpl->clock;
}

bool MeterSim::IsHungUp() const
{
    return m_pImpl->bHungUp;
}

MeterSim* StartDemoMeter()
{
    auto pSim = std::make_unique<MeterSim>();
    pSim->Records().Generate(300);
    MeterSimOptions options;
    options.bPace = true;
    pSim->SetOptions(options);
    if (!pSim->Start())
        return nullptr;
    return pSim.release();
}
