// The real dialog, offscreen, against the simulated meter over a
// pseudo-terminal: port list and selection, connect, download, calibration,
// clock, every reply message in both languages, and the meter's faults.
#include "link/InstrumentFrame.h"
#include "link/PortMessages.h"
#include "link/PortNames.h"
#include "records/RecordDecoder.h"
#include "tests/support/TestDirs.h"
#include "tools/meter-sim/MeterSim.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

namespace {
QList<MessageBoxCall> g_boxes;

QStringList BoxTexts()
{
    QStringList texts;
    for (const MessageBoxCall& call : g_boxes)
        texts.append(call.strText);
    return texts;
}

// Runs the event loop until bDone() holds (QTRY would sleep 10 ms between
// passes, which paces the per-byte hand-over of the driver).
bool WaitFor(const std::function<bool()>& bDone, int nMs = 10000)
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

void Settle(int nMs)
{
    WaitFor([]() { return false; }, nMs);
}

QString Utf8(const char* psz)
{
    return QString::fromUtf8(psz);
}

// A reply frame with any L: payload padded with zeros to L - 3 bytes.
QByteArray Reply(quint8 byCommand, const QByteArray& payload)
{
    return InstrumentFrame::Build(byCommand, payload);
}

QByteArray RecordReply(int nIndex)
{
    return SimRecordSet::BuildReply(static_cast<quint16>(nIndex), SimRecordSet::Generated(nIndex > 0 ? nIndex : 1));
}
} // namespace

class TestDialogLink : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ScopedCurrentDir> m_pDir;
    std::unique_ptr<MeterSim> m_pSim;
    std::unique_ptr<MeterClientDlg> m_pDlg;

    // A dialog set up as the program does it, with the meter's line listed
    // first in the port list.
    MeterClientDlg& MakeDialog(int nLanguage, const QStringList& extraNames)
    {
        for (const QString& strName : extraNames)
            AddExtraPortName(strName);
        m_pDlg = std::make_unique<MeterClientDlg>();
        m_pDlg->Create();
        m_pDlg->m_nLanguage = nLanguage;
        m_pDlg->ApplyLanguage();
        return *m_pDlg;
    }
    MeterSim& StartSim(int nRecords, const MeterSimOptions& options = MeterSimOptions())
    {
        m_pSim = std::make_unique<MeterSim>();
        m_pSim->Records().Generate(nRecords);
        m_pSim->SetOptions(options);
        if (!m_pSim->Start())
            qFatal("no pseudo-terminal: %s", qPrintable(m_pSim->GetLastError()));
        return *m_pSim;
    }
    static bool SelectPort(MeterClientDlg& dlg, const QString& strName)
    {
        const int nIndex = dlg.m_comboPort->findText(strName);
        if (nIndex < 0)
            return false;
        dlg.m_comboPort->SetCurSel(nIndex);
        dlg.OnSelchangeComboPort();
        return true;
    }
    // Meter with nRecords, dialog in nLanguage with the meter's port open.
    MeterClientDlg& Connected(int nRecords, int nLanguage = LANGUAGE_ENGLISH,
                              const MeterSimOptions& options = MeterSimOptions())
    {
        MeterSim& sim = StartSim(nRecords, options);
        MeterClientDlg& dlg = MakeDialog(nLanguage, {sim.GetDevicePath()});
        if (!SelectPort(dlg, sim.GetDevicePath()) || !dlg.m_serial.IsOpen())
            qFatal("the meter's line did not open");
        return dlg;
    }
    static void Feed(MeterClientDlg& dlg, const QByteArray& bytes)
    {
        for (char c : bytes)
        {
            PortMessageEvent event(WM_PORT_BYTE, static_cast<quint8>(c), 1);
            QCoreApplication::sendEvent(&dlg, &event);
        }
    }
    static bool BoxShown(const QString& strText, int nMs = 10000)
    {
        return WaitFor([&]() { return BoxTexts().contains(strText); }, nMs);
    }
    // Expected rows of records 1..nCount as the meter stores them.
    static QList<MeasurementRecord> ExpectedRows(int nCount, const WavelengthTable& wavelengths)
    {
        QList<MeasurementRecord> rows;
        for (int i = 1; i <= nCount; ++i)
        {
            const QByteArray frame = RecordReply(i);
            rows.append(DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), wavelengths));
        }
        return rows;
    }
    static QList<MeasurementRecord> ListRows(MeterClientDlg& dlg)
    {
        QList<MeasurementRecord> rows;
        for (int nRow = 0; nRow < dlg.m_listRecords->GetItemCount(); ++nRow)
        {
            MeasurementRecord record;
            for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
                record.texts[static_cast<size_t>(nCol)] = dlg.m_listRecords->GetItemText(nRow, nCol);
            rows.append(record);
        }
        return rows;
    }
    static QList<int> RecordRequestIndexes(const MeterSim& sim)
    {
        QList<int> indexes;
        for (const QByteArray& request : sim.GetRequests())
            if (static_cast<quint8>(request.at(FRAME_POS_COMMAND)) == CMD_READ_RECORD)
                indexes.append(ReadU16BE(reinterpret_cast<const quint8*>(request.constData()) + 3));
        return indexes;
    }

private slots:
    void init()
    {
        m_pDir = std::make_unique<ScopedCurrentDir>();
        g_boxes.clear();
        SetMessageBoxHook([](const MessageBoxCall& call) { g_boxes.append(call); });
    }
    void cleanup()
    {
        m_pDlg.reset();
        m_pSim.reset();
        ClearExtraPortNames();
        SetMessageBoxHook({});
        m_pDir.reset();
    }

    // The captions and boxes in both languages are checked by
    // ReplyMessages; here the round trip with the meter.
    void ConnectAndDisconnect()
    {
        MeterClientDlg& dlg = Connected(3, LANGUAGE_CHINESE);
        QTest::mouseClick(dlg.m_btnConnect, Qt::LeftButton);
        QVERIFY(BoxShown(Utf8("连接成功")));
        QVERIFY(dlg.m_bConnected);
        QCOMPARE(dlg.m_wavelengths, MeterSim::DefaultWavelengths());
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), Utf8("断开连接"));
        QVERIFY(g_boxes.last().bOwned);

        QTest::mouseClick(dlg.m_btnConnect, Qt::LeftButton);
        QVERIFY(BoxShown(Utf8("断开连接成功!")));
        QVERIFY(!dlg.m_bConnected);
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), Utf8("连接"));
        QCOMPARE(m_pSim->GetRequests(),
                 (QList<QByteArray>{QByteArray::fromHex("330310BA08"), QByteArray::fromHex("330320AA08")}));
        QCOMPARE(g_boxes.size(), 2);
    }

    void DownloadGivesEveryRecord()
    {
        const int nRecords = 300;
        MeterClientDlg& dlg = Connected(nRecords);
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Connection success")));
        dlg.m_listRecords->InsertItem(0, QStringLiteral("stale"));
        QTest::mouseClick(dlg.m_btnRead, Qt::LeftButton);
        QVERIFY(BoxShown(QStringLiteral("Power reading success"), 30000));
        QCOMPARE(ListRows(dlg), ExpectedRows(nRecords, MeterSim::DefaultWavelengths()));
        QList<int> expected;
        for (int i = 1; i <= nRecords + 1; ++i)
            expected.append(i);
        QCOMPARE(RecordRequestIndexes(*m_pSim), expected);
        QCOMPARE(dlg.m_nTimerId, 0);
        QCOMPARE(g_boxes.size(), 2);
    }

    void CountZeroReadsNothing()
    {
        MeterClientDlg& dlg = Connected(0, LANGUAGE_CHINESE);
        dlg.OnBtnRead();
        QVERIFY(BoxShown(Utf8("没有功率可读取")));
        Settle(100);
        QCOMPARE(dlg.m_nTimerId, 0);
        QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), 0);
    }

    void Calibration_data()
    {
        QTest::addColumn<bool>("bRl");
        QTest::addColumn<QString>("strEdit");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("strReply");
        QTest::newRow("RL -3.5") << true << "-3.5" << QByteArray::fromHex("3307500000 60C05608")
                                 << "Calibrate the return loss power successfully!";
        QTest::newRow("OPM -3.5") << false << "-3.5" << QByteArray::fromHex("3307600000 60C04608")
                                  << "Calibrate the return power meter successfully!";
        // Text that is not a number: the data exchange says so, and the
        // previous value (0) still goes out.
        QTest::newRow("RL not a number") << true << "abc" << QByteArray::fromHex("330750000000007608")
                                         << "Calibrate the return loss power successfully!";
    }
    void Calibration()
    {
        QFETCH(bool, bRl);
        QFETCH(QString, strEdit);
        QFETCH(QByteArray, frame);
        QFETCH(QString, strReply);
        MeterClientDlg& dlg = Connected(0);
        dlg.SetDlgItemText(IDC_EDIT_CAL_VALUE, strEdit);
        QTest::mouseClick(bRl ? dlg.m_btnCalRL : dlg.m_btnCalOPM, Qt::LeftButton);
        QVERIFY(BoxShown(strReply));
        QCOMPARE(m_pSim->GetRequests(), QList<QByteArray>{frame});
        QVERIFY(!dlg.m_bConnected);
    }

    void SetClockSendsEditsAndWritesBack()
    {
        MeterClientDlg& dlg = Connected(0, LANGUAGE_CHINESE);
        const QList<QPair<int, QString>> edits = {{IDC_EDIT_YEAR, "12"},   {IDC_EDIT_MONTH, "05"},
                                                  {IDC_EDIT_DAY, "3"},     {IDC_EDIT_HOUR, "09"},
                                                  {IDC_EDIT_MINUTE, "05"}, {IDC_EDIT_SECOND, "007"}};
        for (const auto& edit : edits)
            dlg.SetDlgItemText(edit.first, edit.second);
        QTest::mouseClick(dlg.m_btnSetTime, Qt::LeftButton);
        QVERIFY(BoxShown(Utf8("时间设置成功!")));
        QCOMPARE(m_pSim->GetRequests().value(0), QByteArray::fromHex("3309C00C0503090507DB08"));
        QCOMPARE(dlg.GetDlgItemText(IDC_EDIT_MONTH), QStringLiteral("5"));
        QCOMPARE(dlg.GetDlgItemText(IDC_EDIT_SECOND), QStringLiteral("7"));
    }

    // No port open: each request says so and sends nothing; Read still
    // empties the list.
    void NoPortOpen_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<QString>("strText");
        QTest::newRow("English") << LANGUAGE_ENGLISH << "COM CANN'T OPEN!";
        QTest::newRow("Chinese") << LANGUAGE_CHINESE << Utf8("串口打不开!");
    }
    void NoPortOpen()
    {
        QFETCH(int, nLanguage);
        QFETCH(QString, strText);
        MeterClientDlg& dlg = MakeDialog(nLanguage, {});
        // No port found: the template's items stay.
        const QStringList system = EnumeratePortNames();
        QCOMPARE(dlg.m_nPortCount, int(system.size()));
        if (system.isEmpty())
        {
            QCOMPARE(dlg.m_comboPort->GetCount(), 5);
            QCOMPARE(dlg.m_comboPort->GetLBText(4), QStringLiteral("COM5"));
        }
        dlg.m_listRecords->InsertItem(0, QStringLiteral("1"));
        for (HoverButton* pButton :
             {dlg.m_btnConnect, dlg.m_btnCalRL, dlg.m_btnCalOPM, dlg.m_btnRead, dlg.m_btnSetTime})
            QTest::mouseClick(pButton, Qt::LeftButton);
        QCOMPARE(BoxTexts(), QStringList(5, strText));
        QVERIFY(!g_boxes.first().bOwned);
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
        // A download request that cannot go out stops the download there.
        dlg.m_bRequestDue = true;
        dlg.m_nTimerId = 77;
        dlg.OnTimer(77);
        QCOMPARE(dlg.m_nRequestIndex, 1);
        QVERIFY(!dlg.m_bRequestDue);
    }

    // First selection opens, second does nothing, third opens the port then
    // chosen; a negative number and a port that will not open are told.
    void PortSelectionToggles()
    {
        MeterSim& simA = StartSim(0);
        MeterSim simB;
        QVERIFY(simB.Start());
        const QString strMissing = QStringLiteral("/dev/meterclient-no-such-port");
        MeterClientDlg& dlg =
            MakeDialog(LANGUAGE_ENGLISH, {simA.GetDevicePath(), simB.GetDevicePath(), "COM-1", strMissing});
        QVERIFY(SelectPort(dlg, QStringLiteral("COM-1")));
        QCOMPARE(BoxTexts(), QStringList{"PLEASE SELSECT THE COM PORT!"});
        QVERIFY(!dlg.m_bPortToggle);

        QVERIFY(SelectPort(dlg, simA.GetDevicePath()));
        QVERIFY(SelectPort(dlg, simB.GetDevicePath()));
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Connection success")));
        QVERIFY(SelectPort(dlg, simB.GetDevicePath()));
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Disconnect success!")));
        QCOMPARE(simA.GetRequests(), QList<QByteArray>{QByteArray::fromHex("330310BA08")});
        QCOMPARE(simB.GetRequests(), QList<QByteArray>{QByteArray::fromHex("330320AA08")});

        // Toggle now true: the next selection does nothing ...
        g_boxes.clear();
        QVERIFY(SelectPort(dlg, strMissing));
        QVERIFY(g_boxes.isEmpty());
        // ... the one after tries, fails, and leaves the toggle true.
        QVERIFY(SelectPort(dlg, strMissing));
        QCOMPARE(BoxTexts(), QStringList{"COM CANN'T OPEN!"});
        QVERIFY(dlg.m_bPortToggle);
        QVERIFY(!dlg.m_serial.IsOpen());
    }

    // A name longer than a 29-character slot is listed and opened whole.
    void LongPortNameOpens()
    {
        MeterSim& sim = StartSim(0);
        const QString strLong = m_pDir->Path() + QStringLiteral("/meter-line-with-a-rather-long-name-0123456789");
        QVERIFY(QFile::link(sim.GetDevicePath(), strLong));
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH, {strLong});
        QCOMPARE(QByteArray(dlg.m_portNames[0]), strLong.toUtf8().left(PORT_NAME_LENGTH - 1));
        QVERIFY(SelectPort(dlg, strLong));
        dlg.OnBtnConnect();
        QVERIFY(BoxShown(QStringLiteral("Connection success")));
    }

    // The meter's faults: the download either completes, or stalls with the
    // rows so far; pressing Read again then starts over and completes.
    void MeterFaults_data()
    {
        QTest::addColumn<QString>("strFault");
        QTest::addColumn<int>("nStallRows"); // -1: completes at once
        QTest::newRow("noise") << "noise" << -1;
        QTest::newRow("split") << "split" << -1;
        QTest::newRow("bad checksum on record 4") << "checksum" << 3;
        QTest::newRow("short record 6") << "short" << 5;
        QTest::newRow("dropped record 2") << "drop" << 1;
    }
    void MeterFaults()
    {
        QFETCH(QString, strFault);
        QFETCH(int, nStallRows);
        const int nRecords = 12;
        MeterSimOptions options;
        // Replies: count = 1, record j = j + 1.
        options.bNoise = strFault == QLatin1String("noise");
        options.bSplit = strFault == QLatin1String("split");
        options.nSplitGapMs = 1;
        if (strFault == QLatin1String("checksum"))
            options.nBadChecksumReply = nStallRows + 2;
        if (strFault == QLatin1String("short"))
            options.nShortReply = nStallRows + 2;
        if (strFault == QLatin1String("drop"))
            options.nDropReply = nStallRows + 2;
        MeterClientDlg& dlg = Connected(nRecords, LANGUAGE_ENGLISH, options);
        const QList<MeasurementRecord> expected = ExpectedRows(nRecords, WavelengthTable{});
        dlg.OnBtnRead();
        if (nStallRows >= 0)
        {
            QVERIFY(WaitFor([&]() { return m_pSim->GetRequestCount() >= nStallRows + 2; }));
            Settle(300);
            QCOMPARE(ListRows(dlg), expected.mid(0, nStallRows));
            QVERIFY(!dlg.m_bRequestDue);
            QVERIFY(g_boxes.isEmpty());
            dlg.OnBtnRead();
        }
        QVERIFY(BoxShown(QStringLiteral("Power reading success"), 30000));
        QCOMPARE(ListRows(dlg), expected);
        QCOMPARE(BoxTexts(), QStringList{"Power reading success"});
    }

    // Read pressed during a download starts over cleanly: the reply still
    // on its way is not put into the emptied list.
    void ReadAgainDuringDownload()
    {
        const int nRecords = 30;
        MeterSimOptions options;
        options.nReplyDelayMs = 40;
        MeterClientDlg& dlg = Connected(nRecords, LANGUAGE_ENGLISH, options);
        dlg.OnBtnRead();
        // Record 5 asked for, its reply not yet sent.
        QVERIFY(WaitFor([&]() { return m_pSim->GetRequestCount() == 6; }));
        dlg.OnBtnRead();
        QVERIFY(BoxShown(QStringLiteral("Power reading success")));
        Settle(100);
        QCOMPARE(ListRows(dlg), ExpectedRows(nRecords, WavelengthTable{}));
        QCOMPARE(g_boxes.size(), 1);
    }

    // The meter hangs up mid-download: the rows so far stay, the driver says
    // what happened, and the next request finds the port closed.
    void MeterHangsUp()
    {
        MeterSimOptions options;
        options.nHangupAfterRecords = 4;
        MeterClientDlg& dlg = Connected(10, LANGUAGE_ENGLISH, options);
        dlg.OnBtnRead();
        QVERIFY(WaitFor([&]() {
            return std::any_of(g_boxes.begin(), g_boxes.end(), [](const MessageBoxCall& call) {
                return call.strCaption == QLatin1String("Application Error");
            });
        }));
        QCOMPARE(ListRows(dlg), ExpectedRows(4, WavelengthTable{}));
        QVERIFY(g_boxes.last().strText.startsWith(QStringLiteral("WARNING:  ReadFile() Failed")));
        g_boxes.clear();
        dlg.OnBtnRead();
        QCOMPARE(BoxTexts(), QStringList{"COM CANN'T OPEN!"});
    }

    // Every reply's message in both languages, fed byte by byte.
    void ReplyMessages_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("strEnglish");
        QTest::addColumn<QString>("strChinese");
        QTest::newRow("connected") << Reply(RSP_CONNECTED, QByteArray(41, '\1')) << "Connection success"
                                   << Utf8("连接成功");
        QTest::newRow("disconnected") << Reply(RSP_DISCONNECTED, {}) << "Disconnect success!" << Utf8("断开连接成功!");
        QTest::newRow("cal RL") << Reply(RSP_CAL_RL_DONE, {}) << "Calibrate the return loss power successfully!"
                                << Utf8("校准回损功率成功!");
        QTest::newRow("cal OPM") << Reply(RSP_CAL_OPM_DONE, {}) << "Calibrate the return power meter successfully!"
                                 << Utf8("校准功率计功率成功!");
        QTest::newRow("count 0") << Reply(RSP_COUNT, QByteArray(2, '\0')) << "No power can be read"
                                 << Utf8("没有功率可读取");
        QTest::newRow("download end") << RecordReply(2) << "Power reading success" << Utf8("功率读取成功");
        QTest::newRow("wave set") << Reply(RSP_WAVE_SET, {}) << "Set the wave successfully!" << Utf8("波长设置成功!");
        QTest::newRow("clock set") << Reply(RSP_CLOCK_SET, {}) << "Set time successfully!" << Utf8("时间设置成功!");
        QTest::newRow("other") << Reply(0x31, {}) << QString() << QString();
    }
    void ReplyMessages()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, strEnglish);
        QFETCH(QString, strChinese);
        for (int nLanguage : {LANGUAGE_ENGLISH, LANGUAGE_CHINESE})
        {
            g_boxes.clear();
            MeterClientDlg& dlg = MakeDialog(nLanguage, {});
            dlg.m_nRequestIndex = 2; // one beyond a count of 1
            dlg.m_nRecordTotal = 1;
            Feed(dlg, QByteArray("\x01\x02") + frame);
            const QString strText = nLanguage == LANGUAGE_ENGLISH ? strEnglish : strChinese;
            QCOMPARE(BoxTexts(), strText.isEmpty() ? QStringList() : QStringList{strText});
        }
    }

    // A reply shorter than the fields its handler reads is ignored, even
    // when an earlier, longer frame left those positions filled.
    void ShortReplyIsIgnored()
    {
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH, {});
        QByteArray table;
        for (int i = 0; i < WAVELENGTH_COUNT; ++i)
            table.append(char(0x05)).append(char(i));
        Feed(dlg, Reply(RSP_CONNECTED, QByteArray(1, '\0') + table));
        QCOMPARE(dlg.m_wavelengths[19], 0x0513u);
        g_boxes.clear();
        dlg.m_bConnected = false;
        Feed(dlg, Reply(RSP_CONNECTED, QByteArray(3, '\0')));
        Feed(dlg, Reply(RSP_COUNT, {}));
        Feed(dlg, Reply(RSP_RECORD, QByteArray::fromHex("0001")));
        QVERIFY(g_boxes.isEmpty());
        QVERIFY(!dlg.m_bConnected);
        QCOMPARE(dlg.m_nRecordTotal, 0);
        QCOMPARE(dlg.m_nTimerId, 0);
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
    }

    // Index 0 names no row: it is added at the end, the others stay put.
    void RecordIndexZeroGoesLast()
    {
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH, {});
        dlg.m_nRecordTotal = 5;
        dlg.m_nRequestIndex = 1;
        Feed(dlg, RecordReply(1) + RecordReply(2) + RecordReply(0));
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 3);
        QCOMPARE(dlg.m_listRecords->GetItemText(0, COL_NUMBER), QStringLiteral("1"));
        QCOMPARE(dlg.m_listRecords->GetItemText(1, COL_NUMBER), QStringLiteral("2"));
        QCOMPARE(dlg.m_listRecords->GetItemText(2, COL_NUMBER), QStringLiteral("0"));
    }

    // A count of 65535: record 65535 is the last one that can be asked for,
    // so its reply ends the download instead of a request for "0".
    void LastRequestableRecordEndsDownload()
    {
        MeterClientDlg& dlg = MakeDialog(LANGUAGE_ENGLISH, {});
        Feed(dlg, Reply(RSP_COUNT, QByteArray::fromHex("FFFF")));
        QCOMPARE(dlg.m_nRecordTotal, 65535);
        QVERIFY(dlg.m_nTimerId != 0);
        dlg.m_nRequestIndex = 65534;
        Feed(dlg, RecordReply(65534));
        QVERIFY(dlg.m_bRequestDue);
        dlg.m_nRequestIndex = 65535;
        Feed(dlg, RecordReply(65535));
        QCOMPARE(dlg.m_listRecords->GetItemCount(), 2);
        QVERIFY(!dlg.m_bRequestDue);
        QCOMPARE(dlg.m_nTimerId, 0);
        QCOMPARE(BoxTexts(), QStringList{"Power reading success"});
        dlg.m_bRequestDue = true;
        dlg.m_nTimerId = 5;
        dlg.OnTimer(5);
        QCOMPARE(dlg.m_nRequestIndex, 65535);
    }
};

QTEST_MAIN(TestDialogLink)
#include "tst_dialoglink.moc"
