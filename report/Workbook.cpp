// In-memory workbook: the sparse cell store behind Worksheet.
#include "report/Workbook.h"

#include <algorithm>

Cell& Worksheet::At(int nRow, int nCol)
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS)
    {
        m_scratch = Cell();
        m_scratch.format = m_defaultFormat;
        return m_scratch;
    }
    // Filling row by row (the reader, the report job) hits the last row or
    // appends a new one, both without a search.
    std::vector<ColumnCell>* pRow = nullptr;
    if (!m_rows.empty() && m_rows.rbegin()->first == nRow)
        pRow = &m_rows.rbegin()->second;
    else if (m_rows.empty() || m_rows.rbegin()->first < nRow)
        pRow = &m_rows.emplace_hint(m_rows.end(), nRow, std::vector<ColumnCell>())->second;
    else
        pRow = &m_rows[nRow];

    if (pRow->empty() || pRow->back().nCol < nCol)
    {
        pRow->push_back(ColumnCell{nCol, Cell()});
        ++m_nCellCount;
        pRow->back().cell.format = m_defaultFormat;
        return pRow->back().cell;
    }
    auto it =
        std::lower_bound(pRow->begin(), pRow->end(), nCol, [](const ColumnCell& cc, int n) { return cc.nCol < n; });
    if (it != pRow->end() && it->nCol == nCol)
        return it->cell;
    it = pRow->insert(it, ColumnCell{nCol, Cell()});
    ++m_nCellCount;
    it->cell.format = m_defaultFormat;
    return it->cell;
}

const Cell* Worksheet::Find(int nRow, int nCol) const
{
    auto itRow = m_rows.find(nRow);
    if (itRow == m_rows.end())
        return nullptr;
    const std::vector<ColumnCell>& row = itRow->second;
    auto it = std::lower_bound(row.begin(), row.end(), nCol, [](const ColumnCell& cc, int n) { return cc.nCol < n; });
    return (it != row.end() && it->nCol == nCol) ? &it->cell : nullptr;
}

QString Worksheet::Text(int nRow, int nCol) const
{
    const Cell* pCell = Find(nRow, nCol);
    return pCell ? pCell->strText : QString();
}

bool Worksheet::UsedRows(int& nFirst, int& nLast) const
{
    // A row exists only once a cell was created in it.
    if (m_rows.empty())
        return false;
    nFirst = m_rows.begin()->first;
    nLast = m_rows.rbegin()->first;
    return true;
}

bool Worksheet::UsedColumns(int& nFirst, int& nLast) const
{
    if (m_rows.empty())
        return false;
    nFirst = SHEET_MAX_COLS;
    nLast = -1;
    for (const auto& row : m_rows)
    {
        nFirst = std::min(nFirst, row.second.front().nCol);
        nLast = std::max(nLast, row.second.back().nCol);
    }
    return true;
}

void Worksheet::ClearCells()
{
    m_rows.clear();
    m_nCellCount = 0;
}
