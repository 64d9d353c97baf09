// In-memory workbook of the built-in spreadsheet server: what the automation
// calls change, what the BIFF8 writer saves and what the reader fills.
// Rows and columns are 0-based here (row 0 is Excel's row 1, column 0 is A).
//
// A sheet keeps its cells compact, since a report holds close to half a
// million of them: 12 bytes a cell (position, text number, packed format)
// in one array sorted by position, and each text once in the sheet's text
// table, shared with the QString it came from (no copy of the characters).
// Texts written through SetText are found again by a hash made once, when
// they are stored, so equal texts share one entry and the writer needs no
// hashing of its own for the shared-string table. SetText looks its text
// up a few dozen cells later, all of them together: the lookups of half a
// million texts in an index of megabytes then wait for memory side by side
// instead of one after the other. Every reader of the cells sees them
// looked up first, so the delay shows nowhere.
#pragma once

#include "files/HugePages.h"

#include <QString>
#include <QVector>
#include <algorithm>
#include <map>
#include <vector>

// Cell format as far as the report uses it. Alignment codes are the BIFF8
// ones (horizontal 0 general, 1 left, 2 centre, 3 right; vertical 0 top,
// 1 centre, 2 bottom), already translated from Excel's automation codes.
struct CellFormat
{
    bool bBold = false;
    int nFillColorIndex = -1; // Excel's ColorIndex 1..56, -1 for none
    bool bTextFormat = false; // number format "@"
    int nHorzAlign = 0;
    int nVertAlign = 2; // Excel's default is bottom

    bool operator==(const CellFormat& o) const
    {
        return bBold == o.bBold && nFillColorIndex == o.nFillColorIndex && bTextFormat == o.bTextFormat &&
               nHorzAlign == o.nHorzAlign && nVertAlign == o.nVertAlign;
    }
    bool operator!=(const CellFormat& o) const { return !(*this == o); }

    // The format in 15 bits, as a cell stores it. What a file cannot hold
    // is brought back to "none" on the way: a fill outside Excel's 56
    // colours is no fill, alignment codes keep their three bits.
    //   bit 0      bold
    //   bit 1      text format "@"
    //   bits 2..4  horizontal alignment
    //   bits 5..7  vertical alignment
    //   bits 8..13 fill ColorIndex 1..56, 0 for none
    quint16 Pack() const
    {
        const int nFill = (nFillColorIndex >= 1 && nFillColorIndex <= 56) ? nFillColorIndex : 0;
        return quint16((bBold ? 0x01 : 0) | (bTextFormat ? 0x02 : 0) | ((nHorzAlign & 0x07) << 2) |
                       ((nVertAlign & 0x07) << 5) | (nFill << 8));
    }
    static CellFormat Unpack(quint16 nPacked);
};

// A cell as callers see it: its text (empty for a cell without value) and
// its format.
struct Cell
{
    QString strText;
    CellFormat format;
};

struct CellRect
{
    int nFirstRow = 0;
    int nLastRow = 0;
    int nFirstCol = 0;
    int nLastCol = 0;
};

constexpr int SHEET_MAX_ROWS = 65536;
constexpr int SHEET_MAX_COLS = 256;

class Worksheet
{
public:
    // One stored cell. The key orders cells as a BIFF sheet does: row by
    // row, left to right within a row.
    struct Slot
    {
        quint32 nKey;    // row << 8 | column
        quint32 nText;   // entry of the text table, NO_TEXT for a cell without value
        quint16 nFormat; // CellFormat::Pack()
    };
    static constexpr quint32 NO_TEXT = 0xFFFFFFFFu;
    // A report's cells and texts run to megabytes: their arrays are in
    // huge pages where the system has them (files/HugePages.h).
    using SlotArray = std::vector<Slot, LargeAllocator<Slot>>;
    using TextArray = std::vector<QString, LargeAllocator<QString>>;
    static quint32 Key(int nRow, int nCol) { return (quint32(nRow) << 8) | quint32(nCol); }

    QString m_strName = QStringLiteral("Sheet1");
    // What the file says the sheet is: 0 a worksheet, 1 a macro sheet,
    // 2 a chart, 6 a module. Only worksheets have cells.
    int m_nKind = 0;
    QVector<CellRect> m_merges;
    std::map<int, int> m_columnWidths; // column -> width in characters (Excel's ColumnWidth)
    CellFormat m_defaultFormat;        // format applied to "all cells"

    // Writes a cell's text; the cell is created with the sheet-wide format
    // when absent. An empty text leaves a cell without value. Positions
    // outside the sheet are ignored.
    void SetText(int nRow, int nCol, const QString& strText);
    // Changes a cell's format (fn(CellFormat&)); the cell is created when absent.
    template <typename Fn> void EditFormat(int nRow, int nCol, Fn&& fn)
    {
        if (Slot* pSlot = Touch(nRow, nCol))
        {
            CellFormat format = CellFormat::Unpack(pSlot->nFormat);
            fn(format);
            pSlot->nFormat = format.Pack();
        }
    }
    // Changes the format of every cell there is (fn(CellFormat&)); cells
    // sharing a format are worked out once.
    template <typename Fn> void EditAllFormats(Fn&& fn)
    {
        std::map<quint16, quint16> changed;
        for (Slot& slot : m_cells)
        {
            auto it = changed.find(slot.nFormat);
            if (it == changed.end())
            {
                CellFormat format = CellFormat::Unpack(slot.nFormat);
                fn(format);
                it = changed.emplace(slot.nFormat, format.Pack()).first;
            }
            slot.nFormat = it->second;
        }
    }
    // Empties a cell's value but keeps the cell and its format.
    void ClearText(int nRow, int nCol);

    // The cell's text, or an empty string when there is none.
    QString Text(int nRow, int nCol) const;
    // The cell's text and format; false when no cell was created there.
    bool GetCell(int nRow, int nCol, Cell* pCell) const;
    // The text of a cell, shared with the table (no copy of the characters);
    // null for a cell without value. Fast for positions asked in order: the
    // table entry of a cell some way on is asked for from memory meanwhile,
    // and the characters of a nearer one (whose entry came in by then).
    const QString* FindText(int nRow, int nCol) const
    {
        if (nRow < 0 || nRow >= SHEET_MAX_ROWS || nCol < 0 || nCol >= SHEET_MAX_COLS || m_bUnsorted)
            return nullptr;
        FlushTexts();
        const qsizetype i = Search(Key(nRow, nCol));
        if (i < 0)
            return nullptr;
        constexpr size_t AHEAD = 16, CHARS_AHEAD = 8;
        if (size_t(i) + AHEAD < m_cells.size() && m_cells[size_t(i) + AHEAD].nText != NO_TEXT)
            __builtin_prefetch(&m_texts[m_cells[size_t(i) + AHEAD].nText]);
        if (size_t(i) + CHARS_AHEAD < m_cells.size() && m_cells[size_t(i) + CHARS_AHEAD].nText != NO_TEXT)
            __builtin_prefetch(m_texts[m_cells[size_t(i) + CHARS_AHEAD].nText].constData());
        if (m_cells[size_t(i)].nText == NO_TEXT)
            return nullptr;
        return &m_texts[m_cells[size_t(i)].nText];
    }
    // First and last used row, or false when the sheet holds no cell.
    bool UsedRows(int& nFirst, int& nLast) const;
    // First and last column that holds a cell, or false when there is none.
    bool UsedColumns(int& nFirst, int& nLast) const;
    // Number of cells created (with or without a value).
    int CellCount() const { return int(m_cells.size()); }
    // Calls fn(nRow, nCol, const Cell&) for every cell, in the order of a
    // BIFF sheet. For tests and tools: it makes a Cell per call.
    template <typename Fn> void ForEachCell(Fn&& fn) const
    {
        FlushTexts();
        for (const Slot& slot : m_cells)
            fn(int(slot.nKey >> 8), int(slot.nKey & 0xFF),
               Cell{slot.nText == NO_TEXT ? QString() : m_texts[slot.nText], CellFormat::Unpack(slot.nFormat)});
    }
    // Removes every cell (merges, widths and the default format stay).
    void ClearCells();

    // The stored cells in order and the text table, for the writer.
    const SlotArray& Slots() const
    {
        FlushTexts();
        return m_cells;
    }
    const TextArray& Texts() const
    {
        FlushTexts();
        return m_texts;
    }
    // True when no two entries of the text table are equal (every text came
    // through SetText); false once AddText took one as it was.
    bool TextsDistinct() const
    {
        FlushTexts();
        return m_bTextsDistinct;
    }
    // The length of the longest text of the table, in UTF-16 units.
    qsizetype LongestText() const
    {
        FlushTexts();
        return m_nLongestText;
    }

    // Filling from a file: cells arrive in any order and may repeat. Append
    // takes them as they come; FinishAppending puts them in order once and
    // keeps the last of each position, returning how many repeats it dropped.
    // AddText stores a text as it is, without looking for an equal one.
    quint32 AddText(const QString& strText);
    void Append(int nRow, int nCol, quint16 nFormat, quint32 nText)
    {
        FlushTexts();
        const quint32 nKey = Key(nRow, nCol);
        if (!m_cells.empty() && m_cells.back().nKey >= nKey)
            m_bUnsorted = true;
        NoteColumn(nCol);
        MakeRoom(m_cells);
        m_cells.push_back(Slot{nKey, nText, nFormat});
    }
    // Cells from a file that follow each other in order (nKey ascending),
    // in columns nFirstCol to nLastCol, as Append would take them one by one.
    void AppendInOrder(const Slot* pSlots, size_t nCount, int nFirstCol, int nLastCol);
    // Takes texts as the table of a sheet that has none yet (a file's
    // shared strings: entry i is string i), as AddText would one by one.
    void AdoptTexts(TextArray&& texts);
    // Room for nCells cells to come (a file says how many bytes are left).
    void ReserveCells(qsizetype nCells) { m_cells.reserve(size_t(std::max<qsizetype>(nCells, 0))); }
    int FinishAppending();

private:
    // The slot of a position, created (sheet-wide format) when absent; null
    // outside the sheet. Filling row by row (the report job) only appends.
    Slot* Touch(int nRow, int nCol)
    {
        const quint32 nKey = Key(nRow, nCol);
        if (quint32(nRow) >= quint32(SHEET_MAX_ROWS) || quint32(nCol) >= quint32(SHEET_MAX_COLS) || m_bUnsorted ||
            (!m_cells.empty() && m_cells.back().nKey >= nKey))
            return TouchBefore(nRow, nCol);
        NoteColumn(nCol);
        MakeRoom(m_cells);
        m_cells.push_back(Slot{nKey, NO_TEXT, m_defaultFormat.Pack()});
        return &m_cells.back();
    }
    // Touch for a position outside the sheet, before the last cell or while
    // cells arrive unsorted.
    Slot* TouchBefore(int nRow, int nCol);
    // Room for one more element at the end of the cells or the texts. An
    // array that outgrows the heap grows sixteenfold, not twofold: its
    // block is a mapping of its own whose pages take memory only once they
    // are written (LargeAllocator), while every move into a larger block
    // writes all elements into fresh memory again. Half a million cells
    // move once instead of four times.
    template <typename Array> static void MakeRoom(Array& array)
    {
        if (Q_UNLIKELY(array.size() == array.capacity()))
            Grow(array);
    }
    template <typename Array> Q_NEVER_INLINE static void Grow(Array& array)
    {
        using T = typename Array::value_type;
        constexpr size_t MOST = size_t(SHEET_MAX_ROWS) * SHEET_MAX_COLS;
        const size_t nFactor = 2 * array.capacity() * sizeof(T) >= LARGE_BYTES ? 16 : 2;
        array.reserve(std::min(MOST, std::max<size_t>(array.capacity() * nFactor, 64)));
    }
    // Index of the slot with nKey, or -1. Reading a report asks for the
    // cells one after the other: the slot after the last one found is tried
    // before searching.
    qsizetype Search(quint32 nKey) const
    {
        const size_t nHint = size_t(m_nHint);
        if (nHint < m_cells.size() && m_cells[nHint].nKey == nKey)
            return m_nHint;
        if (nHint + 1 < m_cells.size() && m_cells[nHint + 1].nKey == nKey)
            return ++m_nHint;
        return SearchAll(nKey);
    }
    qsizetype SearchAll(quint32 nKey) const;
    void NoteColumn(int nCol)
    {
        m_nFirstCol = std::min(m_nFirstCol, nCol);
        m_nLastCol = std::max(m_nLastCol, nCol);
    }
    // Looks up the texts SetText left waiting and puts their entries into
    // their cells. Const because it changes nothing a caller can see: the
    // readers call it before they look.
    void FlushTexts() const
    {
        if (m_nPending != 0)
            const_cast<Worksheet*>(this)->LookUpPending();
    }
    void LookUpPending();
    // The table entry of a text equal to strText (whose hash is nHash),
    // made when there is none (strText then moves into it).
    quint32 InternText(QString& strText, quint32 nHash);
    void GrowTextIndex(size_t nMinSize);

    SlotArray m_cells; // sorted by nKey, except while appending from a file
    TextArray m_texts;
    // Open addressing over m_texts: each slot holds the text's hash in its
    // upper half and its table entry + 1 in the lower, or 0 when free; a
    // power of two in size, at most half full. A probe reads one slot and
    // compares characters only when the hashes agree; growing needs no
    // hashing again.
    std::vector<quint64, ZeroedAllocator<quint64>> m_textIndex;
    // Texts given to SetText and not looked up yet, with the cells they go
    // to (positions in m_cells: cells are only appended while texts wait).
    struct PendingText
    {
        QString strText;
        size_t nCell;
    };
    static constexpr int PENDING_TEXTS = 32;
    PendingText m_pending[PENDING_TEXTS];
    int m_nPending = 0;
    bool m_bTextsDistinct = true;
    qsizetype m_nLongestText = 0;
    // The text last stored in each column: a report repeats "1550nm" and
    // "OPM" row after row, and those become one table entry.
    // With its hash, so that a different text is told without comparing.
    struct ColumnText
    {
        quint32 nText = NO_TEXT;
        quint32 nHash = 0;
    };
    std::vector<ColumnText> m_lastTextOfColumn;
    bool m_bUnsorted = false;
    mutable qsizetype m_nHint = 0; // where the last lookup ended
    // The first and last column of any cell there is.
    int m_nFirstCol = SHEET_MAX_COLS;
    int m_nLastCol = -1;
};

class Workbook
{
public:
    QVector<Worksheet> m_sheets{Worksheet()};
    int m_nActiveSheet = 0;

    Worksheet& ActiveSheet() { return m_sheets[m_nActiveSheet]; }
    const Worksheet& ActiveSheet() const { return m_sheets[m_nActiveSheet]; }
};
