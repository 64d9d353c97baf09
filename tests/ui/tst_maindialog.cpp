// The main dialog offscreen: start-up language, captions in both languages,
// language switching, data exchange refusals, Enter and Esc, About, layout.
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include "ui/AboutDlg.h"
#include "ui/DialogUnits.h"
#include "link/PortNames.h"
#include "ui/DialogTemplate.h"

#include "TestDirs.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QtTest>

namespace
{
const QByteArray SETUP_CHINESE = QByteArray::fromHex("5BC5E4D6C3D0C5CFA25D0D0A") + "LanguageID=2\r\n";
const QByteArray SETUP_ENGLISH = QByteArray::fromHex("5BC5E4D6C3D0C5CFA25D0D0A") + "LanguageID=1\r\n";

QByteArray ReadBytes(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& strPath, const QByteArray& bytes)
{
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QLineEdit* Edit(MeterClientDlg& dlg, int nId)
{
    return qobject_cast<QLineEdit*>(dlg.GetDlgItem(nId));
}

QStringList Headers(MeterClientDlg& dlg)
{
    QStringList headers;
    for (int i = 0; i < dlg.m_listRecords->GetColumnCount(); ++i)
        headers << dlg.m_listRecords->model()->headerData(i, Qt::Horizontal).toString();
    return headers;
}
} // namespace

class TestMainDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void StartsChineseWithoutWritingSettings();
    void StartsEnglishFromSettings();
    void CaptionsInBothLanguages_data();
    void CaptionsInBothLanguages();
    void SwitchingLanguageRebuildsListAndStoresChoice();
    void ClosingListWithoutChoiceRewritesSameValue();
    void InitialValuesAndDataExchange();
    void RefusedValues_data();
    void RefusedValues();
    void EnterEndsOnlyWithValidValues();
    void EscEndsAtOnce();
    void AboutBoxFromContextMenu();
    void TemplateLayoutAndTabOrder();
    void RenderScreenshots();

private:
    std::unique_ptr<ScopedCurrentDir> m_pDir;
    QList<MessageBoxCall> m_boxes;
};

void TestMainDialog::init()
{
    m_pDir = std::make_unique<ScopedCurrentDir>();
    m_boxes.clear();
    SetMessageBoxHook([this](const MessageBoxCall& call) { m_boxes << call; });
}

void TestMainDialog::cleanup()
{
    SetMessageBoxHook({});
    m_pDir.reset();
}

void TestMainDialog::StartsChineseWithoutWritingSettings()
{
    MeterClientDlg dlg;
    dlg.Create();
    QCOMPARE(dlg.m_nLanguage, 2);
    QCOMPARE(dlg.m_comboLanguage->currentText(), QString::fromUtf8("中文"));
    QCOMPARE(dlg.GetDlgItemText(IDC_STATIC_PORT), QString::fromUtf8("请选择端口:"));
    const QStringList expected = QString::fromUtf8("序号,波长,模式,RL|OPM|IL,REF|功率值,日期,备注").split(',');
    QCOMPARE(Headers(dlg), expected);
    QVERIFY(!QFile::exists(m_pDir->Path() + "/SETUP.ini"));
    QVERIFY(m_boxes.isEmpty());
}

void TestMainDialog::StartsEnglishFromSettings()
{
    WriteBytes(m_pDir->Path() + "/SETUP.ini", SETUP_ENGLISH);
    MeterClientDlg dlg;
    dlg.Create();
    QCOMPARE(dlg.m_nLanguage, 1);
    QCOMPARE(dlg.m_comboLanguage->currentText(), QStringLiteral("English"));
    QCOMPARE(dlg.m_comboLanguage->GetCurSel(), 0);
    QCOMPARE(Headers(dlg),
             (QStringList{"Number", "Wave", "Mode", "RL|OPM|IL", "REF|PowerMeter", "Date-Time", "Notes"}));
    QCOMPARE(dlg.m_listRecords->horizontalHeader()->sectionSize(5), 200);
    QCOMPARE(dlg.m_listRecords->GetExtendedStyle(), 0x171u);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Client"));
}

void TestMainDialog::CaptionsInBothLanguages_data()
{
    QTest::addColumn<int>("nId");
    QTest::addColumn<QString>("strChinese");
    QTest::addColumn<QString>("strEnglish");
    auto row = [](const char* pszName, int nId, const char* pszZh, const char* pszEn) {
        QTest::newRow(pszName) << nId << QString::fromUtf8(pszZh) << QString::fromUtf8(pszEn);
    };
    row("connect", IDC_BTN_CONNECT, "连接", "Connect");
    row("cal rl", IDC_BTN_CAL_RL, "校准回损功率", "Calibrate return loss");
    row("cal opm", IDC_BTN_CAL_OPM, "校准功率计功率", "Calibrate power meter");
    row("hidden set", IDC_BTN_SET_WAVELENGTH, "设置", "Set");
    row("read (template has other text)", IDC_BTN_READ, "读取数据", "Read Data");
    row("open", IDC_BTN_OPEN, "打开", "Open");
    row("save", IDC_BTN_SAVE, "保存", "Save");
    row("set time", IDC_BTN_SET_TIME, "设置时间", "Set Time");
    row("ok", IDOK, "确定", "OK");
    row("exit", IDCANCEL, "退出", "Exit");
    row("port label with ASCII colon", IDC_STATIC_PORT, "请选择端口:", "Select Port:");
    row("language label", IDC_STATIC_LANGUAGE, "中文/English:", "Chinese/English:");
    row("user group", IDC_GROUP_USER, "用户信息", "User Information");
    row("company", IDC_STATIC_COMPANY, "公司 名称", "Company Name");
    row("meter type", IDC_STATIC_METER_TYPE, "仪表 类型", "Meter Type");
    row("serial", IDC_STATIC_SERIAL, "仪表序列号", "Meter Serial Number");
    row("operator", IDC_STATIC_OPERATOR, "测试操作人", "Test Man");
    row("notes", IDC_STATIC_NOTES, "备注", "Notes");
    row("cal group", IDC_GROUP_CALIBRATE, "校准功率", "Calibrate Power");
    row("cal label without colon", IDC_STATIC_CAL_VALUE, "请输入校准值", "Enter calibration value");
    row("read group", IDC_GROUP_READ, "读取数据", "Read Data");
    row("time group", IDC_GROUP_TIME, "时间设置", "Set Time");
    row("year", IDC_STATIC_YEAR, "年", "Year");
    row("month", IDC_STATIC_MONTH, "月", "Month");
    row("day", IDC_STATIC_DAY, "日", "Day");
    row("hour", IDC_STATIC_HOUR, "时", "Hour");
    row("minute", IDC_STATIC_MINUTE, "分", "Minute");
    row("second", IDC_STATIC_SECOND, "秒", "Seconds");
}

void TestMainDialog::CaptionsInBothLanguages()
{
    QFETCH(int, nId);
    QFETCH(QString, strChinese);
    QFETCH(QString, strEnglish);
    MeterClientDlg dlg;
    dlg.Create();
    QCOMPARE(dlg.GetDlgItemText(nId), strChinese);
    dlg.m_comboLanguage->SetCurSel(0);
    dlg.OnCloseupComboLanguage();
    QCOMPARE(dlg.GetDlgItemText(nId), strEnglish);
    dlg.m_comboLanguage->SetCurSel(1);
    dlg.OnCloseupComboLanguage();
    QCOMPARE(dlg.GetDlgItemText(nId), strChinese);
}

void TestMainDialog::SwitchingLanguageRebuildsListAndStoresChoice()
{
    MeterClientDlg dlg;
    dlg.Create();
    for (int i = 0; i < 3; ++i)
        dlg.m_listRecords->InsertItem(i, QString::number(i + 1));
    dlg.m_listRecords->horizontalHeader()->resizeSection(0, 33);
    dlg.m_listRecords->horizontalHeader()->moveSection(0, 3);

    dlg.m_comboLanguage->SetCurSel(0);
    dlg.OnCloseupComboLanguage();
    QCOMPARE(dlg.m_nLanguage, 1);
    QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
    QCOMPARE(dlg.m_listRecords->GetColumnCount(), 7);
    QCOMPARE(Headers(dlg).first(), QStringLiteral("Number"));
    QCOMPARE(dlg.m_listRecords->horizontalHeader()->sectionSize(0), 70);
    QCOMPARE(dlg.m_listRecords->horizontalHeader()->visualIndex(0), 0);
    QCOMPARE(ReadBytes(m_pDir->Path() + "/SETUP.ini"), SETUP_ENGLISH);

    // The link state does not decide the caption of the connect button.
    dlg.m_bConnected = true;
    dlg.m_comboLanguage->SetCurSel(1);
    dlg.OnCloseupComboLanguage();
    QCOMPARE(dlg.GetDlgItemText(IDC_BTN_CONNECT), QString::fromUtf8("连接"));
    QCOMPARE(ReadBytes(m_pDir->Path() + "/SETUP.ini"), SETUP_CHINESE);
}

void TestMainDialog::ClosingListWithoutChoiceRewritesSameValue()
{
    MeterClientDlg dlg;
    dlg.Create();
    dlg.m_listRecords->InsertItem(0, QStringLiteral("1"));
    dlg.OnCloseupComboLanguage();  // same item still chosen
    QCOMPARE(dlg.m_listRecords->GetItemCount(), 0);
    QCOMPARE(ReadBytes(m_pDir->Path() + "/SETUP.ini"), SETUP_CHINESE);

    // With no current item nothing changes, but the value is written again.
    QFile::remove(m_pDir->Path() + "/SETUP.ini");
    dlg.m_comboLanguage->SetCurSel(-1);
    dlg.m_listRecords->InsertItem(0, QStringLiteral("1"));
    dlg.OnCloseupComboLanguage();
    QCOMPARE(dlg.m_listRecords->GetItemCount(), 1);
    QCOMPARE(ReadBytes(m_pDir->Path() + "/SETUP.ini"), SETUP_CHINESE);
}

void TestMainDialog::InitialValuesAndDataExchange()
{
    MeterClientDlg dlg;
    dlg.Create();
    for (int nId : {IDC_EDIT_CAL_VALUE, IDC_EDIT_YEAR, IDC_EDIT_MONTH, IDC_EDIT_DAY, IDC_EDIT_HOUR, IDC_EDIT_MINUTE,
                    IDC_EDIT_SECOND})
        QCOMPARE(Edit(dlg, nId)->text(), QStringLiteral("0"));
    for (int nId : {IDC_EDIT_COMPANY, IDC_EDIT_METER_TYPE, IDC_EDIT_SERIAL, IDC_EDIT_OPERATOR, IDC_EDIT_NOTES})
        QVERIFY(Edit(dlg, nId)->text().isEmpty());

    Edit(dlg, IDC_EDIT_COMPANY)->setText(QString::fromUtf8("光纤 公司"));
    Edit(dlg, IDC_EDIT_CAL_VALUE)->setText(QStringLiteral(" -3.5 "));
    Edit(dlg, IDC_EDIT_YEAR)->setText(QStringLiteral("07"));
    Edit(dlg, IDC_EDIT_SECOND)->setText(QStringLiteral("255"));
    QVERIFY(dlg.UpdateData(true));
    QCOMPARE(dlg.m_strCompany, QString::fromUtf8("光纤 公司"));
    QCOMPARE(dlg.m_fCalValue, -3.5f);
    QCOMPARE(dlg.m_byYear, quint8(7));
    QCOMPARE(dlg.m_bySecond, quint8(255));
    QVERIFY(dlg.UpdateData(false));
    QCOMPARE(Edit(dlg, IDC_EDIT_YEAR)->text(), QStringLiteral("7"));
    QCOMPARE(Edit(dlg, IDC_EDIT_CAL_VALUE)->text(), QStringLiteral("-3.5"));
    QVERIFY(m_boxes.isEmpty());
}

void TestMainDialog::RefusedValues_data()
{
    QTest::addColumn<int>("nId");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strMessage");
    const QString real = QStringLiteral("Please enter a number.");
    const QString byte = QStringLiteral("Please enter an integer between 0 and 255.");
    QTest::newRow("letters in calibration") << IDC_EDIT_CAL_VALUE << "abc" << real;
    QTest::newRow("number then letters") << IDC_EDIT_CAL_VALUE << "1.5x" << real;
    QTest::newRow("empty calibration") << IDC_EDIT_CAL_VALUE << "" << real;
    QTest::newRow("beyond a float") << IDC_EDIT_CAL_VALUE << "1e39" << real;
    QTest::newRow("hour 256") << IDC_EDIT_HOUR << "256" << byte;
    QTest::newRow("negative day") << IDC_EDIT_DAY << "-1" << byte;
    QTest::newRow("letters in year") << IDC_EDIT_YEAR << "ab" << byte;
    QTest::newRow("fraction in minute") << IDC_EDIT_MINUTE << "1.5" << byte;
}

void TestMainDialog::RefusedValues()
{
    QFETCH(int, nId);
    QFETCH(QString, strText);
    QFETCH(QString, strMessage);
    MeterClientDlg dlg;
    dlg.show();
    dlg.Create();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    Edit(dlg, nId)->setText(strText);
    if (nId != IDC_EDIT_YEAR)
        Edit(dlg, IDC_EDIT_YEAR)->setText(QStringLiteral("9"));  // the year is exchanged last
    Edit(dlg, IDC_EDIT_COMPANY)->setText(QStringLiteral("ACME"));
    QVERIFY(!dlg.UpdateData(true));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].strText, strMessage);
    QCOMPARE(m_boxes[0].strCaption, ApplicationName());
    QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(nId));
    QCOMPARE(dlg.m_strCompany, QStringLiteral("ACME"));  // the strings come first
    QCOMPARE(dlg.m_byYear, quint8(0));                   // the exchange stopped before it
}

void TestMainDialog::EnterEndsOnlyWithValidValues()
{
    MeterClientDlg dlg;
    dlg.show();
    dlg.Create();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.setResult(-1);
    Edit(dlg, IDC_EDIT_HOUR)->setText(QStringLiteral("300"));
    QTest::keyClick(Edit(dlg, IDC_EDIT_COMPANY), Qt::Key_Return);
    QCOMPARE(dlg.result(), -1);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(dlg.isVisible());

    Edit(dlg, IDC_EDIT_HOUR)->setText(QStringLiteral("23"));
    QTest::keyClick(Edit(dlg, IDC_EDIT_COMPANY), Qt::Key_Return);
    QCOMPARE(dlg.result(), IDOK);
    QCOMPARE(dlg.m_byHour, quint8(23));
}

void TestMainDialog::EscEndsAtOnce()
{
    MeterClientDlg dlg;
    dlg.show();
    dlg.Create();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    Edit(dlg, IDC_EDIT_HOUR)->setText(QStringLiteral("not a number"));
    QTest::keyClick(Edit(dlg, IDC_EDIT_HOUR), Qt::Key_Escape);
    QCOMPARE(dlg.result(), IDCANCEL);
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(dlg.m_byHour, quint8(0));
}

// The entry of the context menu opens the About box, Chinese in the English interface.
void TestMainDialog::AboutBoxFromContextMenu()
{
    WriteBytes(m_pDir->Path() + "/SETUP.ini", SETUP_ENGLISH);
    MeterClientDlg dlg;
    dlg.show();
    dlg.Create();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QStringList entries;
    QStringList aboutTexts;
    QTimer::singleShot(50, [&] {
        auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(pMenu);
        for (QAction* pAction : pMenu->actions())
            entries << pAction->text();
        QTimer::singleShot(50, [&] {
            auto* pAbout = qobject_cast<AboutDlg*>(QApplication::activeModalWidget());
            QVERIFY(pAbout);
            aboutTexts << pAbout->windowTitle();
            for (QLabel* pLabel : pAbout->findChildren<QLabel*>())
                aboutTexts << pLabel->text();
            pAbout->close();
        });
        pMenu->setActiveAction(pMenu->actions().first());
        QTest::keyClick(pMenu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dlg, &event);
    QCOMPARE(entries, QStringList{QString::fromUtf8("关于 该软件(&A)...")});
    QVERIFY(aboutTexts.contains(QString::fromUtf8("关于 该软件")));
    QVERIFY(aboutTexts.contains(QString::fromUtf8("Client 1.0 版")));
}

void TestMainDialog::TemplateLayoutAndTabOrder()
{
    MeterClientDlg dlg;
    dlg.Create();
    const DialogUnits units(dlg.font());
    QCOMPARE(dlg.size(), QSize(412 * units.BaseX() / 4, 333 * units.BaseY() / 8));
    QCOMPARE(dlg.GetDlgItem(IDC_LIST_RECORDS)->geometry(), units.ToPixels(QRect(26, 90, 310, 130)));

    QList<QWidget*> expectedOrder;
    for (const ControlTemplate& control : MainDialogTemplate())
    {
        QWidget* pWidget = control.nId == IDC_STATIC ? nullptr : dlg.GetDlgItem(control.nId);
        if (!pWidget)
            continue;
        const bool bHidden = control.nId == IDOK || control.nId == IDC_STATIC_STATUS ||
                             (control.nId >= IDC_STATIC_WAVELENGTH && control.nId <= IDC_BTN_SET_WAVELENGTH);
        QCOMPARE(pWidget->isHidden(), bHidden);
        if (pWidget->focusPolicy() & Qt::TabFocus)
            expectedOrder << pWidget;
    }
    QList<QWidget*> chain;
    for (QWidget* pWidget = dlg.nextInFocusChain(); pWidget != &dlg; pWidget = pWidget->nextInFocusChain())
    {
        if (expectedOrder.contains(pWidget))
            chain << pWidget;
    }
    QCOMPARE(chain, expectedOrder);
    // The template's items stay when the system has no port.
    const QStringList ports = EnumeratePortNames();
    QCOMPARE(dlg.m_comboPort->GetCount(), ports.isEmpty() ? 5 : static_cast<int>(ports.size()));
    QCOMPARE(dlg.m_comboPort->GetCurSel(), -1);  // filling the list chooses no port
}

void TestMainDialog::RenderScreenshots()
{
    for (int nLanguage : {2, 1})
    {
        if (nLanguage == 1)
            WriteBytes(m_pDir->Path() + "/SETUP.ini", SETUP_ENGLISH);
        MeterClientDlg dlg;
        dlg.Create();
        dlg.m_listRecords->InsertItem(0, QStringLiteral("1"));
        const char* texts[] = {"1550nm", "OPM", "-12.34dBm", "-3.00dBm", "2012-5-3  9:5:7"};
        for (int i = 0; i < 5; ++i)
            dlg.m_listRecords->SetItemText(0, i + 1, QString::fromUtf8(texts[i]));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QString strPath = QDir(QCoreApplication::applicationDirPath())
                                    .filePath(nLanguage == 1 ? "dialog-en.png" : "dialog-zh.png");
        QVERIFY(dlg.grab().save(strPath));
    }
}

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
