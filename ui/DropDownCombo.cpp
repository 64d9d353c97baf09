// Sorted drop-down combo box.
#include "ui/DropDownCombo.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLineEdit>

DropDownCombo::DropDownCombo(QWidget* pParent) : QComboBox(pParent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Typing is editing, not choosing: no completion that picks an item,
    // and leaving the edit does not choose the item whose text it holds
    // (QComboBox would report that as an activation).
    setCompleter(nullptr);
    disconnect(lineEdit(), SIGNAL(editingFinished()), this, nullptr);
    connect(this, &QComboBox::activated, this, &DropDownCombo::SelChange);
}

int DropDownCombo::AddString(const QString& strText)
{
    int nIndex = 0;
    while (nIndex < count() && QString::compare(itemText(nIndex), strText, Qt::CaseInsensitive) <= 0)
        ++nIndex;
    const bool bWasEmpty = count() == 0;
    insertItem(nIndex, strText);
    // Adding items never chooses one (Qt would choose the first item of an empty box).
    if (bWasEmpty)
        setCurrentIndex(-1);
    return nIndex;
}

void DropDownCombo::showPopup()
{
    emit DropDown();
    if (!m_bFilterInstalled)
    {
        // The list's window hides however it closes: a click on an item, Esc,
        // a click elsewhere, or the application losing the focus.
        view()->window()->installEventFilter(this);
        m_bFilterInstalled = true;
    }
    QComboBox::showPopup();
}

bool DropDownCombo::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Hide && pWatched == view()->window())
    {
        // Qt hides the list before it commits a clicked item: report the
        // close-up after that.
        QMetaObject::invokeMethod(this, &DropDownCombo::CloseUp, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(pWatched, pEvent);
}
