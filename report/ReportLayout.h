// The fixed layout of a report sheet: where the user information, the
// column headers and the data rows go, and the texts of the labels and
// headers in both languages. Addresses are Excel's (1-based rows, column 1
// is A), as the automation calls take them. Saving writes this layout and
// opening reads the same addresses back, so it is a file format.
//
//   row 2   B:C "Company："         D:F company       H:I "Unit："               J "nm/dBm"
//   row 3   B:C "Meter Type："      D:F meter type    H:I "Instrument Serial："  J serial number
//   row 4   B:C "Test Operator："   D:F operator      H:I "Notes："              J notes
//   row 6   A..G column headers (bold A6:K6)
//   row 7.. one row per record, columns A..G in list-column order
#pragma once

#include "records/MeasurementRecord.h"
#include "texts/Language.h"

#include <array>

// Fields of the user-information block.
enum ReportInfoField
{
    INFO_COMPANY = 0,
    INFO_METER_TYPE,
    INFO_SERIAL,
    INFO_OPERATOR,
    INFO_NOTES,
    INFO_FIELD_COUNT,
    INFO_UNIT = INFO_FIELD_COUNT, // the fixed unit text "nm/dBm", not a field
};

// One row of the user-information block: label at B:C, value at D:F (both
// merged), label at H:I (merged), value in the single cell J.
struct ReportInfoRow
{
    int nRow;
    const char* pszLeftLabelFrom; // "B2"
    const char* pszLeftLabelTo;   // "C2"
    BiText leftLabel;
    const char* pszLeftValueFrom; // "D2"
    const char* pszLeftValueTo;   // "F2"
    ReportInfoField leftField;
    const char* pszRightLabelFrom; // "H2"
    const char* pszRightLabelTo;   // "I2"
    BiText rightLabel;
    ReportInfoField rightField; // in column REPORT_INFO_RIGHT_COL
};

constexpr int REPORT_INFO_ROW_COUNT = 3;
constexpr int REPORT_INFO_LEFT_COL = 4;   // D
constexpr int REPORT_INFO_RIGHT_COL = 10; // J
constexpr int REPORT_HEADER_ROW = 6;
constexpr int REPORT_FIRST_DATA_ROW = 7;
constexpr int REPORT_SHEET_ROWS = 65536;
// A sheet ends at row 65,536, so a report holds rows 7..65,536: 65,530 records.
constexpr int REPORT_MAX_RECORDS = REPORT_SHEET_ROWS - REPORT_FIRST_DATA_ROW + 1;

// Widths (in characters) the layout gives: labels 8, D:F values 10, F and G 22.
constexpr int REPORT_LABEL_WIDTH = 8;
constexpr int REPORT_VALUE_WIDTH = 10;
constexpr int REPORT_WIDE_WIDTH = 22;
// Fill of the user-information block: Excel's palette index 35, light green.
constexpr int REPORT_INFO_COLOR_INDEX = 35;

extern const std::array<ReportInfoRow, REPORT_INFO_ROW_COUNT> REPORT_INFO_ROWS;
extern const char* const REPORT_UNIT_TEXT;
extern const std::array<BiText, RECORD_COLUMNS> REPORT_COLUMN_HEADERS;
// The rectangles the layout makes bold and fills.
extern const char* const REPORT_INFO_BLOCK_FROM; // "B2"
extern const char* const REPORT_INFO_BLOCK_TO;   // "J4"
extern const char* const REPORT_HEADER_FROM;     // "A6"
extern const char* const REPORT_HEADER_TO;       // "K6"

// The save refusal when the list holds more records than a sheet can take;
// %1 is the number of records in the list.
extern const BiText TXT_REPORT_TOO_MANY_ROWS;

// Plain reasons and notices of the report jobs (ReportNote): %1 is filled in
// by the job. TXT_REPORT_DAMAGED takes the list of damage found, Chinese as
// %1 and English as %2.
extern const BiText TXT_REPORT_UNREADABLE;      // %1: the reader's words
extern const BiText TXT_REPORT_NOT_WORKSHEET;   // the active sheet is a chart or macro sheet
extern const BiText TXT_REPORT_SERVER_FAILED;   // %1: the server's description
extern const BiText TXT_REPORT_DAMAGED;         // %1 / %2: what was found
extern const BiText TXT_REPORT_REPEATED_CELLS;  // %1: count
extern const BiText TXT_REPORT_CELLS_OUTSIDE;   // %1: count
extern const BiText TXT_REPORT_UNKNOWN_FORMATS; // %1: count
extern const BiText TXT_REPORT_TEXT_CUT;        // %1: count

// Cell (row, column) that holds a field when a report is read back.
struct ReportCellAddress
{
    int nRow;
    int nCol;
};
extern const std::array<ReportCellAddress, INFO_FIELD_COUNT> REPORT_INFO_CELLS;
