// Item model behind the record list: one MeasurementRecord per row, the
// columns and their headers as the list control inserted them.
#pragma once

#include "records/MeasurementRecord.h"

#include <QAbstractTableModel>
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

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole = Qt::DisplayRole) const override;

    // Inserts an empty row at nItem (at the end when nItem is past it); -1 when nItem < 0.
    int InsertRow(int nItem, const QString& strText);
    bool SetText(int nItem, int nSubItem, const QString& strText);
    QString Text(int nItem, int nSubItem) const;
    const MeasurementRecord& Record(int nItem) const { return m_rows[nItem]; }
    void RemoveAllRows();
    // Appends many rows at once (one model notification).
    void AppendRows(const QVector<MeasurementRecord>& rows);

    int InsertColumn(int nCol, const Column& column);
    bool RemoveColumn(int nCol);
    int ColumnSubItem(int nCol) const { return m_columns[nCol].nSubItem; }

private:
    // Cell changes are announced once per event-loop turn, as one range, so
    // that filling 65,535 rows cell by cell does not make the view work
    // 458,745 times; data() gives the new texts at once all the same.
    void NoteRowChanged(int nRow);
    void FlushChanges();

    QVector<MeasurementRecord> m_rows;
    int m_nDirtyFirst = -1;
    int m_nDirtyLast = -1;
    QVector<Column> m_columns;
};
