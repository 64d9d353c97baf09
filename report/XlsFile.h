// Saving and opening a Workbook as an Excel 97-2003 (.xls) file: a BIFF8
// workbook stream in an OLE2 compound file.
//
// What a saved file keeps: every sheet with its name, the active sheet,
// texts (as shared strings), formatted empty cells, merged ranges, column
// widths, the sheet-wide format (as the format of all 256 columns) and per
// cell bold, fill colour, text format "@" and alignment. A cell whose text is
// empty is saved as a formatted empty cell, as Excel empties a cell set to
// "". What the format cannot hold is mended rather than written corrupt:
// texts beyond 32,767 characters are cut (and counted), sheet names are made
// valid and unique, merged ranges that overlap an earlier one or leave the
// sheet are dropped, an active sheet that does not exist becomes the first.
// Reading turns every cell into text as described in BiffReader.h.
//
// A file is replaced only when the new one is complete on disk
// (WriteFileSafely), and only regular files of a bounded size are read
// (ReadRegularFile), so a FIFO or a device given as a report never hangs.
#pragma once

#include <QByteArray>
#include <QString>

#include "files/SafeFile.h"
#include "report/Workbook.h"

// The largest file taken as a workbook: far beyond 65,536 rows of a report.
constexpr qint64 XLS_MAX_FILE_SIZE = 512LL * 1024 * 1024;

// What a save or an open found worth telling besides success or failure.
struct XlsFileNotes
{
    // The file itself could not be read or written: why.
    FileFailure failure;
    // Any failure: the reader's or writer's own words (English).
    QString strError;
    // Save: texts cut to the 32,767 characters a cell holds.
    int nCutTexts = 0;
    // Open: damage a reader can tell. The file still opens; cells that
    // cannot be trusted are left out.
    int nRepeatedCells = 0;  // two records for one cell: the later one is kept
    int nCellsOutside = 0;   // cells outside the sheet's DIMENSIONS: left out
    int nUnknownFormats = 0; // cells naming an XF the file does not have
    // Open: the type of the active sheet when it is not a worksheet (2 a
    // chart, 1 a macro sheet, 6 a module); 0 for a worksheet.
    int nActiveSheetKind = 0;

    bool IsDamaged() const { return nRepeatedCells + nCellsOutside + nUnknownFormats > 0; }
};

// Writes the workbook as a BIFF8 .xls; the target is replaced only when the
// new file is complete. False with *pError (and pNotes->failure) set.
bool SaveWorkbookXls(const Workbook& book, const QString& strPath, QString* pError, XlsFileNotes* pNotes = nullptr);
// Reads a BIFF8 .xls into book (all sheets; active sheet from WINDOW1).
// False with *pError on anything it cannot read; book is then unchanged.
bool LoadWorkbookXls(const QString& strPath, Workbook& book, QString* pError, XlsFileNotes* pNotes = nullptr);
// The same on memory (for tests and the fuzz target).
QByteArray BuildWorkbookStream(const Workbook& book);
bool ParseWorkbookStream(const QByteArray& stream, Workbook& book, QString* pError, XlsFileNotes* pNotes = nullptr);
bool LoadWorkbookXlsData(const QByteArray& fileBytes, Workbook& book, QString* pError, XlsFileNotes* pNotes = nullptr);
// The whole .xls file in memory, as SaveWorkbookXls writes it.
bool BuildWorkbookXlsData(const Workbook& book, QByteArray& fileBytes, QString* pError, XlsFileNotes* pNotes = nullptr);
