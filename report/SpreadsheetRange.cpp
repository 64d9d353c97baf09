// The built-in spreadsheet server: Worksheet, Range, Font and Interior.
#include "report/ExcelDispIds.h"
#include "report/SpreadsheetObjects.h"
#include "report/SpreadsheetServer.h"

#include <QVarLengthArray>
#include <cmath>

namespace {
// Excel's automation alignment codes -> the workbook's (BIFF8) codes.
// Horizontal: 1 general, 2 left, 3 centre, 4 right (the old numbering the
// report passes), xlCenter -4108, xlLeft -4131, xlRight -4152.
// Vertical: 1 top, 2 centre, 3 bottom, xlCenter -4108, xlTop -4160,
// xlBottom -4107. -1 for a code we do not know.
int HorizontalCode(qint32 nValue)
{
    switch (nValue)
    {
    case 1:
        return 0;
    case 2:
    case -4131:
        return 1;
    case 3:
    case -4108:
        return 2;
    case 4:
    case -4152:
        return 3;
    default:
        return -1;
    }
}

int VerticalCode(qint32 nValue)
{
    switch (nValue)
    {
    case 1:
    case -4160:
        return 0;
    case 2:
    case -4108:
        return 1;
    case 3:
    case -4107:
        return 2;
    default:
        return -1;
    }
}

// Interior.ColorIndex: Excel's palette index 1..56, or none/automatic.
constexpr qint32 XL_COLOR_INDEX_NONE = -4142;
constexpr qint32 XL_COLOR_INDEX_AUTOMATIC = -4105;

// One A1-style cell address ("B2", "$J$4"), 0-based; false when it is not one.
bool ParseCellAddress(QStringView strAddress, int& nRow, int& nCol)
{
    int nPos = 0;
    const int nLength = int(strAddress.size());
    auto skipDollar = [&]() {
        if (nPos < nLength && strAddress[nPos] == QLatin1Char('$'))
            ++nPos;
    };
    skipDollar();
    int nColumn = 0;
    int nLetters = 0;
    while (nPos < nLength && nLetters < 3)
    {
        const char16_t ch = QChar(strAddress[nPos]).toUpper().unicode();
        if (ch < u'A' || ch > u'Z')
            break;
        nColumn = nColumn * 26 + (ch - u'A' + 1);
        ++nLetters;
        ++nPos;
    }
    if (nLetters == 0 || nColumn > SHEET_MAX_COLS)
        return false;
    skipDollar();
    int nNumber = 0;
    int nDigits = 0;
    while (nPos < nLength && strAddress[nPos] >= QLatin1Char('0') && strAddress[nPos] <= QLatin1Char('9') &&
           nDigits < 6)
    {
        nNumber = nNumber * 10 + (strAddress[nPos].unicode() - u'0');
        ++nDigits;
        ++nPos;
    }
    if (nDigits == 0 || nPos != nLength || nNumber < 1 || nNumber > SHEET_MAX_ROWS)
        return false;
    nRow = nNumber - 1;
    nCol = nColumn - 1;
    return true;
}

// "B2" or "B2:J4" into a rectangle; false when it is not an address.
bool ParseRangeAddress(const QString& strAddress, CellRect& rect)
{
    const QString strTrimmed = strAddress.trimmed();
    const qsizetype nColon = strTrimmed.indexOf(QLatin1Char(':'));
    QStringView first = QStringView(strTrimmed);
    QStringView second = first;
    if (nColon >= 0)
    {
        first = QStringView(strTrimmed).left(nColon);
        second = QStringView(strTrimmed).mid(nColon + 1);
    }
    int nRow1 = 0, nCol1 = 0, nRow2 = 0, nCol2 = 0;
    if (!ParseCellAddress(first, nRow1, nCol1) || !ParseCellAddress(second, nRow2, nCol2))
        return false;
    rect.nFirstRow = std::min(nRow1, nRow2);
    rect.nLastRow = std::max(nRow1, nRow2);
    rect.nFirstCol = std::min(nCol1, nCol2);
    rect.nLastCol = std::max(nCol1, nCol2);
    return true;
}

CellRect Union(const CellRect& a, const CellRect& b)
{
    return {std::min(a.nFirstRow, b.nFirstRow), std::max(a.nLastRow, b.nLastRow), std::min(a.nFirstCol, b.nFirstCol),
            std::max(a.nLastCol, b.nLastCol)};
}

bool Overlaps(const CellRect& a, const CellRect& b)
{
    return a.nFirstRow <= b.nLastRow && b.nFirstRow <= a.nLastRow && a.nFirstCol <= b.nLastCol &&
           b.nFirstCol <= a.nLastCol;
}

qint64 CellCount(const CellRect& rect)
{
    return qint64(rect.nLastRow - rect.nFirstRow + 1) * (rect.nLastCol - rect.nFirstCol + 1);
}

// The text a cell holds for a value: numbers and booleans become their
// usual text, since every cell of the model is text.
bool ValueText(const Variant& value, QString& strText)
{
    switch (value.Type())
    {
    case VT_EMPTY:
        strText.clear();
        return true;
    case VT_BSTR:
        strText = value.String();
        return true;
    case VT_I2:
        strText = QString::number(value.I2());
        return true;
    case VT_I4:
        strText = QString::number(value.I4());
        return true;
    case VT_R8:
        if (!std::isfinite(value.R8()))
            return false;
        strText = QString::number(value.R8(), 'g', 15);
        return true;
    case VT_BOOL:
        strText = value.Bool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        return true;
    default:
        return false;
    }
}

const CellRect WHOLE_SHEET{0, SHEET_MAX_ROWS - 1, 0, SHEET_MAX_COLS - 1};
} // namespace

// Worksheet -----------------------------------------------------------------

SheetObject::SheetObject(BookObject* pBook, int nSheet) : m_pBook(pBook), m_nSheet(nSheet)
{
    m_pBook->AddRef();
}

SheetObject::~SheetObject()
{
    m_pBook->Release();
}

SCode SheetObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                          ExcepInfo* pExcepInfo)
{
    if (dispid != DISPID_SHEET_CELLS && dispid != DISPID_SHEET_RANGE && dispid != DISPID_SHEET_USED_RANGE)
        return DISP_E_MEMBERNOTFOUND;
    if (const SCode sc =
            CheckCall(wFlags, DISPATCH_PROPERTYGET, nArgs, (dispid == DISPID_SHEET_RANGE ? 2 : 0), m_pBook->IsClosed());
        sc != S_OK)
        return sc;

    RangeRef ref;
    ref.nSheet = m_nSheet;
    if (dispid == DISPID_SHEET_CELLS)
    {
        ref.rect = WHOLE_SHEET;
    }
    else if (dispid == DISPID_SHEET_RANGE)
    {
        // Cell1: an address or "first:last"; Cell2 (optional): the far corner.
        if (pArgs[0].Type() != VT_BSTR || (!pArgs[1].IsMissing() && pArgs[1].Type() != VT_BSTR))
            return DISP_E_TYPEMISMATCH;
        if (!ParseRangeAddress(pArgs[0].String(), ref.rect))
            return Raise(pExcepInfo, QStringLiteral("Range: \"%1\" is not a cell address.").arg(pArgs[0].String()));
        if (!pArgs[1].IsMissing())
        {
            CellRect second;
            if (!ParseRangeAddress(pArgs[1].String(), second))
                return Raise(pExcepInfo, QStringLiteral("Range: \"%1\" is not a cell address.").arg(pArgs[1].String()));
            ref.rect = Union(ref.rect, second);
        }
    }
    else
    {
        // Rows first..last of the cells there; the columns are all columns.
        int nFirst = 0, nLast = 0;
        ref.rect = WHOLE_SHEET;
        if (m_pBook->Sheet(m_nSheet).UsedRows(nFirst, nLast))
        {
            ref.rect.nFirstRow = nFirst;
            ref.rect.nLastRow = nLast;
        }
        else
        {
            ref.rect.nLastRow = 0;
            ref.bEmpty = true;
        }
    }
    if (pResult != nullptr)
        *pResult = Variant(new RangeObject(m_pBook, ref), false);
    return S_OK;
}

// Range ---------------------------------------------------------------------

RangeObject::RangeObject(BookObject* pBook, const RangeRef& ref, bool bKept)
    : m_pBook(pBook), m_ref(ref), m_bKept(bKept)
{
    m_pBook->AddRef();
}

RangeObject::~RangeObject()
{
    if (m_pBook != nullptr)
        m_pBook->Release();
}

void RangeObject::FinalRelease()
{
    if (!m_bKept)
    {
        delete this;
        return;
    }
    // Back to the book for the next Item (get). The reference to the book
    // goes last: it may be the book's last, and the book then deletes us.
    BookObject* pBook = m_pBook;
    pBook->KeepCellObject(this);
    pBook->Release();
}

void RangeObject::DeleteKept()
{
    m_pBook = nullptr; // a kept object holds no reference to give back
    delete this;
}

bool RangeObject::IsWholeSheet() const
{
    const CellRect& r = m_ref.rect;
    return r.nFirstRow == 0 && r.nFirstCol == 0 && r.nLastRow == SHEET_MAX_ROWS - 1 && r.nLastCol == SHEET_MAX_COLS - 1;
}

template <typename Fn> bool RangeObject::ForEachFormat(Fn&& fn)
{
    Worksheet& sheet = Sheet();
    if (IsWholeSheet())
    {
        // All cells: the sheet-wide format, and every cell already there.
        fn(sheet.m_defaultFormat);
        sheet.EditAllFormats(fn);
        return true;
    }
    if (CellCount(m_ref.rect) > SHEET_MAX_CELLS_PER_CALL)
        return false;
    for (int nRow = m_ref.rect.nFirstRow; nRow <= m_ref.rect.nLastRow; ++nRow)
        for (int nCol = m_ref.rect.nFirstCol; nCol <= m_ref.rect.nLastCol; ++nCol)
            sheet.EditFormat(nRow, nCol, fn);
    return true;
}

SCode RangeObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                          ExcepInfo* pExcepInfo)
{
    // The calls a report makes cell by cell, straight to their work; this
    // function stays small, so that they pay for nothing else.
    if (dispid == DISPID_RANGE_ITEM && !m_pBook->IsClosed())
    {
        if (wFlags == DISPATCH_PROPERTYPUT && nArgs == 3)
            return SetItem(pArgs, pExcepInfo);
        if (wFlags == DISPATCH_PROPERTYGET && nArgs == 2)
            return GetItem(pArgs, pResult, pExcepInfo);
    }
    else if (dispid == DISPID_RANGE_VALUE2 && wFlags == DISPATCH_PROPERTYGET && nArgs == 0 && !m_pBook->IsClosed())
        return GetValue2(pResult, pExcepInfo);
    return InvokeMember(dispid, wFlags, pArgs, nArgs, pResult, pExcepInfo);
}

Q_NEVER_INLINE SCode RangeObject::InvokeMember(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs,
                                               Variant* pResult, ExcepInfo* pExcepInfo)
{
    // Member, call kind and argument count first, then the workbook's state.
    quint16 wKind = 0;
    int nWant = 0;
    switch (dispid)
    {
    case DISPID_RANGE_COUNT:
    case DISPID_RANGE_FONT:
    case DISPID_RANGE_INTERIOR:
    case DISPID_RANGE_ROWS:
        wKind = DISPATCH_PROPERTYGET;
        break;
    case DISPID_RANGE_COLUMN_WIDTH:
    case DISPID_RANGE_HORIZONTAL_ALIGNMENT:
    case DISPID_RANGE_VERTICAL_ALIGNMENT:
    case DISPID_RANGE_NUMBER_FORMAT_LOCAL:
        wKind = DISPATCH_PROPERTYPUT;
        nWant = 1;
        break;
    case DISPID_RANGE_MERGE:
        wKind = DISPATCH_METHOD;
        nWant = 1;
        break;
    case DISPID_RANGE_ITEM:
        wKind = wFlags == DISPATCH_PROPERTYPUT ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYGET;
        nWant = wKind == DISPATCH_PROPERTYPUT ? 3 : 2;
        break;
    case DISPID_RANGE_VALUE2:
        wKind = wFlags == DISPATCH_PROPERTYPUT ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYGET;
        nWant = wKind == DISPATCH_PROPERTYPUT ? 1 : 0;
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (const SCode sc = CheckCall(wFlags, wKind, nArgs, nWant, m_pBook->IsClosed()); sc != S_OK)
        return sc;

    switch (dispid)
    {
    case DISPID_RANGE_COUNT: {
        const qint64 nCount = m_ref.bEmpty  ? 0
                              : m_ref.bRows ? m_ref.rect.nLastRow - m_ref.rect.nFirstRow + 1
                                            : CellCount(m_ref.rect);
        if (pResult != nullptr)
            *pResult = Variant(qint32(nCount));
        return S_OK;
    }
    case DISPID_RANGE_FONT:
    case DISPID_RANGE_INTERIOR:
        if (pResult != nullptr)
            *pResult = Variant(
                new RangePartObject(this, dispid == DISPID_RANGE_FONT ? DISPID_FONT_BOLD : DISPID_INTERIOR_COLOR_INDEX),
                false);
        return S_OK;
    case DISPID_RANGE_ROWS: {
        RangeRef rows = m_ref;
        rows.bRows = true;
        if (pResult != nullptr)
            *pResult = Variant(new RangeObject(m_pBook, rows), false);
        return S_OK;
    }
    case DISPID_RANGE_COLUMN_WIDTH:
        return SetColumnWidth(pArgs[0], pExcepInfo);
    case DISPID_RANGE_HORIZONTAL_ALIGNMENT:
        return SetAlignment(true, pArgs[0], pExcepInfo);
    case DISPID_RANGE_VERTICAL_ALIGNMENT:
        return SetAlignment(false, pArgs[0], pExcepInfo);
    case DISPID_RANGE_NUMBER_FORMAT_LOCAL:
        return SetNumberFormat(pArgs[0], pExcepInfo);
    case DISPID_RANGE_MERGE:
        return Merge(pArgs[0], pExcepInfo);
    case DISPID_RANGE_ITEM:
        return wKind == DISPATCH_PROPERTYPUT ? SetItem(pArgs, pExcepInfo) : GetItem(pArgs, pResult, pExcepInfo);
    case DISPID_RANGE_VALUE2:
        return wKind == DISPATCH_PROPERTYPUT ? SetValue2(pArgs[0], pExcepInfo) : GetValue2(pResult, pExcepInfo);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// Item(RowIndex, ColumnIndex): 1-based from the range's first cell.
static SCode CellOfItem(const CellRect& rect, const Variant* pArgs, int& nRow, int& nCol, ExcepInfo* pExcepInfo,
                        SCode (*raise)(ExcepInfo*, const QString&))
{
    qint32 nRowIndex = 0, nColIndex = 0;
    if (pArgs[0].Type() == VT_BSTR || pArgs[1].Type() == VT_BSTR || !pArgs[0].ToInt(nRowIndex) ||
        !pArgs[1].ToInt(nColIndex))
        return DISP_E_TYPEMISMATCH;
    const qint64 nRow64 = qint64(rect.nFirstRow) + nRowIndex - 1;
    const qint64 nCol64 = qint64(rect.nFirstCol) + nColIndex - 1;
    if (nRow64 < 0 || nRow64 >= SHEET_MAX_ROWS || nCol64 < 0 || nCol64 >= SHEET_MAX_COLS)
        return raise(pExcepInfo,
                     QStringLiteral("Item: row %1, column %2 is outside the sheet.").arg(nRowIndex).arg(nColIndex));
    nRow = int(nRow64);
    nCol = int(nCol64);
    return S_OK;
}

SCode RangeObject::GetItem(const Variant* pArgs, Variant* pResult, ExcepInfo* pExcepInfo)
{
    int nRow = 0, nCol = 0;
    const SCode sc = CellOfItem(m_ref.rect, pArgs, nRow, nCol, pExcepInfo, &ServerObject::Raise);
    if (sc != S_OK)
        return sc;
    if (pResult != nullptr)
        *pResult = Variant(m_pBook->CellObject(m_ref.nSheet, nRow, nCol), false);
    return S_OK;
}

SCode RangeObject::SetItem(const Variant* pArgs, ExcepInfo* pExcepInfo)
{
    int nRow = 0, nCol = 0;
    const SCode sc = CellOfItem(m_ref.rect, pArgs, nRow, nCol, pExcepInfo, &ServerObject::Raise);
    if (sc != S_OK)
        return sc;
    if (IsHiddenByMerge(nRow, nCol))
        return S_OK; // the covered cells of a merge hold nothing
    const Variant& value = pArgs[2];
    if (value.Type() == VT_BSTR) // what a report writes: no conversion, no copy of the characters
        Sheet().SetText(nRow, nCol, value.String());
    else
    {
        QString strText;
        if (!ValueText(value, strText))
            return DISP_E_TYPEMISMATCH;
        Sheet().SetText(nRow, nCol, strText);
    }
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::GetValue2(Variant* pResult, ExcepInfo* pExcepInfo)
{
    if (CellCount(m_ref.rect) != 1)
        return Raise(pExcepInfo, QStringLiteral("Value2: only a single cell can be read."));
    const QString* pText = m_pBook->ConstSheet(m_ref.nSheet).FindText(m_ref.rect.nFirstRow, m_ref.rect.nFirstCol);
    if (pResult != nullptr)
    {
        if (pText != nullptr)
            *pResult = Variant(*pText);
        else
            pResult->Clear();
    }
    return S_OK;
}

SCode RangeObject::SetValue2(const Variant& value, ExcepInfo* pExcepInfo)
{
    QString strText;
    if (!ValueText(value, strText))
        return DISP_E_TYPEMISMATCH;
    if (CellCount(m_ref.rect) > SHEET_MAX_CELLS_PER_CALL)
        return Raise(pExcepInfo, QStringLiteral("Value2: the range is too large to fill."));
    for (int nRow = m_ref.rect.nFirstRow; nRow <= m_ref.rect.nLastRow; ++nRow)
        for (int nCol = m_ref.rect.nFirstCol; nCol <= m_ref.rect.nLastCol; ++nCol)
            if (!IsHiddenByMerge(nRow, nCol))
                Sheet().SetText(nRow, nCol, strText);
    m_pBook->SetDirty();
    return S_OK;
}

bool RangeObject::IsHiddenByMergeLookup(int nRow, int nCol) const
{
    const QVector<CellRect>& merges = m_pBook->ConstSheet(m_ref.nSheet).m_merges;
    if (m_nMergeSeen != m_pBook->MergeRevision())
    {
        m_nMergeSeen = m_pBook->MergeRevision();
        m_mergeBox = {1, 0, 1, 0};
        for (qsizetype i = 0; i < merges.size(); ++i)
            m_mergeBox = i == 0 ? merges[i] : Union(m_mergeBox, merges[i]);
    }
    if (nRow < m_mergeBox.nFirstRow || nRow > m_mergeBox.nLastRow || nCol < m_mergeBox.nFirstCol ||
        nCol > m_mergeBox.nLastCol)
        return false;
    for (const CellRect& merge : merges)
        if (nRow >= merge.nFirstRow && nRow <= merge.nLastRow && nCol >= merge.nFirstCol && nCol <= merge.nLastCol &&
            (nRow != merge.nFirstRow || nCol != merge.nFirstCol))
            return true;
    return false;
}

SCode RangeObject::Merge(const Variant& across, ExcepInfo* pExcepInfo)
{
    bool bAcross = false;
    if (!across.IsMissing() && (across.Type() == VT_BSTR || !across.ToBool(bAcross)))
        return DISP_E_TYPEMISMATCH;
    if (IsWholeSheet() || CellCount(m_ref.rect) > SHEET_MAX_CELLS_PER_CALL)
        return Raise(pExcepInfo, QStringLiteral("Merge: the range is too large to merge."));

    // Across merges each row on its own; otherwise the whole rectangle.
    QVarLengthArray<CellRect, 8> merges;
    if (bAcross)
    {
        for (int nRow = m_ref.rect.nFirstRow; nRow <= m_ref.rect.nLastRow; ++nRow)
            merges.append({nRow, nRow, m_ref.rect.nFirstCol, m_ref.rect.nLastCol});
    }
    else
    {
        merges.append(m_ref.rect);
    }
    Worksheet& sheet = Sheet();
    for (const CellRect& merge : merges)
    {
        if (CellCount(merge) < 2)
            continue;
        // A new merge replaces the merges it touches, and only its first
        // cell keeps its value.
        for (int i = int(sheet.m_merges.size()) - 1; i >= 0; --i)
            if (Overlaps(sheet.m_merges[i], merge))
                sheet.m_merges.remove(i);
        for (int nRow = merge.nFirstRow; nRow <= merge.nLastRow; ++nRow)
            for (int nCol = merge.nFirstCol; nCol <= merge.nLastCol; ++nCol)
            {
                if (nRow == merge.nFirstRow && nCol == merge.nFirstCol)
                    continue;
                sheet.ClearText(nRow, nCol);
            }
        sheet.m_merges.append(merge);
    }
    m_pBook->MergesChanged();
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::SetColumnWidth(const Variant& value, ExcepInfo* pExcepInfo)
{
    double dWidth = 0.0;
    if (value.Type() == VT_BSTR || value.Type() == VT_BOOL || !value.ToDouble(dWidth))
        return DISP_E_TYPEMISMATCH;
    if (dWidth < 0.0 || dWidth > 255.0)
        return Raise(pExcepInfo, QStringLiteral("ColumnWidth: %1 is not a width from 0 to 255.").arg(dWidth));
    Worksheet& sheet = Sheet();
    for (int nCol = m_ref.rect.nFirstCol; nCol <= m_ref.rect.nLastCol; ++nCol)
        sheet.m_columnWidths[nCol] = int(std::lround(dWidth));
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::SetAlignment(bool bHorizontal, const Variant& value, ExcepInfo* pExcepInfo)
{
    qint32 nValue = 0;
    if (value.Type() == VT_BSTR || value.Type() == VT_BOOL || !value.ToInt(nValue))
        return DISP_E_TYPEMISMATCH;
    const int nCode = bHorizontal ? HorizontalCode(nValue) : VerticalCode(nValue);
    if (nCode < 0)
        return Raise(pExcepInfo,
                     QStringLiteral("%1: %2 is not an alignment.")
                         .arg(bHorizontal ? QStringLiteral("HorizontalAlignment") : QStringLiteral("VerticalAlignment"))
                         .arg(nValue));
    const bool bDone = ForEachFormat([&](CellFormat& format) {
        if (bHorizontal)
            format.nHorzAlign = nCode;
        else
            format.nVertAlign = nCode;
    });
    if (!bDone)
        return Raise(pExcepInfo, QStringLiteral("The range is too large to format."));
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::SetNumberFormat(const Variant& value, ExcepInfo* pExcepInfo)
{
    if (value.Type() != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    // Only the text format "@" is kept; any other format means "not text".
    const bool bText = value.String() == QLatin1String("@");
    if (!ForEachFormat([&](CellFormat& format) { format.bTextFormat = bText; }))
        return Raise(pExcepInfo, QStringLiteral("The range is too large to format."));
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::SetBold(const Variant& value, ExcepInfo* pExcepInfo)
{
    bool bBold = false;
    if (value.Type() == VT_BSTR || !value.ToBool(bBold))
        return DISP_E_TYPEMISMATCH;
    if (!ForEachFormat([&](CellFormat& format) { format.bBold = bBold; }))
        return Raise(pExcepInfo, QStringLiteral("The range is too large to format."));
    m_pBook->SetDirty();
    return S_OK;
}

SCode RangeObject::SetColorIndex(const Variant& value, ExcepInfo* pExcepInfo)
{
    qint32 nIndex = 0;
    if (value.Type() == VT_BSTR || value.Type() == VT_BOOL || !value.ToInt(nIndex))
        return DISP_E_TYPEMISMATCH;
    if (nIndex == XL_COLOR_INDEX_NONE || nIndex == XL_COLOR_INDEX_AUTOMATIC)
        nIndex = -1;
    else if (nIndex < 1 || nIndex > 56)
        return Raise(pExcepInfo, QStringLiteral("ColorIndex: %1 is not a palette index from 1 to 56.").arg(nIndex));
    if (!ForEachFormat([&](CellFormat& format) { format.nFillColorIndex = nIndex; }))
        return Raise(pExcepInfo, QStringLiteral("The range is too large to format."));
    m_pBook->SetDirty();
    return S_OK;
}

// Font, Interior ------------------------------------------------------------

RangePartObject::RangePartObject(RangeObject* pRange, DispId dispidMember)
    : m_pRange(pRange), m_dispidMember(dispidMember)
{
    m_pRange->AddRef();
}

RangePartObject::~RangePartObject()
{
    m_pRange->Release();
}

SCode RangePartObject::Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* /*pResult*/,
                              ExcepInfo* pExcepInfo)
{
    if (dispid != m_dispidMember)
        return DISP_E_MEMBERNOTFOUND;
    if (const SCode sc = CheckCall(wFlags, DISPATCH_PROPERTYPUT, nArgs, 1, m_pRange->IsDead()); sc != S_OK)
        return sc;
    return m_dispidMember == DISPID_FONT_BOLD ? m_pRange->SetBold(pArgs[0], pExcepInfo)
                                              : m_pRange->SetColorIndex(pArgs[0], pExcepInfo);
}
