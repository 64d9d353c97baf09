// The built-in spreadsheet server: stands where Excel stands, under the
// program id "Excel.Application", and answers exactly the automation
// members the report uses (ExcelDispIds.h) over in-memory workbooks that it
// saves and opens as BIFF8 .xls files.
//
// What it does where Excel's behaviour is ours to choose:
// - Any other member id, call kind, argument count or argument type fails
//   the call with DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT or
//   DISP_E_TYPEMISMATCH. A value of the right type that the member cannot
//   use (a bad address, a cell outside the sheet, an unknown alignment), a
//   file that cannot be opened and a save that fails raise an exception
//   (DISP_E_EXCEPTION) with SHEET_ERR_GENERAL and a description.
// - Workbook.Close with SaveChanges true writes the workbook only when it
//   has changes made after a successful SaveAs of this server. A workbook
//   that was only read has none, so the file it came from is never
//   rewritten; a new workbook whose SaveAs failed or never ran is dropped
//   rather than written half-built. Workbooks.Close and Quit drop what is
//   open without saving; nothing ever waits for an answer.
// - SaveAs writes through a temporary file that is flushed to the disk and
//   replaces the target only when complete, so a failed save (a full disk
//   too) leaves the old file (or none) in place.
// - Open takes regular files only and refuses a workbook whose active sheet
//   is a chart or macro sheet; a damaged file it can read past still opens.
// - UsedRange of a sheet without cells has no rows (Count 0).
// - Objects of a closed workbook, or of a server that has quit, fail every
//   call with RPC_E_DISCONNECTED.
#pragma once

#include "report/Dispatch.h"

constexpr char SPREADSHEET_PROG_ID[] = "Excel.Application";

// The error number of every exception the server raises (Excel's
// "application-defined or object-defined error", SCODE 0x800A03EC).
constexpr quint16 SHEET_ERR_GENERAL = 1004;
constexpr SCode SHEET_SCODE_GENERAL = 0x800A03EC;

// The largest number of cells one call may fill or format cell by cell.
constexpr int SHEET_MAX_CELLS_PER_CALL = 1 << 20;

// A new Application object (one reference).
Dispatch* CreateSpreadsheetServer();
// Puts the built-in server (back) under SPREADSHEET_PROG_ID.
void RegisterSpreadsheetServer();

class Workbook;
struct XlsFileNotes;
// The model behind a Workbook object of this server, or null when pWorkbook
// is something else (for tests and tools that look at what was written).
const Workbook* WorkbookOf(Dispatch* pWorkbook);
// What the file layer found on the last save of a Workbook object, or on
// the last Open of a Workbooks object (the reason it failed, damage read
// past, texts cut); null for an object of another server. The report jobs
// take the plain reason of a failure from here, beside the exception.
const XlsFileNotes* FileNotesOf(Dispatch* pObject);
