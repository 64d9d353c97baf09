// The BIFF8 "Workbook" stream of a whole workbook: the globals in file
// order, then one substream per sheet.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>
#include <vector>

#include "report/BiffRecords.h"
#include "report/Workbook.h"

class WorkbookStream
{
public:
    // Works out the formats (XF table) and the shared strings (SST) of the
    // whole workbook, in the order the sheets use them; writes nothing yet.
    explicit WorkbookStream(const Workbook& book);
    // Appends the finished stream to out, in one pass straight into out's
    // buffer. The same workbook always gives the same bytes: nothing in it
    // depends on the clock, the user or the machine.
    void AppendTo(QByteArray& out);
    // About the size of the stream, for reserving the buffer.
    qsizetype SizeHint() const { return m_nSizeHint; }
    // Distinct texts cut to the 32,767 characters a cell holds.
    int CutTextCount() const { return m_nCutTexts; }

    // Sheet names as Excel accepts them: 1..31 characters, none of
    // []:*?/\, unique without regard to case; a name that breaks a rule is
    // mended ("Sheet<n>" when nothing is left).
    static QStringList ExcelSheetNames(const Workbook& book);

private:
    void AppendSheet(QByteArray& out, int nSheet, bool bActive);
    int XfIndex(quint16 nFormat);
    quint32 SstIndex(int nSheet, quint32 nText);
    static QVector<CellRect> ValidMerges(const Worksheet& sheet);

    const Workbook& m_book;
    // XF of each packed format (0: none yet); cell XFs are 15 and up.
    std::vector<quint16> m_xfOfFormat;
    QVector<quint16> m_xfFormats; // cell XF 15 + i; [0] is the default format
    // Shared strings in the order of first use. Each sheet's text table
    // entry maps to its SST index (NO_SST until seen).
    static constexpr quint32 NO_SST = 0xFFFFFFFFu;
    std::vector<std::vector<quint32, LargeAllocator<quint32>>> m_sstOfText;
    BiffRecords::SstStrings m_sstStrings;
    // Equal texts of different entries meet here; not needed (and left
    // empty) when the book is one sheet whose table holds each text once
    // and no text is cut, which is what the report job makes.
    bool m_bHashTexts = true;
    QHash<QStringView, quint32> m_sstIndex;
    quint32 m_nSstRefs = 0;
    int m_nCutTexts = 0;
    qsizetype m_nSizeHint = 0;
};
