// Excel wrapper operations: one Invoke each, with the member's id, kind,
// result type and parameter types.
#include "report/ExcelWrappers.h"

#include "report/ExcelDispIds.h"

// Application

Dispatch* ExcelApplication::GetWorkbooks()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_APP_WORKBOOKS, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

void ExcelApplication::SetAlertBeforeOverwriting(bool bNewValue)
{
    InvokeHelper(DISPID_APP_ALERT_BEFORE_OVERWRITING, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, bNewValue);
}

void ExcelApplication::SetDisplayAlerts(bool bNewValue)
{
    InvokeHelper(DISPID_APP_DISPLAY_ALERTS, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, bNewValue);
}

void ExcelApplication::Quit()
{
    InvokeHelper(DISPID_APP_QUIT, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
}

void ExcelApplication::SetUserControl(bool bNewValue)
{
    InvokeHelper(DISPID_APP_USER_CONTROL, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, bNewValue);
}

void ExcelApplication::SetVisible(bool bNewValue)
{
    InvokeHelper(DISPID_APP_VISIBLE, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, bNewValue);
}

// Workbooks

Dispatch* ExcelWorkbooks::Add(const Variant& Template)
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_BOOKS_ADD, DISPATCH_METHOD, VT_DISPATCH, &pResult, VTS_VARIANT, Template);
    return pResult;
}

void ExcelWorkbooks::Close()
{
    InvokeHelper(DISPID_BOOKS_CLOSE, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
}

Dispatch* ExcelWorkbooks::Open(const QString& Filename, const Variant& UpdateLinks, const Variant& ReadOnly,
                               const Variant& Format, const Variant& Password, const Variant& WriteResPassword,
                               const Variant& IgnoreReadOnlyRecommended, const Variant& Origin,
                               const Variant& Delimiter, const Variant& Editable, const Variant& Notify,
                               const Variant& Converter, const Variant& AddToMru, const Variant& Local,
                               const Variant& CorruptLoad)
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_BOOKS_OPEN, DISPATCH_METHOD, VT_DISPATCH, &pResult,
                 VTS_BSTR VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT
                     VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT,
                 Filename, UpdateLinks, ReadOnly, Format, Password, WriteResPassword, IgnoreReadOnlyRecommended, Origin,
                 Delimiter, Editable, Notify, Converter, AddToMru, Local, CorruptLoad);
    return pResult;
}

// Workbook

Dispatch* ExcelWorkbook::GetActiveSheet()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_BOOK_ACTIVE_SHEET, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

void ExcelWorkbook::Close(const Variant& SaveChanges, const Variant& Filename, const Variant& RouteWorkbook)
{
    InvokeHelper(DISPID_BOOK_CLOSE, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_VARIANT VTS_VARIANT VTS_VARIANT,
                 SaveChanges, Filename, RouteWorkbook);
}

void ExcelWorkbook::SaveAs(const Variant& Filename, const Variant& FileFormat, const Variant& Password,
                           const Variant& WriteResPassword, const Variant& ReadOnlyRecommended,
                           const Variant& CreateBackup, qint32 AccessMode, const Variant& ConflictResolution,
                           const Variant& AddToMru, const Variant& TextCodepage, const Variant& TextVisualLayout,
                           const Variant& Local)
{
    InvokeHelper(DISPID_BOOK_SAVE_AS, DISPATCH_METHOD, VT_EMPTY, nullptr,
                 VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_VARIANT VTS_I4 VTS_VARIANT VTS_VARIANT
                     VTS_VARIANT VTS_VARIANT VTS_VARIANT,
                 Filename, FileFormat, Password, WriteResPassword, ReadOnlyRecommended, CreateBackup, AccessMode,
                 ConflictResolution, AddToMru, TextCodepage, TextVisualLayout, Local);
}

// Worksheet

Dispatch* ExcelWorksheet::GetCells()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_SHEET_CELLS, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

Dispatch* ExcelWorksheet::GetRange(const Variant& Cell1, const Variant& Cell2)
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_SHEET_RANGE, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_VARIANT VTS_VARIANT, Cell1,
                 Cell2);
    return pResult;
}

Dispatch* ExcelWorksheet::GetUsedRange()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_SHEET_USED_RANGE, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

// Range

void ExcelRange::SetColumnWidth(const Variant& newValue)
{
    InvokeHelper(DISPID_RANGE_COLUMN_WIDTH, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

qint32 ExcelRange::GetCount()
{
    qint32 nResult = 0;
    InvokeHelper(DISPID_RANGE_COUNT, DISPATCH_PROPERTYGET, VT_I4, &nResult, VTS_NONE);
    return nResult;
}

Dispatch* ExcelRange::GetFont()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_RANGE_FONT, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

void ExcelRange::SetHorizontalAlignment(const Variant& newValue)
{
    InvokeHelper(DISPID_RANGE_HORIZONTAL_ALIGNMENT, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

Dispatch* ExcelRange::GetInterior()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_RANGE_INTERIOR, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

void ExcelRange::Merge(const Variant& Across)
{
    InvokeHelper(DISPID_RANGE_MERGE, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_VARIANT, Across);
}

void ExcelRange::SetNumberFormatLocal(const Variant& newValue)
{
    InvokeHelper(DISPID_RANGE_NUMBER_FORMAT_LOCAL, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

Dispatch* ExcelRange::GetRows()
{
    Dispatch* pResult = nullptr;
    InvokeHelper(DISPID_RANGE_ROWS, DISPATCH_PROPERTYGET, VT_DISPATCH, &pResult, VTS_NONE);
    return pResult;
}

void ExcelRange::SetValue2(const Variant& newValue)
{
    InvokeHelper(DISPID_RANGE_VALUE2, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

void ExcelRange::SetVerticalAlignment(const Variant& newValue)
{
    InvokeHelper(DISPID_RANGE_VERTICAL_ALIGNMENT, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

// Font, Interior

void ExcelFont::SetBold(const Variant& newValue)
{
    InvokeHelper(DISPID_FONT_BOLD, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}

void ExcelInterior::SetColorIndex(const Variant& newValue)
{
    InvokeHelper(DISPID_INTERIOR_COLOR_INDEX, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT, newValue);
}
