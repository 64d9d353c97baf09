// The built-in spreadsheet server: Application, Workbooks and Workbook, and
// its registration under "Excel.Application".
#include "report/SpreadsheetServer.h"

#include "report/ExcelDispIds.h"
#include "report/SpreadsheetObjects.h"
#include "report/XlsFile.h"

#include <QFileInfo>

Dispatch* CreateSpreadsheetServer()
{
    return new AppObject();
}

void RegisterSpreadsheetServer()
{
    RegisterDispatchServer(QLatin1String(SPREADSHEET_PROG_ID), &CreateSpreadsheetServer);
}

SCode ServerObject::Raise(ExcepInfo* pExcepInfo, const QString& strDescription)
{
    if (pExcepInfo != nullptr)
    {
        pExcepInfo->wCode = SHEET_ERR_GENERAL;
        pExcepInfo->strSource = QLatin1String(SPREADSHEET_PROG_ID);
        pExcepInfo->strDescription = strDescription;
        pExcepInfo->scode = SHEET_SCODE_GENERAL;
    }
    return DISP_E_EXCEPTION;
}

SCode ServerObject::CheckCall(quint16 wFlags, quint16 wKind, int nArgs, int nWant, bool bGone)
{
    if (wFlags != wKind)
        return DISP_E_MEMBERNOTFOUND;
    if (nArgs != nWant)
        return DISP_E_BADPARAMCOUNT;
    return bGone ? RPC_E_DISCONNECTED : S_OK;
}

// Application ---------------------------------------------------------------

AppObject::AppObject() : m_pBooks(new BooksObject())
{
}

AppObject::~AppObject()
{
    m_pBooks->CloseAll(true);
    m_pBooks->Release();
}

SCode AppObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                        ExcepInfo* /*pExcepInfo*/)
{
    bool* pSwitch = nullptr;
    switch (dispid)
    {
    case DISPID_APP_WORKBOOKS:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_PROPERTYGET, nArgs, 0, m_bQuit); sc != S_OK)
            return sc;
        if (pResult != nullptr)
            *pResult = Variant(m_pBooks, true);
        return S_OK;
    case DISPID_APP_QUIT:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_METHOD, nArgs, 0, m_bQuit); sc != S_OK)
            return sc;
        m_pBooks->CloseAll(true);
        m_bQuit = true;
        return S_OK;
    case DISPID_APP_ALERT_BEFORE_OVERWRITING:
        pSwitch = &m_bAlertBeforeOverwriting;
        break;
    case DISPID_APP_DISPLAY_ALERTS:
        pSwitch = &m_bDisplayAlerts;
        break;
    case DISPID_APP_USER_CONTROL:
        pSwitch = &m_bUserControl;
        break;
    case DISPID_APP_VISIBLE:
        pSwitch = &m_bVisible;
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    // The four switches: put only, one boolean.
    if (const SCode sc = CheckCall(wFlags, DISPATCH_PROPERTYPUT, nArgs, 1, m_bQuit); sc != S_OK)
        return sc;
    bool bValue = false;
    if (pArgs[0].Type() == VT_BSTR || !pArgs[0].ToBool(bValue))
        return DISP_E_TYPEMISMATCH;
    *pSwitch = bValue;
    return S_OK;
}

// Workbooks -----------------------------------------------------------------

BooksObject::~BooksObject()
{
    CloseAll(true);
}

void BooksObject::CloseAll(bool bQuit)
{
    const QVector<BookObject*> books = std::exchange(m_books, {});
    for (BookObject* pBook : books)
    {
        pBook->MarkClosed();
        pBook->Release();
    }
    if (bQuit)
        m_bQuit = true;
}

void BooksObject::Remove(BookObject* pBook)
{
    const int nIndex = int(m_books.indexOf(pBook));
    if (nIndex < 0)
        return;
    m_books.remove(nIndex);
    pBook->Release();
}

SCode BooksObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                          ExcepInfo* pExcepInfo)
{
    switch (dispid)
    {
    case DISPID_BOOKS_ADD: {
        if (const SCode sc = CheckCall(wFlags, DISPATCH_METHOD, nArgs, 1, m_bQuit); sc != S_OK)
            return sc;
        if (!pArgs[0].IsMissing() && !pArgs[0].IsEmpty())
            return Raise(pExcepInfo, QStringLiteral("Add: workbook templates are not supported."));
        auto* pBook = new BookObject(this, QString());
        m_books.append(pBook);
        if (pResult != nullptr)
            *pResult = Variant(pBook, true);
        return S_OK;
    }
    case DISPID_BOOKS_CLOSE:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_METHOD, nArgs, 0, m_bQuit); sc != S_OK)
            return sc;
        CloseAll(false);
        return S_OK;
    case DISPID_BOOKS_OPEN: {
        if (wFlags != DISPATCH_METHOD)
            return DISP_E_MEMBERNOTFOUND;
        if (nArgs != 1 + OPEN_OPTIONAL_ARGS)
            return DISP_E_BADPARAMCOUNT;
        if (pArgs[0].Type() != VT_BSTR)
            return DISP_E_TYPEMISMATCH;
        if (m_bQuit)
            return RPC_E_DISCONNECTED;
        const QString strPath = pArgs[0].String();
        Workbook book;
        QString strError;
        m_lastOpenNotes = XlsFileNotes();
        if (!LoadWorkbookXls(strPath, book, &strError, &m_lastOpenNotes))
            return Raise(pExcepInfo, QStringLiteral("Cannot open the file \"%1\": %2").arg(strPath, strError));
        if (book.m_sheets.isEmpty())
            return Raise(pExcepInfo, QStringLiteral("Cannot open the file \"%1\": it holds no sheet.").arg(strPath));
        if (book.m_nActiveSheet < 0 || book.m_nActiveSheet >= book.m_sheets.size())
            book.m_nActiveSheet = 0;
        // A chart or macro sheet has no cells to read: say so rather than
        // show an empty sheet.
        if (m_lastOpenNotes.nActiveSheetKind != 0)
            return Raise(pExcepInfo, QStringLiteral("Cannot open the file \"%1\": its active sheet \"%2\" is not a "
                                                    "worksheet.")
                                         .arg(strPath, book.ActiveSheet().m_strName));
        auto* pBook = new BookObject(this, strPath);
        pBook->m_book = std::move(book);
        pBook->m_notes = m_lastOpenNotes;
        m_books.append(pBook);
        if (pResult != nullptr)
            *pResult = Variant(pBook, true);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// Workbook ------------------------------------------------------------------

BookObject::BookObject(BooksObject* pBooks, const QString& strPath) : m_pBooks(pBooks), m_strPath(strPath)
{
}

BookObject::~BookObject()
{
    for (RangeObject* pCell : m_keptCells)
        pCell->DeleteKept();
}

void BookObject::MarkClosed()
{
    m_bClosed = true;
    m_pBooks = nullptr;
}

SCode BookObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                         ExcepInfo* pExcepInfo)
{
    switch (dispid)
    {
    case DISPID_BOOK_ACTIVE_SHEET:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_PROPERTYGET, nArgs, 0, m_bClosed); sc != S_OK)
            return sc;
        if (pResult != nullptr)
            *pResult = Variant(new SheetObject(this, m_book.m_nActiveSheet), false);
        return S_OK;
    case DISPID_BOOK_CLOSE:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_METHOD, nArgs, 3, m_bClosed); sc != S_OK)
            return sc;
        return Close(pArgs, nArgs, pExcepInfo);
    case DISPID_BOOK_SAVE_AS:
        if (const SCode sc = CheckCall(wFlags, DISPATCH_METHOD, nArgs, SAVE_AS_ARGS, m_bClosed); sc != S_OK)
            return sc;
        return SaveAs(pArgs, nArgs, pExcepInfo);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

SCode BookObject::SaveAs(const Variant* pArgs, int /*nArgs*/, ExcepInfo* pExcepInfo)
{
    // Filename (text), five options, AccessMode (whole number), five options.
    // The options choose formats, passwords and sharing we do not offer; they
    // are taken as given and not used.
    const Variant& filename = pArgs[0];
    const Variant& accessMode = pArgs[SAVE_AS_ACCESS_MODE_INDEX];
    if (filename.Type() != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    qint32 nAccessMode = 0;
    if (accessMode.Type() != VT_I4 && accessMode.Type() != VT_I2)
        return DISP_E_TYPEMISMATCH;
    accessMode.ToInt(nAccessMode);

    const QString strPath = filename.String();
    if (strPath.isEmpty())
        return Raise(pExcepInfo, QStringLiteral("SaveAs: no file name given."));
    QString strError;
    m_notes = XlsFileNotes();
    if (!SaveWorkbookXls(m_book, strPath, &strError, &m_notes))
        return Raise(pExcepInfo, QStringLiteral("Cannot save the file \"%1\": %2").arg(strPath, strError));
    m_strPath = strPath;
    m_bDirty = false;
    m_bWrittenHere = true;
    return S_OK;
}

SCode BookObject::Close(const Variant* pArgs, int /*nArgs*/, ExcepInfo* pExcepInfo)
{
    // SaveChanges (missing: do not save), Filename (missing or text),
    // RouteWorkbook (not used).
    bool bSave = false;
    if (!pArgs[0].IsMissing() && (pArgs[0].Type() == VT_BSTR || !pArgs[0].ToBool(bSave)))
        return DISP_E_TYPEMISMATCH;
    if (!pArgs[1].IsMissing() && pArgs[1].Type() != VT_BSTR)
        return DISP_E_TYPEMISMATCH;

    // See the header: only changes after our own successful SaveAs are saved.
    if (bSave && m_bDirty && m_bWrittenHere)
    {
        const QString strPath = pArgs[1].IsMissing() ? m_strPath : pArgs[1].String();
        QString strError;
        m_notes = XlsFileNotes();
        if (!SaveWorkbookXls(m_book, strPath, &strError, &m_notes))
            return Raise(pExcepInfo, QStringLiteral("Cannot save the file \"%1\": %2").arg(strPath, strError));
        m_strPath = strPath;
        m_bDirty = false;
    }
    BooksObject* pBooks = m_pBooks;
    MarkClosed();
    if (pBooks != nullptr)
        pBooks->Remove(this); // may delete this
    return S_OK;
}

const Workbook* WorkbookOf(Dispatch* pWorkbook)
{
    auto* pBook = dynamic_cast<BookObject*>(pWorkbook);
    return pBook == nullptr ? nullptr : &pBook->m_book;
}

const XlsFileNotes* FileNotesOf(Dispatch* pObject)
{
    if (auto* pBook = dynamic_cast<BookObject*>(pObject))
        return &pBook->m_notes;
    if (auto* pBooks = dynamic_cast<BooksObject*>(pObject))
        return &pBooks->m_lastOpenNotes;
    return nullptr;
}
