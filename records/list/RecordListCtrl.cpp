// Record list: list-control operations on a table view, and in-place
// editing of its cells.
#include "records/list/RecordListCtrl.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

RecordListCtrl::RecordListCtrl(QWidget* pParent)
    : QTableView(pParent), m_pModel(new RecordListModel(this)), m_pEdit(new CellEdit(viewport()))
{
    m_pEdit->AttachList(this);
    setModel(m_pModel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control (from the cell editor too),
    // as in a dialog; it does not walk the cells.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setShowGrid(false);
}

RecordListCtrl::~RecordListCtrl()
{
    // An edit still open when the list goes (the dialog destroyed without
    // being closed first) is written while the rows still exist; after that
    // the box must not reach back into a list being torn down.
    if (m_pEdit->hasFocus())
        m_pEdit->CommitEdit();
    m_pEdit->AttachList(nullptr);
}

int RecordListCtrl::InsertItem(int nItem, const QString& strText)
{
    return m_pModel->InsertRow(nItem, strText);
}

bool RecordListCtrl::SetItemText(int nItem, int nSubItem, const QString& strText)
{
    return m_pModel->SetText(nItem, nSubItem, strText);
}

QString RecordListCtrl::GetItemText(int nItem, int nSubItem) const
{
    return m_pModel->Text(nItem, nSubItem);
}

void RecordListCtrl::AppendRecords(const QVector<MeasurementRecord>& rows)
{
    m_pModel->AppendRows(rows);
}

MeasurementRecord RecordListCtrl::GetRecord(int nItem) const
{
    return nItem >= 0 && nItem < GetItemCount() ? m_pModel->Record(nItem) : MeasurementRecord();
}

int RecordListCtrl::GetItemCount() const
{
    return m_pModel->RowTotal();
}

bool RecordListCtrl::DeleteAllItems()
{
    m_pModel->RemoveAllRows();
    return true;
}

int RecordListCtrl::InsertColumn(int nCol, const QString& strHeading, int nFormat, int nWidth, int nSubItem)
{
    const int nPos = m_pModel->InsertColumn(nCol, {strHeading, nFormat, nSubItem});
    if (nPos >= 0)
        horizontalHeader()->resizeSection(nPos, nWidth);
    return nPos;
}

bool RecordListCtrl::DeleteColumn(int nCol)
{
    return m_pModel->RemoveColumn(nCol);
}

int RecordListCtrl::GetColumnCount() const
{
    return m_pModel->columnCount();
}

quint32 RecordListCtrl::SetExtendedStyle(quint32 dwExStyle)
{
    const quint32 dwOld = m_dwExStyle;
    m_dwExStyle = dwExStyle;
    setShowGrid((dwExStyle & LVS_EX_GRIDLINES) != 0);
    horizontalHeader()->setSectionsMovable((dwExStyle & LVS_EX_HEADERDRAGDROP) != 0);
    setSelectionBehavior((dwExStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                            : QAbstractItemView::SelectItems);
    return dwOld;
}

int RecordListCtrl::SubItemHitTest(const QPoint& ptClient, int& nItem, int& nSubItem) const
{
    const QModelIndex index = indexAt(ptClient);
    if (!index.isValid())
    {
        nItem = -1;
        nSubItem = -1;
        return LVHT_NOWHERE;
    }
    nItem = index.row();
    nSubItem = m_pModel->ColumnSubItem(index.column());
    return LVHT_ONITEMLABEL;
}

bool RecordListCtrl::GetSubItemRect(int nItem, int nSubItem, int /*nArea*/, QRect& rect) const
{
    for (int nCol = 0; nCol < m_pModel->columnCount(); ++nCol)
    {
        if (m_pModel->ColumnSubItem(nCol) != nSubItem)
            continue;
        const QModelIndex index = m_pModel->index(nItem, nCol);
        if (!index.isValid())
            return false;
        rect = visualRect(index);
        return true;
    }
    return false;
}

bool RecordListCtrl::EditSubItem(int nItem, int nSubItem)
{
    QRect rectCell;
    if (!GetSubItemRect(nItem, nSubItem, LVIR_LABEL, rectCell))
        return false;
    // Called while the box is still open on another cell: that edit is
    // written before the box moves (a double-click commits it through the
    // focus change already).
    if (m_pEdit->hasFocus())
        m_pEdit->CommitEdit();
    m_pEdit->SetCell(nItem, nSubItem, GetItemText(nItem, nSubItem));
    m_pEdit->setGeometry(rectCell);
    m_pEdit->setText(GetItemText(nItem, nSubItem));
    m_pEdit->show();
    m_pEdit->raise();
    m_pEdit->setFocus(Qt::MouseFocusReason);
    m_pEdit->selectAll();
    return true;
}

void RecordListCtrl::CommitOpenEdit()
{
    if (m_pEdit->hasFocus())
        m_pEdit->CommitEdit();
}

void RecordListCtrl::CommitCellText(int nItem, int nSubItem, const QString& strText)
{
    const bool bChanged = GetItemText(nItem, nSubItem) != strText;
    if (SetItemText(nItem, nSubItem, strText) && bChanged)
        emit ItemEdited(nItem, nSubItem);
}

void RecordListCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    QTableView::mouseDoubleClickEvent(pEvent);
    int nItem = -1;
    int nSubItem = -1;
    // Only a cell's label opens the editor: not the empty area below the
    // rows or right of the columns.
    if ((SubItemHitTest(pEvent->position().toPoint(), nItem, nSubItem) & LVHT_ONITEMLABEL) == 0)
        return;
    EditSubItem(nItem, nSubItem);
}

bool IsDialogKey(const QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    return nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Escape;
}

void RecordListCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    if (IsDialogKey(pEvent))
        pEvent->ignore();
    else
        QTableView::keyPressEvent(pEvent);
}

void RecordListCtrl::scrollContentsBy(int dx, int dy)
{
    // Scrolling moves the viewport's children with the rows; the editor stays
    // where it was opened (its text still goes to the remembered cell).
    const QPoint ptEdit = m_pEdit->pos();
    QTableView::scrollContentsBy(dx, dy);
    m_pEdit->move(ptEdit);
}
