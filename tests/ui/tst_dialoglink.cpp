// The real dialog against the simulated meter over a pseudo-terminal, driven
// by clicks and keys: picking the port, connect, download, calibration and
// clock, every reply message in both languages, entries that are refused,
// a meter that falls silent, a line that is lost and plugged in again, and
// leaving with rows that were not saved.
#include "UiDriver.h"

#include "link/InstrumentFrame.h"
#include "link/PortNames.h"
#include "records/RecordDecoder.h"
#include "sim/MeterSim.h"
#include "ui/ControlIds.h"

using namespace UiDriver;

namespace {
// Records 1..nCount as the list shows them after a download.
QList<QStringList> ExpectedRows(int nCount)
{
    QList<QStringList> rows;
    for (int i = 1; i <= nCount; ++i)
    {
        const QByteArray reply = SimRecordSet::BuildReply(quint16(i), SimRecordSet::Generated(i));
        const MeasurementRecord record =
            DecodeRecord(reinterpret_cast<const quint8*>(reply.constData()), MeterSim::DefaultWavelengths());
        rows << QStringList(record.texts.begin(), record.texts.end());
    }
    return rows;
}

QString Status(MeterClientDlg& dlg)
{
    return dlg.GetDlgItem(IDC_STATIC_STATUS)->isHidden() ? QString() : dlg.GetDlgItemText(IDC_STATIC_STATUS);
}
} // namespace

class TestDialogLink : public QObject, DialogFixture
{
    Q_OBJECT
    std::unique_ptr<MeterSim> m_pSim;

    MeterSim& StartMeter(int nRecords, const MeterSimOptions& options = {})
    {
        m_pSim = std::make_unique<MeterSim>();
        m_pSim->Records().Generate(nRecords);
        m_pSim->SetOptions(options);
        if (!m_pSim->Start())
            qFatal("no pseudo-terminal: %s", qPrintable(m_pSim->GetLastError()));
        AddExtraPortName(m_pSim->GetDevicePath());
        return *m_pSim;
    }
    // The dialog in nLanguage, shown, with the meter's port picked from the list.
    MeterClientDlg& Dialog(int nRecords, int nLanguage = 1, const MeterSimOptions& options = {})
    {
        StartMeter(nRecords, options);
        if (!Choose(Combo(Show(nLanguage), IDC_COMBO_PORT), m_pSim->GetDevicePath()))
            qFatal("the meter's port is not in the list");
        return *m_pDlg;
    }
    QStringList Boxes() const { return m_pWatcher->Texts(); }
    bool WaitForBox(const char* pszText) const { return m_pWatcher->WaitForBox(QString::fromUtf8(pszText)); }

private slots:
    void init() { SetUp(); }
    void cleanup()
    {
        m_pDlg.reset(), m_pSim.reset();
        TearDown();
        ClearExtraPortNames();
    }

    // Connect, a download of 300 records with its progress, another language,
    // disconnect; the values read with a decimal point on a comma-decimal desktop.
    void ConnectDownloadDisconnect()
    {
        MeterClientDlg& dlg = Dialog(300, 2);
        Click(dlg, IDC_BTN_CONNECT);
        QVERIFY(WaitForBox("连接成功"));
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QString::fromUtf8("断开连接"));
        QVERIFY(m_pWatcher->m_boxes[0].bOwned);
        Click(dlg, IDC_BTN_READ);
        QTRY_VERIFY(Status(dlg).startsWith(QString::fromUtf8("正在读取记录 ")));
        QVERIFY(Status(dlg).endsWith(QStringLiteral(" / 300")));
        QVERIFY(WaitForBox("功率读取成功"));
        QCOMPARE(Status(dlg), QString());
        QCOMPARE(Rows(dlg), ExpectedRows(300));
        QVERIFY(Rows(dlg)[0][COL_VALUE].contains(QLatin1Char('.')));
        QCOMPARE(m_pSim->GetRequestCount(CMD_READ_RECORD), 301);
        // Another language: the rows stay, and the button still offers to disconnect.
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_LANGUAGE), QStringLiteral("English")));
        QTRY_COMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("Disconnect"));
        QCOMPARE(Rows(dlg), ExpectedRows(300));
        Click(dlg, IDC_BTN_CONNECT);
        QVERIFY(WaitForBox("Disconnect success!"));
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("Connect"));
        QCOMPARE(Boxes(), QString::fromUtf8("连接成功,功率读取成功,Disconnect success!").split(','));
        QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 1);
    }

    // The calibrations and the clock: the bytes the meter gets, the boxes
    // of its replies in both languages, and "07" shown as 7 after sending.
    void CalibrateAndSetClock_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("English") << 1
                                 << QStringList{"Calibrate the return loss power successfully!",
                                                "Calibrate the return power meter successfully!",
                                                "Set time successfully!"};
        QTest::newRow("Chinese") << 2
                                 << QString::fromUtf8("校准回损功率成功!,校准功率计功率成功!,时间设置成功!").split(',');
    }
    void CalibrateAndSetClock()
    {
        QFETCH(int, nLanguage);
        QFETCH(QStringList, boxes);
        MeterClientDlg& dlg = Dialog(1, nLanguage);
        Type(dlg, IDC_EDIT_CAL_VALUE, QStringLiteral("-3.5"));
        Click(dlg, IDC_BTN_CAL_RL);
        QVERIFY(m_pWatcher->WaitForBox(boxes[0]));
        QCOMPARE(m_pSim->GetLastCalibrationBytes(), QByteArray::fromHex("000060C0"));
        Type(dlg, IDC_EDIT_CAL_VALUE, QStringLiteral("12.25"));
        Click(dlg, IDC_BTN_CAL_OPM);
        QVERIFY(m_pWatcher->WaitForBox(boxes[1]));
        QCOMPARE(m_pSim->GetLastCalibrationValue(), 12.25f);
        const int ids[] = {IDC_EDIT_YEAR, IDC_EDIT_MONTH,  IDC_EDIT_DAY,
                           IDC_EDIT_HOUR, IDC_EDIT_MINUTE, IDC_EDIT_SECOND};
        const char* typed[] = {"12", "05", "03", "09", "05", "07"};
        for (int i = 0; i < 6; ++i)
            Type(dlg, ids[i], QString::fromLatin1(typed[i]));
        Click(dlg, IDC_BTN_SET_TIME);
        QVERIFY(m_pWatcher->WaitForBox(boxes[2]));
        QCOMPARE(m_pSim->GetClockBytes(), QByteArray::fromHex("0C0503090507"));
        QCOMPARE(Edit(dlg, IDC_EDIT_SECOND)->text(), QStringLiteral("7"));
        QCOMPARE(Boxes(), boxes);
    }

    // An entry that is refused sends nothing: the box names what is wrong,
    // the focus goes to it, and every entry keeps what was typed.
    void RefusedEntriesSendNothing_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<int>("nField");
        QTest::addColumn<QString>("strTyped");
        QTest::addColumn<int>("nButton");
        QTest::addColumn<QString>("strBox");
        QTest::newRow("letters to calibrate")
            << 1 << IDC_EDIT_CAL_VALUE << "abc" << IDC_BTN_CAL_RL << "Please enter a number.";
        QTest::newRow("bad calibration, set time")
            << 1 << IDC_EDIT_CAL_VALUE << "1,5x" << IDC_BTN_SET_TIME << "Please enter a number.";
        QTest::newRow("month 13") << 1 << IDC_EDIT_MONTH << "13" << IDC_BTN_SET_TIME
                                  << "The month 13 is not valid: enter 1 to 12.";
        QTest::newRow("hour 25") << 2 << IDC_EDIT_HOUR << "25" << IDC_BTN_SET_TIME
                                 << QString::fromUtf8("小时 25 无效：请输入 0 到 23。");
        QTest::newRow("year 100") << 1 << IDC_EDIT_YEAR << "100" << IDC_BTN_SET_TIME
                                  << "The year 100 is not valid: enter 0 to 99 (for 2000 to 2099).";
    }
    void RefusedEntriesSendNothing()
    {
        QFETCH(int, nLanguage);
        QFETCH(int, nField);
        QFETCH(QString, strTyped);
        QFETCH(int, nButton);
        QFETCH(QString, strBox);
        MeterClientDlg& dlg = Dialog(1, nLanguage);
        QMap<int, QString> typed = {{IDC_EDIT_YEAR, "24"},    {IDC_EDIT_MONTH, "5"},  {IDC_EDIT_DAY, "3"},
                                    {IDC_EDIT_HOUR, "9"},     {IDC_EDIT_MINUTE, "5"}, {IDC_EDIT_SECOND, "07"},
                                    {IDC_EDIT_CAL_VALUE, "2"}};
        typed[nField] = strTyped;
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            Type(dlg, it.key(), it.value());
        Click(dlg, nButton);
        QVERIFY(m_pWatcher->WaitForBox(strBox));
        QTRY_COMPARE(dlg.focusWidget(), dlg.GetDlgItem(nField));
        for (auto it = typed.cbegin(); it != typed.cend(); ++it)
            QCOMPARE(Edit(dlg, it.key())->text(), it.value());
        // What the meter got: only the connection of Read, asked for now.
        Click(dlg, IDC_BTN_READ);
        QVERIFY(WaitForBox(nLanguage == 1 ? "Power reading success" : "功率读取成功"));
        QCOMPARE(m_pSim->GetRequestCount(CMD_CAL_RL) + m_pSim->GetRequestCount(CMD_SET_CLOCK), 0);
        QCOMPARE(Boxes().size(), 2);
    }

    // A download, started by Read without a Connect (the wavelengths are the
    // meter's, not 0nm), that cannot finish says how far it came; the rows
    // stay. A lost line also shows the driver's reason and puts the link
    // down: Read says the port is closed (keeping the rows), and the meter
    // plugged in again works with one pick of its port and one Connect.
    void DownloadTrouble_data()
    {
        QTest::addColumn<int>("nHangup");
        QTest::addColumn<int>("nSilentAfter");
        QTest::newRow("the meter falls silent") << 0 << 25;
        QTest::newRow("the line is lost") << 40 << 0;
    }
    void DownloadTrouble()
    {
        QFETCH(int, nHangup);
        QFETCH(int, nSilentAfter);
        MeterSimOptions options;
        options.nHangupAfterRecords = nHangup;
        options.bPace = nSilentAfter > 0; // slow enough to fall silent part-way
        MeterClientDlg& dlg = Dialog(100, 1, options);
        Click(dlg, IDC_BTN_READ);
        if (nSilentAfter > 0)
        {
            QTRY_VERIFY_WITH_TIMEOUT(Rows(dlg).size() >= nSilentAfter, 30000);
            m_pSim->SetAutoReply(false);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!Boxes().isEmpty() && !Boxes().last().startsWith(QLatin1String("WARNING")), 30000);
        const int nRows = int(Rows(dlg).size());
        QCOMPARE(Rows(dlg), ExpectedRows(nRows));
        QCOMPARE(Status(dlg), QString());
        const QString strEnd = QStringLiteral("%1 of 100 records arrived; they stay in the list.").arg(nRows);
        QVERIFY2(Boxes().last().endsWith(strEnd), qPrintable(Boxes().last()));
        if (nHangup == 0)
        {
            QVERIFY(Boxes().last().startsWith(QStringLiteral("The download is incomplete: the meter stopped")));
            return;
        }
        QCOMPARE(nRows, nHangup);
        QCOMPARE(m_pWatcher->m_boxes[0].strTitle, QStringLiteral("Application Error"));
        QVERIFY(Boxes()[0].startsWith(QStringLiteral("WARNING:  ReadFile() Failed with the following error: \n")));
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("Connect"));
        Click(dlg, IDC_BTN_READ);
        QVERIFY(WaitForBox("COM CANN'T OPEN!"));
        QCOMPARE(Rows(dlg).size(), nHangup);

        StartMeter(5);
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_PORT), m_pSim->GetDevicePath()));
        Click(dlg, IDC_BTN_CONNECT);
        QVERIFY(WaitForBox("Connection success"));
    }

    // Only a pick from the list opens a port: every second pick does nothing
    // (the port open stays open), a typed name opens none, and a port that
    // cannot be opened is explained. The list picks up a port plugged in
    // after start when it opens.
    void PickingPorts()
    {
        MeterClientDlg& dlg = Dialog(3);
        const std::unique_ptr<MeterSim> pFirst = std::move(m_pSim);
        StartMeter(4);                                                        // plugged in after start
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_PORT), m_pSim->GetDevicePath())); // the second pick: nothing
        Click(dlg, IDC_BTN_CONNECT);
        QTRY_COMPARE(pFirst->GetRequestCount(CMD_CONNECT), 1);
        QVERIFY(WaitForBox("Connection success"));
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_PORT), m_pSim->GetDevicePath())); // the third: opens it
        Click(dlg, IDC_BTN_READ);
        QVERIFY(WaitForBox("Power reading success"));
        QCOMPARE(Rows(dlg), ExpectedRows(4)); // the first meter's link is up: no new connect
        QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 0);

        // A name typed into the list's edit is not a pick.
        m_pWatcher->Clear();
        MeterClientDlg& typed = Show();
        Type(Combo(typed, IDC_COMBO_PORT)->lineEdit(), pFirst->GetDevicePath());
        QTest::keyClick(Combo(typed, IDC_COMBO_PORT)->lineEdit(), Qt::Key_Tab);
        Click(typed, IDC_BTN_CONNECT);
        QVERIFY(WaitForBox("COM CANN'T OPEN!"));

        AddExtraPortName(QStringLiteral("/dev/ttyNoSuchPort0"));
        QVERIFY(Choose(Combo(typed, IDC_COMBO_PORT), QStringLiteral("/dev/ttyNoSuchPort0")));
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 2);
        QCOMPARE(m_pWatcher->m_boxes[1].strText, QStringLiteral("COM CANN'T OPEN!"));
        QCOMPARE(m_pWatcher->m_boxes[1].strDetail,
                 QStringLiteral("No serial port /dev/ttyNoSuchPort0. Is the cable plugged in?"));
    }

    // Read before any Connect connects on its own, without a box of its own.
    // Rows just downloaded are not lost to a stray key: Esc, Exit and the
    // close box each ask first and No keeps the dialog; Yes ends it.
    void LeavingAsksForUnsavedRows()
    {
        MeterClientDlg& dlg = Dialog(5);
        QSignalSpy finished(&dlg, &QDialog::finished);
        Click(dlg, IDC_BTN_READ);
        QVERIFY(WaitForBox("Power reading success"));
        QCOMPARE(Boxes(), QStringList{"Power reading success"});
        QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QStringLiteral("Disconnect"));
        const QString strQuestion = QStringLiteral("The list holds 5 records that have not been saved.\nQuit anyway?");
        const std::function<void()> ways[] = {[&] { QTest::keyClick(Edit(dlg, IDC_EDIT_NOTES), Qt::Key_Escape); },
                                              [&] { Click(dlg, IDCANCEL); }, [&] { dlg.close(); }};
        for (int i = 0; i < 3; ++i)
        {
            ways[i]();
            QTRY_COMPARE(Boxes().count(strQuestion), i + 1);
            QVERIFY(dlg.isVisible() && finished.isEmpty());
        }
        QCOMPARE(Rows(dlg).size(), 5);
        m_pWatcher->m_answers << QMessageBox::Yes;
        dlg.close();
        QTRY_COMPARE(finished.size(), 1);
    }
};

QTEST_MAIN(TestDialogLink)
#include "tst_dialoglink.moc"
