// Saving and opening a Workbook as an Excel 97-2003 (.xls) file: a BIFF8
// workbook stream in an OLE2 compound file.
//
// What a saved file keeps: every sheet with its name, the active sheet,
// texts (as shared strings), formatted empty cells, merged ranges, column
// widths, the sheet-wide format (as the format of all 256 columns) and per
// cell bold, fill colour, text format "@" and alignment. A cell whose text is
// empty is saved as a formatted empty cell and comes back with bHasValue
// false, as Excel empties a cell set to "". What the format cannot hold is
// mended rather than written corrupt: texts beyond 32,767 characters are cut,
// sheet names are made valid and unique, merged ranges that overlap an
// earlier one or leave the sheet are dropped, a fill colour outside Excel's
// 56 is no fill, an active sheet that does not exist becomes the first.
// Reading turns every cell into text as described in BiffReader.h.
#pragma once

#include <QByteArray>
#include <QString>

#include "report/Workbook.h"

// Writes the workbook as a BIFF8 .xls; the target is replaced only when the
// new file is complete (QSaveFile). False with *pError set on failure.
bool SaveWorkbookXls(const Workbook& book, const QString& strPath, QString* pError);
// Reads a BIFF8 .xls into book (all sheets; active sheet from WINDOW1).
// False with *pError on anything it cannot read; book is then unchanged.
bool LoadWorkbookXls(const QString& strPath, Workbook& book, QString* pError);
// The same on memory (for tests and the fuzz target).
QByteArray BuildWorkbookStream(const Workbook& book);
bool ParseWorkbookStream(const QByteArray& stream, Workbook& book, QString* pError);
bool LoadWorkbookXlsData(const QByteArray& fileBytes, Workbook& book, QString* pError);
// The whole .xls file in memory, as SaveWorkbookXls writes it.
bool BuildWorkbookXlsData(const Workbook& book, QByteArray& fileBytes, QString* pError);
