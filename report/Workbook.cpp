// In-memory workbook: the compact cell store behind Worksheet.
#include "report/Workbook.h"

#include <algorithm>

quint16 CellFormat::Pack() const
{
    const int nFill = (nFillColorIndex >= 1 && nFillColorIndex <= 56) ? nFillColorIndex : 0;
    return quint16((bBold ? 0x01 : 0) | (bTextFormat ? 0x02 : 0) | ((nHorzAlign & 0x07) << 2) |
                   ((nVertAlign & 0x07) << 5) | (nFill << 8));
}

CellFormat CellFormat::Unpack(quint16 nPacked)
{
    CellFormat format;
    format.bBold = (nPacked & 0x01) != 0;
    format.bTextFormat = (nPacked & 0x02) != 0;
    format.nHorzAlign = (nPacked >> 2) & 0x07;
    format.nVertAlign = (nPacked >> 5) & 0x07;
    const int nFill = (nPacked >> 8) & 0x3F;
    format.nFillColorIndex = nFill == 0 ? -1 : nFill;
    return format;
}

qsizetype Worksheet::Search(quint32 nKey) const
{
    const qsizetype nSize = qsizetype(m_cells.size());
    // Reading a report asks for the cells one after the other: try the
    // slot after the last one found before searching.
    for (qsizetype i = m_nHint; i < nSize && i <= m_nHint + 1; ++i)
        if (m_cells[size_t(i)].nKey == nKey)
            return m_nHint = i;
    auto it = std::lower_bound(m_cells.begin(), m_cells.end(), nKey,
                               [](const Slot& slot, quint32 n) { return slot.nKey < n; });
    if (it == m_cells.end() || it->nKey != nKey)
        return -1;
    return m_nHint = qsizetype(it - m_cells.begin());
}

Worksheet::Slot* Worksheet::Touch(int nRow, int nCol)
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS)
        return nullptr;
    if (m_bUnsorted)
        FinishAppending();
    const quint32 nKey = Key(nRow, nCol);
    // Filling row by row (the report job) only appends.
    if (m_cells.empty() || m_cells.back().nKey < nKey)
    {
        m_cells.push_back(Slot{nKey, NO_TEXT, m_defaultFormat.Pack()});
        return &m_cells.back();
    }
    auto it = std::lower_bound(m_cells.begin(), m_cells.end(), nKey,
                               [](const Slot& slot, quint32 n) { return slot.nKey < n; });
    if (it == m_cells.end() || it->nKey != nKey)
        it = m_cells.insert(it, Slot{nKey, NO_TEXT, m_defaultFormat.Pack()});
    return &*it;
}

quint32 Worksheet::AddText(const QString& strText)
{
    m_texts.push_back(strText);
    return quint32(m_texts.size() - 1);
}

void Worksheet::SetText(int nRow, int nCol, const QString& strText)
{
    Slot* pSlot = Touch(nRow, nCol);
    if (pSlot == nullptr)
        return;
    if (strText.isEmpty())
    {
        pSlot->nText = NO_TEXT;
        return;
    }
    if (m_lastTextOfColumn.empty())
        m_lastTextOfColumn.assign(SHEET_MAX_COLS, NO_TEXT);
    quint32& nLast = m_lastTextOfColumn[size_t(nCol)];
    if (nLast == NO_TEXT || m_texts[nLast] != strText)
        nLast = AddText(strText);
    pSlot->nText = nLast;
}

void Worksheet::ClearText(int nRow, int nCol)
{
    if (m_bUnsorted)
        FinishAppending();
    const qsizetype i = Search(Key(nRow, nCol));
    if (i >= 0)
        m_cells[size_t(i)].nText = NO_TEXT;
}

const QString* Worksheet::FindText(int nRow, int nCol) const
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS || m_bUnsorted)
        return nullptr;
    const qsizetype i = Search(Key(nRow, nCol));
    if (i < 0 || m_cells[size_t(i)].nText == NO_TEXT)
        return nullptr;
    return &m_texts[m_cells[size_t(i)].nText];
}

QString Worksheet::Text(int nRow, int nCol) const
{
    const QString* pText = FindText(nRow, nCol);
    return pText ? *pText : QString();
}

bool Worksheet::GetCell(int nRow, int nCol, Cell* pCell) const
{
    if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS || m_bUnsorted)
        return false;
    const qsizetype i = Search(Key(nRow, nCol));
    if (i < 0)
        return false;
    if (pCell)
    {
        const Slot& slot = m_cells[size_t(i)];
        pCell->strText = slot.nText == NO_TEXT ? QString() : m_texts[slot.nText];
        pCell->format = CellFormat::Unpack(slot.nFormat);
    }
    return true;
}

bool Worksheet::UsedRows(int& nFirst, int& nLast) const
{
    // A row exists only once a cell was created in it.
    if (m_cells.empty())
        return false;
    nFirst = int(m_cells.front().nKey >> 8);
    nLast = int(m_cells.back().nKey >> 8);
    return true;
}

bool Worksheet::UsedColumns(int& nFirst, int& nLast) const
{
    if (m_cells.empty())
        return false;
    nFirst = SHEET_MAX_COLS;
    nLast = -1;
    for (const Slot& slot : m_cells)
    {
        nFirst = std::min(nFirst, int(slot.nKey & 0xFF));
        nLast = std::max(nLast, int(slot.nKey & 0xFF));
    }
    return true;
}

void Worksheet::ClearCells()
{
    m_cells.clear();
    m_texts.clear();
    m_lastTextOfColumn.clear();
    m_bUnsorted = false;
    m_nHint = 0;
}

void Worksheet::Append(int nRow, int nCol, quint16 nFormat, quint32 nText)
{
    const quint32 nKey = Key(nRow, nCol);
    if (!m_cells.empty() && m_cells.back().nKey >= nKey)
        m_bUnsorted = true;
    m_cells.push_back(Slot{nKey, nText, nFormat});
}

int Worksheet::FinishAppending()
{
    if (!m_bUnsorted)
        return 0;
    m_bUnsorted = false;
    // Stable, so that of two cells at one position the later one wins, as
    // when a file's records are applied one after the other.
    std::stable_sort(m_cells.begin(), m_cells.end(), [](const Slot& a, const Slot& b) { return a.nKey < b.nKey; });
    size_t nOut = 0;
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        if (nOut > 0 && m_cells[nOut - 1].nKey == m_cells[i].nKey)
            m_cells[nOut - 1] = m_cells[i];
        else
            m_cells[nOut++] = m_cells[i];
    }
    const int nRepeats = int(m_cells.size() - nOut);
    m_cells.resize(nOut);
    m_nHint = 0;
    return nRepeats;
}
