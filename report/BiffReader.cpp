// BIFF8 reader: record iterator and one handler per record id. Every
// length and count in the file is checked against the bytes really there
// before it is used; nothing is reserved from a count alone.
#include "report/BiffReader.h"

#include <QLocale>
#include <QVector>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "report/BiffRecords.h"
#include "report/TextBlock.h"
#include "report/XlsFile.h"

namespace {

constexpr quint16 BIFF_FILEPASS = 0x002F;
constexpr quint16 BIFF_BOF_BIFF2 = 0x0009;
constexpr quint16 BIFF_BOF_BIFF3 = 0x0209;
constexpr quint16 BIFF_BOF_BIFF4 = 0x0409;
constexpr quint16 BIFF_VERSION_5 = 0x0500;

quint16 GetU16(const uchar* p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 GetU32(const uchar* p)
{
    return qFromLittleEndian<quint32>(p);
}

double GetF64(const uchar* p)
{
    const quint64 n = qFromLittleEndian<quint64>(p);
    double f;
    std::memcpy(&f, &n, sizeof f);
    return f;
}

QString NumberText(double f)
{
    if (std::isfinite(f) && f == std::floor(f) && std::fabs(f) < 1e15)
        return QString::number(qint64(f));
    return QString::number(f, 'g', QLocale::FloatingPointShortest);
}

QString ErrorText(quint8 byCode)
{
    switch (byCode)
    {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    default:
        return QStringLiteral("#N/A");
    }
}

// RK number: bit 0 set = value / 100; bit 1 set = bits 2..31 are a signed
// integer, else they are the top 30 bits of a double (the rest zero).
double RkValue(quint32 nRk)
{
    double f;
    if (nRk & 0x02)
        f = double(qint32(nRk) >> 2);
    else
    {
        const quint64 nBits = quint64(nRk & 0xFFFFFFFCu) << 32;
        std::memcpy(&f, &nBits, sizeof f);
    }
    return (nRk & 0x01) ? f / 100.0 : f;
}

// The data of one record and its CONTINUE records, read as one run of
// bytes, except that characters of a string split at a join go on after a
// new option byte (bit 0: the rest is UTF-16LE, else one byte each).
class Segments
{
public:
    void Add(const uchar* p, int n) { m_segs.push_back(Seg{p, n}); }
    bool Byte(quint8& by)
    {
        if (!Ensure())
            return false;
        by = m_segs.at(m_i).p[m_nPos++];
        return true;
    }
    bool U16(quint16& n)
    {
        quint8 lo = 0, hi = 0;
        if (!Byte(lo) || !Byte(hi))
            return false;
        n = quint16(lo | (hi << 8));
        return true;
    }
    bool U32(quint32& n)
    {
        quint16 lo = 0, hi = 0;
        if (!U16(lo) || !U16(hi))
            return false;
        n = lo | (quint32(hi) << 16);
        return true;
    }
    bool Skip(quint32 nBytes)
    {
        while (nBytes > 0)
        {
            if (!Ensure())
                return false;
            const quint32 n = std::min(nBytes, quint32(m_segs.at(m_i).n - m_nPos));
            m_nPos += int(n);
            nBytes -= n;
        }
        return true;
    }
    // XLUnicodeRichExtendedString: cch (u16, or u8 for b8BitLength),
    // option byte (bit 0 UTF-16LE, bit 2 extended data, bit 3 rich text),
    // [run count u16], [extended size u32], characters, runs (4 bytes
    // each), extended data. Runs and extended data are skipped. The
    // characters go into block (see TextBlock).
    bool String(QString& str, TextBlock& block, bool b8BitLength = false)
    {
        // Most of a report's strings: header and characters in this
        // segment, one byte each, no formatting runs, no extended data.
        if (!b8BitLength && m_i < m_segs.size() && m_segs.at(m_i).n - m_nPos >= 3)
        {
            const uchar* p = m_segs.at(m_i).p + m_nPos;
            const int nSimple = p[0] | (p[1] << 8);
            if (p[2] == 0 && m_segs.at(m_i).n - m_nPos - 3 >= nSimple)
            {
                str = block.FromLatin1(reinterpret_cast<const char*>(p + 3), nSimple);
                m_nPos += 3 + nSimple;
                return true;
            }
        }
        quint16 nChars = 0;
        quint8 byFlags = 0;
        quint16 nRuns = 0;
        quint32 nExt = 0;
        if (b8BitLength)
        {
            quint8 by = 0;
            if (!Byte(by))
                return false;
            nChars = by;
        }
        else if (!U16(nChars))
            return false;
        if (!Byte(byFlags))
            return false;
        if ((byFlags & 0x08) && !U16(nRuns))
            return false;
        if ((byFlags & 0x04) && !U32(nExt))
            return false;
        bool bWide = byFlags & 0x01;
        // The common case: all characters in this segment, one byte each.
        if (!bWide && m_i < m_segs.size() && m_segs.at(m_i).n - m_nPos >= nChars)
        {
            str = block.FromLatin1(reinterpret_cast<const char*>(m_segs.at(m_i).p + m_nPos), nChars);
            m_nPos += nChars;
            return Skip(4u * nRuns + nExt);
        }
        char16_t* pOut = block.Reserve(nChars);
        int nDone = 0;
        while (nDone < nChars)
        {
            if (m_i >= m_segs.size())
                return false;
            const int nLeft = m_segs.at(m_i).n - m_nPos;
            const int nAvail = bWide ? nLeft / 2 : nLeft;
            if (nAvail == 0)
            {
                // Characters go on in the next segment after an option byte.
                ++m_i;
                m_nPos = 0;
                quint8 byOption = 0;
                if (m_i >= m_segs.size() || !Byte(byOption))
                    return false;
                bWide = byOption & 0x01;
                continue;
            }
            const int n = std::min(nAvail, nChars - nDone);
            const uchar* p = m_segs.at(m_i).p + m_nPos;
            for (int k = 0; k < n; ++k)
                pOut[nDone + k] = bWide ? GetU16(p + 2 * k) : char16_t(p[k]);
            m_nPos += bWide ? 2 * n : n;
            nDone += n;
        }
        str = block.Take(nDone);
        return Skip(4u * nRuns + nExt);
    }
    // Bytes left in all segments.
    qint64 Remaining() const
    {
        qint64 n = 0;
        for (int i = m_i; i < m_segs.size(); ++i)
            n += m_segs.at(i).n - (i == m_i ? m_nPos : 0);
        return n;
    }

private:
    struct Seg
    {
        const uchar* p;
        int n;
    };
    bool Ensure()
    {
        while (m_i < m_segs.size() && m_nPos >= m_segs.at(m_i).n)
        {
            ++m_i;
            m_nPos = 0;
        }
        return m_i < m_segs.size();
    }
    QVector<Seg> m_segs; // read through at(): no detach check on every byte
    int m_i = 0;
    int m_nPos = 0;
};

struct SheetEntry
{
    quint32 nOffset = 0;
    quint8 byType = 0; // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
    QString strName;
};

struct RawXf
{
    int nFont = 0;
    int nFormat = 0;
    quint8 byAlign = 0x20;
    int nPattern = 0;
    int nPatternColor = 0x40;
};

class WorkbookParser
{
public:
    explicit WorkbookParser(const QByteArray& stream) : m_stream(stream) {}
    bool Parse(Workbook& book);
    QString Error() const { return m_strError; }
    const XlsFileNotes& Notes() const { return m_notes; }

private:
    bool Fail(const QString& str)
    {
        if (m_strError.isEmpty())
            m_strError = str;
        return false;
    }
    bool Damaged(const char* pszRecord)
    {
        return Fail(QStringLiteral("Damaged %1 record").arg(QLatin1String(pszRecord)));
    }
    bool CheckBof(const BiffReader& rd, quint16 nExpectedType, quint16* pnType = nullptr);
    bool ParseGlobals(BiffReader& rd);
    bool ParseSheet(const SheetEntry& entry, Worksheet& sheet, int& nEnd);
    static Segments WithContinues(BiffReader& rd);

    // Workbook globals
    bool OnBoundSheet(const BiffReader& rd);
    bool OnSst(BiffReader& rd);
    bool OnFont(const BiffReader& rd);
    bool OnFormat(const BiffReader& rd);
    bool OnXf(const BiffReader& rd);
    bool OnWindow1(const BiffReader& rd);
    void ResolveFormats();

    // Worksheet
    bool OnLabelSst(const BiffReader& rd);
    bool OnLabel(const BiffReader& rd);
    bool OnNumber(const BiffReader& rd);
    bool OnRk(const BiffReader& rd);
    bool OnMulRk(const BiffReader& rd);
    bool OnBlank(const BiffReader& rd);
    bool OnMulBlank(const BiffReader& rd);
    bool OnBoolErr(const BiffReader& rd);
    bool OnFormula(const BiffReader& rd);
    bool OnString(BiffReader& rd);
    bool OnMergedCells(const BiffReader& rd);
    bool OnColInfo(const BiffReader& rd);

    bool OnDimensions(const BiffReader& rd);

    // Text cells of the sheet's own shared strings and empty cells with a
    // format, one after the other in row order: the bulk of a report. They
    // are gathered here and go into the sheet a run at a time, without a
    // call per cell.
    struct CellRun
    {
        static constexpr int SIZE = 512;
        Worksheet::Slot cells[SIZE];
        int nCount = 0;
        int nFirstCol = SHEET_MAX_COLS, nLastCol = -1;
    };
    // Takes a LABELSST or BLANK into the run when it is of that kind and
    // lies inside the sheet, its DIMENSIONS and the formats, after the cell
    // before it; false for anything else, which the record's own handler
    // then takes (after PutRun: the order of the cells stays the file's).
    bool TakeCell(const BiffReader& rd, CellRun& run)
    {
        const uchar* p = rd.Data();
        quint32 nIndex = Worksheet::NO_TEXT;
        if (rd.Id() == BIFF_LABELSST)
        {
            if (rd.Length() != 10 || !m_bSheetHasSst || m_bSstHasEmpty)
                return false;
            nIndex = GetU32(p + 6);
            if (nIndex >= m_nSstCount)
                return false;
        }
        else if (rd.Length() != 6)
            return false;
        const int nRow = GetU16(p), nCol = GetU16(p + 2), nXf = GetU16(p + 4);
        if (nCol >= SHEET_MAX_COLS || nXf >= m_xfFormats.size() || !InsideDimensions(nRow, nCol))
            return false;
        const quint32 nKey = Worksheet::Key(nRow, nCol);
        if (run.nCount > 0 && run.cells[run.nCount - 1].nKey >= nKey)
            return false;
        run.cells[run.nCount++] = Worksheet::Slot{nKey, nIndex, m_xfFormats.constData()[nXf]};
        run.nFirstCol = std::min(run.nFirstCol, nCol);
        run.nLastCol = std::max(run.nLastCol, nCol);
        if (run.nCount == CellRun::SIZE)
            PutRun(run);
        return true;
    }
    void PutRun(CellRun& run)
    {
        if (run.nCount == 0)
            return;
        m_pSheet->AppendInOrder(run.cells, size_t(run.nCount), run.nFirstCol, run.nLastCol);
        run.nCount = 0;
        run.nFirstCol = SHEET_MAX_COLS;
        run.nLastCol = -1;
    }

    // Inside the sheet's DIMENSIONS, or no DIMENSIONS were given.
    bool InsideDimensions(int nRow, int nCol) const
    {
        return m_nDimLastRowPlus1 == 0 || (quint32(nRow) >= m_nDimFirstRow && quint32(nRow) < m_nDimLastRowPlus1 &&
                                           nCol >= m_nDimFirstCol && nCol < m_nDimLastColPlus1);
    }

    // A cell at (row, column) with the look of XF nXf and the text nText of
    // the sheet's table; left out for a position outside the sheet or its
    // DIMENSIONS.
    void Put(int nRow, int nCol, int nXf, quint32 nText = Worksheet::NO_TEXT);
    void PutText(int nRow, int nCol, int nXf, const QString& strText);

    const QByteArray& m_stream;
    // The characters of every string read (see TextBlock).
    TextBlock m_textBlock;
    QString m_strError;
    XlsFileNotes m_notes;
    QVector<SheetEntry> m_sheetEntries;
    // The shared strings, until the first worksheet takes them as its text
    // table (a cell's text entry is then its SST index); later sheets find
    // them in that sheet's table.
    Worksheet::TextArray m_sst;
    const Worksheet* m_pSstSheet = nullptr;
    quint32 m_nSstCount = 0;
    bool m_bSheetHasSst = false; // the current sheet is m_pSstSheet
    bool m_bSstHasEmpty = false; // an empty string is in the table
    const QString& SstText(quint32 nIndex) const { return m_pSstSheet ? m_pSstSheet->Texts()[nIndex] : m_sst[nIndex]; }
    QVector<int> m_fontWeights;
    std::map<int, QString> m_formats;
    QVector<RawXf> m_rawXfs;
    QVector<quint16> m_xfFormats; // CellFormat::Pack() of each XF

    Worksheet* m_pSheet = nullptr;
    // SST index -> entry of the current sheet's text table (NO_TEXT until
    // used), for a sheet that did not take the shared strings.
    std::vector<quint32> m_textOfSst;
    // The sheet's DIMENSIONS: rows and columns [first, last + 1); none read yet
    // (or all zero, which some writers put) when nLastRowPlus1 is 0.
    quint32 m_nDimFirstRow = 0, m_nDimLastRowPlus1 = 0;
    int m_nDimFirstCol = 0, m_nDimLastColPlus1 = 0;
    int m_nActiveSheet = 0;
    int m_nPendingRow = -1; // FORMULA whose string result follows in STRING
    int m_nPendingCol = -1;
    int m_nPendingXf = 0;
    int m_colXf[SHEET_MAX_COLS];
    int m_colWidth[SHEET_MAX_COLS];
};

bool WorkbookParser::CheckBof(const BiffReader& rd, quint16 nExpectedType, quint16* pnType)
{
    if (rd.Id() == BIFF_BOF_BIFF2 || rd.Id() == BIFF_BOF_BIFF3 || rd.Id() == BIFF_BOF_BIFF4)
        return Fail(QStringLiteral("Excel 2.x-4.x workbook: only Excel 97-2003 (BIFF8) .xls files can be read"));
    if (rd.Id() != BIFF_BOF || rd.Length() < 4)
        return Fail(QStringLiteral("Not an Excel workbook stream (no BOF record)"));
    const quint16 nVersion = GetU16(rd.Data());
    const quint16 nType = GetU16(rd.Data() + 2);
    if (nVersion == BIFF_VERSION_5 || nVersion < BIFF_VERSION_8)
        return Fail(QStringLiteral("Excel 5.0/95 (BIFF5) workbook: only Excel 97-2003 (BIFF8) .xls files can be read"));
    if (nVersion != BIFF_VERSION_8)
        return Fail(QStringLiteral("Unknown BIFF version 0x%1").arg(nVersion, 4, 16, QLatin1Char('0')));
    if (pnType)
        *pnType = nType;
    else if (nType != nExpectedType)
        return Fail(QStringLiteral("Unexpected BOF type 0x%1").arg(nType, 4, 16, QLatin1Char('0')));
    return true;
}

Segments WorkbookParser::WithContinues(BiffReader& rd)
{
    Segments segs;
    segs.Add(rd.Data(), rd.Length());
    while (rd.PeekId() == BIFF_CONTINUE && rd.Next())
        segs.Add(rd.Data(), rd.Length());
    return segs;
}

bool WorkbookParser::Parse(Workbook& book)
{
    BiffReader rd(m_stream);
    if (!rd.Next())
        return Fail(QStringLiteral("Empty or truncated workbook stream"));
    if (!CheckBof(rd, BIFF_BOF_GLOBALS) || !ParseGlobals(rd))
        return false;
    if (m_sheetEntries.isEmpty())
        return Fail(QStringLiteral("The workbook has no sheet"));

    Workbook result;
    result.m_sheets.clear();
    for (const SheetEntry& entry : m_sheetEntries)
    {
        Worksheet sheet;
        sheet.m_strName = entry.strName;
        sheet.m_nKind = entry.byType;
        result.m_sheets.push_back(sheet);
    }
    // Sheets are read in stream order, and each must start after the end of
    // the one before: two sheets can never share (and double) the same
    // bytes, so memory stays in proportion to the file.
    QVector<int> order(m_sheetEntries.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_sheetEntries[a].nOffset < m_sheetEntries[b].nOffset; });
    int nEnd = rd.End();
    for (int i : order)
    {
        const SheetEntry& entry = m_sheetEntries[i];
        if (entry.byType != 0)
            continue; // chart, macro or module sheet: kept by name, empty
        if (entry.nOffset < quint32(nEnd) || entry.nOffset >= quint32(m_stream.size()))
            return Fail(QStringLiteral("Sheet \"%1\" has a bad stream position").arg(entry.strName));
        if (!ParseSheet(entry, result.m_sheets[i], nEnd))
            return false;
    }
    result.m_nActiveSheet = (m_nActiveSheet >= 0 && m_nActiveSheet < result.m_sheets.size()) ? m_nActiveSheet : 0;
    m_notes.nActiveSheetKind = result.ActiveSheet().m_nKind;
    book = std::move(result);
    return true;
}

bool WorkbookParser::ParseGlobals(BiffReader& rd)
{
    while (rd.Next())
    {
        bool bOk = true;
        switch (rd.Id())
        {
        case BIFF_EOF:
            ResolveFormats();
            return true;
        case BIFF_FILEPASS:
            return Fail(QStringLiteral("The workbook is encrypted (password protected)"));
        case BIFF_BOUNDSHEET:
            bOk = OnBoundSheet(rd);
            break;
        case BIFF_SST:
            bOk = OnSst(rd);
            break;
        case BIFF_FONT:
            bOk = OnFont(rd);
            break;
        case BIFF_FORMAT:
            bOk = OnFormat(rd);
            break;
        case BIFF_XF:
            bOk = OnXf(rd);
            break;
        case BIFF_WINDOW1:
            bOk = OnWindow1(rd);
            break;
        default:
            break;
        }
        if (!bOk)
            return false;
    }
    return Fail(rd.Damaged() ? QStringLiteral("Damaged record in the workbook globals")
                             : QStringLiteral("Truncated workbook: the globals have no EOF"));
}

bool WorkbookParser::ParseSheet(const SheetEntry& entry, Worksheet& sheet, int& nEnd)
{
    BiffReader rd(m_stream, int(entry.nOffset));
    quint16 nType = 0;
    if (!rd.Next() || !CheckBof(rd, 0, &nType))
        return Fail(QStringLiteral("Sheet \"%1\" does not start with a BOF record").arg(entry.strName));
    const bool bWorksheet = nType == BIFF_BOF_WORKSHEET;
    if (!bWorksheet) // a chart (0x20) or macro sheet (0x40) behind a worksheet entry
        sheet.m_nKind = nType == 0x0020 ? 2 : 1;
    m_pSheet = &sheet;
    // A report's one sheet uses every shared string: the first worksheet
    // takes them over as its table, without a copy or a lookup per cell.
    m_bSheetHasSst = bWorksheet && m_pSstSheet == nullptr;
    if (m_bSheetHasSst)
    {
        sheet.AdoptTexts(std::move(m_sst));
        m_sst = Worksheet::TextArray();
        m_pSstSheet = &sheet;
        m_textOfSst = std::vector<quint32>();
    }
    else
        m_textOfSst.assign(m_nSstCount, Worksheet::NO_TEXT);
    m_nDimFirstRow = m_nDimLastRowPlus1 = 0;
    m_nDimFirstCol = m_nDimLastColPlus1 = 0;
    m_nPendingRow = m_nPendingCol = -1;
    std::fill(std::begin(m_colXf), std::end(m_colXf), -1);
    std::fill(std::begin(m_colWidth), std::end(m_colWidth), -1);
    int nNested = 0; // embedded chart substreams (BOF ... EOF) inside the sheet
    CellRun run;
    while (rd.Next())
    {
        const quint16 nId = rd.Id();
        // The bulk of a report: text and empty cells, straight to the sheet.
        if ((nId == BIFF_LABELSST || nId == BIFF_BLANK) && nNested == 0 && bWorksheet && m_nPendingRow < 0 &&
            TakeCell(rd, run))
            continue;
        PutRun(run);
        if (nId == BIFF_BOF)
        {
            ++nNested;
            continue;
        }
        if (nId == BIFF_EOF)
        {
            if (nNested-- > 0)
                continue;
            if (m_nPendingRow >= 0)
                Put(m_nPendingRow, m_nPendingCol, m_nPendingXf);
            m_nPendingRow = -1;
            nEnd = rd.End();
            if (!bWorksheet)
                return true;
            m_notes.nRepeatedCells += sheet.FinishAppending();
            for (int nCol = 0; nCol < SHEET_MAX_COLS; ++nCol)
                if (m_colWidth[nCol] >= 0 && m_colWidth[nCol] != BIFF_DEFAULT_COLUMN_WIDTH)
                    sheet.m_columnWidths[nCol] = BiffRecords::ColumnWidthFromBiff(quint16(m_colWidth[nCol]));
            // Columns that all share one format carry the sheet-wide format.
            if (m_colXf[0] >= 0 &&
                std::all_of(std::begin(m_colXf), std::end(m_colXf), [this](int n) { return n == m_colXf[0]; }))
                sheet.m_defaultFormat = CellFormat::Unpack(m_xfFormats.value(m_colXf[0], CellFormat().Pack()));
            return true;
        }
        if (nNested > 0 || !bWorksheet)
            continue;
        bool bOk = true;
        if (nId != BIFF_STRING && nId != BIFF_CONTINUE && nId != 0x04BC /*SHRFMLA*/ && nId != 0x0221 /*ARRAY*/ &&
            m_nPendingRow >= 0)
        {
            Put(m_nPendingRow, m_nPendingCol, m_nPendingXf); // its STRING never came
            m_nPendingRow = -1;
        }
        switch (nId)
        {
        case BIFF_LABELSST:
            bOk = OnLabelSst(rd);
            break;
        case BIFF_LABEL:
        case BIFF_RSTRING:
            bOk = OnLabel(rd);
            break;
        case BIFF_NUMBER:
            bOk = OnNumber(rd);
            break;
        case BIFF_RK:
            bOk = OnRk(rd);
            break;
        case BIFF_MULRK:
            bOk = OnMulRk(rd);
            break;
        case BIFF_BLANK:
            bOk = OnBlank(rd);
            break;
        case BIFF_MULBLANK:
            bOk = OnMulBlank(rd);
            break;
        case BIFF_BOOLERR:
            bOk = OnBoolErr(rd);
            break;
        case BIFF_FORMULA:
            bOk = OnFormula(rd);
            break;
        case BIFF_STRING:
            bOk = OnString(rd);
            break;
        case BIFF_MERGEDCELLS:
            bOk = OnMergedCells(rd);
            break;
        case BIFF_COLINFO:
            bOk = OnColInfo(rd);
            break;
        case BIFF_DIMENSIONS:
            bOk = OnDimensions(rd);
            break;
        default:
            break;
        }
        if (!bOk)
            return false;
    }
    return Fail(rd.Damaged() ? QStringLiteral("Damaged record in sheet \"%1\"").arg(entry.strName)
                             : QStringLiteral("Truncated workbook: sheet \"%1\" has no EOF").arg(entry.strName));
}

// BOUNDSHEET: stream position u32, visibility u8, type u8, name (cch u8,
// option byte, characters).
bool WorkbookParser::OnBoundSheet(const BiffReader& rd)
{
    if (rd.Length() < 8)
        return Damaged("BOUNDSHEET");
    SheetEntry entry;
    entry.nOffset = GetU32(rd.Data());
    entry.byType = rd.Data()[5];
    Segments segs;
    segs.Add(rd.Data() + 6, rd.Length() - 6);
    if (!segs.String(entry.strName, m_textBlock, true))
        return Damaged("BOUNDSHEET");
    m_sheetEntries.push_back(entry);
    return true;
}

// SST: total references u32, string count u32, strings (see
// Segments::String), going on in CONTINUE records.
bool WorkbookParser::OnSst(BiffReader& rd)
{
    if (rd.Length() < 8)
        return Damaged("SST");
    const quint32 nCount = GetU32(rd.Data() + 4);
    Segments segs = WithContinues(rd);
    segs.Skip(8);
    // Each string takes at least 3 bytes: never reserve more than that.
    m_sst.clear();
    m_bSstHasEmpty = false;
    m_sst.reserve(size_t(std::min<qint64>(nCount, segs.Remaining() / 3)));
    for (quint32 i = 0; i < nCount; ++i)
    {
        QString str;
        if (!segs.String(str, m_textBlock))
            return Fail(QStringLiteral("Damaged SST record: %1 strings claimed, %2 found").arg(nCount).arg(i));
        m_bSstHasEmpty = m_bSstHasEmpty || str.isEmpty();
        m_sst.push_back(std::move(str));
    }
    m_nSstCount = quint32(m_sst.size());
    return true;
}

// FONT: height u16, flags u16, colour u16, weight u16 (700 bold), ...
// The fifth font record is font index 5: index 4 does not exist.
bool WorkbookParser::OnFont(const BiffReader& rd)
{
    if (rd.Length() < 8)
        return Damaged("FONT");
    if (m_fontWeights.size() == 4)
        m_fontWeights.push_back(400);
    m_fontWeights.push_back(GetU16(rd.Data() + 6));
    return true;
}

// FORMAT: format index u16, format string (cch u16, option byte, characters).
bool WorkbookParser::OnFormat(const BiffReader& rd)
{
    if (rd.Length() < 5)
        return Damaged("FORMAT");
    Segments segs;
    segs.Add(rd.Data() + 2, rd.Length() - 2);
    QString str;
    if (!segs.String(str, m_textBlock))
        return Damaged("FORMAT");
    m_formats[GetU16(rd.Data())] = str;
    return true;
}

// XF: see BiffRecords::CellXf for the layout.
bool WorkbookParser::OnXf(const BiffReader& rd)
{
    if (rd.Length() < 20)
        return Damaged("XF");
    const uchar* p = rd.Data();
    RawXf xf;
    xf.nFont = GetU16(p);
    xf.nFormat = GetU16(p + 2);
    xf.byAlign = p[6];
    xf.nPattern = int(GetU32(p + 14) >> 26);
    xf.nPatternColor = GetU16(p + 18) & 0x7F;
    m_rawXfs.push_back(xf);
    return true;
}

// WINDOW1: ... active sheet u16 at offset 10.
bool WorkbookParser::OnWindow1(const BiffReader& rd)
{
    if (rd.Length() < 12)
        return Damaged("WINDOW1");
    m_nActiveSheet = GetU16(rd.Data() + 10);
    return true;
}

void WorkbookParser::ResolveFormats()
{
    m_xfFormats.clear();
    for (const RawXf& raw : m_rawXfs)
    {
        CellFormat f;
        f.bBold = raw.nFont < m_fontWeights.size() && m_fontWeights[raw.nFont] >= 700;
        auto it = m_formats.find(raw.nFormat);
        f.bTextFormat = raw.nFormat == BIFF_FORMAT_TEXT || (it != m_formats.end() && it->second == QLatin1String("@"));
        f.nHorzAlign = raw.byAlign & 0x07;
        f.nVertAlign = (raw.byAlign >> 4) & 0x07;
        // Palette entry n is Excel's ColorIndex n - 7.
        if (raw.nPattern != 0 && raw.nPatternColor >= 8 && raw.nPatternColor <= 63)
            f.nFillColorIndex = raw.nPatternColor - 7;
        m_xfFormats.push_back(f.Pack());
    }
}

void WorkbookParser::Put(int nRow, int nCol, int nXf, quint32 nText)
{
    if (nRow >= SHEET_MAX_ROWS || nCol >= SHEET_MAX_COLS)
        return;
    if (!InsideDimensions(nRow, nCol))
    {
        ++m_notes.nCellsOutside;
        return;
    }
    quint16 nFormat = CellFormat().Pack();
    if (nXf < m_xfFormats.size())
        nFormat = m_xfFormats.at(nXf);
    else
        ++m_notes.nUnknownFormats;
    m_pSheet->Append(nRow, nCol, nFormat, nText);
}

void WorkbookParser::PutText(int nRow, int nCol, int nXf, const QString& strText)
{
    Put(nRow, nCol, nXf, strText.isEmpty() ? Worksheet::NO_TEXT : m_pSheet->AddText(strText));
}

// DIMENSIONS: first row u32, last row + 1 u32, first column u16, last
// column + 1 u16, reserved u16.
bool WorkbookParser::OnDimensions(const BiffReader& rd)
{
    if (rd.Length() < 12)
        return Damaged("DIMENSIONS");
    const uchar* p = rd.Data();
    m_nDimFirstRow = GetU32(p);
    m_nDimLastRowPlus1 = GetU32(p + 4);
    m_nDimFirstCol = GetU16(p + 8);
    m_nDimLastColPlus1 = GetU16(p + 10);
    if (m_nDimLastColPlus1 == 0)
        m_nDimLastRowPlus1 = 0;
    // Room for the cells it announces, as far as the bytes left can hold
    // them (a cell record takes at least 10): a report's cells then go in
    // without the array growing.
    const qint64 nRows = qint64(std::min<quint32>(m_nDimLastRowPlus1, SHEET_MAX_ROWS)) - qint64(m_nDimFirstRow);
    const qint64 nCols = qint64(std::min(m_nDimLastColPlus1, SHEET_MAX_COLS)) - m_nDimFirstCol;
    if (nRows > 0 && nCols > 0)
        m_pSheet->ReserveCells(qsizetype(std::min<qint64>(nRows * nCols, (m_stream.size() - rd.End()) / 10)));
    return true;
}

// LABELSST: row u16, column u16, XF u16, SST index u32.
bool WorkbookParser::OnLabelSst(const BiffReader& rd)
{
    if (rd.Length() < 10)
        return Damaged("LABELSST");
    const uchar* p = rd.Data();
    const quint32 nIndex = GetU32(p + 6);
    if (nIndex >= m_nSstCount)
        return Fail(QStringLiteral("LABELSST refers to string %1 of %2").arg(nIndex).arg(m_nSstCount));
    quint32 nText = nIndex;
    if (m_bSheetHasSst)
    {
        // An empty shared string is a cell without value; most tables have
        // none, and then the string itself is not looked at.
        if (m_bSstHasEmpty && m_pSheet->Texts()[nIndex].isEmpty())
            nText = Worksheet::NO_TEXT;
    }
    else
    {
        // Another sheet's table takes each shared string once, when used.
        quint32& nEntry = m_textOfSst[nIndex];
        if (nEntry == Worksheet::NO_TEXT && !SstText(nIndex).isEmpty())
            nEntry = m_pSheet->AddText(SstText(nIndex));
        nText = nEntry;
    }
    Put(GetU16(p), GetU16(p + 2), GetU16(p + 4), nText);
    return true;
}

// LABEL (and RSTRING): row, column, XF, text (cch u16, option byte, chars).
bool WorkbookParser::OnLabel(const BiffReader& rd)
{
    if (rd.Length() < 9)
        return Damaged("LABEL");
    Segments segs;
    segs.Add(rd.Data() + 6, rd.Length() - 6);
    QString str;
    if (!segs.String(str, m_textBlock))
        return Damaged("LABEL");
    PutText(GetU16(rd.Data()), GetU16(rd.Data() + 2), GetU16(rd.Data() + 4), str);
    return true;
}

// NUMBER: row, column, XF, IEEE double.
bool WorkbookParser::OnNumber(const BiffReader& rd)
{
    if (rd.Length() < 14)
        return Damaged("NUMBER");
    const uchar* p = rd.Data();
    PutText(GetU16(p), GetU16(p + 2), GetU16(p + 4), NumberText(GetF64(p + 6)));
    return true;
}

// RK: row, column, XF, RK number u32.
bool WorkbookParser::OnRk(const BiffReader& rd)
{
    if (rd.Length() < 10)
        return Damaged("RK");
    const uchar* p = rd.Data();
    PutText(GetU16(p), GetU16(p + 2), GetU16(p + 4), NumberText(RkValue(GetU32(p + 6))));
    return true;
}

// MULRK: row, first column, then (XF u16, RK u32) per cell, last column.
bool WorkbookParser::OnMulRk(const BiffReader& rd)
{
    const int nLength = rd.Length();
    if (nLength < 12 || (nLength - 6) % 6 != 0)
        return Damaged("MULRK");
    const uchar* p = rd.Data();
    const int nRow = GetU16(p), nFirst = GetU16(p + 2);
    const int nCount = (nLength - 6) / 6;
    if (GetU16(p + nLength - 2) != nFirst + nCount - 1)
        return Damaged("MULRK");
    for (int i = 0; i < nCount; ++i)
        PutText(nRow, nFirst + i, GetU16(p + 4 + 6 * i), NumberText(RkValue(GetU32(p + 6 + 6 * i))));
    return true;
}

// BLANK: row, column, XF.
bool WorkbookParser::OnBlank(const BiffReader& rd)
{
    if (rd.Length() < 6)
        return Damaged("BLANK");
    Put(GetU16(rd.Data()), GetU16(rd.Data() + 2), GetU16(rd.Data() + 4));
    return true;
}

// MULBLANK: row, first column, XF u16 per cell, last column.
bool WorkbookParser::OnMulBlank(const BiffReader& rd)
{
    const int nLength = rd.Length();
    if (nLength < 8 || nLength % 2 != 0)
        return Damaged("MULBLANK");
    const uchar* p = rd.Data();
    const int nRow = GetU16(p), nFirst = GetU16(p + 2);
    const int nCount = (nLength - 6) / 2;
    if (GetU16(p + nLength - 2) != nFirst + nCount - 1)
        return Damaged("MULBLANK");
    for (int i = 0; i < nCount && nFirst + i < SHEET_MAX_COLS; ++i)
        Put(nRow, nFirst + i, GetU16(p + 4 + 2 * i));
    return true;
}

// BOOLERR: row, column, XF, value u8, is-error u8.
bool WorkbookParser::OnBoolErr(const BiffReader& rd)
{
    if (rd.Length() < 8)
        return Damaged("BOOLERR");
    const uchar* p = rd.Data();
    const QString str = p[7] ? ErrorText(p[6]) : (p[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    PutText(GetU16(p), GetU16(p + 2), GetU16(p + 4), str);
    return true;
}

// FORMULA: row, column, XF, cached result (8 bytes), flags, ..., formula.
// A result whose bytes 6..7 are 0xFFFF is not a number; its byte 0 says
// what: 0 text (in the STRING record that follows), 1 boolean, 2 error
// (value in byte 2), 3 empty text.
bool WorkbookParser::OnFormula(const BiffReader& rd)
{
    if (rd.Length() < 20)
        return Damaged("FORMULA");
    const uchar* p = rd.Data();
    const int nRow = GetU16(p), nCol = GetU16(p + 2), nXf = GetU16(p + 4);
    const uchar* pResult = p + 6;
    if (GetU16(pResult + 6) != 0xFFFF)
    {
        PutText(nRow, nCol, nXf, NumberText(GetF64(pResult)));
        return true;
    }
    switch (pResult[0])
    {
    case 0: // the cell is made when its STRING comes
        m_nPendingRow = nRow;
        m_nPendingCol = nCol;
        m_nPendingXf = nXf;
        break;
    case 1:
        PutText(nRow, nCol, nXf, pResult[2] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        break;
    case 2:
        PutText(nRow, nCol, nXf, ErrorText(pResult[2]));
        break;
    default:
        PutText(nRow, nCol, nXf, QString());
        break;
    }
    return true;
}

// STRING: the text result of the FORMULA before it (cch u16, option byte,
// characters), possibly going on in CONTINUE records.
bool WorkbookParser::OnString(BiffReader& rd)
{
    Segments segs = WithContinues(rd);
    QString str;
    if (!segs.String(str, m_textBlock))
        return Damaged("STRING");
    if (m_nPendingRow >= 0)
        PutText(m_nPendingRow, m_nPendingCol, m_nPendingXf, str);
    m_nPendingRow = -1;
    return true;
}

// MERGEDCELLS: count u16, then first row, last row, first column, last
// column (u16 each) per range.
bool WorkbookParser::OnMergedCells(const BiffReader& rd)
{
    if (rd.Length() < 2)
        return Damaged("MERGEDCELLS");
    const uchar* p = rd.Data();
    const int nCount = GetU16(p);
    if (2 + 8 * nCount > rd.Length())
        return Fail(QStringLiteral("MERGEDCELLS claims %1 ranges but holds %2").arg(nCount).arg((rd.Length() - 2) / 8));
    for (int i = 0; i < nCount; ++i)
    {
        const uchar* q = p + 2 + 8 * i;
        CellRect r;
        r.nFirstRow = GetU16(q);
        r.nLastRow = GetU16(q + 2);
        r.nFirstCol = GetU16(q + 4);
        r.nLastCol = GetU16(q + 6);
        if (r.nFirstRow <= r.nLastRow && r.nFirstCol <= r.nLastCol && r.nLastCol < SHEET_MAX_COLS)
            m_pSheet->m_merges.push_back(r);
    }
    return true;
}

// COLINFO: first column, last column, width (1/256 character), XF, flags.
bool WorkbookParser::OnColInfo(const BiffReader& rd)
{
    if (rd.Length() < 10)
        return Damaged("COLINFO");
    const uchar* p = rd.Data();
    const int nFirst = GetU16(p);
    const int nLast = std::min(int(GetU16(p + 2)), SHEET_MAX_COLS - 1);
    for (int nCol = nFirst; nCol <= nLast; ++nCol)
    {
        m_colWidth[nCol] = GetU16(p + 4);
        m_colXf[nCol] = GetU16(p + 6);
    }
    return true;
}

} // namespace

BiffReader::BiffReader(const QByteArray& stream, int nPos) : m_stream(stream), m_nNext(nPos), m_nPos(nPos)
{
}

int BiffReader::PeekId() const
{
    if (m_nNext + BIFF_HEADER_SIZE > m_stream.size())
        return -1;
    return GetU16(reinterpret_cast<const uchar*>(m_stream.constData()) + m_nNext);
}

bool ParseBiffWorkbook(const QByteArray& stream, Workbook& book, QString* pError, XlsFileNotes* pNotes)
{
    WorkbookParser parser(stream);
    const bool bOk = parser.Parse(book);
    if (pNotes)
    {
        pNotes->nRepeatedCells = parser.Notes().nRepeatedCells;
        pNotes->nCellsOutside = parser.Notes().nCellsOutside;
        pNotes->nUnknownFormats = parser.Notes().nUnknownFormats;
        pNotes->nActiveSheetKind = parser.Notes().nActiveSheetKind;
    }
    if (bOk)
        return true;
    if (pError)
        *pError = parser.Error();
    return false;
}
