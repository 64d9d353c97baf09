// The record list: a report-view table over RecordListModel with the list
// operations the dialog uses (insert item, set/get item text, delete all
// items, columns, extended style, sub-item hit test and rectangle), and the
// in-place editing of any cell by a double-click (CellEdit).
#pragma once

#include "records/list/CellEdit.h"
#include "records/list/RecordListModel.h"

#include <QTableView>

// Column formats and extended styles, with the list control's values.
constexpr int LVCFMT_LEFT = 0x0000;
constexpr quint32 LVS_EX_GRIDLINES = 0x0001;
constexpr quint32 LVS_EX_HEADERDRAGDROP = 0x0010;
constexpr quint32 LVS_EX_FULLROWSELECT = 0x0020;
constexpr quint32 LVS_EX_ONECLICKACTIVATE = 0x0040;
constexpr quint32 LVS_EX_FLATSB = 0x0100;
// Hit-test flag and rectangle kind of the sub-item operations.
constexpr int LVHT_NOWHERE = 0x0001;
constexpr int LVHT_ONITEMLABEL = 0x0004;
constexpr int LVIR_LABEL = 2;

// Enter and Esc belong to the dialog (its OK and close): the list and its
// cell editor pass them on.
bool IsDialogKey(const QKeyEvent* pEvent);

class RecordListCtrl : public QTableView
{
    Q_OBJECT
public:
    explicit RecordListCtrl(QWidget* pParent = nullptr);
    ~RecordListCtrl() override;

    int InsertItem(int nItem, const QString& strText);
    // Appends whole rows at once (an opened report).
    void AppendRecords(const QVector<MeasurementRecord>& rows);
    // The seven texts of row nItem.
    MeasurementRecord GetRecord(int nItem) const;
    bool SetItemText(int nItem, int nSubItem, const QString& strText);
    QString GetItemText(int nItem, int nSubItem) const;
    int GetItemCount() const;
    bool DeleteAllItems();
    int InsertColumn(int nCol, const QString& strHeading, int nFormat, int nWidth, int nSubItem);
    bool DeleteColumn(int nCol);
    int GetColumnCount() const;
    quint32 SetExtendedStyle(quint32 dwExStyle);
    quint32 GetExtendedStyle() const { return m_dwExStyle; }
    // Row, column and LVHT_* flags of the cell under ptClient (viewport coordinates).
    int SubItemHitTest(const QPoint& ptClient, int& nItem, int& nSubItem) const;
    // The cell's rectangle in viewport coordinates; false when there is no such cell.
    bool GetSubItemRect(int nItem, int nSubItem, int nArea, QRect& rect) const;

    RecordListModel* Model() const { return m_pModel; }
    // The in-place editor (a hidden child of the viewport while idle).
    CellEdit* Editor() const { return m_pEdit; }
    // Opens the editor over the cell, filled with its text, all selected and
    // focused; an open edit is written first. False when there is no such cell.
    bool EditSubItem(int nItem, int nSubItem);
    // Writes the editor's text into its cell now, when it is open.
    void CommitOpenEdit();
    // The editor's way back: sets the text and, when it changed, says so.
    void CommitCellText(int nItem, int nSubItem, const QString& strText);

signals:
    // The operator changed a cell's text in place.
    void ItemEdited(int nItem, int nSubItem);

protected:
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    RecordListModel* m_pModel;
    CellEdit* m_pEdit;
    quint32 m_dwExStyle = 0;
};
