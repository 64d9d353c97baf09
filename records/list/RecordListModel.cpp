// Item model behind the record list.
#include "records/list/RecordListModel.h"

#include <QTimerEvent>

RecordListModel::RecordListModel(QObject* pParent) : QAbstractTableModel(pParent)
{
}

int RecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nShown;
}

int RecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.row() >= m_nShown || index.column() >= m_columns.size())
        return {};
    const Column& column = m_columns[index.column()];
    if (nRole == Qt::DisplayRole || nRole == Qt::EditRole)
    {
        if (column.nSubItem < 0 || column.nSubItem >= RECORD_COLUMNS)
            return QString();
        return m_rows[index.row()].texts[static_cast<size_t>(column.nSubItem)];
    }
    if (nRole == Qt::TextAlignmentRole)
    {
        const int nHorz = column.nFormat == 1 ? Qt::AlignRight : column.nFormat == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
        return QVariant::fromValue(nHorz | Qt::AlignVCenter);
    }
    return {};
}

QVariant RecordListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    if (orientation != Qt::Horizontal || nSection < 0 || nSection >= m_columns.size())
        return {};
    if (nRole == Qt::DisplayRole)
        return m_columns[nSection].strHeading;
    if (nRole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

int RecordListModel::InsertRow(int nItem, const QString& strText)
{
    if (nItem < 0)
        return -1;
    MeasurementRecord record;
    record.texts[0] = strText;
    if (nItem >= m_rows.size())
    {
        // At the end, as a download adds its rows: announced with the others
        // of this turn of the event loop.
        m_rows.append(record);
        ScheduleFlush();
        return static_cast<int>(m_rows.size()) - 1;
    }
    // Inside the rows: the views must know every row before one moves.
    Flush();
    const int nRow = nItem;
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_rows.insert(nRow, record);
    ++m_nShown;
    endInsertRows();
    return nRow;
}

bool RecordListModel::SetText(int nItem, int nSubItem, const QString& strText)
{
    if (nItem < 0 || nItem >= m_rows.size() || nSubItem < 0 || nSubItem >= RECORD_COLUMNS)
        return false;
    m_rows[nItem].texts[static_cast<size_t>(nSubItem)] = strText;
    if (nItem < m_nShown)
        NoteRowChanged(nItem);
    return true;
}

QString RecordListModel::Text(int nItem, int nSubItem) const
{
    if (nItem < 0 || nItem >= m_rows.size() || nSubItem < 0 || nSubItem >= RECORD_COLUMNS)
        return QString();
    return m_rows[nItem].texts[static_cast<size_t>(nSubItem)];
}

namespace {
// Often enough for the eye; a download of 24 records a second then lays out
// the list twice a second instead of 24 times.
constexpr int FLUSH_INTERVAL_MS = 500;
} // namespace

void RecordListModel::ScheduleFlush()
{
    if (m_flushTimer.isActive())
        return;
    const qint64 nSince = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : FLUSH_INTERVAL_MS;
    m_flushTimer.start(int(qMax<qint64>(0, FLUSH_INTERVAL_MS - nSince)), this);
}

void RecordListModel::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() == m_flushTimer.timerId())
        Flush();
    else
        QAbstractTableModel::timerEvent(pEvent);
}

void RecordListModel::NoteRowChanged(int nRow)
{
    if (m_nDirtyFirst < 0)
    {
        m_nDirtyFirst = nRow;
        m_nDirtyLast = nRow;
        ScheduleFlush();
        return;
    }
    m_nDirtyFirst = qMin(m_nDirtyFirst, nRow);
    m_nDirtyLast = qMax(m_nDirtyLast, nRow);
}

void RecordListModel::Flush()
{
    m_flushTimer.stop();
    m_sinceFlush.start();
    const int nTotal = static_cast<int>(m_rows.size());
    if (m_nShown < nTotal)
    {
        beginInsertRows(QModelIndex(), m_nShown, nTotal - 1);
        m_nShown = nTotal;
        endInsertRows();
    }
    // Rows may have gone since the change was noted.
    const int nFirst = m_nDirtyFirst;
    const int nLast = qMin(m_nDirtyLast, m_nShown - 1);
    m_nDirtyFirst = -1;
    m_nDirtyLast = -1;
    if (nFirst < 0 || nFirst > nLast || m_columns.isEmpty())
        return;
    emit dataChanged(index(nFirst, 0), index(nLast, static_cast<int>(m_columns.size()) - 1), {Qt::DisplayRole});
}

void RecordListModel::RemoveAllRows()
{
    m_nDirtyFirst = -1;
    m_nDirtyLast = -1;
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_nShown = 0;
    endResetModel();
}

void RecordListModel::AppendRows(const QVector<MeasurementRecord>& rows)
{
    if (rows.isEmpty())
        return;
    m_rows += rows;
    ScheduleFlush();
}

int RecordListModel::InsertColumn(int nCol, const Column& column)
{
    if (nCol < 0)
        return -1;
    const int nPos = qMin(nCol, static_cast<int>(m_columns.size()));
    beginInsertColumns(QModelIndex(), nPos, nPos);
    m_columns.insert(nPos, column);
    endInsertColumns();
    return nPos;
}

bool RecordListModel::RemoveColumn(int nCol)
{
    if (nCol < 0 || nCol >= m_columns.size())
        return false;
    beginRemoveColumns(QModelIndex(), nCol, nCol);
    m_columns.remove(nCol);
    endRemoveColumns();
    return true;
}
