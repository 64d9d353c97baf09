// The BIFF8 "Workbook" stream of a whole workbook: the globals in file
// order, then one substream per sheet.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

#include "report/BiffRecords.h"
#include "report/Workbook.h"

class WorkbookStream
{
public:
    explicit WorkbookStream(const Workbook& book);
    // The finished stream. The same workbook always gives the same bytes:
    // nothing in it depends on the clock, the user or the machine.
    QByteArray Build();

    // Sheet names as Excel accepts them: 1..31 characters, none of
    // []:*?/\, unique without regard to case; a name that breaks a rule is
    // mended ("Sheet<n>" when nothing is left).
    static QStringList ExcelSheetNames(const Workbook& book);

private:
    QByteArray BuildSheet(const Worksheet& sheet, bool bActive);
    int XfIndex(const CellFormat& format);
    quint32 SstIndex(const QString& strText);
    static QVector<CellRect> ValidMerges(const Worksheet& sheet);

    const Workbook& m_book;
    QVector<CellFormat> m_xfFormats; // cell XF 15 + i; [0] is the default format
    CellFormat m_lastFormat;         // the last lookup, which most cells repeat
    int m_nLastXf = BIFF_XF_DEFAULT_CELL;
    // Shared strings in the order of first use, found again through an
    // open-addressing table (slot = string index + 1, 0 empty) on a plain
    // FNV-1a hash: a report has a few hundred thousand texts to look up.
    QVector<QString> m_sstStrings;
    std::vector<quint64> m_sstHashes;
    std::vector<quint32> m_sstSlots;
    quint32 m_nSstRefs = 0;
};
