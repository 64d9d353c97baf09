// Member ids of Excel's type library that the report calls, shared by the
// wrappers (client side) and the built-in spreadsheet server. Never looked
// up by name at run time.
#pragma once

#include "report/Dispatch.h"

// Application
constexpr DispId DISPID_APP_WORKBOOKS = 0x23C;                // get  -> Workbooks
constexpr DispId DISPID_APP_ALERT_BEFORE_OVERWRITING = 0x3A2; // put  bool
constexpr DispId DISPID_APP_DISPLAY_ALERTS = 0x157;           // put  bool
constexpr DispId DISPID_APP_QUIT = 0x12E;                     // method
constexpr DispId DISPID_APP_USER_CONTROL = 0x4BA;             // put  bool
constexpr DispId DISPID_APP_VISIBLE = 0x22E;                  // put  bool
// Workbooks
constexpr DispId DISPID_BOOKS_ADD = 0xB5;    // method (Template) -> Workbook
constexpr DispId DISPID_BOOKS_CLOSE = 0x115; // method ()
constexpr DispId DISPID_BOOKS_OPEN = 0x783;  // method (Filename, 14 optional) -> Workbook
// Workbook
constexpr DispId DISPID_BOOK_ACTIVE_SHEET = 0x133; // get -> Worksheet
constexpr DispId DISPID_BOOK_CLOSE = 0x115;        // method (SaveChanges, Filename, RouteWorkbook)
constexpr DispId DISPID_BOOK_SAVE_AS = 0x785;      // method (Filename, 5 optional, AccessMode I4, 5 optional)
// Worksheet
constexpr DispId DISPID_SHEET_CELLS = 0xEE;       // get -> Range (all cells)
constexpr DispId DISPID_SHEET_RANGE = 0xC5;       // get (Cell1, Cell2) -> Range
constexpr DispId DISPID_SHEET_USED_RANGE = 0x19C; // get -> Range
// Range
constexpr DispId DISPID_RANGE_COLUMN_WIDTH = 0xF2;         // put
constexpr DispId DISPID_RANGE_COUNT = 0x76;                // get -> I4
constexpr DispId DISPID_RANGE_FONT = 0x92;                 // get -> Font
constexpr DispId DISPID_RANGE_HORIZONTAL_ALIGNMENT = 0x88; // put
constexpr DispId DISPID_RANGE_INTERIOR = 0x81;             // get -> Interior
constexpr DispId DISPID_RANGE_ITEM = 0xAA;   // get (Row, Col) -> Range in a VARIANT; put (Row, Col, value)
constexpr DispId DISPID_RANGE_MERGE = 0x234; // method (Across)
constexpr DispId DISPID_RANGE_NUMBER_FORMAT_LOCAL = 0x449; // put
constexpr DispId DISPID_RANGE_ROWS = 0x102;                // get -> Range
constexpr DispId DISPID_RANGE_VALUE2 = 0x56C;              // get -> VARIANT; put
constexpr DispId DISPID_RANGE_VERTICAL_ALIGNMENT = 0x89;   // put
// Font, Interior
constexpr DispId DISPID_FONT_BOLD = 0x60;            // put
constexpr DispId DISPID_INTERIOR_COLOR_INDEX = 0x61; // put

// Number of optional arguments after the file name of Workbooks.Open, and
// the argument count of Workbook.SaveAs (AccessMode is the seventh).
constexpr int OPEN_OPTIONAL_ARGS = 14;
constexpr int SAVE_AS_ARGS = 12;
constexpr int SAVE_AS_ACCESS_MODE_INDEX = 6;
