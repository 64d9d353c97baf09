// Wrappers of the Excel objects the report touches: one operation per
// member, each one Invoke with the member's fixed id, call kind, result
// type and parameter types. Object results come back as a Dispatch* holding
// one reference; attach it to the wrapper of that type.
#pragma once

#include "report/DispatchDriver.h"
#include "report/ExcelDispIds.h"

class ExcelApplication : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    [[nodiscard]] Dispatch* GetWorkbooks();
    void SetAlertBeforeOverwriting(bool bNewValue);
    void SetDisplayAlerts(bool bNewValue);
    void Quit();
    void SetUserControl(bool bNewValue);
    void SetVisible(bool bNewValue);
};

class ExcelWorkbooks : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    [[nodiscard]] Dispatch* Add(const Variant& Template);
    void Close();
    [[nodiscard]] Dispatch* Open(const QString& Filename, const Variant& UpdateLinks, const Variant& ReadOnly,
                                 const Variant& Format, const Variant& Password, const Variant& WriteResPassword,
                                 const Variant& IgnoreReadOnlyRecommended, const Variant& Origin,
                                 const Variant& Delimiter, const Variant& Editable, const Variant& Notify,
                                 const Variant& Converter, const Variant& AddToMru, const Variant& Local,
                                 const Variant& CorruptLoad);
};

class ExcelWorkbook : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    [[nodiscard]] Dispatch* GetActiveSheet();
    void Close(const Variant& SaveChanges, const Variant& Filename, const Variant& RouteWorkbook);
    void SaveAs(const Variant& Filename, const Variant& FileFormat, const Variant& Password,
                const Variant& WriteResPassword, const Variant& ReadOnlyRecommended, const Variant& CreateBackup,
                qint32 AccessMode, const Variant& ConflictResolution, const Variant& AddToMru,
                const Variant& TextCodepage, const Variant& TextVisualLayout, const Variant& Local);
};

class ExcelWorksheet : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    [[nodiscard]] Dispatch* GetCells();
    [[nodiscard]] Dispatch* GetRange(const Variant& Cell1, const Variant& Cell2);
    [[nodiscard]] Dispatch* GetUsedRange();
};

class ExcelRange : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    void SetColumnWidth(const Variant& newValue);
    qint32 GetCount();
    [[nodiscard]] Dispatch* GetFont();
    void SetHorizontalAlignment(const Variant& newValue);
    [[nodiscard]] Dispatch* GetInterior();
    // The single cell at (row, column), 1-based from the range's first cell,
    // as a VARIANT holding the cell's range object. Item and Value2 are the
    // calls a report makes cell by cell: defined here, so that they compile
    // into the loops that make them.
    Variant GetItem(const Variant& RowIndex, const Variant& ColumnIndex)
    {
        Variant result;
        InvokeHelper(DISPID_RANGE_ITEM, DISPATCH_PROPERTYGET, VT_VARIANT, &result, VTS_VARIANT VTS_VARIANT, RowIndex,
                     ColumnIndex);
        return result;
    }
    void SetItem(const Variant& RowIndex, const Variant& ColumnIndex, const Variant& newValue)
    {
        InvokeHelper(DISPID_RANGE_ITEM, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_VARIANT VTS_VARIANT VTS_VARIANT,
                     RowIndex, ColumnIndex, newValue);
    }
    void Merge(const Variant& Across);
    void SetNumberFormatLocal(const Variant& newValue);
    [[nodiscard]] Dispatch* GetRows();
    Variant GetValue2()
    {
        Variant result;
        InvokeHelper(DISPID_RANGE_VALUE2, DISPATCH_PROPERTYGET, VT_VARIANT, &result, VTS_NONE);
        return result;
    }
    void SetValue2(const Variant& newValue);
    void SetVerticalAlignment(const Variant& newValue);
};

class ExcelFont : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    void SetBold(const Variant& newValue);
};

class ExcelInterior : public DispatchDriver
{
public:
    using DispatchDriver::DispatchDriver;
    void SetColorIndex(const Variant& newValue);
};
