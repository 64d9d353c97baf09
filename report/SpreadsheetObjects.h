// The objects of the built-in spreadsheet server (Application, Workbooks,
// Workbook, Worksheet, Range, Font, Interior). Internal to the server:
// other code reaches them only through Dispatch::Invoke.
#pragma once

#include "report/Dispatch.h"
#include "report/Workbook.h"

#include <QVector>
#include <vector>

class BookObject;

// Common checks and the exception every object raises.
class ServerObject : public Dispatch
{
protected:
    // Fills the exception information and gives DISP_E_EXCEPTION.
    static SCode Raise(ExcepInfo* pExcepInfo, const QString& strDescription);
    // Checks a call against the member's kind and argument count, and the
    // object still being there; S_OK or the code the caller gets.
    static SCode CheckCall(quint16 wFlags, quint16 wKind, int nArgs, int nWant, bool bGone);
};

class BooksObject;

class AppObject : public ServerObject
{
public:
    AppObject();
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

protected:
    ~AppObject() override;

private:
    BooksObject* m_pBooks;
    bool m_bQuit = false;
    // The switches; the server never shows anything, so they are only kept.
    bool m_bVisible = false;
    bool m_bUserControl = false;
    bool m_bDisplayAlerts = true;
    bool m_bAlertBeforeOverwriting = true;
};

class BooksObject : public ServerObject
{
public:
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;
    // Drops every open workbook without saving; bQuit also ends the collection.
    void CloseAll(bool bQuit);
    void Remove(BookObject* pBook);

protected:
    ~BooksObject() override;

private:
    friend class BookObject;
    QVector<BookObject*> m_books; // one reference each
    bool m_bQuit = false;
};

class BookObject : public ServerObject
{
public:
    BookObject(BooksObject* pBooks, const QString& strPath);
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

    bool IsClosed() const { return m_bClosed; }
    // Ends the workbook without saving; the objects on it go dead.
    void MarkClosed();
    Worksheet& Sheet(int nSheet) { return m_book.m_sheets[nSheet]; }
    const Worksheet& ConstSheet(int nSheet) const { return m_book.m_sheets[nSheet]; }
    // Every change of the workbook's cells ends here (after the change).
    void SetDirty()
    {
        m_bDirty = true;
        ++m_nRevision;
    }
    // The cell at a position, or null: the sheet's own lookup walks a tree
    // per call, which is what reading a report cell by cell would pay for
    // every cell; this one uses an index built on the first read after a change.
    const Cell* FindCell(int nSheet, int nRow, int nCol);
    // Counts the changes of the merged areas, so ranges can keep what they
    // worked out about them.
    quint32 MergeRevision() const { return m_nMergeRevision; }
    void MergesChanged() { ++m_nMergeRevision; }

    Workbook m_book;

private:
    SCode SaveAs(const Variant* pArgs, int nArgs, ExcepInfo* pExcepInfo);
    SCode Close(const Variant* pArgs, int nArgs, ExcepInfo* pExcepInfo);

    BooksObject* m_pBooks; // not a reference: the collection drops us when it closes
    QString m_strPath;
    bool m_bDirty = false;       // changes since it was opened or last saved
    bool m_bWrittenHere = false; // a SaveAs of this server succeeded
    bool m_bClosed = false;
    quint32 m_nMergeRevision = 0;
    quint64 m_nRevision = 0;

    // Cells of one sheet in row order: row r's cells are entries
    // rowStart[r] .. rowStart[r + 1] - 1, by column.
    struct ReadIndex
    {
        int nSheet = -1;
        quint64 nRevision = 0;
        int nCellCount = -1;
        std::vector<int> rowStart;
        std::vector<quint8> cols;
        std::vector<const Cell*> cells;
    };
    ReadIndex m_index;
};

// A rectangle of one sheet. bRows marks the Rows view of a range, whose
// Count is its number of rows; bEmpty marks the used range of an empty sheet.
struct RangeRef
{
    CellRect rect;
    int nSheet = 0;
    bool bRows = false;
    bool bEmpty = false;
};

class SheetObject : public ServerObject
{
public:
    SheetObject(BookObject* pBook, int nSheet);
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

protected:
    ~SheetObject() override;

private:
    BookObject* m_pBook;
    int m_nSheet;
};

class RangeObject : public ServerObject
{
public:
    RangeObject(BookObject* pBook, const RangeRef& ref);
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

    // The format changes of Font.Bold and Interior.ColorIndex.
    SCode SetBold(const Variant& value, ExcepInfo* pExcepInfo);
    SCode SetColorIndex(const Variant& value, ExcepInfo* pExcepInfo);
    bool IsDead() const { return m_pBook->IsClosed(); }

    // A report reads and writes every cell through its own range object:
    // freed blocks are kept for the next one instead of going to the heap.
    static void* operator new(size_t nSize);
    static void operator delete(void* p, size_t nSize);

protected:
    ~RangeObject() override;

private:
    Worksheet& Sheet() { return m_pBook->Sheet(m_ref.nSheet); }
    bool IsWholeSheet() const;
    // Calls fn(CellFormat&) on the sheet-wide format and every cell there
    // (all cells), or on every cell of the rectangle; false when too large.
    template <typename Fn> bool ForEachFormat(Fn&& fn);
    SCode GetItem(const Variant* pArgs, Variant* pResult, ExcepInfo* pExcepInfo);
    SCode SetItem(const Variant* pArgs, ExcepInfo* pExcepInfo);
    SCode GetValue2(Variant* pResult, ExcepInfo* pExcepInfo);
    SCode SetValue2(const Variant& value, ExcepInfo* pExcepInfo);
    SCode Merge(const Variant& across, ExcepInfo* pExcepInfo);
    SCode SetColumnWidth(const Variant& value, ExcepInfo* pExcepInfo);
    SCode SetAlignment(bool bHorizontal, const Variant& value, ExcepInfo* pExcepInfo);
    SCode SetNumberFormat(const Variant& value, ExcepInfo* pExcepInfo);
    // Stores a value in one cell; false for a value that is not a cell value.
    bool StoreValue(int nRow, int nCol, const Variant& value);
    bool IsHiddenByMerge(int nRow, int nCol) const;

    BookObject* m_pBook;
    RangeRef m_ref;
    // The rectangle around every merged area of the sheet, as of revision
    // m_nMergeSeen; empty (first row past the last) when there is none.
    mutable CellRect m_mergeBox;
    mutable quint32 m_nMergeSeen = ~0u;
};

// Font and Interior of a range: they only pass their one member on.
class RangePartObject : public ServerObject
{
public:
    RangePartObject(RangeObject* pRange, DispId dispidMember);
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

protected:
    ~RangePartObject() override;

private:
    RangeObject* m_pRange;
    DispId m_dispidMember; // DISPID_FONT_BOLD or DISPID_INTERIOR_COLOR_INDEX
};
