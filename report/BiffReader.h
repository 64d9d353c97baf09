// Reading a BIFF8 workbook stream: a record iterator, and the parser that
// hands each record to its handler (BiffReader.cpp) to fill a Workbook.
//
// Cells become text as follows:
//   text (LABELSST, LABEL, RSTRING, string result of a FORMULA)  the text
//   number (NUMBER, RK, MULRK, numeric FORMULA result)  a whole number
//       below 1e15 without decimals ("42", "-7"); any other the shortest
//       text that reads back to the same double ("0.1", "1.5e+20")
//   boolean (BOOLERR, FORMULA)  "TRUE" or "FALSE"
//   error (BOOLERR, FORMULA)  "#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
//       "#NAME?", "#NUM!", "#N/A" ("#N/A" for an unknown code)
//   BLANK, MULBLANK  a formatted cell without a value
// Dates are numbers in the file and come out as their day numbers.
// Cells beyond column IV (256 columns) are left out.
//
// Damage that a reader can tell is read past and counted (XlsFileNotes),
// not taken for content: of two records for one cell the later one is kept;
// cells outside the rows and columns the sheet's DIMENSIONS gives are left
// out, so that a stray record far down cannot add thousands of empty rows.
#pragma once

#include <QByteArray>
#include <QString>

#include "report/Workbook.h"

struct XlsFileNotes;

class BiffReader
{
public:
    explicit BiffReader(const QByteArray& stream, int nPos = 0);
    // Steps to the next record. False at the end of the stream, or when a
    // record runs past it (then Damaged() is true).
    bool Next()
    {
        const qsizetype nSize = m_stream.size();
        if (m_bDamaged || m_nNext < 0 || m_nNext >= nSize)
            return false;
        // Header: id u16, length u16 (little-endian), then the data.
        const uchar* p = reinterpret_cast<const uchar*>(m_stream.constData()) + m_nNext;
        if (m_nNext + BIFF_RECORD_HEADER > nSize || m_nNext + BIFF_RECORD_HEADER + (p[2] | (p[3] << 8)) > nSize)
        {
            m_bDamaged = true;
            return false;
        }
        m_nPos = m_nNext;
        m_nId = quint16(p[0] | (p[1] << 8));
        m_nLength = p[2] | (p[3] << 8);
        m_pData = p + BIFF_RECORD_HEADER;
        m_nNext = m_nPos + BIFF_RECORD_HEADER + m_nLength;
        return true;
    }
    quint16 Id() const { return m_nId; }
    int Length() const { return m_nLength; }
    const uchar* Data() const { return m_pData; }
    // Stream position of the current record's header.
    int Position() const { return m_nPos; }
    // Position just after the current record.
    int End() const { return m_nNext; }
    // Id of the record after the current one, or -1 when there is none.
    int PeekId() const;
    bool Damaged() const { return m_bDamaged; }

private:
    static constexpr int BIFF_RECORD_HEADER = 4;
    const QByteArray& m_stream;
    int m_nNext = 0;
    int m_nPos = 0;
    quint16 m_nId = 0;
    int m_nLength = 0;
    const uchar* m_pData = nullptr;
    bool m_bDamaged = false;
};

// Fills book from a BIFF8 workbook stream: every sheet, the active one from
// WINDOW1. On failure book is left as it was and *pError says why.
bool ParseBiffWorkbook(const QByteArray& stream, Workbook& book, QString* pError, XlsFileNotes* pNotes = nullptr);
