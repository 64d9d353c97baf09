// In-memory workbook helpers.
#include "report/Workbook.h"

Cell& Worksheet::At(int nRow, int nCol)
{
    auto it = m_cells.find(Key(nRow, nCol));
    if (it != m_cells.end())
        return it->second;
    Cell cell;
    cell.format = m_defaultFormat;
    return m_cells.emplace(Key(nRow, nCol), cell).first->second;
}

QString Worksheet::Text(int nRow, int nCol) const
{
    auto it = m_cells.find(Key(nRow, nCol));
    return it == m_cells.end() ? QString() : it->second.strText;
}

bool Worksheet::UsedRows(int& nFirst, int& nLast) const
{
    if (m_cells.empty())
        return false;
    nFirst = m_cells.begin()->first >> 8;
    nLast = m_cells.rbegin()->first >> 8;
    return true;
}
