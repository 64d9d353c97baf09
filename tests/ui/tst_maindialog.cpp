// The main dialog driven by keys and clicks, without a meter: the language
// read at start and picked from its list, the validation of the entries,
// Enter and Esc, the About box, and a layout in which every text fits.
#include "UiDriver.h"

#include "controls/HoverButton.h"
#include "link/PortNames.h"
#include "ui/AboutDlg.h"
#include "ui/ControlIds.h"
#include "ui/DialogTemplate.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QScreen>

using namespace UiDriver;

namespace {
QStringList Headers(MeterClientDlg& dlg)
{
    QStringList headers;
    QAbstractItemModel* pModel = List(dlg, IDC_LIST_RECORDS)->model();
    for (int i = 0; i < pModel->columnCount(); ++i)
        headers << pModel->headerData(i, Qt::Horizontal).toString();
    return headers;
}

// What shows in each language: the language list, the port label (with an
// ASCII colon in Chinese although the template has none), the read button
// (another text than the template's) and the first column.
QStringList Face(MeterClientDlg& dlg)
{
    return {Combo(dlg, IDC_COMBO_LANGUAGE)->currentText(), dlg.GetDlgItemText(IDC_STATIC_PORT),
            dlg.GetDlgItemText(IDC_BTN_READ), Headers(dlg).value(0)};
}
const QStringList FACE_ZH = {"中文", "请选择端口:", "读取数据", "序号"};
const QStringList FACE_EN = {"English", "Select Port:", "Read Data", "Number"};
} // namespace

class TestMainDialog : public QObject, DialogFixture
{
    Q_OBJECT
    QString SetupPath() const { return Path(QStringLiteral("SETUP.ini")); }

private slots:
    void init() { SetUp(); }
    void cleanup() { TearDown(); }

    // The language of SETUP.ini: its first character decides, and the file
    // is left as it is. (Without the file: PickLanguage.)
    void StartLanguage()
    {
        QCOMPARE(Face(Show(12)), FACE_EN);
        QCOMPARE(FileBytes(SetupPath()), SetupBytes(12));
        QVERIFY(m_pWatcher->m_boxes.isEmpty());
    }

    // Without SETUP.ini the dialog starts in Chinese and writes nothing. One
    // pick, by mouse or by keys, applies the language and writes it; a list
    // closed without a choice, by Esc or by the window losing the focus,
    // writes the language in force again.
    void PickLanguage_data()
    {
        QTest::addColumn<QString>("strHow");
        QTest::addColumn<QStringList>("face");
        QTest::addColumn<int>("nStored");
        QTest::newRow("click English") << "click" << FACE_EN << 1;
        QTest::newRow("keys to English") << "keys" << FACE_EN << 1;
        QTest::newRow("Esc") << "esc" << FACE_ZH << 2;
        QTest::newRow("focus lost") << "focus" << FACE_ZH << 2;
    }
    void PickLanguage()
    {
        QFETCH(QString, strHow);
        QFETCH(QStringList, face);
        QFETCH(int, nStored);
        MeterClientDlg& dlg = Show();
        QCOMPARE(Face(dlg), FACE_ZH);
        QCOMPARE(FileBytes(SetupPath()), QByteArray("<missing>"));
        DropDownCombo* pCombo = Combo(dlg, IDC_COMBO_LANGUAGE);
        QWidget other;
        if (strHow == QLatin1String("click"))
            QVERIFY(Choose(pCombo, QStringLiteral("English")));
        else if (strHow == QLatin1String("keys"))
        {
            pCombo->setFocus();
            QTest::keyClick(pCombo, Qt::Key_F4);
            QTRY_VERIFY(pCombo->view()->isVisible());
            QTest::keyClick(pCombo->view(), Qt::Key_Up);
            QTest::keyClick(pCombo->view(), Qt::Key_Return);
        }
        else
        {
            pCombo->showPopup();
            QTRY_VERIFY(pCombo->view()->isVisible());
            if (strHow == QLatin1String("esc"))
                QTest::keyClick(pCombo->view(), Qt::Key_Escape);
            else
            {
                other.show();
                other.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&other));
            }
        }
        QTRY_COMPARE(FileBytes(SetupPath()), SetupBytes(nStored));
        QCOMPARE(Face(dlg), face);
        QVERIFY(m_pWatcher->m_boxes.isEmpty());
    }

    // A settings file that cannot be written: the language still changes,
    // and the operator is told once why it will not be kept.
    void LanguageThatCannotBeKept()
    {
        QVERIFY(QDir(m_pDir->Path()).mkdir(QStringLiteral("SETUP.ini")));
        MeterClientDlg& dlg = Show();
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_LANGUAGE), QStringLiteral("English")));
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 1);
        QCOMPARE(m_pWatcher->m_boxes[0].strText,
                 QStringLiteral("The language cannot be kept: %1 cannot be written.").arg(SetupPath()));
        QCOMPARE(m_pWatcher->m_boxes[0].strDetail, QStringLiteral("it is a folder"));
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_LANGUAGE), QString::fromUtf8("中文")));
        QTRY_COMPARE(Face(dlg), FACE_ZH);
        QCOMPARE(m_pWatcher->m_boxes.size(), 1);
    }

    // Qt's own texts follow the language: the button of a box reads OK in
    // English and 确定 in Chinese.
    void QtTextsInTheLanguage()
    {
        const QString strQm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
        if (!QFile::exists(strQm))
            QFAIL("Qt's Chinese translations are missing (qt6-translations-l10n; scripts/setup installs it)");
        MeterClientDlg& dlg = Show();
        Type(dlg, IDC_EDIT_CAL_VALUE, QStringLiteral("x"));
        QTest::keyClick(Edit(dlg, IDC_EDIT_COMPANY), Qt::Key_Return);
        QVERIFY(Choose(Combo(dlg, IDC_COMBO_LANGUAGE), QStringLiteral("English")));
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 2); // applying a language exchanges too
        QTest::keyClick(Edit(dlg, IDC_EDIT_COMPANY), Qt::Key_Return);
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 3);
        QCOMPARE(m_pWatcher->m_boxes[0].buttons, QStringList{"确定"});
        QCOMPARE(m_pWatcher->m_boxes[2].buttons, QStringList{"OK"});
    }

    // Enter tries to end the dialog: an entry that does not convert is
    // refused (the box, the focus on it, nothing else changes), and once it
    // is mended the dialog ends. Esc ends it at once, without looking.
    void EnterAndEsc_data()
    {
        QTest::addColumn<int>("nId");
        QTest::addColumn<QString>("strTyped");
        QTest::addColumn<QString>("strMessage");
        const QString real = QStringLiteral("Please enter a number.");
        const QString byte = QStringLiteral("Please enter an integer between 0 and 255.");
        QTest::newRow("beyond a float") << IDC_EDIT_CAL_VALUE << "1e39" << real;
        QTest::newRow("comma decimal") << IDC_EDIT_CAL_VALUE << "-3,5" << real;
        QTest::newRow("hour 256") << IDC_EDIT_HOUR << "256" << byte;
        QTest::newRow("fraction of a minute") << IDC_EDIT_MINUTE << "1.5" << byte;
    }
    void EnterAndEsc()
    {
        QFETCH(int, nId);
        QFETCH(QString, strTyped);
        QFETCH(QString, strMessage);
        MeterClientDlg& dlg = Show();
        QSignalSpy finished(&dlg, &QDialog::finished);
        Type(dlg, IDC_EDIT_COMPANY, QStringLiteral("ACME"));
        Type(dlg, nId, strTyped);
        QTest::keyClick(Edit(dlg, IDC_EDIT_COMPANY), Qt::Key_Return);
        QTRY_COMPARE(m_pWatcher->Texts(), QStringList{strMessage});
        QCOMPARE(m_pWatcher->m_boxes[0].strTitle, ApplicationName());
        QTRY_COMPARE(dlg.focusWidget(), dlg.GetDlgItem(nId));
        QVERIFY(dlg.isVisible() && finished.isEmpty());
        QCOMPARE(Edit(dlg, nId)->text(), strTyped);

        Type(dlg, nId, QStringLiteral("7"));
        QTest::keyClick(Edit(dlg, nId), Qt::Key_Return);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), int(IDOK));

        MeterClientDlg& second = Show();
        QSignalSpy cancelled(&second, &QDialog::finished);
        Type(second, nId, strTyped);
        QTest::keyClick(Edit(second, nId), Qt::Key_Escape);
        QCOMPARE(cancelled.size(), 1);
        QCOMPARE(cancelled[0][0].toInt(), int(IDCANCEL));
        QCOMPARE(m_pWatcher->m_boxes.size(), 1);
    }

    // The entry of the context menu opens the About box, Chinese in the
    // English interface.
    void AboutBoxFromContextMenu()
    {
        MeterClientDlg& dlg = Show(1);
        QStringList entries, aboutTexts;
        m_pWatcher->m_onOther = [&](QWidget* pWindow) {
            if (auto* pMenu = qobject_cast<QMenu*>(pWindow))
            {
                for (QAction* pAction : pMenu->actions())
                    entries << pAction->text();
                QTest::keyClick(pMenu, Qt::Key_Down);
                QTest::keyClick(pMenu, Qt::Key_Return);
            }
            else if (auto* pAbout = qobject_cast<AboutDlg*>(pWindow))
            {
                aboutTexts << pAbout->windowTitle();
                for (QLabel* pLabel : pAbout->findChildren<QLabel*>())
                    aboutTexts << pLabel->text();
                QTest::keyClick(pAbout, Qt::Key_Return);
            }
        };
        // A right click reaches the dialog as this event (QTest's clicks do
        // not make one).
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dlg, &event);
        QCOMPARE(entries, QStringList{QString::fromUtf8("关于 该软件(&A)...")});
        QVERIFY(aboutTexts.contains(QString::fromUtf8("关于 该软件")));
        QVERIFY(aboutTexts.contains(QString::fromUtf8("Client 1.0 版")));
    }

    // The template's creation order as the tab order, and in both languages
    // every caption, column header and the widest wavelength inside its
    // rectangle; the window fits a 1366x768 screen with a desktop panel and
    // a title bar.
    void LayoutFits()
    {
        MeterClientDlg& dlg = Show();
        QVERIFY2(dlg.width() <= 1366 && dlg.height() <= 768 - 48 - 32,
                 qPrintable(QStringLiteral("%1x%2").arg(dlg.width()).arg(dlg.height())));
        QList<QWidget*> tabOrder;
        for (const ControlTemplate& control : MainDialogTemplate())
        {
            QWidget* pWidget = control.nId == IDC_STATIC ? nullptr : dlg.GetDlgItem(control.nId);
            if (pWidget && (pWidget->focusPolicy() & Qt::TabFocus))
                tabOrder << pWidget;
        }
        QList<QWidget*> chain;
        for (QWidget* pWidget = dlg.nextInFocusChain(); pWidget != &dlg; pWidget = pWidget->nextInFocusChain())
            if (tabOrder.contains(pWidget))
                chain << pWidget;
        QCOMPARE(chain, tabOrder);

        for (const char* pszLanguage : {"English", "中文"})
        {
            QVERIFY(Choose(Combo(dlg, IDC_COMBO_LANGUAGE), QString::fromUtf8(pszLanguage)));
            QTRY_COMPARE(Combo(dlg, IDC_COMBO_LANGUAGE)->currentText(), QString::fromUtf8(pszLanguage));
            for (QLabel* pLabel : dlg.findChildren<QLabel*>())
                QVERIFY2(pLabel->isHidden() ||
                             pLabel->fontMetrics().horizontalAdvance(pLabel->text()) <= pLabel->contentsRect().width(),
                         qPrintable(pLabel->text()));
            // A button's caption goes right of its icon (3 pixels in), one
            // line, with a pixel to move when pressed.
            for (HoverButton* pButton : dlg.findChildren<HoverButton*>())
            {
                const int nIcon = qMax(pButton->IconIn().nWidth, pButton->IconOut().nWidth);
                const int nRoom = pButton->width() - (nIcon > 0 ? nIcon + 3 : 0) - 1;
                QVERIFY2(pButton->isHidden() || pButton->fontMetrics().horizontalAdvance(pButton->text()) <= nRoom,
                         qPrintable(pButton->text()));
            }
            for (QGroupBox* pGroup : dlg.findChildren<QGroupBox*>())
                QVERIFY2(pGroup->fontMetrics().horizontalAdvance(pGroup->title()) + 16 <= pGroup->width(),
                         qPrintable(pGroup->title()));
            RecordListCtrl* pList = List(dlg, IDC_LIST_RECORDS);
            const int nMargin = 2 * (pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            {
                const QString strHeader = Headers(dlg)[nCol];
                const int nNeeded = pList->horizontalHeader()->fontMetrics().horizontalAdvance(strHeader) + nMargin;
                QVERIFY2(nNeeded <= pList->horizontalHeader()->sectionSize(nCol), qPrintable(strHeader));
            }
            QVERIFY(pList->fontMetrics().horizontalAdvance(QStringLiteral("1550nm")) + nMargin <=
                    pList->horizontalHeader()->sectionSize(COL_WAVELENGTH));
        }
        // The template's items stay when the system has no port; filling the
        // list chooses none.
        const QStringList ports = EnumeratePortNames();
        QCOMPARE(Combo(dlg, IDC_COMBO_PORT)->count(), ports.isEmpty() ? 5 : int(ports.size()));
        QCOMPARE(Combo(dlg, IDC_COMBO_PORT)->currentIndex(), -1);
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
