// Record list: list-control operations on a table view.
#include "records/RecordListCtrl.h"

#include <QHeaderView>

RecordListCtrl::RecordListCtrl(QWidget* pParent) : QTableView(pParent), m_pModel(new RecordListModel(this))
{
    setModel(m_pModel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setShowGrid(false);
}

RecordListCtrl::~RecordListCtrl() = default;

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

int RecordListCtrl::GetItemCount() const
{
    return m_pModel->rowCount();
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
