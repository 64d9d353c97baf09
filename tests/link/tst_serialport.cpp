// The serial port driver over real pseudo-terminals: byte order, the write
// slot, purging, reopening, stopping under load and inside a nested event
// loop, failures, and the port names.
#include "link/PortMessages.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// A pseudo-terminal pair; the test plays the meter on the master side. One
// raw slave descriptor stays open (never read) so that the line keeps its
// raw settings and does not hang up between opens by the driver.
class RawPty
{
public:
    RawPty()
    {
        m_fdMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
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
        if (m_fdSlave >= 0)
            ::close(m_fdSlave);
        if (m_fdMaster >= 0)
            ::close(m_fdMaster);
        m_fdSlave = m_fdMaster = -1;
    }
    QString Slave() const { return m_strSlave; }
    void Write(const QByteArray& data) const
    {
        QCOMPARE(::write(m_fdMaster, data.constData(), data.size()), data.size());
    }
    // Whatever the driver wrote, collected for nMs.
    QByteArray Read(int nMs) const
    {
        QByteArray data;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < nMs)
        {
            char buf[512];
            const ssize_t n = ::read(m_fdMaster, buf, sizeof buf);
            if (n > 0)
                data.append(buf, static_cast<int>(n));
            else
                QTest::qWait(5);
        }
        return data;
    }
    int Master() const { return m_fdMaster; }

private:
    int m_fdMaster = -1;
    int m_fdSlave = -1;
    QString m_strSlave;
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

protected:
    bool event(QEvent* pEvent) override
    {
        if (pEvent->type() != PortMessageEvent::EventType())
            return QObject::event(pEvent);
        auto* pMessage = static_cast<PortMessageEvent*>(pEvent);
        m_messages.append(pMessage->m_nMessage);
        m_lParams.append(pMessage->m_lParam);
        if (pMessage->m_nMessage == WM_PORT_BYTE)
        {
            m_bytes.append(static_cast<char>(pMessage->m_wParam));
            if (m_onByte)
                m_onByte(static_cast<quint8>(pMessage->m_wParam));
        }
        return true;
    }
};

struct ReportedFailure
{
    QString strCaption;
    QString strText;
    bool bOwnerThread;
};

// Runs the event loop until bDone() holds; QTRY's waits sleep between
// passes, which would pace the per-byte hand-over.
bool WaitFor(const std::function<bool()>& bDone, int nMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(20);
    while (!bDone())
    {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray Pattern(int nCount)
{
    QByteArray data;
    for (int i = 0; i < nCount; ++i)
        data.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
    return data;
}

bool OpenDefault(SerialPort& port, QObject* pOwner, const QString& strName, unsigned nPort = 3,
                 quint32 dwMask = EV_RXCHAR | EV_RXFLAG, unsigned nSlot = 512)
{
    return port.Open(pOwner, strName, nPort, 9600, 'N', 8, 1, dwMask, nSlot);
}
} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT
private:
    QList<ReportedFailure> m_failures;

private slots:
    void init()
    {
        m_failures.clear();
        SerialPort::SetFailureReporter([this](const QString& strCaption, const QString& strText) {
            m_failures.append(
                {strCaption, strText, QThread::currentThread() == QCoreApplication::instance()->thread()});
        });
    }
    void cleanup() { SerialPort::SetFailureReporter({}); }

    void DeliversEveryByteInOrder_data()
    {
        QTest::addColumn<quint32>("dwMask");
        QTest::addColumn<int>("nBytes");
        QTest::newRow("mask 3, one byte") << (EV_RXCHAR | EV_RXFLAG) << 1;
        QTest::newRow("mask 3, 2000 bytes") << (EV_RXCHAR | EV_RXFLAG) << 2000;
        QTest::newRow("mask 1, 700 bytes") << EV_RXCHAR << 700;
    }
    void DeliversEveryByteInOrder()
    {
        QFETCH(quint32, dwMask);
        QFETCH(int, nBytes);
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave(), 7, dwMask));
        QVERIFY(port.IsOpen());
        QVERIFY(port.StartWatch());
        const QByteArray data = Pattern(nBytes);
        for (int nPos = 0; nPos < data.size(); nPos += 300)
            pty.Write(data.mid(nPos, 300));
        QVERIFY(WaitFor([&]() {
            return owner.m_bytes.size() >= nBytes &&
                   (!(dwMask & EV_RXFLAG) || owner.m_messages.last() == WM_PORT_EVENTCHAR);
        }));
        QCOMPARE(owner.m_bytes, data);
        QVERIFY(std::all_of(owner.m_lParams.begin(), owner.m_lParams.end(), [](quint32 n) { return n == 7; }));
        // One event-character notice per batch of input, after its bytes.
        if (dwMask & EV_RXFLAG)
        {
            QVERIFY(owner.Count(WM_PORT_EVENTCHAR) >= 1);
            QCOMPARE(owner.m_messages.last(), WM_PORT_EVENTCHAR);
        }
        else
        {
            QCOMPARE(owner.Count(WM_PORT_EVENTCHAR), 0);
        }
        QVERIFY(m_failures.isEmpty());
    }

    // A handler that opens a message box (a nested event loop) holds up
    // further input; it comes afterwards, in order.
    void HandlerHoldsUpInput()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave()));
        QVERIFY(port.StartWatch());
        QByteArray seenInBox;
        owner.m_onByte = [&](quint8 byData) {
            if (byData != 'a')
                return;
            QEventLoop box;
            QTimer::singleShot(150, &box, &QEventLoop::quit);
            pty.Write("bcd");
            box.exec();
            seenInBox = owner.m_bytes;
        };
        pty.Write("a");
        QVERIFY(WaitFor([&]() { return owner.m_bytes.size() >= 4; }));
        QCOMPARE(seenInBox, QByteArray("a"));
        QCOMPARE(owner.m_bytes, QByteArray("abcd"));
    }

    void SecondSendReplacesFirst()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave()));
        const quint8 first[] = {0x33, 0x03, 0x10, 0xBA, 0x08};
        const quint8 second[] = {0x33, 0x03, 0x80, 0x4A, 0x08};
        port.Send(first, sizeof first);
        port.Send(second, sizeof second);
        QVERIFY(port.StartWatch());
        QCOMPARE(pty.Read(300), QByteArray::fromHex("3303804A08"));
        QTRY_COMPARE(owner.Count(WM_PORT_SENT), 1);
        // Once written, the next Send goes out on its own.
        port.Send(first, sizeof first);
        QCOMPARE(pty.Read(300), QByteArray::fromHex("330310BA08"));
        QTRY_COMPARE(owner.Count(WM_PORT_SENT), 2);
    }

    void SendBiggerThanSlotIsRefused()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave(), 3, EV_RXCHAR | EV_RXFLAG, 8));
        QVERIFY(port.StartWatch());
        const QByteArray big = Pattern(9);
        port.Send(reinterpret_cast<const quint8*>(big.constData()), 9);
        QCOMPARE(pty.Read(300), QByteArray());
        QCOMPARE(owner.Count(WM_PORT_SENT), 0);
        port.Send(reinterpret_cast<const quint8*>(big.constData()), 8);
        QCOMPARE(pty.Read(300), big.left(8));
    }

    // Input that arrived while the owner held up the watch thread, and that
    // was not read yet when a write starts, is purged by that write.
    void WritePurgesUnreadInput()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave()));
        QVERIFY(port.StartWatch());
        const quint8 frame[] = {0x33, 0x03, 0x10, 0xBA, 0x08};
        owner.m_onByte = [&](quint8 byData) {
            if (byData != 'A')
                return;
            pty.Write("XYZ");
            QThread::msleep(100);
            port.Send(frame, sizeof frame);
        };
        pty.Write("A");
        QCOMPARE(pty.Read(400), QByteArray::fromHex("330310BA08"));
        QTRY_COMPARE(owner.Count(WM_PORT_SENT), 1);
        QTest::qWait(100);
        QCOMPARE(owner.m_bytes, QByteArray("A"));
        pty.Write("B");
        QTRY_COMPARE(owner.m_bytes, QByteArray("AB"));
    }

    void ReopenOnAnotherPort()
    {
        RawPty ptyA;
        RawPty ptyB;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, ptyA.Slave(), 1));
        QVERIFY(port.StartWatch());
        ptyA.Write("a");
        QTRY_COMPARE(owner.m_bytes, QByteArray("a"));
        QVERIFY(OpenDefault(port, &owner, ptyB.Slave(), 2));
        QVERIFY(port.StartWatch());
        ptyA.Write("x");
        ptyB.Write("b");
        QTRY_COMPARE(owner.m_bytes, QByteArray("ab"));
        QTest::qWait(100);
        QCOMPARE(owner.m_bytes, QByteArray("ab"));
        QCOMPARE(owner.m_lParams.last(), 2u);
        // The old line was closed: another driver can take it.
        Receiver other;
        SerialPort second;
        QVERIFY(OpenDefault(second, &other, ptyA.Slave()));
    }

    void FailedOpenLeavesClosed()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave()));
        QVERIFY(port.StartWatch());
        QVERIFY(!OpenDefault(port, &owner, QStringLiteral("/dev/meterclient-no-such-port")));
        QVERIFY(!port.IsOpen());
        QVERIFY(!port.StartWatch());
        const quint8 byData = 0x55;
        port.Send(&byData, 1);
        QCOMPARE(pty.Read(200), QByteArray());
        QVERIFY(m_failures.isEmpty());
        // A driver without a watch thread goes at once.
        QElapsedTimer timer;
        timer.start();
        {
            SerialPort never;
        }
        QVERIFY(timer.elapsed() < 100);
    }

    void ConfigurationFailureIsReported_data()
    {
        QTest::addColumn<int>("nBaud");
        QTest::addColumn<char>("cParity");
        QTest::addColumn<int>("nDataBits");
        QTest::addColumn<QString>("strOperation");
        QTest::newRow("good") << 9600 << 'N' << 8 << QString();
        QTest::newRow("parity letter") << 9600 << 'X' << 8 << QStringLiteral("BuildCommDCB()");
        QTest::newRow("data bits") << 9600 << 'N' << 9 << QStringLiteral("BuildCommDCB()");
        QTest::newRow("baud rate") << -5 << 'N' << 8 << QStringLiteral("SetCommState()");
    }
    void ConfigurationFailureIsReported()
    {
        QFETCH(int, nBaud);
        QFETCH(char, cParity);
        QFETCH(int, nDataBits);
        QFETCH(QString, strOperation);
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(port.Open(&owner, pty.Slave(), 12, nBaud, cParity, nDataBits, 1, EV_RXCHAR, 512));
        QVERIFY(port.IsOpen());
        if (strOperation.isEmpty())
        {
            QVERIFY(m_failures.isEmpty());
            return;
        }
        QCOMPARE(m_failures.size(), 1);
        QCOMPARE(m_failures[0].strCaption, QStringLiteral("Application Error"));
        QVERIFY(m_failures[0].strText.startsWith(QStringLiteral("WARNING:  ") + strOperation +
                                                 QStringLiteral(" Failed with the following error: \n")));
        QVERIFY(m_failures[0].strText.endsWith(QStringLiteral("\nPort: 12\n")));
        // The port still works.
        QVERIFY(port.StartWatch());
        pty.Write("q");
        QTRY_COMPARE(owner.m_bytes, QByteArray("q"));
    }

    // The other end goes away: told once, on the owner's thread, no byte.
    void HangUpIsReportedOnOwnerThread()
    {
        RawPty pty;
        Receiver owner;
        SerialPort port;
        QVERIFY(OpenDefault(port, &owner, pty.Slave(), 4));
        QVERIFY(port.StartWatch());
        QTest::qWait(50);
        pty.Close();
        QVERIFY(WaitFor([&]() { return !m_failures.isEmpty(); }));
        QTest::qWait(200);
        QVERIFY(!port.IsOpen());
        QCOMPARE(m_failures.size(), 1);
        QVERIFY(m_failures[0].bOwnerThread);
        QVERIFY(m_failures[0].strText.startsWith(QStringLiteral("WARNING:  ReadFile() Failed")));
        QVERIFY(m_failures[0].strText.endsWith(QStringLiteral("Port: 4\n")));
        QVERIFY(owner.m_bytes.isEmpty());
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
            {
                if (::write(pty.Master(), data.constData(), data.size()) < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        Receiver owner;
        QElapsedTimer timer;
        timer.start();
        int nOpened = 0;
        auto pReused = std::make_unique<SerialPort>();
        for (int i = 0; i < 100; ++i)
        {
            const qsizetype nBefore = owner.m_bytes.size();
            nOpened += OpenDefault(*pReused, &owner, pty.Slave()) && pReused->StartWatch();
            WaitFor([&]() { return owner.m_bytes.size() > nBefore; }, 200);
        }
        pReused.reset();
        for (int i = 0; i < 100; ++i)
        {
            SerialPort port;
            const qsizetype nBefore = owner.m_bytes.size();
            nOpened += OpenDefault(port, &owner, pty.Slave()) && port.StartWatch();
            WaitFor([&]() { return owner.m_bytes.size() > nBefore + i % 7; }, 200);
        }
        bRun = false;
        writer.join();
        QCOMPARE(nOpened, 200);
        QVERIFY(owner.m_bytes.size() >= 200);
        QVERIFY(timer.elapsed() < 60000);
    }

    // The owner sits in a nested event loop (a message box) inside a byte
    // handler while more input streams in; stopping from there must end.
    void StopInsideNestedLoop_data()
    {
        QTest::addColumn<bool>("bReopen");
        QTest::newRow("destructor") << false;
        QTest::newRow("reopen") << true;
    }
    void StopInsideNestedLoop()
    {
        QFETCH(bool, bReopen);
        RawPty pty;
        RawPty other;
        Receiver owner;
        auto pPort = std::make_unique<SerialPort>();
        QVERIFY(OpenDefault(*pPort, &owner, pty.Slave()));
        QVERIFY(pPort->StartWatch());
        bool bStopped = false;
        owner.m_onByte = [&](quint8) {
            if (bStopped || owner.m_bytes.size() != 1)
                return;
            QEventLoop box;
            QTimer::singleShot(100, &box, [&]() {
                pty.Write(Pattern(100));
                QThread::msleep(20);
                if (bReopen)
                    OpenDefault(*pPort, &owner, other.Slave());
                else
                    pPort.reset();
                bStopped = true;
                box.quit();
            });
            box.exec();
        };
        pty.Write("z");
        QTRY_VERIFY_WITH_TIMEOUT(bStopped, 5000);
        QTest::qWait(100);
        // Bytes queued behind the box were not handed on after the stop.
        QCOMPARE(owner.m_bytes, QByteArray("z"));
    }

    void DevicePathForPortName_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strPath");
        QTest::newRow("COM1") << "COM1"
                              << "/dev/ttyS0";
        QTest::newRow("COM10") << "COM10"
                               << "/dev/ttyS9";
        QTest::newRow("com3") << "com3"
                              << "/dev/ttyS2";
        QTest::newRow("COM0") << "COM0"
                              << "/dev/COM0";
        QTest::newRow("COMX") << "COMX"
                              << "/dev/COMX";
        QTest::newRow("COM+2") << "COM+2"
                               << "/dev/COM+2";
        QTest::newRow("ttyUSB0") << "ttyUSB0"
                                 << "/dev/ttyUSB0";
        QTest::newRow("path") << "/dev/pts/7"
                              << "/dev/pts/7";
    }
    void DevicePathForPortName()
    {
        QFETCH(QString, strName);
        QFETCH(QString, strPath);
        QCOMPARE(::DevicePathForPortName(strName), strPath);
    }

    void ExtraNamesComeFirst()
    {
        ClearExtraPortNames();
        const QStringList system = EnumeratePortNames();
        QVERIFY(system.size() <= MAX_PORT_NAMES);
        AddExtraPortName(QStringLiteral("/dev/pts/41"));
        AddExtraPortName(QStringLiteral("/dev/pts/41"));
        for (int i = 0; i < 25; ++i)
            AddExtraPortName(QStringLiteral("/tmp/extra%1").arg(i));
        const QStringList names = EnumeratePortNames();
        QCOMPARE(names.size(), MAX_PORT_NAMES);
        QCOMPARE(names.first(), QStringLiteral("/dev/pts/41"));
        QCOMPARE(names.count(QStringLiteral("/dev/pts/41")), 1);
        ClearExtraPortNames();
        QCOMPARE(EnumeratePortNames(), system);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
