// Driving the real dialog the way a person does, for the dialog tests: the
// message boxes that pop up are read and answered with a click on their
// button, lists are opened and their items clicked, edits typed into.
#pragma once

#include "TestDirs.h"
#include "TestFiles.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

// What a message box showed.
struct SeenBox
{
    QString strTitle;
    QString strText;
    QString strDetail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool bOwned = false;      // centred on a window (the dialog), not an application box
    bool bWaitCursor = false; // a wait cursor was on while it showed
    QStringList buttons;      // the texts of its buttons
};

// Watches for modal windows while the test runs: every message box is read
// and answered (OK, or the next of m_answers for a question, No when none
// is left); any other modal window or menu goes to m_onOther.
class PopupWatcher : public QObject
{
public:
    PopupWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, &PopupWatcher::Poll);
        m_timer.start(5);
    }

    QList<SeenBox> m_boxes;
    QList<QMessageBox::StandardButton> m_answers;
    std::function<void(QWidget*)> m_onOther;

    QStringList Texts() const
    {
        QStringList texts;
        for (const SeenBox& box : m_boxes)
            texts << box.strText;
        return texts;
    }
    // Waits until a box with this text has been shown (and answered).
    bool WaitForBox(const QString& strText, int nMs = 20000) const
    {
        return QTest::qWaitFor([&] { return Texts().contains(strText); }, nMs);
    }
    void Clear() { m_boxes.clear(); }

private:
    void Poll()
    {
        QWidget* pModal =
            QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (pModal == nullptr || m_handled.contains(pModal) || !pModal->isVisible())
            return;
        m_handled << pModal;
        auto* pBox = qobject_cast<QMessageBox*>(pModal);
        if (pBox == nullptr)
        {
            if (m_onOther)
                m_onOther(pModal);
            return;
        }
        SeenBox seen;
        seen.strTitle = pBox->windowTitle();
        seen.strText = pBox->text();
        seen.strDetail = pBox->informativeText();
        seen.icon = pBox->icon();
        seen.bOwned = pBox->parentWidget() != nullptr;
        seen.bWaitCursor =
            QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        for (QAbstractButton* pButton : pBox->buttons())
            seen.buttons << pButton->text();
        m_boxes << seen;
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (pBox->button(QMessageBox::Yes))
            answer = m_answers.isEmpty() ? QMessageBox::No : m_answers.takeFirst();
        if (QAbstractButton* pButton = pBox->button(answer))
            QTest::mouseClick(pButton, Qt::LeftButton);
    }

    QTimer m_timer;
    QList<QPointer<QWidget>> m_handled;
};

namespace UiDriver {

inline QWidget* Item(MeterClientDlg& dlg, int nId)
{
    QWidget* pWidget = dlg.GetDlgItem(nId);
    if (pWidget == nullptr)
        qFatal("no control %d", nId);
    return pWidget;
}

inline QLineEdit* Edit(MeterClientDlg& dlg, int nId)
{
    return qobject_cast<QLineEdit*>(Item(dlg, nId));
}

inline DropDownCombo* Combo(MeterClientDlg& dlg, int nId)
{
    return qobject_cast<DropDownCombo*>(Item(dlg, nId));
}

inline RecordListCtrl* List(MeterClientDlg& dlg, int nId)
{
    return qobject_cast<RecordListCtrl*>(Item(dlg, nId));
}

// Replaces an edit's text as a person does: click into it, select all, type
// (Latin text key by key, anything else as an input method commits it, the
// way Chinese is typed).
inline void Type(QLineEdit* pEdit, const QString& strText)
{
    QTest::mouseClick(pEdit, Qt::LeftButton);
    pEdit->selectAll();
    QTest::keyClick(pEdit, Qt::Key_Backspace);
    if (std::all_of(strText.begin(), strText.end(), [](QChar ch) { return ch.unicode() < 0x80; }))
        QTest::keyClicks(pEdit, strText);
    else
    {
        QInputMethodEvent commit;
        commit.setCommitString(strText);
        QApplication::sendEvent(pEdit, &commit);
    }
}

inline void Type(MeterClientDlg& dlg, int nId, const QString& strText)
{
    Type(Edit(dlg, nId), strText);
}

inline void Click(MeterClientDlg& dlg, int nId)
{
    QTest::mouseClick(Item(dlg, nId), Qt::LeftButton);
}

// Opens the list and clicks the item with this text; false when there is none.
inline bool Choose(DropDownCombo* pCombo, const QString& strText)
{
    pCombo->showPopup();
    QAbstractItemView* pView = pCombo->view();
    const QModelIndexList found =
        pView->model()->match(pView->model()->index(0, 0), Qt::DisplayRole, strText, 1, Qt::MatchExactly);
    if (found.isEmpty())
    {
        pCombo->hidePopup();
        return false;
    }
    pView->scrollTo(found.first());
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, {}, pView->visualRect(found.first()).center());
    return true;
}

// The texts of every row of the record list.
inline QList<QStringList> Rows(MeterClientDlg& dlg)
{
    RecordListCtrl* pList = List(dlg, IDC_LIST_RECORDS);
    QList<QStringList> rows(pList->GetItemCount());
    for (int nRow = 0; nRow < rows.size(); ++nRow)
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            rows[nRow] << pList->GetItemText(nRow, nCol);
    return rows;
}

// SETUP.ini as the program writes it: the section in GBK, then the key.
inline QByteArray SetupBytes(int nLanguage)
{
    return QByteArray::fromHex("5BC5E4D6C3D0C5CFA25D0D0A") + "LanguageID=" + QByteArray::number(nLanguage) + "\r\n";
}

} // namespace UiDriver

// What every dialog test holds: a scratch folder as the current directory
// (where SETUP.ini is), the watcher of the popups, and the dialog.
class DialogFixture
{
protected:
    std::unique_ptr<ScopedCurrentDir> m_pDir;
    std::unique_ptr<PopupWatcher> m_pWatcher;
    std::unique_ptr<MeterClientDlg> m_pDlg;

    void SetUp()
    {
        // A decimal comma, which no number the program shows or reads may follow.
        QVERIFY2(QLocale::system().decimalPoint() == QLatin1Char(','),
                 "the dialog tests run under de_DE.UTF-8 (scripts/setup generates it)");
        m_pDir = std::make_unique<ScopedCurrentDir>();
        m_pWatcher = std::make_unique<PopupWatcher>();
    }
    void TearDown()
    {
        m_pDlg.reset();
        m_pWatcher.reset();
        m_pDir.reset();
    }
    QString Path(const QString& strName) const { return QDir(m_pDir->Path()).filePath(strName); }

    // A new dialog (prepared before it is created), shown and active; in
    // nLanguage, written to SETUP.ini first, or with 0 as SETUP.ini says.
    MeterClientDlg& Show(int nLanguage = 0, const std::function<void(MeterClientDlg&)>& prepare = {})
    {
        if (nLanguage != 0)
            WriteFile(Path(QStringLiteral("SETUP.ini")), UiDriver::SetupBytes(nLanguage));
        m_pDlg = std::make_unique<MeterClientDlg>();
        if (prepare)
            prepare(*m_pDlg);
        m_pDlg->Create();
        m_pDlg->show();
        if (!QTest::qWaitForWindowActive(m_pDlg.get()))
            qFatal("the dialog did not become active");
        return *m_pDlg;
    }
};
