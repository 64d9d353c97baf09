// BIFF8 record builders of the workbook writer: one function per record,
// each appending the finished record (header and data) to a byte array.
// Every record starts with the same 4-byte header:
//   0  id      u16 LE (BIFF_*)
//   2  length  u16 LE, 0..8224 bytes of data follow
// Longer data goes on in CONTINUE records; AppendRecord and ContinuedRecord
// are the only places that write a header or split data.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <cstring>
#include <vector>

#include "report/Workbook.h"

// Record ids, as far as this program writes or reads them.
constexpr quint16 BIFF_FORMULA = 0x0006;
constexpr quint16 BIFF_EOF = 0x000A;
constexpr quint16 BIFF_PRECISION = 0x000E;
constexpr quint16 BIFF_PROTECT = 0x0012;
constexpr quint16 BIFF_PASSWORD = 0x0013;
constexpr quint16 BIFF_WINDOWPROTECT = 0x0019;
constexpr quint16 BIFF_DATEMODE = 0x0022;
constexpr quint16 BIFF_FONT = 0x0031;
constexpr quint16 BIFF_CONTINUE = 0x003C;
constexpr quint16 BIFF_WINDOW1 = 0x003D;
constexpr quint16 BIFF_BACKUP = 0x0040;
constexpr quint16 BIFF_CODEPAGE = 0x0042;
constexpr quint16 BIFF_DEFCOLWIDTH = 0x0055;
constexpr quint16 BIFF_WRITEACCESS = 0x005C;
constexpr quint16 BIFF_COLINFO = 0x007D;
constexpr quint16 BIFF_BOUNDSHEET = 0x0085;
constexpr quint16 BIFF_HIDEOBJ = 0x008D;
constexpr quint16 BIFF_FNGROUPCOUNT = 0x009C;
constexpr quint16 BIFF_MULRK = 0x00BD;
constexpr quint16 BIFF_MULBLANK = 0x00BE;
constexpr quint16 BIFF_MMS = 0x00C1;
constexpr quint16 BIFF_RSTRING = 0x00D6;
constexpr quint16 BIFF_BOOKBOOL = 0x00DA;
constexpr quint16 BIFF_XF = 0x00E0;
constexpr quint16 BIFF_INTERFACEHDR = 0x00E1;
constexpr quint16 BIFF_INTERFACEEND = 0x00E2;
constexpr quint16 BIFF_MERGEDCELLS = 0x00E5;
constexpr quint16 BIFF_SST = 0x00FC;
constexpr quint16 BIFF_LABELSST = 0x00FD;
constexpr quint16 BIFF_EXTSST = 0x00FF;
constexpr quint16 BIFF_TABID = 0x013D;
constexpr quint16 BIFF_USESELFS = 0x0160;
constexpr quint16 BIFF_DSF = 0x0161;
constexpr quint16 BIFF_PROT4REV = 0x01AF;
constexpr quint16 BIFF_REFRESHALL = 0x01B7;
constexpr quint16 BIFF_PROT4REVPASS = 0x01BC;
constexpr quint16 BIFF_DIMENSIONS = 0x0200;
constexpr quint16 BIFF_BLANK = 0x0201;
constexpr quint16 BIFF_NUMBER = 0x0203;
constexpr quint16 BIFF_LABEL = 0x0204;
constexpr quint16 BIFF_BOOLERR = 0x0205;
constexpr quint16 BIFF_STRING = 0x0207;
constexpr quint16 BIFF_WINDOW2 = 0x023E;
constexpr quint16 BIFF_RK = 0x027E;
constexpr quint16 BIFF_STYLE = 0x0293;
constexpr quint16 BIFF_FORMAT = 0x041E;
constexpr quint16 BIFF_BOF = 0x0809;

constexpr int BIFF_HEADER_SIZE = 4;
constexpr int BIFF_MAX_DATA = 8224; // data bytes of one record, CONTINUE included
constexpr quint16 BIFF_VERSION_8 = 0x0600;
constexpr quint16 BIFF_BOF_GLOBALS = 0x0005;
constexpr quint16 BIFF_BOF_WORKSHEET = 0x0010;
constexpr int BIFF_MAX_MERGES_PER_RECORD = 1026;    // Excel reads no more in one MERGEDCELLS
constexpr int BIFF_MAX_STRING_CHARS = 32767;        // longest cell text Excel keeps
constexpr int BIFF_FORMAT_TEXT = 49;                // built-in number format "@"
constexpr int BIFF_XF_DEFAULT_CELL = 15;            // XFs 0..14 are style XFs
constexpr int BIFF_FONT_BOLD = 5;                   // font records 0..3, then 5: index 4 does not exist
constexpr quint16 BIFF_DEFAULT_COLUMN_WIDTH = 2340; // 8.43 characters, Excel's default column

// Where one string of the SST starts, for EXTSST.
struct SstPosition
{
    quint32 nStreamOffset = 0; // of the string's first byte in the stream
    quint16 nRecordOffset = 0; // of the string from the start of its record's header
};

// One record whose data may run on into CONTINUE records. The caller asks
// for room and decides where a break is allowed; a break may put a first
// data byte (the option byte of a split string) into the new CONTINUE.
class ContinuedRecord
{
public:
    // Nothing else may change out until Finish: each record takes its
    // whole room in out at once and gives back what it did not use.
    ContinuedRecord(QByteArray& out, quint16 nId);
    ~ContinuedRecord() { Finish(); }
    int Room() const { return BIFF_MAX_DATA - m_nLength; }
    // Where the next bytes of the record go: write at most Room() bytes
    // there, then Commit how many.
    char* Next() const { return m_pData + m_nLength; }
    void Commit(int nBytes)
    {
        Q_ASSERT(nBytes <= Room());
        m_nLength += nBytes;
    }
    // Appends bytes that fit in the current record (nBytes <= Room()).
    void Append(const char* pData, int nBytes)
    {
        Q_ASSERT(nBytes <= Room());
        std::memcpy(Next(), pData, size_t(nBytes));
        m_nLength += nBytes;
    }
    void AppendU8(quint8 byValue);
    void AppendU16(quint16 nValue);
    void AppendU32(quint32 nValue);
    // Ends the current record and starts a CONTINUE.
    void Break();
    // Offset in `out` of the current record's header.
    int RecordStart() const { return m_nStart; }
    // Offset in `out` where the next byte goes.
    int Position() const { return m_nStart + BIFF_HEADER_SIZE + m_nLength; }
    // Writes the length of the last record and gives back the room it did
    // not use; called by the destructor too.
    void Finish();

private:
    void Open(quint16 nId);

    QByteArray& m_out;
    int m_nStart = 0;
    int m_nLength = 0;
    char* m_pData = nullptr; // the current record's data in out
    bool m_bOpen = false;
};

namespace BiffRecords {

// One record with its header; data longer than BIFF_MAX_DATA is cut into
// CONTINUE records at BIFF_MAX_DATA bytes.
void AppendRecord(QByteArray& out, quint16 nId, const QByteArray& data);

// True when every character fits in one byte (stored "compressed").
inline bool IsLatin1(QStringView str)
{
    // No early way out: the loop then goes many units a step.
    char16_t nAll = 0;
    const char16_t* pUnits = str.utf16();
    for (qsizetype i = 0; i < str.size(); ++i)
        nAll |= pUnits[i];
    return nAll <= 0xFF;
}
// XLUnicodeString with a 16-bit (b16BitLength) or 8-bit character count:
//   cch (u16 or u8), option byte (bit 0: characters are UTF-16LE, else one
//   byte each, Latin-1), characters.
QByteArray UnicodeString(const QString& str, bool b16BitLength);

// Workbook globals
QByteArray Bof(quint16 nType);
QByteArray InterfaceHdr();
QByteArray Mms();
QByteArray InterfaceEnd();
QByteArray WriteAccess(const QString& strUser);
QByteArray CodePage();
QByteArray U16Record(quint16 nId, quint16 nValue);
QByteArray TabId(int nSheets);
QByteArray Window1(int nActiveSheet);
QByteArray Font(bool bBold);
// Built-in style XF 0..14.
QByteArray StyleXf(int nIndex);
// Cell XF; nFillPalette is the palette entry (8..63) or -1 for no fill.
QByteArray CellXf(int nFont, int nFormat, int nHorzAlign, int nVertAlign, int nFillPalette);
QByteArray StyleNormal();
QByteArray BoundSheet(const QString& strName);
constexpr int BOUNDSHEET_POS_OFFSET = BIFF_HEADER_SIZE; // u32 to patch with the sheet's BOF position
// The strings of a full report's table run to megabytes (see LargeAllocator).
using SstStrings = std::vector<QStringView, LargeAllocator<QStringView>>;
// SST and its CONTINUEs, appended to out; pBucketStarts receives the start
// of the first string of each EXTSST bucket (every ExtSstBucketSize-th
// string), as an offset from nStreamStart in out. Texts longer than a cell
// holds must be cut before.
void AppendSst(QByteArray& out, const SstStrings& strings, quint32 nTotalRefs, qsizetype nStreamStart,
               QVector<SstPosition>* pBucketStarts);
QByteArray ExtSst(const QVector<SstPosition>& bucketStarts, int nStrings);
int ExtSstBucketSize(int nStrings);
QByteArray Eof();

// Worksheet
QByteArray DefColWidth(quint16 nChars);
QByteArray ColInfo(int nFirstCol, int nLastCol, quint16 nWidth, int nXf);
QByteArray Dimensions(int nFirstRow, int nLastRowPlus1, int nFirstCol, int nLastColPlus1);
QByteArray Window2(bool bActive);
// LABELSST (14 bytes with the header) and BLANK (10 bytes) at p; the
// pointer after the record.
constexpr int LABELSST_RECORD_SIZE = BIFF_HEADER_SIZE + 10;
constexpr int BLANK_RECORD_SIZE = BIFF_HEADER_SIZE + 6;
char* WriteLabelSst(char* p, int nRow, int nCol, int nXf, quint32 nSst);
char* WriteBlank(char* p, int nRow, int nCol, int nXf);
// Ranges must already be valid; cuts into records of at most
// BIFF_MAX_MERGES_PER_RECORD ranges.
void AppendMergedCells(QByteArray& out, const QVector<CellRect>& ranges);

// Excel's ColumnWidth (characters of the digit 0) and the COLINFO width
// (1/256 of a character including the cell padding). With the 7-pixel digit
// of the default font and 5 pixels of padding:
//   width = trunc((chars * 7 + 5) / 7 * 256)    e.g. 8 -> 2230, 22 -> 5814
// and back: chars = round((width * 7 / 256 - 5) / 7), never below 0.
quint16 ColumnWidthToBiff(int nChars);
int ColumnWidthFromBiff(quint16 nWidth);

} // namespace BiffRecords
