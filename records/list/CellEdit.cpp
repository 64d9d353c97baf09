// In-place cell editor of the record list.
#include "records/list/CellEdit.h"

#include "records/list/RecordListCtrl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

CellEdit::CellEdit(QWidget* pParent) : QLineEdit(pParent)
{
    setObjectName(QStringLiteral("IDC_CELL_EDIT"));
    setProperty("nCtrlId", IDC_CELL_EDIT);
    // Reached by a double-click only, never by Tab.
    setFocusPolicy(Qt::ClickFocus);
    setFrame(true);
    // Magenta on yellow, whatever the palette of the list around it.
    QPalette pal = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    {
        pal.setColor(group, QPalette::Base, BackgroundColor());
        pal.setColor(group, QPalette::Window, BackgroundColor());
        pal.setColor(group, QPalette::Text, TextColor());
    }
    setPalette(pal);
    // The system font, not the list's: mark every attribute as set so a font
    // given to the list later does not reach the box.
    QFont fontSystem = QApplication::font();
    fontSystem.setResolveMask(QFont::AllPropertiesResolved);
    setFont(fontSystem);
    setGeometry(0, 40, 10, 10);
    hide();
}

CellEdit::~CellEdit() = default;

void CellEdit::SetCell(int nItem, int nSubItem, const QString& strText)
{
    m_nItem = nItem;
    m_nSubItem = nSubItem;
    m_strText = strText;
}

void CellEdit::CommitEdit()
{
    m_strText = text();
    if (m_pList != nullptr && m_nItem >= 0)
        m_pList->CommitCellText(m_nItem, m_nSubItem, m_strText);
}

void CellEdit::focusInEvent(QFocusEvent* pEvent)
{
    QLineEdit::focusInEvent(pEvent);
    setText(m_strText);
}

void CellEdit::focusOutEvent(QFocusEvent* pEvent)
{
    // Whatever took the focus (a click, a button, Tab, another window, the
    // dialog closing), the text goes back to the cell and the box hides.
    QLineEdit::focusOutEvent(pEvent);
    CommitEdit();
    hide();
}

void CellEdit::keyPressEvent(QKeyEvent* pEvent)
{
    if (IsDialogKey(pEvent))
        pEvent->ignore();
    else
        QLineEdit::keyPressEvent(pEvent);
}
