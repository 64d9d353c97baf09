// Item model behind the record list: one MeasurementRecord per row, the
// columns and their headers as the list control inserted them.
#pragma once

#include "records/MeasurementRecord.h"

#include <QAbstractTableModel>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QVector>

class RecordListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString strHeading;
        int nFormat = 0;  // LVCFMT_LEFT (0), LVCFMT_RIGHT (1), LVCFMT_CENTER (2)
        int nSubItem = 0; // which text of the record the column shows
    };

    explicit RecordListModel(QObject* pParent = nullptr);

    // What the views see: the rows announced so far.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;

    // Every row, announced or not: what the list's operations work on.
    int RowTotal() const { return static_cast<int>(m_rows.size()); }
    // Inserts an empty row at nItem (at the end when nItem is past it); -1 when nItem < 0.
    int InsertRow(int nItem, const QString& strText);
    bool SetText(int nItem, int nSubItem, const QString& strText);
    QString Text(int nItem, int nSubItem) const;
    const MeasurementRecord& Record(int nItem) const { return m_rows[nItem]; }
    void RemoveAllRows();
    // Appends many rows at once.
    void AppendRows(const QVector<MeasurementRecord>& rows);

    int InsertColumn(int nCol, const Column& column);
    bool RemoveColumn(int nCol);
    int ColumnSubItem(int nCol) const { return m_columns[nCol].nSubItem; }

    // Announces the rows and changes noted so far (a timer does it soon anyway).
    void Flush();

private:
    // Rows appended at the end and cell changes are announced together, as
    // one range: at once after a quiet while, else at most every
    // FLUSH_INTERVAL_MS, so that a download or an opened report does not
    // make the view lay out and paint once per row or per cell. The list's
    // own operations see the new rows and texts at once.
    void ScheduleFlush();
    void NoteRowChanged(int nRow);
    void timerEvent(QTimerEvent* pEvent) override;

    QVector<MeasurementRecord> m_rows;
    int m_nShown = 0; // rows the views know of: m_rows[0 .. m_nShown-1]
    int m_nDirtyFirst = -1;
    int m_nDirtyLast = -1;
    QBasicTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
    QVector<Column> m_columns;
};
