// The simulated meter over a real pseudo-terminal, opened here with plain
// POSIX calls as a client would: every request, every fault option, and a
// stop that must not hang.
#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"
#include "tools/meter-sim/MeterSim.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// The client's end of the line.
class Line
{
public:
    explicit Line(const QString& strPath)
    {
        m_nFd = ::open(strPath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio;
        if (m_nFd >= 0 && ::tcgetattr(m_nFd, &tio) == 0)
        {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_nFd, TCSANOW, &tio);
        }
    }
    ~Line()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    bool IsOpen() const { return m_nFd >= 0; }
    void Send(const QByteArray& data) const
    {
        QCOMPARE(::write(m_nFd, data.constData(), size_t(data.size())), ssize_t(data.size()));
    }
    // Reads until nBytes are in or nTimeoutMs pass; m_bDead tells of a hang-up.
    QByteArray Read(int nBytes, int nTimeoutMs)
    {
        QByteArray data;
        QElapsedTimer timer;
        timer.start();
        while (data.size() < nBytes && timer.elapsed() < nTimeoutMs)
        {
            pollfd fd = {m_nFd, POLLIN, 0};
            if (::poll(&fd, 1, 10) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(m_nFd, buffer, sizeof buffer);
            if (n > 0)
                data.append(buffer, int(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            {
                m_bDead = true;
                break;
            }
        }
        return data;
    }
    // The next whole frame through the assembly (noise is skipped there).
    QByteArray ReadFrame(int nTimeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_frames.isEmpty() && timer.elapsed() < nTimeoutMs && !m_bDead)
        {
            const QByteArray data = Read(1, 50);
            m_raw += data;
            m_assembler.PushBytes(data);
            m_frames += m_assembler.TakeFrames();
        }
        return m_frames.isEmpty() ? QByteArray() : m_frames.takeFirst();
    }
    QByteArray Request(const QByteArray& request)
    {
        Send(request);
        return ReadFrame();
    }
    bool IsDead() const { return m_bDead; }
    QByteArray TakeRaw() { return std::exchange(m_raw, QByteArray()); }

private:
    int m_nFd = -1;
    bool m_bDead = false;
    FrameAssembler m_assembler;
    QList<QByteArray> m_frames;
    QByteArray m_raw;
};

const quint8* Bytes(const QByteArray& data)
{
    return reinterpret_cast<const quint8*>(data.constData());
}
} // namespace

class TestMeterSim : public QObject
{
    Q_OBJECT

private slots:
    void AnswersEveryRequest();
    void WholeDownload();
    void Faults_data();
    void Faults();
    void PacedAt9600();
    void InjectWithoutReplies();
    void StopWhileClientNeverReads();
    void StartStopFromSeveralThreads();
    void RecordFile_data();
    void RecordFile();
    void ProgramPrintsDeviceAndStops();
};

void TestMeterSim::AnswersEveryRequest()
{
    MeterSim sim;
    sim.Records().Generate(300);
    QVERIFY2(sim.Start(), qPrintable(sim.GetLastError()));
    QVERIFY(!sim.Start()); // already running
    Line line(sim.GetDevicePath());
    QVERIFY(line.IsOpen());

    const QByteArray connected = line.Request(InstrumentFrame::Build(CMD_CONNECT, {}));
    QCOMPARE(connected.size(), 46);
    QCOMPARE(quint8(connected[1]), quint8(44));
    QCOMPARE(quint8(connected[2]), RSP_CONNECTED);
    const WavelengthTable table = MeterSim::DefaultWavelengths();
    for (int i = 0; i < WAVELENGTH_COUNT; ++i)
        QCOMPARE(quint32(ReadU16BE(Bytes(connected) + 4 + 2 * i)), table[size_t(i)]);
    QCOMPARE(table[4], quint32(1550));

    QCOMPARE(line.Request(InstrumentFrame::Build(CMD_READ_COUNT, {})), QByteArray::fromHex("330581012C1A08"));
    QCOMPARE(line.Request(InstrumentFrame::BuildCalibration(CMD_CAL_RL, -3.5f)), QByteArray::fromHex("3303517908"));
    QCOMPARE(sim.GetLastCalibrationBytes(), QByteArray::fromHex("000060C0"));
    QCOMPARE(sim.GetLastCalibrationCommand(), CMD_CAL_RL);
    QCOMPARE(line.Request(InstrumentFrame::BuildCalibration(CMD_CAL_OPM, 1.25f)), QByteArray::fromHex("3303616908"));
    QCOMPARE(sim.GetLastCalibrationCommand(), CMD_CAL_OPM);
    QCOMPARE(sim.GetLastCalibrationValue(), 1.25f);
    QCOMPARE(line.Request(InstrumentFrame::BuildSetClock(12, 5, 3, 9, 5, 7)), QByteArray::fromHex("3303C10908"));
    QCOMPARE(sim.GetClockBytes(), QByteArray::fromHex("0C0503090507"));
    QCOMPARE(line.Request(InstrumentFrame::Build(CMD_DISCONNECT, {})), QByteArray::fromHex("330321A908"));

    // Unknown commands and requests too short to serve get no answer.
    line.Send(InstrumentFrame::Build(0x42, {}));
    line.Send(InstrumentFrame::Build(CMD_READ_RECORD, QByteArray(1, '\1')));
    QVERIFY(sim.WaitForRequests(8, 2000));
    QCOMPARE(line.Read(1, 200), QByteArray());
    QCOMPARE(sim.GetRepliesSent(), 6);
    QCOMPARE(sim.GetRequests().first(), QByteArray::fromHex("330310BA08"));
}

void TestMeterSim::WholeDownload()
{
    const int nTotal = 30;
    MeterSim sim;
    sim.Records().Generate(nTotal);
    QVERIFY(sim.Start());
    Line line(sim.GetDevicePath());
    const QByteArray count = line.Request(InstrumentFrame::Build(CMD_READ_COUNT, {}));
    QCOMPARE(int(ReadU16BE(Bytes(count) + 3)), nTotal);

    QSet<int> modes;
    QSet<int> waves;
    for (int n = 1; n <= nTotal + 1; ++n)
    {
        const QByteArray reply = line.Request(InstrumentFrame::BuildReadRecord(quint16(n)));
        QVERIFY(InstrumentFrame::IsValid(Bytes(reply), int(reply.size())));
        QCOMPARE(quint8(reply[1]), quint8(21));
        QCOMPARE(int(ReadU16BE(Bytes(reply) + 3)), n);
        if (n <= nTotal)
        {
            QCOMPARE(reply, SimRecordSet::BuildReply(quint16(n), SimRecordSet::Generated(n)));
            modes.insert(quint8(reply[5]));
            waves.insert(quint8(reply[6]));
        }
        else
        {
            QCOMPARE(reply.mid(5, 16), QByteArray(16, '\0')); // one beyond the count: zeros
        }
    }
    // The generator covers RL, OPM and several IL bytes, and indexes past 19.
    QVERIFY(modes.contains(0) && modes.contains(1) && modes.contains(2) && modes.contains(255));
    QVERIFY(waves.contains(19) && waves.contains(20));
    QCOMPARE(sim.GetRequestCount(CMD_READ_RECORD), nTotal + 1);
    QCOMPARE(sim.GetRequestCount(), nTotal + 2);
}

void TestMeterSim::Faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("noise") << "noise";
    QTest::newRow("bad checksum") << "bad";
    QTest::newRow("short") << "short";
    QTest::newRow("drop") << "drop";
    QTest::newRow("split") << "split";
    QTest::newRow("delay") << "delay";
    QTest::newRow("hang-up") << "hangup";
}

void TestMeterSim::Faults()
{
    QFETCH(QString, fault);
    MeterSimOptions options;
    options.bNoise = fault == QLatin1String("noise");
    options.nBadChecksumReply = fault == QLatin1String("bad") ? 2 : 0;
    options.nShortReply = fault == QLatin1String("short") ? 2 : 0;
    options.nDropReply = fault == QLatin1String("drop") ? 2 : 0;
    options.bSplit = fault == QLatin1String("split");
    options.nSplitGapMs = 4;
    options.nReplyDelayMs = fault == QLatin1String("delay") ? 150 : 0;
    options.nHangupAfterRecords = fault == QLatin1String("hangup") ? 2 : 0;

    MeterSim sim;
    sim.Records().Generate(5);
    sim.SetOptions(options);
    QVERIFY(sim.Start());
    Line line(sim.GetDevicePath());

    // Reply 1: count. Replies 2 and 3: records 1 and 2. Reply 4: record 3.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(line.Request(InstrumentFrame::Build(CMD_READ_COUNT, {})), QByteArray::fromHex("33058100054208"));
    const qint64 nFirstMs = timer.elapsed();
    const QByteArray rawFirst = line.TakeRaw();

    line.Send(InstrumentFrame::BuildReadRecord(1));
    const QByteArray raw2 = line.Read(fault == QLatin1String("noise") ? 100 : 23, 400);
    line.TakeRaw();
    const QByteArray good2 = SimRecordSet::BuildReply(1, SimRecordSet::Generated(1));
    const QByteArray third = line.Request(InstrumentFrame::BuildReadRecord(2));
    const QByteArray good3 = SimRecordSet::BuildReply(2, SimRecordSet::Generated(2));

    if (fault == QLatin1String("noise"))
    {
        // Stray bytes first, never a start byte among them, then the frame.
        QVERIFY(rawFirst.size() > 7 && rawFirst.size() <= 11);
        QCOMPARE(rawFirst.indexOf('\x33'), rawFirst.size() - 7);
        QVERIFY(raw2.endsWith(good2) && raw2.size() > good2.size());
        QCOMPARE(third, good3);
    }
    else if (fault == QLatin1String("bad"))
    {
        QCOMPARE(raw2.size(), 23);
        QVERIFY(!InstrumentFrame::IsValid(Bytes(raw2), int(raw2.size())));
        QCOMPARE(raw2.left(21), good2.left(21)); // only the checksum differs
        QCOMPARE(third, good3);
    }
    else if (fault == QLatin1String("short"))
    {
        // L and checksum fit the cut, but L is below what a record needs.
        QVERIFY(InstrumentFrame::IsValid(Bytes(raw2), int(raw2.size())));
        QCOMPARE(quint8(raw2[2]), RSP_RECORD);
        QVERIFY(quint8(raw2[1]) < InstrumentFrame::MinimumLength(RSP_RECORD));
        QCOMPARE(raw2.mid(3, 9), good2.mid(3, 9));
        QCOMPARE(third, good3);
    }
    else if (fault == QLatin1String("drop"))
    {
        QCOMPARE(raw2, QByteArray());
        QCOMPARE(third, good3);
        QCOMPARE(sim.GetRequestCount(CMD_READ_RECORD), 2);
    }
    else if (fault == QLatin1String("split"))
    {
        QVERIFY2(nFirstMs >= 6 * 4, qPrintable(QString::number(nFirstMs))); // 7 bytes, 6 gaps
        QCOMPARE(raw2, good2);
        QCOMPARE(third, good3);
    }
    else if (fault == QLatin1String("delay"))
    {
        QVERIFY(nFirstMs >= 140);
        QCOMPARE(raw2, good2);
        QCOMPARE(third, good3);
    }
    else if (fault == QLatin1String("hangup"))
    {
        QCOMPARE(raw2, good2);
        QCOMPARE(third, good3);
        // After the second record the line is closed: the client sees it dead.
        line.Send(InstrumentFrame::BuildReadRecord(3));
        QCOMPARE(line.ReadFrame(1000), QByteArray());
        QVERIFY(line.IsDead());
        QVERIFY(sim.IsHungUp());
    }
    sim.Stop();
    QVERIFY(!sim.IsRunning());
}

void TestMeterSim::PacedAt9600()
{
    MeterSimOptions options;
    options.bPace = true;
    MeterSim sim;
    sim.SetOptions(options);
    QVERIFY(sim.Start());
    Line line(sim.GetDevicePath());
    // 46 bytes of connect reply at 10 bits a byte: 47.9 ms on the wire.
    QElapsedTimer timer;
    timer.start();
    line.Send(InstrumentFrame::Build(CMD_CONNECT, {}));
    QVERIFY(sim.WaitForRequests(1, 2000));
    const qint64 nStart = timer.elapsed();
    const QByteArray reply = line.ReadFrame();
    const qint64 nMs = timer.elapsed() - nStart;
    QCOMPARE(reply.size(), 46);
    QVERIFY2(nMs >= 44 && nMs < 400, qPrintable(QString::number(nMs)));
}

void TestMeterSim::InjectWithoutReplies()
{
    MeterSim sim;
    QVERIFY(sim.Start());
    sim.SetAutoReply(false);
    Line line(sim.GetDevicePath());
    line.Send(InstrumentFrame::Build(CMD_CONNECT, {}));
    QVERIFY(sim.WaitForRequests(1, 2000));
    QCOMPARE(line.Read(1, 200), QByteArray());
    QCOMPARE(sim.GetRepliesSent(), 0);

    // Raw bytes reach the client exactly as given, a frame no request asks for included.
    const QByteArray raw = QByteArray::fromHex("00FF33") + InstrumentFrame::Build(RSP_WAVE_SET, {});
    sim.InjectBytes(raw);
    QCOMPARE(line.Read(int(raw.size()), 2000), raw);

    sim.SetAutoReply(true);
    QCOMPARE(line.Request(InstrumentFrame::Build(CMD_DISCONNECT, {})), QByteArray::fromHex("330321A908"));
    sim.ClearRequests();
    QCOMPARE(sim.GetRequestCount(), 0);
}

void TestMeterSim::StopWhileClientNeverReads()
{
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
        line.Send(InstrumentFrame::Build(CMD_CONNECT, {}));
        QTest::qWait(200);
        QElapsedTimer timer;
        timer.start();
        sim.Stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }
}

void TestMeterSim::StartStopFromSeveralThreads()
{
    MeterSim sim;
    for (int nRound = 0; nRound < 3; ++nRound)
    {
        QVERIFY(sim.Start());
        QVERIFY(sim.IsRunning());
        std::thread a([&sim]() { sim.Stop(); });
        std::thread b([&sim]() { sim.Stop(); });
        a.join();
        b.join();
        QVERIFY(!sim.IsRunning());
    }
    // A started meter goes away with its owner.
    auto pSim = std::unique_ptr<MeterSim>(StartDemoMeter());
    QVERIFY(pSim);
    QCOMPARE(pSim->Records().Count(), 300);
    QVERIFY(pSim->GetOptions().bPace);
    Line line(pSim->GetDevicePath());
    QCOMPARE(line.Request(InstrumentFrame::Build(CMD_READ_COUNT, {})), QByteArray::fromHex("330581012C1A08"));
}

void TestMeterSim::RecordFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count");        // -1: refused
    QTest::addColumn<QByteArray>("first"); // reply to record 1
    QTest::newRow("worked example") << QByteArray("# one record\n\nOPM 4 -12.34 -3.0 12-05-03 09:05:07\n") << 1
                                    << QByteArray::fromHex("33157100010104A47045C1000040C00C0503090507FE08");
    QTest::newRow("mode byte and CRLF") << QByteArray("255 25 1.5 0 99-12-31 23:59:59\r\nRL 0 40 -3 12-1-1 0:0:0\r\n")
                                        << 2 << QByteArray();
    QTest::newRow("too few fields") << QByteArray("OPM 4 -12.34 12-05-03 09:05:07\n") << -1 << QByteArray();
    QTest::newRow("wave 256") << QByteArray("RL 256 1 1 12-05-03 09:05:07\n") << -1 << QByteArray();
    QTest::newRow("bad value") << QByteArray("RL 1 x1 1 12-05-03 09:05:07\n") << -1 << QByteArray();
    QTest::newRow("bad time") << QByteArray("RL 1 1 1 12-05-03 09:05\n") << -1 << QByteArray();
    QTest::newRow("empty file") << QByteArray("") << 0 << QByteArray();
}

void TestMeterSim::RecordFile()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    QFETCH(QByteArray, first);
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("records.txt"));
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    MeterSim sim;
    sim.Records().Generate(3);
    const bool bLoaded = sim.Records().LoadFile(strPath);
    QCOMPARE(bLoaded, count >= 0);
    if (!bLoaded)
    {
        QVERIFY(sim.Records().GetLastError().startsWith(QStringLiteral("line 1:")));
        QCOMPARE(sim.Records().Count(), 3); // a refused file changes nothing
        return;
    }
    QCOMPARE(sim.Records().Count(), count);
    if (first.isEmpty())
        return;
    QVERIFY(sim.Start());
    Line line(sim.GetDevicePath());
    QCOMPARE(line.Request(InstrumentFrame::BuildReadRecord(1)).toHex(' '), first.toHex(' '));
}

void TestMeterSim::ProgramPrintsDeviceAndStops()
{
    const QString strProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../tools/meter-sim/meter-sim");
    if (!QFileInfo::exists(strProgram))
        QSKIP("build the meter-sim target to test the program");
    QProcess process;
    process.start(strProgram, {QStringLiteral("--records"), QStringLiteral("7"), QStringLiteral("--exit-on-eof")});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(5000));
    const QString strDevice = QString::fromLocal8Bit(process.readLine()).trimmed();
    QVERIFY(strDevice.startsWith(QStringLiteral("/dev/")));
    {
        Line line(strDevice);
        QCOMPARE(line.Request(InstrumentFrame::Build(CMD_READ_COUNT, {})), QByteArray::fromHex("33058100074008"));
    }
    process.closeWriteChannel(); // stdin at its end stops it
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitCode(), 0);

    process.start(strProgram, {QStringLiteral("--records")});
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_metersim.moc"
