// The link control without any widget, against the simulated meter over a
// pseudo-terminal: downloads through every fault of the line (each record
// taken once, in order, with its own bytes), a noisy line, silence, replies
// cut to the length their handlers read, unasked replies, and a download
// given up for another request. (A lost line is tried through the dialog
// and meterctl tests.)
#include "link/InstrumentFrame.h"
#include "link/MeterLink.h"
#include "records/RecordDecoder.h"
#include "sim/MeterSim.h"

#include <QtTest>
#include <numeric>

Q_DECLARE_METATYPE(MeterSimOptions)
Q_DECLARE_METATYPE(LinkPolicy)

namespace {
// What the link said, in order, as short texts ("record 3", "finished 30").
class Probe : public QObject
{
public:
    explicit Probe(MeterLink& link)
    {
        connect(&link, &MeterLink::Connected, this,
                [this](bool b) { m_events << QStringLiteral("connected %1").arg(b); });
        connect(&link, &MeterLink::Disconnected, this, [this] { m_events << QStringLiteral("disconnected"); });
        connect(&link, &MeterLink::CalibrationDone, this,
                [this](quint8 by) { m_events << QStringLiteral("calibrated %1").arg(by, 0, 16); });
        connect(&link, &MeterLink::WaveSet, this, [this] { m_events << QStringLiteral("wave set"); });
        connect(&link, &MeterLink::ClockSet, this, [this] { m_events << QStringLiteral("clock set"); });
        connect(&link, &MeterLink::CountReceived, this,
                [this](int n) { m_events << QStringLiteral("count %1").arg(n); });
        connect(&link, &MeterLink::RecordReceived, this, [this](const QByteArray& frame, int nIndex) {
            m_records << frame;
            m_indexes << nIndex;
        });
        connect(&link, &MeterLink::DownloadFinished, this,
                [this](int n) { m_events << QStringLiteral("finished %1").arg(n); });
        connect(&link, &MeterLink::RequestFailed, this, [this](quint8 byCommand, LinkFailure failure) {
            const char* pszWhy = failure == LinkFailure::NoAnswer   ? "no answer"
                                 : failure == LinkFailure::LineLost ? "lost"
                                                                    : "interrupted";
            m_events << QStringLiteral("failed %1 %2").arg(byCommand, 0, 16).arg(QLatin1String(pszWhy));
        });
        connect(&link, &MeterLink::LineLost, this, [this] { m_events << QStringLiteral("line lost"); });
    }
    QStringList m_events;
    QList<QByteArray> m_records;
    QList<int> m_indexes;
};

// Records 1..nCount as the meter stores them.
QList<QByteArray> StoredReplies(int nCount)
{
    QList<QByteArray> replies;
    for (int i = 1; i <= nCount; ++i)
        replies << SimRecordSet::BuildReply(quint16(i), SimRecordSet::Generated(i));
    return replies;
}
} // namespace

class TestMeterLink : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<MeterSim> m_pSim;
    std::unique_ptr<MeterLink> m_pLink;

    MeterLink& Open(int nRecords, const MeterSimOptions& options = {}, const LinkPolicy& policy = {})
    {
        m_pSim = std::make_unique<MeterSim>();
        m_pSim->Records().Generate(nRecords);
        m_pSim->SetOptions(options);
        if (!m_pSim->Start())
            qFatal("no pseudo-terminal: %s", qPrintable(m_pSim->GetLastError()));
        m_pLink = std::make_unique<MeterLink>();
        m_pLink->SetPolicy(policy);
        m_pLink->SetFailureReporter([](const SerialPort::Failure&) {});
        if (!m_pLink->Open(m_pSim->GetDevicePath(), 1))
            qFatal("the meter's line did not open");
        return *m_pLink;
    }

private slots:
    void cleanup() { m_pLink.reset(), m_pSim.reset(); }

    // Whatever the line does, every record arrives once, in order, with the
    // bytes the meter stored; the meter is asked again only as often as the
    // fault needs. Reply k: connect 1, count 2, record i is i + 2.
    void DownloadThroughFaults_data()
    {
        QTest::addColumn<int>("nRecords");
        QTest::addColumn<MeterSimOptions>("options");
        QTest::addColumn<LinkPolicy>("policy");
        QTest::addColumn<int>("nExtraRequests"); // record requests beyond N + 1; -1: any number
        // Damage makes the records of the next exchanges be read twice.
        const int nDamage = 1 + LINK_NOISY_WINDOW;

        const auto with = [](auto&& change) {
            MeterSimOptions options;
            change(options);
            return options;
        };
        const LinkPolicy meterctl;
        LinkPolicy dialog;
        dialog.nPaceMs = DOWNLOAD_TIMER_PERIOD_MS;
        LinkPolicy quick = meterctl;
        quick.nReplyTimeoutMs = 150;
        QTest::newRow("dropped reply") << 30 << with([](MeterSimOptions& o) { o.nDropReply = 5; }) << quick << 1;
        QTest::newRow("bad checksum") << 30 << with([](MeterSimOptions& o) { o.nBadChecksumReply = 6; }) << meterctl
                                      << nDamage;
        QTest::newRow("short record") << 30 << with([](MeterSimOptions& o) { o.nShortReply = 7; }) << quick << 1;
        QTest::newRow("wrong end byte") << 30 << with([](MeterSimOptions& o) { o.nWrongEndReply = 8; }) << meterctl
                                        << nDamage;
        QTest::newRow("impossible time") << 30 << with([](MeterSimOptions& o) { o.nBadTimeReply = 9; }) << meterctl
                                         << nDamage;
        // Stray bytes before every reply: a noisy line, every record read twice.
        QTest::newRow("stray bytes before replies")
            << 30 << with([](MeterSimOptions& o) { o.bNoise = true; }) << dialog << 30;
        QTest::newRow("split replies") << 10 << with([](MeterSimOptions& o) { o.bSplit = true; }) << dialog << 0;
        // The reply to the request one beyond the count ends the download
        // whatever its length.
        QTest::newRow("short last reply")
            << 4 << with([](MeterSimOptions& o) { o.nShortReply = 4 + 3; }) << meterctl << 0;
        // A reply that comes after the time-out: the request goes again, and
        // the second answer arrives while the next record is awaited.
        QTest::newRow("late reply") << 10 << with([](MeterSimOptions& o) {
            o.nReplyDelayMs = 400;
            o.nSlowReply = 6;
        }) << quick << -1;
        // One byte in a hundred changed on the way to the computer.
        QTest::newRow("1% noise") << 300 << with([](MeterSimOptions& o) {
            o.dNoiseRate = 0.01;
            o.nNoiseSeed = 7;
        }) << meterctl << -1;
    }
    void DownloadThroughFaults()
    {
        QFETCH(int, nRecords);
        QFETCH(MeterSimOptions, options);
        QFETCH(LinkPolicy, policy);
        QFETCH(int, nExtraRequests);
        MeterLink& link = Open(nRecords, options, policy);
        Probe probe(link);
        QVERIFY(link.StartDownload());
        QTRY_VERIFY_WITH_TIMEOUT(!link.IsDownloading(), 120000);
        QCOMPARE(probe.m_events.last(), QStringLiteral("finished %1").arg(nRecords));
        QList<int> indexes(nRecords);
        std::iota(indexes.begin(), indexes.end(), 1);
        QCOMPARE(probe.m_indexes, indexes);
        QCOMPARE(probe.m_records, StoredReplies(nRecords));
        QCOMPARE(link.Wavelengths(), MeterSim::DefaultWavelengths());
        if (nExtraRequests >= 0)
        {
            QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), nRecords + 1 + nExtraRequests);
            QCOMPARE(link.GetResendCount(), nExtraRequests);
        }
    }

    // A meter that never answers: the same request 1 + retries times, then
    // the failure; the port stays open.
    void SilentMeter()
    {
        LinkPolicy policy;
        policy.nReplyTimeoutMs = 100;
        policy.nRetries = 2;
        MeterLink& link = Open(30, {}, policy);
        m_pSim->SetAutoReply(false);
        Probe probe(link);
        QVERIFY(link.StartDownload());
        QTRY_COMPARE(probe.m_events, QStringList{"failed 10 no answer"});
        QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 3);
        QVERIFY(!link.IsDownloading() && link.IsOpen());
    }

    // A reply one byte shorter than its handler reads is not acted on; one
    // exactly as long is. On a model line, byte for byte.
    void ReplyLengthBoundaries_data()
    {
        QTest::addColumn<quint8>("byReply");
        QTest::addColumn<int>("nLength"); // the smallest L its handler reads
        QTest::newRow("connected") << RSP_CONNECTED << 44;
        QTest::newRow("count") << RSP_COUNT << 5;
        QTest::newRow("record") << RSP_RECORD << 21; // positions 3..20 hold the record
    }
    void ReplyLengthBoundaries()
    {
        QFETCH(quint8, byReply);
        QFETCH(int, nLength);
        MeterLink link;
        QList<QByteArray> sent;
        link.UseModelLine([&sent](const QByteArray& frame) { sent << frame; });
        Probe probe(link);
        const auto feed = [&link](const QByteArray& frame) {
            for (const char c : frame)
                link.OnPortByte(quint8(c));
        };
        // Up to the request the reply answers.
        if (byReply == RSP_COUNT || byReply == RSP_RECORD)
        {
            QVERIFY(link.StartDownload());
            feed(InstrumentFrame::Build(RSP_CONNECTED, QByteArray(41, '\0')));
        }
        if (byReply == RSP_RECORD)
            feed(InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("0002")));
        // Record 1's payload (index 1, a plausible time), cut to the length.
        QByteArray payload = QByteArray::fromHex("0001") + QByteArray(10, '\0') + QByteArray::fromHex("180503090507");
        payload = (payload + QByteArray(64, '\0')).left(nLength - FRAME_MIN_LENGTH);
        const int nEventsBefore = int(probe.m_events.size());
        const int nSentBefore = int(sent.size());
        // One byte short: not an answer at all, so neither acted on nor
        // asked for again at once (as a damaged answer would be).
        feed(InstrumentFrame::Build(byReply, payload.chopped(1)));
        QCOMPARE(probe.m_events.size(), nEventsBefore);
        QVERIFY(probe.m_records.isEmpty());
        QCOMPARE(sent.size(), nSentBefore);
        feed(InstrumentFrame::Build(byReply, payload));
        QCOMPARE(probe.m_events.size() + probe.m_records.size(), nEventsBefore + 1);
    }

    // Replies the meter sends unasked: acted on, except a count or a record,
    // which only mean something as the answer to a request of ours.
    void UnaskedReplies()
    {
        MeterLink& link = Open(5);
        Probe probe(link);
        m_pSim->InjectBytes(InstrumentFrame::Build(RSP_WAVE_SET, QByteArray()) +
                            SimRecordSet::BuildReply(1, SimRecordSet::Generated(1)) +
                            InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("0009")) +
                            InstrumentFrame::Build(RSP_DISCONNECTED, QByteArray()));
        QTRY_COMPARE(probe.m_events, (QStringList{"wave set", "disconnected"}));
        QVERIFY(probe.m_records.isEmpty() && !link.IsDownloading());
    }

    // A calibration asked for during a download ends the download (saying
    // how far it came) and goes out itself.
    void DownloadGivenUpForAnotherRequest()
    {
        MeterSimOptions options;
        options.bPace = true;
        LinkPolicy policy;
        policy.nPaceMs = DOWNLOAD_TIMER_PERIOD_MS;
        MeterLink& link = Open(300, options, policy);
        Probe probe(link);
        QVERIFY(link.StartDownload());
        QTRY_VERIFY(probe.m_indexes.size() >= 3);
        QVERIFY(link.SendCalibration(CMD_CAL_OPM, -3.5f));
        QTRY_VERIFY(probe.m_events.contains(QStringLiteral("calibrated 61")));
        QCOMPARE(probe.m_events.filter(QStringLiteral("failed")), QStringList{"failed 70 interrupted"});
        QVERIFY(link.GetRecordsReceived() < 300 && !link.IsDownloading());
        QCOMPARE(m_pSim->GetLastCalibrationValue(), -3.5f);
    }
};

QTEST_GUILESS_MAIN(TestMeterLink)
#include "tst_meterlink.moc"
