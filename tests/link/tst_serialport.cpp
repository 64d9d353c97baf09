// The serial port driver over real pseudo-terminals: byte order, the write
// slot, purging, reopening, stopping under load and inside a nested event
// loop, failures, and the port names.
#include "link/PortMessages.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// A pseudo-terminal pair; the test plays the meter on the master side. One
// raw slave descriptor stays open (never read) so that the line keeps its
// raw settings and does not hang up between opens by the driver.
struct RawPty
{
    int m_fdMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    int m_fdSlave = -1;
    QString m_strSlave;
    RawPty()
    {
        if (m_fdMaster < 0 || grantpt(m_fdMaster) != 0 || unlockpt(m_fdMaster) != 0)
            return;
        m_strSlave = QString::fromLocal8Bit(ptsname(m_fdMaster));
        m_fdSlave = ::open(ptsname(m_fdMaster), O_RDWR | O_NOCTTY);
        termios tio{};
        tcgetattr(m_fdSlave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_fdSlave, TCSANOW, &tio);
    }
    ~RawPty() { Close(); }
    void Close()
    {
        ::close(m_fdSlave);
        ::close(m_fdMaster);
        m_fdSlave = m_fdMaster = -1;
    }
    void Write(const QByteArray& data) const
    {
        QCOMPARE(::write(m_fdMaster, data.constData(), data.size()), data.size());
    }
    // What the driver writes, once nCount bytes are in (events run meanwhile).
    QByteArray Read(int nCount) const
    {
        QByteArray data;
        const QDeadlineTimer deadline(10000);
        while (data.size() < nCount && !deadline.hasExpired())
        {
            char buf[512];
            const ssize_t n = ::read(m_fdMaster, buf, sizeof buf);
            if (n > 0)
                data.append(buf, static_cast<int>(n));
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return data;
    }
    // Bytes written to the line that wait in its input queue, unread.
    int Unread() const
    {
        int nCount = 0;
        ::ioctl(m_fdSlave, FIONREAD, &nCount);
        return nCount;
    }
};

// The driver's owner: records every notification it handles.
class Receiver : public QObject
{
public:
    QByteArray m_bytes;
    QList<quint32> m_messages;
    QList<quint32> m_lParams;
    std::function<void(quint8)> m_onByte;
    int Count(quint32 nMessage) const { return static_cast<int>(m_messages.count(nMessage)); }
    bool event(QEvent* pEvent) override
    {
        if (pEvent->type() != PortMessageEvent::EventType())
            return QObject::event(pEvent);
        auto* pMessage = static_cast<PortMessageEvent*>(pEvent);
        m_messages.append(pMessage->m_nMessage);
        m_lParams.append(pMessage->m_lParam);
        if (pMessage->m_nMessage != WM_PORT_BYTE)
            return true;
        m_bytes.append(static_cast<char>(pMessage->m_wParam));
        if (m_onByte)
            m_onByte(static_cast<quint8>(pMessage->m_wParam));
        return true;
    }
};

// Runs the event loop until bDone() holds; QTRY's waits sleep between
// passes, which would pace the per-byte hand-over.
bool WaitFor(const std::function<bool()>& bDone, int nMs = 5000)
{
    const QDeadlineTimer deadline(nMs);
    QTimer tick;
    tick.start(20);
    while (!bDone() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return bDone();
}

QByteArray Pattern(int nCount)
{
    QByteArray data;
    for (int i = 0; i < nCount; ++i)
        data.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
    return data;
}

bool Start(SerialPort& port, QObject* pOwner, const QString& strName, unsigned nPort = 3)
{
    return port.Open(pOwner, strName, nPort, 9600, 'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512) && port.StartWatch();
}

const quint8 CONNECT[] = {0x33, 0x03, 0x10, 0xBA, 0x08};
const quint8 READ_COUNT[] = {0x33, 0x03, 0x80, 0x4A, 0x08};
} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    // Every byte in order, each batch followed by the event character, all
    // with the port's number. Reopened on another port, the driver leaves
    // the input of the first one behind.
    void DeliversEveryByteInOrder()
    {
        RawPty ptyFirst;
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(Start(port, &owner, ptyFirst.m_strSlave, 1));
        QVERIFY(Start(port, &owner, pty.m_strSlave, 7));
        ptyFirst.Write("x");
        const QByteArray data = Pattern(2000);
        for (int nPos = 0; nPos < data.size(); nPos += 300)
            pty.Write(data.mid(nPos, 300));
        QVERIFY(WaitFor(
            [&]() { return owner.m_bytes.size() >= data.size() && owner.m_messages.last() == WM_PORT_EVENTCHAR; }));
        QCOMPARE(owner.m_bytes, data);
        QCOMPARE(owner.m_lParams, QList<quint32>(owner.m_lParams.size(), 7u));
    }

    // One write slot: a second Send before the write replaces the first;
    // more than the slot holds is refused (nothing of it reaches the line
    // before the next frame). Input that arrived while the owner held up the
    // watch thread, and that was not read yet when a write starts, is purged
    // by that write.
    void WriteSlot()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(port.Open(&owner, pty.m_strSlave, 3, 9600, 'N', 8, 1, EV_RXCHAR, 5));
        port.Send(CONNECT, sizeof CONNECT);
        port.Send(READ_COUNT, sizeof READ_COUNT);
        QVERIFY(port.StartWatch());
        QCOMPARE(pty.Read(5), QByteArray::fromHex("3303804A08"));
        QTRY_COMPARE(owner.Count(WM_PORT_SENT), 1);
        owner.m_onByte = [&](quint8 byData) {
            if (byData != 'A')
                return;
            // The watch thread waits for this handler, so XYZ stays unread.
            pty.Write("XYZ");
            QTRY_COMPARE(pty.Unread(), 3);
            const quint8 big[6] = {0x33, 0x04, 0x10, 0x00, 0xB9, 0x08};
            port.Send(big, sizeof big);
            port.Send(CONNECT, sizeof CONNECT);
        };
        pty.Write("A");
        QCOMPARE(pty.Read(5), QByteArray::fromHex("330310BA08"));
        QCOMPARE(owner.m_bytes, QByteArray("A"));
        pty.Write("B");
        QTRY_COMPARE(owner.m_bytes, QByteArray("AB"));
    }

    // A setting the line cannot take is reported at once, and the port still
    // works. The other end going away is a failed read, told once, on the
    // owner's thread, with no byte; the port is closed before it is
    // reported, so nothing more can fail. (Its text: tst_dialoglink.)
    void FailuresAreReported()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QStringList failures;
        bool bOwnerThread = true;
        port.SetFailureReporter([&](const SerialPort::Failure& failure) {
            failures << failure.BoxText();
            bOwnerThread = bOwnerThread && QThread::currentThread() == thread();
        });
        QVERIFY(port.Open(&owner, pty.m_strSlave, 12, 9600, 'X', 8, 1, EV_RXCHAR, 512));
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures[0].startsWith(QStringLiteral("WARNING:  BuildCommDCB() Failed with the following error: \n")));
        QVERIFY(failures[0].endsWith(QStringLiteral("\nPort: 12\n")));
        QVERIFY(port.StartWatch());
        pty.Write("q");
        QTRY_COMPARE(owner.m_bytes, QByteArray("q"));
        pty.Close();
        QVERIFY(WaitFor([&]() { return failures.size() > 1; }));
        QVERIFY(!port.IsOpen());
        QCOMPARE(failures.size(), 2);
        QVERIFY(failures[1].endsWith(QStringLiteral("\nPort: 12\n")));
        QVERIFY(bOwnerThread);
        QCOMPARE(owner.m_bytes, QByteArray("q"));
    }

    // 200 opens and stops while the line streams and bytes are in flight:
    // every stop ends, whether by reopening or by the destructor.
    void OpenCloseWhileStreaming()
    {
        RawPty pty;
        std::atomic<bool> bRun{true};
        std::thread writer([&]() {
            const QByteArray data = Pattern(64);
            while (bRun)
                if (::write(pty.m_fdMaster, data.constData(), data.size()) < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        Receiver owner;
        int nOpened = 0;
        auto pReused = std::make_unique<SerialPort>();
        for (int i = 0; i < 200; ++i)
        {
            std::unique_ptr<SerialPort> pFresh = i < 100 ? nullptr : std::make_unique<SerialPort>();
            const qsizetype nBefore = owner.m_bytes.size();
            nOpened += Start(pFresh ? *pFresh : *pReused, &owner, pty.m_strSlave);
            WaitFor([&]() { return owner.m_bytes.size() > nBefore + i % 7; }, 200);
            if (i == 99)
                pReused.reset();
        }
        bRun = false;
        writer.join();
        QCOMPARE(nOpened, 200);
        QVERIFY(owner.m_bytes.size() >= 200);
    }

    // A byte handler that opens a message box (a nested event loop) holds up
    // further input: it comes afterwards, in order. Stopping from inside the
    // box must end, and hands on nothing more.
    void NestedLoopInHandler_data()
    {
        QTest::addColumn<int>("nStop");
        QTest::newRow("no stop") << 0;
        QTest::newRow("destructor") << 1;
    }
    void NestedLoopInHandler()
    {
        QFETCH(int, nStop);
        RawPty pty;
        Receiver owner;
        auto pPort = std::make_unique<SerialPort>();
        QVERIFY(Start(*pPort, &owner, pty.m_strSlave));
        QByteArray seenInBox;
        owner.m_onByte = [&](quint8) {
            if (owner.m_bytes.size() != 1)
                return;
            QEventLoop box;
            pty.Write(Pattern(100));
            QTimer::singleShot(150, &box, [&]() {
                seenInBox = owner.m_bytes;
                if (nStop)
                    pPort.reset();
                box.quit();
            });
            box.exec();
        };
        pty.Write("z");
        QVERIFY(WaitFor([&]() { return owner.m_bytes.size() >= (nStop ? 1 : 101) && !seenInBox.isEmpty(); }));
        QTest::qWait(100);
        QCOMPARE(seenInBox, QByteArray("z"));
        QCOMPARE(owner.m_bytes, nStop ? QByteArray("z") : "z" + Pattern(100));
    }

    // COMn counts from /dev/ttyS0 (any case, n from 1); other names are
    // looked up under /dev. Extra names come first, once each, within the cap.
    void PortNames()
    {
        const char* const paths[][2] = {{"com3", "/dev/ttyS2"}, {"COM0", "/dev/COM0"}, {"ttyUSB0", "/dev/ttyUSB0"}};
        for (const auto& path : paths)
            QCOMPARE(::DevicePathForPortName(QString::fromLatin1(path[0])), QString::fromLatin1(path[1]));
        ClearExtraPortNames();
        AddExtraPortName(QStringLiteral("/dev/pts/41"));
        AddExtraPortName(QStringLiteral("/dev/pts/41"));
        for (int i = 0; i < 25; ++i)
            AddExtraPortName(QStringLiteral("/tmp/extra%1").arg(i));
        const QStringList names = EnumeratePortNames();
        QCOMPARE(names.size(), MAX_PORT_NAMES);
        QCOMPARE(names.first(), QStringLiteral("/dev/pts/41"));
        QCOMPARE(names.count(QStringLiteral("/dev/pts/41")), 1);
        ClearExtraPortNames();
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
