// Saving and opening a Workbook as an Excel 97-2003 (.xls) file: a BIFF8
// workbook stream in an OLE2 compound file.
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
