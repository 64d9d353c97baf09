// The objects of the built-in spreadsheet server (Application, Workbooks,
// Workbook, Worksheet, Range, Font, Interior). Internal to the server:
// other code reaches them only through Dispatch::Invoke.
#pragma once

#include "report/Dispatch.h"
#include "report/Workbook.h"
#include "report/XlsFile.h"

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

public:
    // What the last Open found: why it failed, or the damage it read past.
    XlsFileNotes m_lastOpenNotes;
};

class RangeObject;

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
    void SetDirty() { m_bDirty = true; }
    // Counts the changes of the merged areas, so ranges can keep what they
    // worked out about them.
    quint32 MergeRevision() const { return m_nMergeRevision; }
    void MergesChanged() { ++m_nMergeRevision; }
    // A single-cell range object for Item (get). Reading a report asks for
    // every cell once, one after the other: the objects given back are
    // kept here and handed out again, so that no call makes a heap object.
    inline RangeObject* CellObject(int nSheet, int nRow, int nCol);
    // A cell object whose last reference was given back.
    void KeepCellObject(RangeObject* pCell) { m_keptCells.push_back(pCell); }

    Workbook m_book;
    // What the last save or open of this workbook found worth telling.
    XlsFileNotes m_notes;

protected:
    ~BookObject() override;

private:
    SCode SaveAs(const Variant* pArgs, int nArgs, ExcepInfo* pExcepInfo);
    SCode Close(const Variant* pArgs, int nArgs, ExcepInfo* pExcepInfo);

    BooksObject* m_pBooks; // not a reference: the collection drops us when it closes
    QString m_strPath;
    bool m_bDirty = false;       // changes since it was opened or last saved
    bool m_bWrittenHere = false; // a SaveAs of this server succeeded
    bool m_bClosed = false;
    quint32 m_nMergeRevision = 0;
    std::vector<RangeObject*> m_keptCells; // hold no reference to this book
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
    // bKept: one of the book's cell objects (BookObject::CellObject).
    RangeObject(BookObject* pBook, const RangeRef& ref, bool bKept = false);
    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override;

    // The format changes of Font.Bold and Interior.ColorIndex.
    SCode SetBold(const Variant& value, ExcepInfo* pExcepInfo);
    SCode SetColorIndex(const Variant& value, ExcepInfo* pExcepInfo);
    bool IsDead() const { return m_pBook->IsClosed(); }

    // A kept cell object of BookObject::CellObject, pointed at a new cell:
    // it takes a reference to the book again while it is handed out.
    void Reuse(const RangeRef& ref)
    {
        Revive();
        m_ref = ref;
        m_nMergeSeen = ~0u;
        m_pBook->AddRef();
    }
    // Deletes a kept object (it holds no reference to the book then).
    void DeleteKept();

protected:
    ~RangeObject() override;
    void FinalRelease() override;

private:
    Worksheet& Sheet() { return m_pBook->Sheet(m_ref.nSheet); }
    bool IsWholeSheet() const;
    // Every member but the ones Invoke answers first.
    SCode InvokeMember(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                       ExcepInfo* pExcepInfo);
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
    // A cell covered by a merged area (not its first cell). Outside the
    // box around every merge, as each row of a report is, that is two
    // comparisons.
    bool IsHiddenByMerge(int nRow, int nCol) const
    {
        if (m_nMergeSeen == m_pBook->MergeRevision() && nRow > m_mergeBox.nLastRow)
            return false;
        return IsHiddenByMergeLookup(nRow, nCol);
    }
    bool IsHiddenByMergeLookup(int nRow, int nCol) const;

    BookObject* m_pBook;
    RangeRef m_ref;
    bool m_bKept = false; // belongs to the book's kept cell objects
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

RangeObject* BookObject::CellObject(int nSheet, int nRow, int nCol)
{
    RangeRef ref;
    ref.nSheet = nSheet;
    ref.rect = {nRow, nRow, nCol, nCol};
    if (m_keptCells.empty())
        return new RangeObject(this, ref, true);
    RangeObject* pCell = m_keptCells.back();
    m_keptCells.pop_back();
    pCell->Reuse(ref);
    return pCell;
}
