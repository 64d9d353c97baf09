// Writer of the BIFF8 workbook stream. The sheets are built first, so that
// every format and string they use is known when the globals (XF table,
// SST) are written in front of them; BOUNDSHEET positions are patched in a
// second pass once the length of the globals is known.
#include "report/WorkbookStream.h"

#include <algorithm>

#include "report/BiffRecords.h"

using namespace BiffRecords;

namespace {

constexpr int MAX_CELL_XFS = 4000; // Excel's limit is 4050 XFs in all

// The format as it will be written: anything the file cannot hold is
// brought back to "none" so that equal-looking formats share one XF.
CellFormat Normalized(const CellFormat& format)
{
    CellFormat f = format;
    if (f.nFillColorIndex < 1 || f.nFillColorIndex > 56)
        f.nFillColorIndex = -1;
    f.nHorzAlign &= 0x07;
    f.nVertAlign &= 0x07;
    return f;
}

QByteArray CellXfFor(const CellFormat& f)
{
    // Excel's ColorIndex n is palette entry n + 7: entries 0..7 are the
    // fixed EGA colours, ColorIndex 1 is entry 8. ColorIndex 35 (light
    // green) is entry 42; writing 35 itself would give turquoise.
    const int nPalette = f.nFillColorIndex > 0 ? f.nFillColorIndex + 7 : -1;
    return CellXf(f.bBold ? BIFF_FONT_BOLD : 0, f.bTextFormat ? BIFF_FORMAT_TEXT : 0, f.nHorzAlign, f.nVertAlign,
                  nPalette);
}

} // namespace

WorkbookStream::WorkbookStream(const Workbook& book) : m_book(book)
{
    m_xfFormats.push_back(CellFormat());
}

QStringList WorkbookStream::ExcelSheetNames(const Workbook& book)
{
    QStringList names;
    for (int i = 0; i < book.m_sheets.size(); ++i)
    {
        QString str = book.m_sheets[i].m_strName;
        for (QChar& ch : str)
            if (QStringLiteral("[]:*?/\\").contains(ch) || ch.unicode() < 0x20)
                ch = QLatin1Char('_');
        str = str.left(31);
        if (str.trimmed().isEmpty())
            str = QStringLiteral("Sheet%1").arg(i + 1);
        const QString strBase = str;
        for (int n = 2; names.contains(str, Qt::CaseInsensitive); ++n)
        {
            const QString strSuffix = QStringLiteral("(%1)").arg(n);
            str = strBase.left(31 - int(strSuffix.size())) + strSuffix;
        }
        names << str;
    }
    return names;
}

int WorkbookStream::XfIndex(const CellFormat& format)
{
    if (format == m_lastFormat)
        return m_nLastXf;
    const CellFormat f = Normalized(format);
    int n = int(std::find(m_xfFormats.begin(), m_xfFormats.end(), f) - m_xfFormats.begin());
    if (n == m_xfFormats.size())
    {
        if (n >= MAX_CELL_XFS)
            n = 0; // out of XFs: the cell keeps its text, loses its look
        else
            m_xfFormats.push_back(f);
    }
    m_lastFormat = format;
    m_nLastXf = BIFF_XF_DEFAULT_CELL + n;
    return m_nLastXf;
}

quint32 WorkbookStream::SstIndex(const QString& strText)
{
    ++m_nSstRefs;
    quint64 nHash = 14695981039346656037ull;
    for (QChar ch : strText)
        nHash = (nHash ^ ch.unicode()) * 1099511628211ull;
    if (m_sstSlots.size() < 2 * (m_sstHashes.size() + 1))
    {
        // Grow to a power of two of at least four times the strings, and
        // place them again.
        size_t nSlots = 1024;
        while (nSlots < 4 * m_sstHashes.size())
            nSlots *= 2;
        std::vector<quint32> table(nSlots, 0);
        const size_t nMask = table.size() - 1;
        for (size_t i = 0; i < m_sstHashes.size(); ++i)
        {
            size_t k = m_sstHashes[i] & nMask;
            while (table[k] != 0)
                k = (k + 1) & nMask;
            table[k] = quint32(i + 1);
        }
        m_sstSlots.swap(table);
    }
    const size_t nMask = m_sstSlots.size() - 1;
    for (size_t k = nHash & nMask;; k = (k + 1) & nMask)
    {
        const quint32 nSlot = m_sstSlots[k];
        if (nSlot == 0)
        {
            m_sstSlots[k] = quint32(m_sstStrings.size() + 1);
            m_sstHashes.push_back(nHash);
            m_sstStrings.push_back(strText);
            return quint32(m_sstStrings.size() - 1);
        }
        if (m_sstHashes[nSlot - 1] == nHash && m_sstStrings[int(nSlot - 1)] == strText)
            return nSlot - 1;
    }
}

QVector<CellRect> WorkbookStream::ValidMerges(const Worksheet& sheet)
{
    // Excel refuses a file with overlapping merged ranges, and a range
    // outside the sheet cannot be stored; both are left out, as is a
    // "range" of one cell.
    QVector<CellRect> merges;
    for (const CellRect& r : sheet.m_merges)
    {
        if (r.nFirstRow < 0 || r.nFirstCol < 0 || r.nLastRow >= SHEET_MAX_ROWS || r.nLastCol >= SHEET_MAX_COLS ||
            r.nFirstRow > r.nLastRow || r.nFirstCol > r.nLastCol)
            continue;
        if (r.nFirstRow == r.nLastRow && r.nFirstCol == r.nLastCol)
            continue;
        const bool bOverlaps = std::any_of(merges.begin(), merges.end(), [&r](const CellRect& m) {
            return r.nFirstRow <= m.nLastRow && m.nFirstRow <= r.nLastRow && r.nFirstCol <= m.nLastCol &&
                   m.nFirstCol <= r.nLastCol;
        });
        if (!bOverlaps)
            merges.push_back(r);
    }
    return merges;
}

// A worksheet substream:
//   BOF (worksheet), DEFCOLWIDTH, COLINFO*, DIMENSIONS, cells (LABELSST for
//   text, BLANK for a formatted empty cell), WINDOW2, MERGEDCELLS*, EOF
QByteArray WorkbookStream::BuildSheet(const Worksheet& sheet, bool bActive)
{
    QByteArray out;
    out.reserve(64 + 256 * 12 + qsizetype(sheet.CellCount()) * 14 + sheet.m_merges.size() * 8);
    out += Bof(BIFF_BOF_WORKSHEET);
    out += DefColWidth(8);

    // Every column carries the sheet-wide format; a COLINFO is written for
    // each run of columns that differs from Excel's plain default column.
    const int nColumnXf = XfIndex(sheet.m_defaultFormat);
    int nRunStart = 0;
    auto columnWidth = [&sheet](int nCol) {
        auto it = sheet.m_columnWidths.find(nCol);
        return it == sheet.m_columnWidths.end() ? BIFF_DEFAULT_COLUMN_WIDTH : ColumnWidthToBiff(it->second);
    };
    for (int nCol = 1; nCol <= SHEET_MAX_COLS; ++nCol)
    {
        const quint16 nWidth = columnWidth(nRunStart);
        if (nCol < SHEET_MAX_COLS && columnWidth(nCol) == nWidth)
            continue;
        if (nWidth != BIFF_DEFAULT_COLUMN_WIDTH || nColumnXf != BIFF_XF_DEFAULT_CELL)
            out += ColInfo(nRunStart, nCol - 1, nWidth, nColumnXf);
        nRunStart = nCol;
    }

    int nFirstRow = 0, nLastRow = -1, nFirstCol = 0, nLastCol = -1;
    if (sheet.UsedRows(nFirstRow, nLastRow) && sheet.UsedColumns(nFirstCol, nLastCol))
        out += Dimensions(nFirstRow, nLastRow + 1, nFirstCol, nLastCol + 1);
    else
        out += Dimensions(0, 0, 0, 0);

    // Most columns of a report repeat their text from row to row ("1550nm",
    // "OPM"): the last text of each column is tried before the table.
    std::vector<QString> lastText(SHEET_MAX_COLS);
    std::vector<quint32> lastIndex(SHEET_MAX_COLS, 0);
    sheet.ForEachCell([&](int nRow, int nCol, const Cell& cell) {
        const int nXf = XfIndex(cell.format);
        // A text is a value even if the caller forgot bHasValue; an empty
        // text is no value in Excel (setting "" empties a cell).
        const QString& str = cell.strText;
        if (str.isEmpty())
        {
            AppendBlank(out, nRow, nCol, nXf);
            return;
        }
        if (!lastText[nCol].isEmpty() && lastText[nCol] == str)
        {
            ++m_nSstRefs;
            AppendLabelSst(out, nRow, nCol, nXf, lastIndex[nCol]);
            return;
        }
        const quint32 nIndex = SstIndex(str.size() > BIFF_MAX_STRING_CHARS ? str.left(BIFF_MAX_STRING_CHARS) : str);
        lastText[nCol] = str;
        lastIndex[nCol] = nIndex;
        AppendLabelSst(out, nRow, nCol, nXf, nIndex);
    });

    out += Window2(bActive);
    AppendMergedCells(out, ValidMerges(sheet));
    out += Eof();
    return out;
}

// Workbook globals in file order:
//   BOF, INTERFACEHDR, MMS, INTERFACEEND, WRITEACCESS, CODEPAGE, DSF, TABID,
//   FNGROUPCOUNT, WINDOWPROTECT, PROTECT, PASSWORD, PROT4REV, PROT4REVPASS,
//   BACKUP, HIDEOBJ, WINDOW1, DATEMODE, PRECISION, REFRESHALL, BOOKBOOL,
//   FONT x5, XF x(15 style + cell XFs), STYLE, BOUNDSHEET per sheet, SST
//   (+ CONTINUE), EXTSST, EOF
// followed by the sheet substreams.
QByteArray WorkbookStream::Build()
{
    const Workbook& book = m_book;
    const int nSheets = int(book.m_sheets.size());
    const int nActive = (book.m_nActiveSheet >= 0 && book.m_nActiveSheet < nSheets) ? book.m_nActiveSheet : 0;
    const QStringList names = ExcelSheetNames(book);

    QVector<QByteArray> sheets;
    qsizetype nSheetBytes = 0;
    for (int i = 0; i < nSheets; ++i)
    {
        sheets.push_back(BuildSheet(book.m_sheets[i], i == nActive));
        nSheetBytes += sheets.back().size();
    }

    QByteArray out;
    out.reserve(nSheetBytes + 4096 + qsizetype(m_sstStrings.size()) * 16);
    out += Bof(BIFF_BOF_GLOBALS);
    out += InterfaceHdr();
    out += Mms();
    out += InterfaceEnd();
    out += WriteAccess(QStringLiteral("MeterClient"));
    out += CodePage();
    out += U16Record(BIFF_DSF, 0);
    out += TabId(nSheets);
    out += U16Record(BIFF_FNGROUPCOUNT, 14);
    out += U16Record(BIFF_WINDOWPROTECT, 0);
    out += U16Record(BIFF_PROTECT, 0);
    out += U16Record(BIFF_PASSWORD, 0);
    out += U16Record(BIFF_PROT4REV, 0);
    out += U16Record(BIFF_PROT4REVPASS, 0);
    out += U16Record(BIFF_BACKUP, 0);
    out += U16Record(BIFF_HIDEOBJ, 0);
    out += Window1(nActive);
    out += U16Record(BIFF_DATEMODE, 0);  // dates count from 1900
    out += U16Record(BIFF_PRECISION, 1); // full precision
    out += U16Record(BIFF_REFRESHALL, 0);
    out += U16Record(BIFF_BOOKBOOL, 0);
    for (int i = 0; i < 4; ++i)
        out += Font(false); // fonts 0..3: Excel's built-in styles use them
    out += Font(true);      // font 5: bold
    for (int i = 0; i < BIFF_XF_DEFAULT_CELL; ++i)
        out += StyleXf(i);
    for (const CellFormat& f : m_xfFormats)
        out += CellXfFor(f);
    out += StyleNormal();
    QVector<int> boundSheetPos;
    for (const QString& strName : names)
    {
        boundSheetPos.push_back(int(out.size()));
        out += BoundSheet(strName);
    }
    QVector<SstPosition> sstPositions;
    AppendSst(out, m_sstStrings, m_nSstRefs, 0, &sstPositions);
    out += ExtSst(sstPositions);
    out += Eof();

    for (int i = 0; i < nSheets; ++i)
    {
        PutU32(out.data() + boundSheetPos[i] + BOUNDSHEET_POS_OFFSET, quint32(out.size()));
        out += sheets[i];
        sheets[i] = QByteArray(); // free as we go: the stream is the big one
    }
    return out;
}
