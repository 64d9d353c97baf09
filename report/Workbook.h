// In-memory workbook of the built-in spreadsheet server: what the automation
// calls change, what the BIFF8 writer saves and what the reader fills.
// Rows and columns are 0-based here (row 0 is Excel's row 1, column 0 is A).
#pragma once

#include <QString>
#include <QVector>
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
};

struct Cell
{
    QString strText; // every value the report writes is text
    bool bHasValue = false;
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
    QString m_strName = QStringLiteral("Sheet1");
    QVector<CellRect> m_merges;
    std::map<int, int> m_columnWidths; // column -> width in characters (Excel's ColumnWidth)
    CellFormat m_defaultFormat;        // format applied to "all cells"

    // The cell, created with the sheet-wide format when absent. A position
    // outside the sheet (negative, row >= SHEET_MAX_ROWS, column >=
    // SHEET_MAX_COLS) gives a scratch cell that belongs to no position and is
    // never saved.
    Cell& At(int nRow, int nCol);
    // The cell's text, or an empty string when there is none.
    QString Text(int nRow, int nCol) const;
    // First and last used row, or false when the sheet holds no cell.
    bool UsedRows(int& nFirst, int& nLast) const;
    // First and last column that holds a cell, or false when there is none.
    bool UsedColumns(int& nFirst, int& nLast) const;

    // The cell at a position, or nullptr when none was created there.
    const Cell* Find(int nRow, int nCol) const;
    // Number of cells created (with or without a value).
    int CellCount() const { return m_nCellCount; }
    // Calls fn(nRow, nCol, const Cell&) for every cell, row by row and left
    // to right within a row: the order of a BIFF sheet.
    template <typename Fn> void ForEachCell(Fn&& fn) const
    {
        for (const auto& row : m_rows)
            for (const ColumnCell& cc : row.second)
                fn(row.first, cc.nCol, cc.cell);
    }
    // Removes every cell (merges, widths and the default format stay).
    void ClearCells();

private:
    struct ColumnCell
    {
        int nCol;
        Cell cell;
    };
    // Sparse rows, each a vector of its cells sorted by column: memory grows
    // with the cells really there, and filling row by row only appends.
    std::map<int, std::vector<ColumnCell>> m_rows;
    int m_nCellCount = 0;
    Cell m_scratch;
};

class Workbook
{
public:
    QVector<Worksheet> m_sheets{Worksheet()};
    int m_nActiveSheet = 0;

    Worksheet& ActiveSheet() { return m_sheets[m_nActiveSheet]; }
    const Worksheet& ActiveSheet() const { return m_sheets[m_nActiveSheet]; }
};
