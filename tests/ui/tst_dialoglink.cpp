// The real dialog, offscreen, against the simulated meter over a
// pseudo-terminal: port selection, connect, download, calibration, clock,
// every reply message in both languages, and the meter's faults.
#include "link/InstrumentFrame.h"
#include "link/PortNames.h"
#include "records/RecordDecoder.h"
#include "tests/support/TestDirs.h"
#include "sim/MeterSim.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QTimer>
#include <QtTest>

namespace {
QList<MessageBoxCall> g_calls;
QStringList g_boxes; // the texts of g_calls

// Runs the event loop until bDone() holds (QTRY would sleep 10 ms between
// passes, which paces the per-byte hand-over of the driver).
bool WaitFor(const std::function<bool()>& bDone, int nMs = 30000)
{
    const QDeadlineTimer deadline(nMs);
    QTimer tick; // wakes the loop to look again
    tick.start(20);
    while (!bDone() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return bDone();
}
} // namespace

class TestDialogLink : public QObject
{
    Q_OBJECT
private:
    ScopedCurrentDir m_dir; // the dialog's files go here
    std::unique_ptr<MeterSim> m_pSim;
    std::unique_ptr<MeterClientDlg> m_pDlg;

    static bool BoxShown(const QString& strText)
    {
        return WaitFor([&]() { return g_boxes.contains(strText); });
    }
    static QByteArray RecordReply(int nIndex)
    {
        return SimRecordSet::BuildReply(static_cast<quint16>(nIndex), SimRecordSet::Generated(nIndex > 0 ? nIndex : 1));
    }
    // Records 1..nCount as the meter stores them, decoded.
    static QList<MeasurementRecord> ExpectedRows(int nCount, const WavelengthTable& wavelengths = {})
    {
        QList<MeasurementRecord> rows;
        for (int i = 1; i <= nCount; ++i)
            rows.append(DecodeRecord(reinterpret_cast<const quint8*>(RecordReply(i).constData()), wavelengths));
        return rows;
    }
    static QList<MeasurementRecord> ListRows(MeterClientDlg& dlg)
    {
        QList<MeasurementRecord> rows(dlg.m_listRecords->GetItemCount());
        for (int nRow = 0; nRow < rows.size(); ++nRow)
            for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
                rows[nRow].texts[static_cast<size_t>(nCol)] = dlg.m_listRecords->GetItemText(nRow, nCol);
        return rows;
    }
    MeterClientDlg& MakeDialog(int nLanguage, const QStringList& extraNames = {})
    {
        for (const QString& strName : extraNames)
            AddExtraPortName(strName);
        m_pDlg = std::make_unique<MeterClientDlg>();
        m_pDlg->Create();
        m_pDlg->m_nLanguage = Language(nLanguage);
        m_pDlg->ApplyLanguage();
        return *m_pDlg;
    }
    static bool SelectPort(MeterClientDlg& dlg, const QString& strName)
    {
        const int nIndex = dlg.m_comboPort->findText(strName);
        dlg.m_comboPort->SetCurSel(nIndex);
        dlg.OnSelchangeComboPort();
        return nIndex >= 0;
    }
    // The meter with nRecords, the dialog with the meter's port open.
    MeterClientDlg& Connected(int nRecords, int nLanguage = LANGUAGE_ENGLISH, const MeterSimOptions& options = {})
    {
        m_pSim = std::make_unique<MeterSim>();
        m_pSim->Records().Generate(nRecords);
        m_pSim->SetOptions(options);
        if (!m_pSim->Start())
            qFatal("no pseudo-terminal: %s", qPrintable(m_pSim->GetLastError()));
        MeterClientDlg& dlg = MakeDialog(nLanguage, {m_pSim->GetDevicePath()});
        if (!SelectPort(dlg, m_pSim->GetDevicePath()) || !dlg.m_serial.IsOpen())
            qFatal("the meter's line did not open");
        return dlg;
    }
    static void Feed(MeterClientDlg& dlg, const QByteArray& bytes)
    {
        for (char c : bytes)
            dlg.OnPortByte(static_cast<quint8>(c), 1);
    }

private slots:
    void initTestCase()
    {
        SetMessageBoxHook([](const MessageBoxCall& call) { g_calls.append(call), g_boxes.append(call.strText); });
    }
    void init() { g_calls.clear(), g_boxes.clear(); }
    void cleanup() { m_pDlg.reset(), m_pSim.reset(), ClearExtraPortNames(); }

    // Connect, a download of 300 records, disconnect: the rows and every
    // request sent.
    void ConnectDownloadDisconnect()
    {
        const int nRecords = 300;
        MeterClientDlg& dlg = Connected(nRecords, LANGUAGE_CHINESE);
        QTest::mouseClick(dlg.m_btnConnect, Qt::LeftButton);
        QVERIFY(BoxShown(QStringLiteral("连接成功")));
        QVERIFY(dlg.m_bConnected && g_calls.last().bOwned);
        QCOMPARE(dlg.m_wavelengths, MeterSim::DefaultWavelengths());
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("断开连接"));
        QTest::mouseClick(dlg.m_btnRead, Qt::LeftButton);
        QVERIFY(BoxShown(QStringLiteral("功率读取成功")));
        QCOMPARE(ListRows(dlg), ExpectedRows(nRecords, MeterSim::DefaultWavelengths()));
        QCOMPARE(dlg.m_nTimerId, 0);
        QTest::mouseClick(dlg.m_btnConnect, Qt::LeftButton);
        QVERIFY(BoxShown(QStringLiteral("断开连接成功!")));
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("连接"));
        QCOMPARE(g_boxes.size(), 3);
        QList<QByteArray> expected{QByteArray::fromHex("330310BA08"), InstrumentFrame::Build(CMD_READ_COUNT, {})};
        for (int i = 1; i <= nRecords + 1; ++i)
            expected.append(InstrumentFrame::BuildReadRecord(static_cast<quint16>(i)));
        expected.append(QByteArray::fromHex("330320AA08"));
        QCOMPARE(m_pSim->GetRequests(), expected);
    }

    // One button, one request, one reply: the exact bytes and the box. The
    // edit is the calibration value, or year .. second for the clock.
    void OneRequest_data()
    {
        QTest::addColumn<int>("nButton");
        QTest::addColumn<QString>("strEdit");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("strBox");
        const auto Row = [](const char* pszTag, int nButton, const char* pszEdit, const char* pszHex,
                            const char* pszBox) {
            QTest::newRow(pszTag) << nButton << QString(pszEdit) << QByteArray::fromHex(pszHex) << QString(pszBox);
        };
        Row("RL -3.5", IDC_BTN_CAL_RL, "-3.5", "330750000060C05608", "Calibrate the return loss power successfully!");
        Row("OPM -3.5", IDC_BTN_CAL_OPM, "-3.5", "330760000060C04608",
            "Calibrate the return power meter successfully!");
        // Not a number: the previous value (0) still goes out.
        Row("RL not a number", IDC_BTN_CAL_RL, "abc", "330750000000007608",
            "Calibrate the return loss power successfully!");
        Row("clock", IDC_BTN_SET_TIME, "12 05 3 09 05 007", "3309C00C0503090507DB08", "Set time successfully!");
        Row("count 0", IDC_BTN_READ, "", "3303804A08", "No power can be read");
    }
    void OneRequest()
    {
        QFETCH(int, nButton);
        QFETCH(QString, strEdit);
        QFETCH(QByteArray, request);
        const int clock[] = {IDC_EDIT_YEAR, IDC_EDIT_MONTH,  IDC_EDIT_DAY,
                             IDC_EDIT_HOUR, IDC_EDIT_MINUTE, IDC_EDIT_SECOND};
        const QStringList fields = strEdit.split(QLatin1Char(' '));
        const bool bClock = nButton == IDC_BTN_SET_TIME;
        MeterClientDlg& dlg = Connected(0);
        for (int i = 0; i < 6 && bClock; ++i)
            dlg.SetDlgItemText(clock[i], fields[i]);
        if (!bClock && !strEdit.isEmpty())
            dlg.SetDlgItemText(IDC_EDIT_CAL_VALUE, strEdit);
        QTest::mouseClick(dlg.GetDlgItem(nButton), Qt::LeftButton);
        QFETCH(QString, strBox);
        QVERIFY(BoxShown(strBox));
        QTest::qWait(50);
        QCOMPARE(m_pSim->GetRequests(), QList<QByteArray>{request});
        QCOMPARE(dlg.m_nTimerId, 0);
        for (int i = 0; i < 6 && bClock; ++i) // the edits show what went out: 05 as 5
            QCOMPARE(dlg.GetDlgItemText(clock[i]), QString::number(fields[i].toInt()));
    }

    // Nothing open yet: requests are refused, Read still empties the list, a
    // record request that cannot go out stops the download. Then selections
    // open, do nothing, open the port then chosen, in turn; the long name of
    // the first line (over a 29-character slot) opens whole.
    void PortSelection()
    {
        MeterSim simA;
        MeterSim simB;
        QVERIFY(simA.Start() && simB.Start());
        const QString strA = m_dir.Path() + QStringLiteral("/meter-line-with-a-rather-long-name-0123456789");
        QVERIFY(QFile::link(simA.GetDevicePath(), strA));
        const QString strMissing = QStringLiteral("/dev/meterclient-no-such-port");
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH, {strA, simB.GetDevicePath(), "COM-1", strMissing});
        dlg.m_listRecords->InsertItem(0, QStringLiteral("1"));
        for (QWidget* pButton : {dlg.m_btnConnect, dlg.m_btnCalRL, dlg.m_btnCalOPM, dlg.m_btnRead, dlg.m_btnSetTime})
            QTest::mouseClick(pButton, Qt::LeftButton);
        QCOMPARE(g_boxes, QStringList(5, QStringLiteral("COM CANN'T OPEN!")));
        QVERIFY(!g_calls.first().bOwned);
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
        dlg.m_bRequestDue = true;
        dlg.m_nTimerId = 77;
        dlg.OnTimer(77);
        QVERIFY(!dlg.m_bRequestDue);
        g_boxes.clear();
        QVERIFY(SelectPort(dlg, QStringLiteral("COM-1")));
        QCOMPARE(g_boxes, QStringList{"PLEASE SELSECT THE COM PORT!"});
        QVERIFY(!dlg.m_bPortToggle);
        QVERIFY(SelectPort(dlg, strA));
        QVERIFY(SelectPort(dlg, simB.GetDevicePath()));
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Connection success")));
        QVERIFY(SelectPort(dlg, simB.GetDevicePath()));
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Disconnect success!")));
        QCOMPARE(simA.GetRequests(), QList<QByteArray>{QByteArray::fromHex("330310BA08")});
        QCOMPARE(simB.GetRequests(), QList<QByteArray>{QByteArray::fromHex("330320AA08")});
        g_boxes.clear();
        dlg.m_nLanguage = LANGUAGE_CHINESE;
        dlg.ApplyLanguage();
        QVERIFY(SelectPort(dlg, strMissing)); // toggle set: does nothing
        QVERIFY(g_boxes.isEmpty());
        QVERIFY(SelectPort(dlg, strMissing)); // tries, fails, toggle stays set
        QCOMPARE(g_boxes, QStringList{QStringLiteral("串口打不开!")});
        QVERIFY(dlg.m_bPortToggle && !dlg.m_serial.IsOpen());
    }

    // A download of 12 under the meter's faults completes, or stalls with the
    // rows so far and Read again completes it; a hang-up is told and closes
    // the port; a reply still on its way when Read is pressed is dropped.
    void MeterFaults_data()
    {
        QTest::addColumn<QString>("strFault");
        QTest::addColumn<int>("nStallRows"); // -1: completes at once
        QTest::newRow("noise") << "noise" << -1;
        QTest::newRow("split") << "split" << -1;
        QTest::newRow("bad checksum on record 4") << "checksum" << 3;
        QTest::newRow("short record 6") << "short" << 5;
        QTest::newRow("dropped record 2") << "drop" << 1;
        QTest::newRow("hang-up after record 4") << "hangup" << 4;
        QTest::newRow("Read while record 5 is on its way") << "read" << 4;
    }
    void MeterFaults()
    {
        QFETCH(QString, strFault);
        QFETCH(int, nStallRows);
        const int nReply = nStallRows + 2; // replies: count = 1, record j = j + 1
        const bool bHangup = strFault == QLatin1String("hangup");
        MeterSimOptions options;
        options.bNoise = strFault == QLatin1String("noise");
        options.bSplit = strFault == QLatin1String("split");
        options.nSplitGapMs = 1;
        options.nBadChecksumReply = strFault == QLatin1String("checksum") ? nReply : 0;
        options.nShortReply = strFault == QLatin1String("short") ? nReply : 0;
        options.nDropReply = strFault == QLatin1String("drop") ? nReply : 0;
        options.nHangupAfterRecords = bHangup ? nStallRows : 0;
        options.nReplyDelayMs = strFault == QLatin1String("read") ? 40 : 0;
        MeterClientDlg& dlg = Connected(12, LANGUAGE_ENGLISH, options);
        dlg.OnBtnRead();
        if (nStallRows >= 0)
        {
            QVERIFY(WaitFor([&]() { return bHangup ? !g_boxes.isEmpty() : m_pSim->GetRequestCount() >= nReply; }));
            if (options.nReplyDelayMs == 0)
            {
                QTest::qWait(200);
                QCOMPARE(ListRows(dlg), ExpectedRows(nStallRows));
                QCOMPARE(g_boxes.size(), bHangup ? 1 : 0);
            }
            if (bHangup)
            {
                QCOMPARE(g_calls[0].strCaption, QStringLiteral("Application Error"));
                QVERIFY(g_boxes[0].startsWith(QStringLiteral("WARNING:  ReadFile() Failed")));
                g_boxes.clear();
                dlg.OnBtnRead();
                QCOMPARE(g_boxes, QStringList{"COM CANN'T OPEN!"});
                return;
            }
            dlg.OnBtnRead();
        }
        QVERIFY(BoxShown(QStringLiteral("Power reading success")));
        QTest::qWait(50);
        QCOMPARE(ListRows(dlg), ExpectedRows(12));
        QCOMPARE(g_boxes, QStringList{"Power reading success"});
    }

    // Every reply's message in both languages, fed byte by byte after
    // garbage and a long frame that fills the receive buffer: a reply too
    // short for the fields its handler reads must not act on those leftovers.
    void ReplyMessages_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("strEnglish");
        QTest::addColumn<QString>("strChinese");
        const auto Row = [](const char* pszTag, quint8 byCommand, const QByteArray& payload, const char* pszEnglish,
                            const char* pszChinese) {
            QTest::newRow(pszTag) << InstrumentFrame::Build(byCommand, payload) << QString(pszEnglish)
                                  << QString::fromUtf8(pszChinese);
        };
        Row("connected", RSP_CONNECTED, QByteArray(41, '\1'), "Connection success", "连接成功");
        Row("disconnected", RSP_DISCONNECTED, {}, "Disconnect success!", "断开连接成功!");
        Row("cal RL", RSP_CAL_RL_DONE, {}, "Calibrate the return loss power successfully!", "校准回损功率成功!");
        Row("cal OPM", RSP_CAL_OPM_DONE, {}, "Calibrate the return power meter successfully!", "校准功率计功率成功!");
        Row("count 0", RSP_COUNT, QByteArray(2, '\0'), "No power can be read", "没有功率可读取");
        Row("wave set", RSP_WAVE_SET, {}, "Set the wave successfully!", "波长设置成功!");
        Row("clock set", RSP_CLOCK_SET, {}, "Set time successfully!", "时间设置成功!");
        Row("other", 0x31, {}, "", "");
        Row("short connected", RSP_CONNECTED, QByteArray(3, '\0'), "", "");
        Row("short count", RSP_COUNT, {}, "", "");
        Row("short record", RSP_RECORD, QByteArray::fromHex("0001"), "", "");
        QTest::newRow("download end") << RecordReply(2) << "Power reading success" << QStringLiteral("功率读取成功");
    }
    void ReplyMessages()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, strEnglish);
        QFETCH(QString, strChinese);
        for (int nLanguage : {LANGUAGE_ENGLISH, LANGUAGE_CHINESE})
        {
            g_boxes.clear();
            MeterClientDlg& dlg = MakeDialog(nLanguage);
            dlg.m_nRequestIndex = 2; // one beyond a count of 1
            dlg.m_nRecordTotal = 1;
            Feed(dlg, QByteArray("\x01\x02") + InstrumentFrame::Build(0x31, QByteArray(41, '\5')) + frame);
            const QString strText = nLanguage == LANGUAGE_ENGLISH ? strEnglish : strChinese;
            QCOMPARE(g_boxes, strText.isEmpty() ? QStringList() : QStringList{strText});
            QCOMPARE(dlg.m_nTimerId, 0);
            QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
        }
    }

    // The download's edges: record index 0 names no row and is added at the
    // end; with a count of 65535 record 65535 is the last one that can be
    // asked for, so its reply ends the download instead of a request for "0".
    void DownloadEdges()
    {
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH);
        dlg.m_nRecordTotal = 5;
        dlg.m_nRequestIndex = 1;
        Feed(dlg, RecordReply(1) + RecordReply(2) + RecordReply(0));
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 3);
        QCOMPARE(dlg.m_listRecords->GetItemText(2, COL_NUMBER), QStringLiteral("0"));
        dlg.OnBtnRead();
        Feed(dlg, InstrumentFrame::Build(RSP_COUNT, QByteArray::fromHex("FFFF")));
        dlg.m_nRequestIndex = 65535;
        Feed(dlg, RecordReply(65535));
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 1);
        QVERIFY(!dlg.m_bRequestDue);
        QCOMPARE(dlg.m_nTimerId, 0);
        QCOMPARE(g_boxes, QStringList({"COM CANN'T OPEN!", "Power reading success"}));
    }
};

QTEST_MAIN(TestDialogLink)
#include "tst_dialoglink.moc"
