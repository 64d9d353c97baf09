// BIFF8 record builders: the byte layout of each record the writer emits.
#include "report/BiffRecords.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// Data of one record under construction, little-endian throughout.
struct RecordData
{
    QByteArray data;
    void U8(quint8 by) { data.append(char(by)); }
    void U16(quint16 n)
    {
        char buf[2];
        qToLittleEndian(n, buf);
        data.append(buf, 2);
    }
    void U32(quint32 n)
    {
        char buf[4];
        qToLittleEndian(n, buf);
        data.append(buf, 4);
    }
    void Zeros(int nCount) { data.append(nCount, '\0'); }
};

QByteArray Record(quint16 nId, const RecordData& rd)
{
    QByteArray out;
    BiffRecords::AppendRecord(out, nId, rd.data);
    return out;
}

// Writes the characters of str[nFrom, nFrom + nCount) as one byte each
// (Latin-1) or two (UTF-16LE) at p; the pointer after them.
char* EncodeChars(char* p, QStringView str, qsizetype nFrom, qsizetype nCount, bool bLatin1)
{
    const QChar* pChars = str.data() + nFrom;
    if (bLatin1)
    {
        for (qsizetype i = 0; i < nCount; ++i)
            *p++ = char(pChars[i].unicode());
    }
    else
    {
        qToLittleEndian<quint16>(pChars, nCount, p);
        p += 2 * nCount;
    }
    return p;
}

} // namespace

ContinuedRecord::ContinuedRecord(QByteArray& out, quint16 nId) : m_out(out)
{
    Open(nId);
}

void ContinuedRecord::Open(quint16 nId)
{
    // The whole room of a record at once: the shared-string table writes
    // its strings straight into it, without a call to grow out for each.
    m_nStart = int(m_out.size());
    m_nLength = 0;
    m_out.resize(m_out.size() + BIFF_HEADER_SIZE + BIFF_MAX_DATA);
    char* pHeader = m_out.data() + m_nStart;
    qToLittleEndian<quint16>(nId, pHeader);
    qToLittleEndian<quint16>(0, pHeader + 2); // length written by Finish
    m_pData = pHeader + BIFF_HEADER_SIZE;
    m_bOpen = true;
}

void ContinuedRecord::AppendU8(quint8 byValue)
{
    const char c = char(byValue);
    Append(&c, 1);
}

void ContinuedRecord::AppendU16(quint16 nValue)
{
    char buf[2];
    qToLittleEndian(nValue, buf);
    Append(buf, 2);
}

void ContinuedRecord::AppendU32(quint32 nValue)
{
    char buf[4];
    qToLittleEndian(nValue, buf);
    Append(buf, 4);
}

void ContinuedRecord::Break()
{
    Finish();
    Open(BIFF_CONTINUE);
}

void ContinuedRecord::Finish()
{
    if (!m_bOpen)
        return;
    qToLittleEndian<quint16>(quint16(m_nLength), m_out.data() + m_nStart + 2);
    m_out.resize(m_nStart + BIFF_HEADER_SIZE + m_nLength);
    m_pData = nullptr;
    m_bOpen = false;
}

namespace BiffRecords {

void AppendRecord(QByteArray& out, quint16 nId, const QByteArray& data)
{
    ContinuedRecord rec(out, nId);
    const char* p = data.constData();
    int nLeft = int(data.size());
    while (nLeft > 0)
    {
        if (rec.Room() == 0)
            rec.Break();
        const int n = std::min(nLeft, rec.Room());
        rec.Append(p, n);
        p += n;
        nLeft -= n;
    }
}

QByteArray UnicodeString(const QString& str, bool b16BitLength)
{
    const bool bLatin1 = IsLatin1(str);
    const int nMax = b16BitLength ? 0xFFFF : 0xFF;
    const int nChars = std::min(int(str.size()), nMax);
    RecordData rd;
    if (b16BitLength)
        rd.U16(quint16(nChars));
    else
        rd.U8(quint8(nChars));
    rd.U8(bLatin1 ? 0x00 : 0x01);
    for (int i = 0; i < nChars; ++i)
    {
        if (bLatin1)
            rd.U8(quint8(str[i].unicode()));
        else
            rd.U16(str[i].unicode());
    }
    return rd.data;
}

// BOF, 16 bytes:
//   0  version       0x0600 (BIFF8)
//   2  substream     0x0005 workbook globals, 0x0010 worksheet
//   4  build         0x0DBB
//   6  build year    0x07CC (1996)
//   8  history flags u32, 0
//  12  lowest BIFF version that saved the file, u32, 6
QByteArray Bof(quint16 nType)
{
    RecordData rd;
    rd.U16(BIFF_VERSION_8);
    rd.U16(nType);
    rd.U16(0x0DBB);
    rd.U16(0x07CC);
    rd.U32(0);
    rd.U32(6);
    return Record(BIFF_BOF, rd);
}

// INTERFACEHDR, 2 bytes: code page of the user interface, 1200 (UTF-16).
QByteArray InterfaceHdr()
{
    return U16Record(BIFF_INTERFACEHDR, 1200);
}

// MMS, 2 bytes: added and deleted menu items, both 0.
QByteArray Mms()
{
    return U16Record(BIFF_MMS, 0);
}

// INTERFACEEND, no data.
QByteArray InterfaceEnd()
{
    return Record(BIFF_INTERFACEEND, RecordData());
}

// WRITEACCESS, 112 bytes: the user name as XLUnicodeString, padded with
// spaces to the full length.
QByteArray WriteAccess(const QString& strUser)
{
    RecordData rd;
    rd.data = UnicodeString(strUser.left(50), true);
    rd.data.append(112 - int(rd.data.size()), ' ');
    return Record(BIFF_WRITEACCESS, rd);
}

// CODEPAGE, 2 bytes: 1200, strings are Unicode (compressed or UTF-16LE).
QByteArray CodePage()
{
    return U16Record(BIFF_CODEPAGE, 1200);
}

// The many records that hold a single u16: DSF, FNGROUPCOUNT, WINDOWPROTECT,
// PROTECT, PASSWORD, PROT4REV, PROT4REVPASS, BACKUP, HIDEOBJ, DATEMODE,
// PRECISION, REFRESHALL, BOOKBOOL, DEFCOLWIDTH.
QByteArray U16Record(quint16 nId, quint16 nValue)
{
    RecordData rd;
    rd.U16(nValue);
    return Record(nId, rd);
}

// TABID: one u16 id per sheet, 1..n in sheet order.
QByteArray TabId(int nSheets)
{
    RecordData rd;
    for (int i = 1; i <= nSheets; ++i)
        rd.U16(quint16(i));
    return Record(BIFF_TABID, rd);
}

// WINDOW1, 18 bytes:
//   0  xWn, yWn      window position in twips (360, 270)
//   4  dxWn, dyWn    window size in twips (14940, 9150)
//   8  flags         0x0038: horizontal and vertical scroll bars, sheet tabs
//  10  itabCur       active sheet
//  12  itabFirst     first visible tab, 0
//  14  ctabSel       number of selected sheets, 1
//  16  wTabRatio     tab bar width in 1/1000 of the window, 600
QByteArray Window1(int nActiveSheet)
{
    RecordData rd;
    rd.U16(360);
    rd.U16(270);
    rd.U16(14940);
    rd.U16(9150);
    rd.U16(0x0038);
    rd.U16(quint16(nActiveSheet));
    rd.U16(0);
    rd.U16(1);
    rd.U16(600);
    return Record(BIFF_WINDOW1, rd);
}

// FONT, 14 bytes + name:
//   0  height in twips, 200 (10 point)
//   2  flags: bit 0 bold (set with weight 700, as Excel does; some readers
//      look only here), bit 1 italic, bit 3 struck out
//   4  colour, 0x7FFF (automatic)
//   6  weight, 400 normal or 700 bold
//   8  escapement, 0
//  10  underline, 0
//  11  family, 0
//  12  character set, 0
//  13  reserved
//  14  name as ShortXLUnicodeString ("Arial")
QByteArray Font(bool bBold)
{
    RecordData rd;
    rd.U16(200);
    rd.U16(bBold ? 0x0001 : 0x0000);
    rd.U16(0x7FFF);
    rd.U16(bBold ? 700 : 400);
    rd.U16(0);
    rd.Zeros(4);
    rd.data.append(UnicodeString(QStringLiteral("Arial"), false));
    return Record(BIFF_FONT, rd);
}

namespace {

// XF, 20 bytes:
//   0  font index (4 does not exist: the fifth FONT record is index 5)
//   2  number format index (0 General, 49 "@")
//   4  bit 0 locked, bit 2 style XF, bits 4..15 parent style (0xFFF for a style)
//   6  bits 0..2 horizontal alignment, bits 4..6 vertical alignment
//   7  rotation, 0
//   8  indent, shrink, reading order, 0
//   9  bits 2..7: number format, font, alignment, border, fill, protection
//      set on this XF (for a style XF a set bit means "not part of the style")
//  10  border styles and left/right colours, 0 (no borders)
//  14  bits 0..20 top/bottom/diagonal colours, bits 26..31 fill pattern
//      (1 solid)
//  18  bits 0..6 pattern (foreground) colour, bits 7..13 background colour;
//      0x40 and 0x41 are the system window text and background
QByteArray Xf(int nFont, int nFormat, quint16 nTypeFlags, quint8 byAlign, quint8 byUsed, int nFillPalette)
{
    RecordData rd;
    rd.U16(quint16(nFont));
    rd.U16(quint16(nFormat));
    rd.U16(nTypeFlags);
    rd.U8(byAlign);
    rd.U8(0);
    rd.U8(0);
    rd.U8(byUsed);
    rd.U32(0);
    const bool bFill = nFillPalette >= 8 && nFillPalette <= 63;
    rd.U32(bFill ? (1u << 26) : 0u);
    rd.U16(quint16((bFill ? nFillPalette : 0x40) | (0x41 << 7)));
    return Record(BIFF_XF, rd);
}

constexpr quint8 XF_DEFAULT_ALIGN = 0x20; // general, bottom

} // namespace

QByteArray StyleXf(int nIndex)
{
    // XF 0 (Normal) defines every attribute; the other built-in style XFs
    // 1..14 take only their font: 1 and 2 font 1, 3 and 4 font 2, the rest 0.
    const int nFont = (nIndex == 1 || nIndex == 2) ? 1 : (nIndex == 3 || nIndex == 4) ? 2 : 0;
    return Xf(nFont, 0, 0xFFF5, XF_DEFAULT_ALIGN, nIndex == 0 ? 0x00 : 0xF4, -1);
}

QByteArray CellXf(int nFont, int nFormat, int nHorzAlign, int nVertAlign, int nFillPalette)
{
    const quint8 byAlign = quint8((nHorzAlign & 0x07) | ((nVertAlign & 0x07) << 4));
    quint8 byUsed = 0;
    if (nFormat != 0)
        byUsed |= 0x04;
    if (nFont != 0)
        byUsed |= 0x08;
    if (byAlign != XF_DEFAULT_ALIGN)
        byUsed |= 0x10;
    if (nFillPalette >= 8 && nFillPalette <= 63)
        byUsed |= 0x40;
    return Xf(nFont, nFormat, 0x0001, byAlign, byUsed, nFillPalette);
}

// STYLE, 4 bytes: XF index 0 with bit 15 (built-in), built-in style 0
// (Normal), outline level 0xFF.
QByteArray StyleNormal()
{
    RecordData rd;
    rd.U16(0x8000);
    rd.U8(0);
    rd.U8(0xFF);
    return Record(BIFF_STYLE, rd);
}

// BOUNDSHEET, 6 bytes + name:
//   0  stream position of the sheet's BOF, u32 (patched once known)
//   4  visibility, 0 visible
//   5  sheet type, 0 worksheet
//   6  name as ShortXLUnicodeString
QByteArray BoundSheet(const QString& strName)
{
    RecordData rd;
    rd.U32(0);
    rd.U8(0);
    rd.U8(0);
    rd.data.append(UnicodeString(strName, false));
    return Record(BIFF_BOUNDSHEET, rd);
}

// SST:
//   0  total number of LABELSST references, u32
//   4  number of strings, u32
//   8  strings, each: cch u16, option byte (bit 0: UTF-16LE), characters
// A record holds at most 8224 bytes; the rest goes on in CONTINUE records.
// A string header is never split; when a string's characters are split,
// the CONTINUE starts with the option byte again, then the rest of them.
void AppendSst(QByteArray& out, const SstStrings& strings, quint32 nTotalRefs, qsizetype nStreamStart,
               QVector<SstPosition>* pBucketStarts)
{
    ContinuedRecord rec(out, BIFF_SST);
    rec.AppendU32(nTotalRefs);
    rec.AppendU32(quint32(strings.size()));
    const size_t nBucket = size_t(ExtSstBucketSize(int(strings.size())));
    if (pBucketStarts)
        pBucketStarts->reserve(qsizetype(strings.size() / nBucket + 1));
    size_t nNextBucket = 0;
    for (size_t nString = 0; nString < strings.size(); ++nString)
    {
        // The texts lie wherever their cells' values were made: the
        // characters a few strings on are asked for while these are copied.
        constexpr size_t AHEAD = 8;
        if (nString + AHEAD < strings.size())
            __builtin_prefetch(strings[nString + AHEAD].data());
        const QStringView str = strings[nString];
        const bool bLatin1 = IsLatin1(str);
        const int nCharSize = bLatin1 ? 1 : 2;
        const int nChars = std::min(int(str.size()), 0xFFFF);
        // Header and first character stay together.
        if (rec.Room() < 3 + (nChars > 0 ? nCharSize : 0))
            rec.Break();
        if (nString == nNextBucket)
        {
            nNextBucket += nBucket;
            const int nPos = rec.Position();
            if (pBucketStarts)
                pBucketStarts->push_back(SstPosition{quint32(nPos - nStreamStart), quint16(nPos - rec.RecordStart())});
        }
        // Header, then the characters straight into the record, most
        // strings whole.
        char* const pHeader = rec.Next();
        pHeader[0] = char(nChars & 0xFF);
        pHeader[1] = char(nChars >> 8);
        pHeader[2] = bLatin1 ? 0x00 : 0x01;
        const int nWhole = 3 + nChars * nCharSize;
        if (nWhole <= rec.Room())
        {
            EncodeChars(pHeader + 3, str, 0, nChars, bLatin1);
            rec.Commit(nWhole);
            continue;
        }
        rec.Commit(3);
        int nDone = 0;
        while (nDone < nChars)
        {
            const int nFit = rec.Room() / nCharSize;
            if (nFit == 0)
            {
                rec.Break();
                rec.AppendU8(bLatin1 ? 0x00 : 0x01);
                continue;
            }
            const int n = std::min(nFit, nChars - nDone);
            const char* pEnd = EncodeChars(rec.Next(), str, nDone, n, bLatin1);
            rec.Commit(int(pEnd - rec.Next()));
            nDone += n;
        }
    }
}

int ExtSstBucketSize(int nStrings)
{
    // At most 128 buckets, at least 8 strings per bucket.
    return std::max(8, (nStrings + 127) / 128);
}

// EXTSST: strings per bucket u16, then per bucket of the SST:
//   0  stream position of the bucket's first string, u32
//   4  its offset from the start of its record's header, u16
//   6  reserved, u16
QByteArray ExtSst(const QVector<SstPosition>& bucketStarts, int nStrings)
{
    RecordData rd;
    rd.U16(quint16(ExtSstBucketSize(nStrings)));
    for (const SstPosition& start : bucketStarts)
    {
        rd.U32(start.nStreamOffset);
        rd.U16(start.nRecordOffset);
        rd.U16(0);
    }
    return Record(BIFF_EXTSST, rd);
}

// EOF, no data: ends the globals and each sheet.
QByteArray Eof()
{
    return Record(BIFF_EOF, RecordData());
}

// DEFCOLWIDTH, 2 bytes: default column width in characters, without padding.
QByteArray DefColWidth(quint16 nChars)
{
    return U16Record(BIFF_DEFCOLWIDTH, nChars);
}

// COLINFO, 12 bytes:
//   0  first column, u16
//   2  last column, u16
//   4  width in 1/256 of a character (see ColumnWidthToBiff)
//   6  XF index of the columns' cells without a record of their own
//   8  flags, 0 (visible)
//  10  reserved
QByteArray ColInfo(int nFirstCol, int nLastCol, quint16 nWidth, int nXf)
{
    RecordData rd;
    rd.U16(quint16(nFirstCol));
    rd.U16(quint16(nLastCol));
    rd.U16(nWidth);
    rd.U16(quint16(nXf));
    rd.U16(0);
    rd.U16(0);
    return Record(BIFF_COLINFO, rd);
}

// DIMENSIONS, 14 bytes: first row u32, last row + 1 u32, first column u16,
// last column + 1 u16, reserved u16. An empty sheet has all zero.
QByteArray Dimensions(int nFirstRow, int nLastRowPlus1, int nFirstCol, int nLastColPlus1)
{
    RecordData rd;
    rd.U32(quint32(nFirstRow));
    rd.U32(quint32(nLastRowPlus1));
    rd.U16(quint16(nFirstCol));
    rd.U16(quint16(nLastColPlus1));
    rd.U16(0);
    return Record(BIFF_DIMENSIONS, rd);
}

// WINDOW2, 18 bytes:
//   0  flags: 0x00B6 = grid lines, headers, zeros, default header colour,
//      outline symbols; + 0x0200 selected + 0x0400 shown (the active sheet)
//   2  top row, u16, 0
//   4  left column, u16, 0
//   6  header colour index u32, 0x40
//  10  zoom in page break preview, u16, 0 (default)
//  12  zoom in normal view, u16, 0 (default)
//  14  reserved u32
QByteArray Window2(bool bActive)
{
    RecordData rd;
    rd.U16(bActive ? 0x06B6 : 0x00B6);
    rd.U16(0);
    rd.U16(0);
    rd.U32(0x40);
    rd.U16(0);
    rd.U16(0);
    rd.U32(0);
    return Record(BIFF_WINDOW2, rd);
}

// LABELSST, 10 bytes: row u16, column u16, XF index u16, SST index u32.
char* WriteLabelSst(char* p, int nRow, int nCol, int nXf, quint32 nSst)
{
    qToLittleEndian<quint16>(BIFF_LABELSST, p);
    qToLittleEndian<quint16>(10, p + 2);
    qToLittleEndian<quint16>(quint16(nRow), p + 4);
    qToLittleEndian<quint16>(quint16(nCol), p + 6);
    qToLittleEndian<quint16>(quint16(nXf), p + 8);
    qToLittleEndian<quint32>(nSst, p + 10);
    return p + LABELSST_RECORD_SIZE;
}

// BLANK, 6 bytes: row u16, column u16, XF index u16 (a formatted empty cell).
char* WriteBlank(char* p, int nRow, int nCol, int nXf)
{
    qToLittleEndian<quint16>(BIFF_BLANK, p);
    qToLittleEndian<quint16>(6, p + 2);
    qToLittleEndian<quint16>(quint16(nRow), p + 4);
    qToLittleEndian<quint16>(quint16(nCol), p + 6);
    qToLittleEndian<quint16>(quint16(nXf), p + 8);
    return p + BLANK_RECORD_SIZE;
}

// MERGEDCELLS: count u16, then per range first row, last row, first
// column, last column (u16 each).
void AppendMergedCells(QByteArray& out, const QVector<CellRect>& ranges)
{
    for (int nStart = 0; nStart < ranges.size(); nStart += BIFF_MAX_MERGES_PER_RECORD)
    {
        const int nCount = std::min(int(ranges.size()) - nStart, BIFF_MAX_MERGES_PER_RECORD);
        RecordData rd;
        rd.U16(quint16(nCount));
        for (int i = nStart; i < nStart + nCount; ++i)
        {
            rd.U16(quint16(ranges[i].nFirstRow));
            rd.U16(quint16(ranges[i].nLastRow));
            rd.U16(quint16(ranges[i].nFirstCol));
            rd.U16(quint16(ranges[i].nLastCol));
        }
        AppendRecord(out, BIFF_MERGEDCELLS, rd.data);
    }
}

quint16 ColumnWidthToBiff(int nChars)
{
    const int n = std::clamp(nChars, 0, 255);
    return quint16((n * 7 + 5) * 256 / 7);
}

int ColumnWidthFromBiff(quint16 nWidth)
{
    const double fChars = (double(nWidth) * 7.0 / 256.0 - 5.0) / 7.0;
    return fChars <= 0.0 ? 0 : int(fChars + 0.5);
}

} // namespace BiffRecords
