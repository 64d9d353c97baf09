// The simulated meter over a real pseudo-terminal, opened here with plain
// POSIX calls as a client would: the connect reply, requests it leaves
// unanswered, the record file, and a stop that must not hang. (Its line
// faults and its other replies are tried through the link's, the dialog's
// and meterctl's tests, which read them as a client does.)
#include "TestFiles.h"
#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"
#include "sim/MeterSim.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// The client's end of the line.
class Line
{
public:
    // The meter sets the line raw itself.
    explicit Line(const QString& strPath) : m_nFd(::open(qPrintable(strPath), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Line() { ::close(m_nFd); }
    void Send(const QByteArray& data) const { QVERIFY(::write(m_nFd, data.constData(), size_t(data.size())) > 0); }
    // Bytes waiting on the client's side, unread.
    int Unread() const
    {
        int nCount = 0;
        ::ioctl(m_nFd, FIONREAD, &nCount);
        return nCount;
    }
    // Reads until nBytes are in or nTimeoutMs pass; a hang-up marks the line dead.
    QByteArray Read(int nBytes, int nTimeoutMs)
    {
        QByteArray data;
        const QDeadlineTimer deadline(nTimeoutMs);
        while (data.size() < nBytes && !deadline.hasExpired() && !m_bDead)
        {
            pollfd fd = {m_nFd, POLLIN, 0};
            char buffer[512];
            if (::poll(&fd, 1, 10) <= 0)
                continue;
            const ssize_t n = ::read(m_nFd, buffer, sizeof buffer);
            if (n > 0)
                data.append(buffer, int(n));
            else
                m_bDead = n == 0 || (errno != EAGAIN && errno != EINTR);
        }
        return data;
    }
    // The next whole frame through the assembly (noise is skipped there).
    QByteArray Request(const QByteArray& request, int nTimeoutMs = 2000)
    {
        Send(request);
        const QDeadlineTimer deadline(nTimeoutMs);
        while (m_assembler.PushBytes(Read(1, 50)) == 0 && !deadline.hasExpired() && !m_bDead)
            ;
        const QList<QByteArray> frames = m_assembler.TakeFrames();
        return frames.isEmpty() ? QByteArray() : frames.first();
    }

private:
    int m_nFd;
    bool m_bDead = false;
    FrameAssembler m_assembler;
};
} // namespace

class TestMeterSim : public QObject
{
    Q_OBJECT
private slots:
    // The connect reply holds the wavelength table, big-endian from position
    // 4 (a client only sees it decoded; its length and code: the trace in
    // tst_meterctldownload); a record one beyond the count comes back as zeros.
    void RepliesAndSilences()
    {
        MeterSim sim;
        sim.Records().Generate(300);
        QVERIFY2(sim.Start(), qPrintable(sim.GetLastError()));
        Line line(sim.GetDevicePath());
        const QByteArray connected = line.Request(InstrumentFrame::Build(CMD_CONNECT, {}));
        QCOMPARE(connected.size(), 46);
        const WavelengthTable table = MeterSim::DefaultWavelengths();
        for (int i = 0; i < WAVELENGTH_COUNT; ++i)
            QCOMPARE(
                quint32(qFromBigEndian<quint16>(reinterpret_cast<const quint8*>(connected.constData()) + 4 + 2 * i)),
                table[size_t(i)]);
        QCOMPARE(line.Request(InstrumentFrame::BuildReadRecord(301)),
                 InstrumentFrame::Build(RSP_RECORD, QByteArray::fromHex("012D") + QByteArray(16, 0)));

        // Unknown commands and requests too short to serve get no answer.
        line.Send(InstrumentFrame::Build(0x42, {}));
        line.Send(InstrumentFrame::Build(CMD_READ_RECORD, QByteArray(1, '\1')));
        QVERIFY(sim.WaitForRequests(4, 2000));
        QCOMPARE(line.Read(1, 200), QByteArray());
        QCOMPARE(sim.GetRepliesSent(), 2);
        QCOMPARE(sim.GetRequestCount(CMD_READ_RECORD), 2);
        QCOMPARE(sim.GetRequests().first(), QByteArray::fromHex("330310BA08"));
    }

    void StopsPromptly()
    {
        // The client never reads, with a reply being paced out or delayed.
        for (const bool bPace : {false, true})
        {
            MeterSimOptions options;
            options.bPace = bPace;
            options.nReplyDelayMs = bPace ? 60000 : 0;
            MeterSim sim;
            sim.SetOptions(options);
            QVERIFY(sim.Start());
            Line line(sim.GetDevicePath());
            sim.InjectBytes(QByteArray(1 << 20, '\x55')); // far more than the line holds
            // Unpaced, the meter is stuck writing once the line's buffer is
            // full; paced, it is in the middle of a slow write (4,000 bytes
            // would take four seconds there). A request comes in meanwhile.
            QTRY_VERIFY_WITH_TIMEOUT(line.Unread() >= (bPace ? 64 : 4000), 30000);
            line.Send(InstrumentFrame::Build(CMD_CONNECT, {}));
            sim.Stop(); // returns (a hang would run into the test's time limit)
            QVERIFY(!sim.IsRunning());
        }
    }

    void RecordFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");        // -1: refused
        QTest::addColumn<QByteArray>("first"); // reply to record 1
        QTest::newRow("worked example") << QByteArray("# one record\n\nOPM 4 -12.34 -3.0 12-05-03 09:05:07\n") << 1
                                        << QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
        QTest::newRow("mode byte and CRLF")
            << QByteArray("255 25 1.5 0 99-12-31 23:59:59\r\nRL 0 40 -3 12-1-1 0:0:0\r\n") << 2
            << QByteArray::fromHex("3315710001FF190000C03F00000000630C1F173B3B1408");
        QTest::newRow("too few fields") << QByteArray("OPM 4 -12.34 12-05-03 09:05:07\n") << -1 << QByteArray();
    }

    void RecordFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(QByteArray, first);
        QTemporaryDir dir;
        const QString strFile = dir.filePath(QStringLiteral("records.txt"));
        QVERIFY(WriteFile(strFile, text));
        MeterSim sim;
        sim.Records().Generate(3);
        QCOMPARE(sim.Records().LoadFile(strFile), count >= 0);
        QCOMPARE(sim.Records().Count(), count >= 0 ? count : 3); // a refused file changes nothing
        if (count < 0)
            QVERIFY(sim.Records().GetLastError().startsWith(QStringLiteral("line 1:")));
        if (first.isEmpty())
            return;
        QVERIFY(sim.Start());
        Line line(sim.GetDevicePath());
        QCOMPARE(line.Request(InstrumentFrame::BuildReadRecord(1)).toHex(' '), first.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_metersim.moc"
