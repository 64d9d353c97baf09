// Writer of the BIFF8 workbook stream. The constructor walks every cell
// once, so that every format and string the sheets use is known when the
// globals (XF table, SST) are written in front of them; AppendTo then
// writes the stream in file order straight into the caller's buffer and
// patches the BOUNDSHEET positions once the sheets' places are known.
#include "report/WorkbookStream.h"

#include <QtEndian>
#include <algorithm>

#include "report/BiffRecords.h"

using namespace BiffRecords;

namespace {

constexpr int MAX_CELL_XFS = 4000; // Excel's limit is 4050 XFs in all

QByteArray CellXfFor(quint16 nPacked)
{
    // Excel's ColorIndex n is palette entry n + 7: entries 0..7 are the
    // fixed EGA colours, ColorIndex 1 is entry 8. ColorIndex 35 (light
    // green) is entry 42; writing 35 itself would give turquoise.
    const CellFormat f = CellFormat::Unpack(nPacked);
    const int nPalette = f.nFillColorIndex > 0 ? f.nFillColorIndex + 7 : -1;
    return CellXf(f.bBold ? BIFF_FONT_BOLD : 0, f.bTextFormat ? BIFF_FORMAT_TEXT : 0, f.nHorzAlign, f.nVertAlign,
                  nPalette);
}

} // namespace

WorkbookStream::WorkbookStream(const Workbook& book) : m_book(book), m_xfOfFormat(size_t(1) << 16, 0)
{
    m_xfFormats.push_back(CellFormat().Pack());
    m_xfOfFormat[CellFormat().Pack()] = BIFF_XF_DEFAULT_CELL;
    qsizetype nTexts = 0;
    for (const Worksheet& sheet : book.m_sheets)
        nTexts += qsizetype(sheet.Texts().size());
    // Texts longer than a cell holds are cut, and two cut texts may then be
    // equal: only a single sheet of distinct texts that all fit goes without
    // the hash.
    m_bHashTexts = book.m_sheets.size() != 1 || !book.m_sheets[0].TextsDistinct() ||
                   book.m_sheets[0].LongestText() > BIFF_MAX_STRING_CHARS;
    if (m_bHashTexts)
        m_sstIndex.reserve(nTexts);
    m_sstStrings.reserve(size_t(nTexts));
    m_sstOfText.resize(size_t(book.m_sheets.size()));

    // The order of first use, as the sheets are written: each sheet's
    // column format, then its cells row by row.
    qsizetype nCellBytes = 0;
    for (int nSheet = 0; nSheet < book.m_sheets.size(); ++nSheet)
    {
        const Worksheet& sheet = book.m_sheets[nSheet];
        auto& sstOfText = m_sstOfText[size_t(nSheet)];
        sstOfText.assign(size_t(sheet.Texts().size()), NO_SST);
        // Cells next to each other mostly share their format and often
        // their text: each is looked up when it changes or is new.
        quint16 nLastFormat = sheet.m_defaultFormat.Pack();
        XfIndex(nLastFormat);
        for (const Worksheet::Slot& slot : sheet.Slots())
        {
            if (slot.nFormat != nLastFormat)
            {
                nLastFormat = slot.nFormat;
                XfIndex(nLastFormat);
            }
            if (slot.nText != Worksheet::NO_TEXT)
            {
                if (sstOfText[slot.nText] == NO_SST)
                    SstIndex(nSheet, slot.nText);
                ++m_nSstRefs;
                nCellBytes += LABELSST_RECORD_SIZE;
            }
            else
                nCellBytes += BLANK_RECORD_SIZE;
        }
        nCellBytes += 4096 + sheet.m_merges.size() * 8;
    }
    qsizetype nSstBytes = 0;
    for (QStringView str : m_sstStrings)
        nSstBytes += 3 + 2 * str.size();
    m_nSizeHint = 8192 + m_xfFormats.size() * 24 + nCellBytes + nSstBytes + nSstBytes / 1024;
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

int WorkbookStream::XfIndex(quint16 nFormat)
{
    quint16& nXf = m_xfOfFormat[nFormat];
    if (nXf == 0)
    {
        if (m_xfFormats.size() >= MAX_CELL_XFS)
            nXf = BIFF_XF_DEFAULT_CELL; // out of XFs: the cell keeps its text, loses its look
        else
        {
            m_xfFormats.push_back(nFormat);
            nXf = quint16(BIFF_XF_DEFAULT_CELL + m_xfFormats.size() - 1);
        }
    }
    return nXf;
}

quint32 WorkbookStream::SstIndex(int nSheet, quint32 nText)
{
    quint32& nSst = m_sstOfText[size_t(nSheet)][nText];
    if (nSst != NO_SST)
        return nSst;
    QStringView str = m_book.m_sheets[nSheet].Texts()[nText];
    if (!m_bHashTexts)
    {
        nSst = quint32(m_sstStrings.size());
        m_sstStrings.push_back(str);
        return nSst;
    }
    if (str.size() > BIFF_MAX_STRING_CHARS)
    {
        str = str.left(BIFF_MAX_STRING_CHARS);
        ++m_nCutTexts;
    }
    auto it = m_sstIndex.constFind(str);
    if (it != m_sstIndex.constEnd())
        return nSst = it.value();
    nSst = quint32(m_sstStrings.size());
    m_sstIndex.insert(str, nSst);
    m_sstStrings.push_back(str);
    return nSst;
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
void WorkbookStream::AppendSheet(QByteArray& out, int nSheet, bool bActive)
{
    const Worksheet& sheet = m_book.m_sheets[nSheet];
    out += Bof(BIFF_BOF_WORKSHEET);
    out += DefColWidth(8);

    // Every column carries the sheet-wide format; a COLINFO is written for
    // each run of columns that differs from Excel's plain default column.
    const int nColumnXf = XfIndex(sheet.m_defaultFormat.Pack());
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

    // The cells, written in place: the room is made once, then filled.
    const Worksheet::SlotArray& cellSlots = sheet.Slots();
    qsizetype nBytes = 0;
    for (const Worksheet::Slot& slot : cellSlots)
        nBytes += slot.nText == Worksheet::NO_TEXT ? BLANK_RECORD_SIZE : LABELSST_RECORD_SIZE;
    const qsizetype nStart = out.size();
    out.resize(nStart + nBytes);
    char* p = out.data() + nStart;
    const auto& sstOfText = m_sstOfText[size_t(nSheet)];
    for (const Worksheet::Slot& slot : cellSlots)
    {
        const int nRow = int(slot.nKey >> 8), nCol = int(slot.nKey & 0xFF);
        const int nXf = m_xfOfFormat[slot.nFormat];
        // An empty text is no value in Excel (setting "" empties a cell).
        if (slot.nText == Worksheet::NO_TEXT)
            p = WriteBlank(p, nRow, nCol, nXf);
        else
            p = WriteLabelSst(p, nRow, nCol, nXf, sstOfText[slot.nText]);
    }

    out += Window2(bActive);
    AppendMergedCells(out, ValidMerges(sheet));
    out += Eof();
}

// Workbook globals in file order:
//   BOF, INTERFACEHDR, MMS, INTERFACEEND, WRITEACCESS, CODEPAGE, DSF, TABID,
//   FNGROUPCOUNT, WINDOWPROTECT, PROTECT, PASSWORD, PROT4REV, PROT4REVPASS,
//   BACKUP, HIDEOBJ, WINDOW1, DATEMODE, PRECISION, REFRESHALL, BOOKBOOL,
//   FONT x5, XF x(15 style + cell XFs), STYLE, BOUNDSHEET per sheet, SST
//   (+ CONTINUE), EXTSST, EOF
// followed by the sheet substreams.
void WorkbookStream::AppendTo(QByteArray& out)
{
    const Workbook& book = m_book;
    const int nSheets = int(book.m_sheets.size());
    const int nActive = (book.m_nActiveSheet >= 0 && book.m_nActiveSheet < nSheets) ? book.m_nActiveSheet : 0;
    const QStringList names = ExcelSheetNames(book);
    const qsizetype nStreamStart = out.size();
    out.reserve(nStreamStart + m_nSizeHint);

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
    for (quint16 nFormat : std::as_const(m_xfFormats))
        out += CellXfFor(nFormat);
    out += StyleNormal();
    QVector<qsizetype> boundSheetPos;
    for (const QString& strName : names)
    {
        boundSheetPos.push_back(out.size());
        out += BoundSheet(strName);
    }
    QVector<SstPosition> sstPositions;
    AppendSst(out, m_sstStrings, m_nSstRefs, nStreamStart, &sstPositions);
    out += ExtSst(sstPositions, int(m_sstStrings.size()));
    out += Eof();

    for (int i = 0; i < nSheets; ++i)
    {
        qToLittleEndian<quint32>(quint32(out.size() - nStreamStart),
                                 out.data() + boundSheetPos[i] + BOUNDSHEET_POS_OFFSET);
        AppendSheet(out, i, i == nActive);
    }
}
