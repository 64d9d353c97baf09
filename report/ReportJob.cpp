// The Excel jobs of saving and opening a report, and the exception boxes.
#include "report/ReportJob.h"

#include "report/ExcelWrappers.h"
#include "report/ReportLayout.h"
#include "report/SpreadsheetServer.h"
#include "report/XlsFile.h"

#include <exception>

const char* const EXCEPTION_CAPTION_OLE = "COleException";
const char* const EXCEPTION_CAPTION_DISPATCH = "COleDispatchException";
const char* const EXCEPTION_CAPTION_CATCH_ALL = "Catch-All";
const char* const EXCEPTION_TEXT_GENERAL = "General   Exception   caught.";

namespace {
// Excel's centred alignment, and the codes the layout gives merged cells
// (Excel's older numbering: horizontal 3 and vertical 2 are both centred).
constexpr qint32 XL_CENTER = -4108;
constexpr qint32 MERGED_HORZ_ALIGN = 3;
constexpr qint32 MERGED_VERT_ALIGN = 2;
constexpr SCode E_POINTER = 0x80004003;

// The wait cursor from the start of a job to its end, through the caller's
// hook (a command-line tool has no cursor and gives none).
class BusyCursor
{
public:
    explicit BusyCursor(const ReportHooks& hooks) : m_setBusy(hooks.setBusy)
    {
        if (m_setBusy)
        {
            m_setBusy(true);
            m_bSet = true;
        }
    }
    ~BusyCursor() { Arrow(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void Arrow()
    {
        if (m_bSet)
            m_setBusy(false);
        m_bSet = false;
    }

private:
    std::function<void(bool)> m_setBusy;
    bool m_bSet = false;
};

// An object the job cannot go on without. A server that hands back nothing
// would otherwise turn every later call into a silent no-op and the job
// into a false success.
Dispatch* Required(Dispatch* pDispatch)
{
    if (pDispatch == nullptr)
        throw OleException(E_POINTER);
    return pDispatch;
}

Dispatch* Required(Variant value)
{
    return Required(value.DetachDispatch());
}

// The objects of one job, released in the order of the end of the job.
struct ExcelJob
{
    ExcelApplication app;
    ExcelWorkbooks books;
    ExcelWorkbook book;
    ExcelWorksheet sheet;
};

// End of the job: close the workbook (SaveChanges 1, the report path), the
// collection, quit, release. bGuarded false is the recovery after a caught
// failure: each call may fail again, and is then passed over so that the
// next still reaches the server and nothing leaves the routine.
void EndJob(ExcelJob& job, const QString& strPath, const Variant& covOptional, BusyCursor& cursor, bool bGuarded)
{
    auto step = [bGuarded](auto&& fn) {
        if (bGuarded)
        {
            fn();
            return;
        }
        try
        {
            fn();
        }
        catch (...)
        {
        }
    };
    step([&] { job.book.Close(Variant(qint32(1)), Variant(strPath), covOptional); });
    step([&] { job.books.Close(); });
    step([&] { job.app.Quit(); });
    job.book.ReleaseDispatch();
    job.books.ReleaseDispatch();
    job.sheet.ReleaseDispatch();
    job.app.ReleaseDispatch();
    cursor.Arrow();
}

void ReportCaught(const ReportHooks& hooks, BusyCursor& cursor, const QString& strCaption, const QString& strText)
{
    // No wait cursor over the box.
    cursor.Arrow();
    if (!hooks.reportException)
        return;
    try
    {
        hooks.reportException(strCaption, strText);
    }
    catch (...)
    {
    }
}

void Tell(const std::function<void(const ReportNote&)>& hook, const ReportNote& note)
{
    if (!hook)
        return;
    try
    {
        hook(note);
    }
    catch (...)
    {
    }
}

// The plain reason of a failure: what the file layer of the built-in server
// found (on the workbook for a save, on the collection for an open), else
// the server's own description, else the call that failed.
ReportNote PlainReason(const ExcelJob& job, const QString& strDescription)
{
    const XlsFileNotes* pNotes = job.book.m_lpDispatch ? FileNotesOf(job.book.m_lpDispatch) : nullptr;
    if ((pNotes == nullptr || pNotes->strError.isEmpty()) && job.books.m_lpDispatch)
        pNotes = FileNotesOf(job.books.m_lpDispatch);
    if (pNotes != nullptr && pNotes->failure.IsFailure())
        return ReportNote::FromBoth(pNotes->failure.Text(LANGUAGE_CHINESE), pNotes->failure.Text(LANGUAGE_ENGLISH));
    if (pNotes != nullptr && pNotes->nActiveSheetKind != 0)
        return ReportNote::From(TXT_REPORT_NOT_WORKSHEET);
    if (pNotes != nullptr && !pNotes->strError.isEmpty())
        return ReportNote::From(TXT_REPORT_UNREADABLE, {pNotes->strError});
    return ReportNote::From(TXT_REPORT_SERVER_FAILED, {strDescription});
}

// Runs work() inside the guarded block; a failure is shown in the exception
// box (and its plain reason handed over), then the job is ended unguarded.
// False after a failure.
template <typename Fn>
bool Guarded(const ReportHooks& hooks, ExcelJob& job, const QString& strPath, const Variant& covOptional,
             BusyCursor& cursor, Fn&& work)
{
    QString strDescription;
    try
    {
        return work();
    }
    catch (const OleException& e)
    {
        ReportCaught(hooks, cursor, QLatin1String(EXCEPTION_CAPTION_OLE), OleExceptionText(e.m_sc));
        strDescription = OleExceptionText(e.m_sc);
    }
    catch (const OleDispatchException& e)
    {
        ReportCaught(hooks, cursor, QLatin1String(EXCEPTION_CAPTION_DISPATCH),
                     OleDispatchExceptionText(e.m_wCode, e.m_strDescription));
        strDescription = e.m_strDescription;
    }
    catch (...)
    {
        ReportCaught(hooks, cursor, QLatin1String(EXCEPTION_CAPTION_CATCH_ALL), QLatin1String(EXCEPTION_TEXT_GENERAL));
        strDescription = QLatin1String(EXCEPTION_TEXT_GENERAL);
    }
    const ReportNote reason = PlainReason(job, strDescription);
    EndJob(job, strPath, covOptional, cursor, false);
    Tell(hooks.reportFailure, reason);
    return false;
}

// The damage a reader could tell in the file just opened, or the texts cut
// on the save just made, as one notice; nothing when there is neither.
void TellFileNotes(const ReportHooks& hooks, const ExcelJob& job)
{
    const XlsFileNotes* pNotes = job.book.m_lpDispatch ? FileNotesOf(job.book.m_lpDispatch) : nullptr;
    if (pNotes == nullptr)
        return;
    if (pNotes->IsDamaged())
    {
        QStringList zh, en;
        const auto add = [&](int nCount, const BiText& text) {
            if (nCount == 0)
                return;
            const ReportNote note = ReportNote::From(text, {QString::number(nCount)});
            zh << note.strChinese;
            en << note.strEnglish;
        };
        add(pNotes->nRepeatedCells, TXT_REPORT_REPEATED_CELLS);
        add(pNotes->nCellsOutside, TXT_REPORT_CELLS_OUTSIDE);
        add(pNotes->nUnknownFormats, TXT_REPORT_UNKNOWN_FORMATS);
        const ReportNote parts = ReportNote::FromBoth(zh.join(QStringLiteral("；")), en.join(QStringLiteral("; ")));
        Tell(hooks.reportNotice, ReportNote::From(TXT_REPORT_DAMAGED, {parts.strChinese, parts.strEnglish}));
    }
    if (pNotes->nCutTexts > 0)
        Tell(hooks.reportNotice, ReportNote::From(TXT_REPORT_TEXT_CUT, {QString::number(pNotes->nCutTexts)}));
}

// A label or a D:F value: merge the cells across, write the text, centre it
// both ways and set the width of its columns.
void WriteMergedText(ExcelWorksheet& sheet, ExcelRange& range, const char* pszFrom, const char* pszTo,
                     const QString& strText, qint32 nWidth)
{
    range.AttachDispatch(Required(sheet.GetRange(Variant(QLatin1String(pszFrom)), Variant(QLatin1String(pszTo)))));
    range.Merge(Variant(1, VT_I2));
    range.SetValue2(Variant(strText));
    range.SetHorizontalAlignment(Variant(MERGED_HORZ_ALIGN, VT_I2));
    range.SetVerticalAlignment(Variant(MERGED_VERT_ALIGN, VT_I2));
    range.SetColumnWidth(Variant(nWidth, VT_I2));
}

QString InfoText(const ReportUserInfo& info, ReportInfoField field)
{
    switch (field)
    {
    case INFO_COMPANY:
        return info.strCompany;
    case INFO_METER_TYPE:
        return info.strMeterType;
    case INFO_SERIAL:
        return info.strSerial;
    case INFO_OPERATOR:
        return info.strOperator;
    case INFO_NOTES:
        return info.strNotes;
    default:
        return QString::fromLatin1(REPORT_UNIT_TEXT);
    }
}

QString ReadCellText(ExcelRange& cells, ExcelRange& cell, qint32 nRow, qint32 nCol)
{
    cell.AttachDispatch(Required(cells.GetItem(Variant(nRow), Variant(nCol))));
    Variant value = cell.GetValue2();
    // A text is taken out of the value, not copied.
    return value.Type() == VT_BSTR ? value.TakeString() : CellValueText(value);
}

// Cuts strText at a character boundary so that it takes at most nBytes
// bytes in UTF-8.
QString CutToUtf8Bytes(const QString& strText, qsizetype nBytes)
{
    if (nBytes <= 0)
        return QString();
    if (strText.toUtf8().size() <= nBytes)
        return strText;
    qsizetype nUsed = 0;
    qsizetype nPos = 0;
    while (nPos < strText.size())
    {
        const bool bPair =
            strText[nPos].isHighSurrogate() && nPos + 1 < strText.size() && strText[nPos + 1].isLowSurrogate();
        const qsizetype nChars = bPair ? 2 : 1;
        const qsizetype nCharBytes = QStringView(strText).mid(nPos, nChars).toUtf8().size();
        if (nUsed + nCharBytes > nBytes)
            break;
        nUsed += nCharBytes;
        nPos += nChars;
    }
    return strText.left(nPos);
}

// Asks for the texts of a row some way ahead: each text of a row is a
// block of its own, wherever it was made, and the sheet writes its
// reference count when it keeps it.
void PrefetchRow(const QVector<MeasurementRecord>& rows, qsizetype nRow)
{
    if (nRow >= rows.size())
        return;
    for (const QString& str : rows[nRow].texts)
        __builtin_prefetch(str.constData());
}

// The report layout: all cells centred and text, the coloured and bold
// blocks, the user information, the header row and the rows from row 7 on.
void WriteReportCells(ExcelWorksheet& sheet, const QVector<MeasurementRecord>& rows, Language language,
                      const ReportUserInfo& info)
{
    ExcelRange cells;
    ExcelRange range;
    ExcelFont font;
    ExcelInterior interior;
    cells.AttachDispatch(Required(sheet.GetCells()));

    // All cells: centred, text format (so values are stored and read back as text).
    cells.SetHorizontalAlignment(Variant(XL_CENTER));
    cells.SetNumberFormatLocal(Variant(QStringLiteral("@")));

    // B2:J4 bold on light green; A6:K6 bold.
    range.AttachDispatch(Required(
        sheet.GetRange(Variant(QLatin1String(REPORT_INFO_BLOCK_FROM)), Variant(QLatin1String(REPORT_INFO_BLOCK_TO)))));
    font.AttachDispatch(Required(range.GetFont()));
    font.SetBold(Variant(qint32(1)));
    interior.AttachDispatch(Required(range.GetInterior()));
    interior.SetColorIndex(Variant(REPORT_INFO_COLOR_INDEX, VT_I2));
    range.AttachDispatch(
        Required(sheet.GetRange(Variant(QLatin1String(REPORT_HEADER_FROM)), Variant(QLatin1String(REPORT_HEADER_TO)))));
    font.AttachDispatch(Required(range.GetFont()));
    font.SetBold(Variant(qint32(1)));

    // The user-information block, row by row: B:C, D:F, H:I, J.
    for (const ReportInfoRow& row : REPORT_INFO_ROWS)
    {
        WriteMergedText(sheet, range, row.pszLeftLabelFrom, row.pszLeftLabelTo, PickText(row.leftLabel, language),
                        REPORT_LABEL_WIDTH);
        WriteMergedText(sheet, range, row.pszLeftValueFrom, row.pszLeftValueTo, InfoText(info, row.leftField),
                        REPORT_VALUE_WIDTH);
        WriteMergedText(sheet, range, row.pszRightLabelFrom, row.pszRightLabelTo, PickText(row.rightLabel, language),
                        REPORT_LABEL_WIDTH);
        cells.SetItem(Variant(qint32(row.nRow)), Variant(qint32(REPORT_INFO_RIGHT_COL)),
                      Variant(InfoText(info, row.rightField)));
    }

    // Column headers A6..G6; F and G 22 characters wide.
    for (qint32 nCol = 1; nCol <= RECORD_COLUMNS; ++nCol)
    {
        cells.SetItem(Variant(qint32(REPORT_HEADER_ROW)), Variant(nCol),
                      Variant(PickText(REPORT_COLUMN_HEADERS[size_t(nCol - 1)], language)));
        if (nCol >= 6)
        {
            range.AttachDispatch(Required(cells.GetItem(Variant(qint32(REPORT_HEADER_ROW)), Variant(nCol))));
            range.SetColumnWidth(Variant(qint32(REPORT_WIDE_WIDTH)));
        }
    }

    // One sheet row per record from row 7 on, columns A..G. The rows outlive
    // the calls: their texts are lent to them, and the sheet counts a
    // reference only for what it keeps.
    qint32 nRow = REPORT_FIRST_DATA_ROW;
    for (qsizetype i = 0; i < rows.size(); ++i)
    {
        PrefetchRow(rows, i + 4);
        for (qint32 nCol = 1; nCol <= RECORD_COLUMNS; ++nCol)
            cells.SetItem(Variant(nRow), Variant(nCol), Variant::Borrowed(rows[i].texts[size_t(nCol - 1)]));
        ++nRow;
    }
}
} // namespace

ReportNote ReportNote::From(const BiText& text, const QStringList& args)
{
    // A BiText for a note may hold %1 and %2 in Chinese and %2 in English
    // for an argument that differs between the languages (see
    // TXT_REPORT_DAMAGED): each language takes its own.
    ReportNote note{QString::fromUtf8(text.zh), QString::fromUtf8(text.en)};
    for (int i = 0; i < args.size(); ++i)
    {
        const QString strMarker = QLatin1Char('%') + QString::number(i + 1);
        note.strChinese.replace(strMarker, args[i]);
        note.strEnglish.replace(strMarker, args[i]);
    }
    return note;
}

ReportNote ReportNote::FromBoth(const QString& strChinese, const QString& strEnglish)
{
    return ReportNote{strChinese, strEnglish};
}

QString OleExceptionText(SCode sc)
{
    return QString::asprintf("COleException.   SCODE:   %08x.", unsigned(sc));
}

QString OleDispatchExceptionText(quint16 wCode, const QString& strDescription)
{
    // The text goes into a 1024-byte buffer: the description gets what the
    // fixed words leave over, the terminating zero counted.
    const QString strHead =
        QString::asprintf("COleDispatchException.   SCODE:   %08x,   Description:   \"", unsigned(wCode));
    const QString strTail = QStringLiteral("\".");
    const qsizetype nRoom = EXCEPTION_TEXT_BUFFER - 1 - strHead.toUtf8().size() - strTail.toUtf8().size();
    return strHead + CutToUtf8Bytes(strDescription, nRoom) + strTail;
}

QString CellValueText(const Variant& value)
{
    switch (value.Type())
    {
    case VT_BSTR:
        return value.String();
    case VT_I2:
        return QString::number(value.I2());
    case VT_I4:
        return QString::number(value.I4());
    case VT_R8:
        return QString::number(value.R8(), 'g', 15);
    case VT_BOOL:
        return value.Bool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        return QString();
    }
}

namespace {
bool WriteJob(const QString& strPath, const QVector<MeasurementRecord>& rows, Language language,
              const ReportHooks& hooks, QVector<MeasurementRecord>* pTakeRows)
{
    // Rows beyond the sheet's last row would be lost: refuse the whole save.
    if (rows.size() > REPORT_MAX_RECORDS)
    {
        Tell(hooks.reportFailure, ReportNote::From(TXT_REPORT_TOO_MANY_ROWS, {QString::number(rows.size())}));
        return false;
    }

    BusyCursor cursor(hooks);
    const Variant covOptional = Variant::Missing();
    ExcelJob job;

    return Guarded(hooks, job, strPath, covOptional, cursor, [&]() {
        if (!job.app.CreateDispatch(QLatin1String(SPREADSHEET_PROG_ID)))
        {
            cursor.Arrow();
            if (hooks.reportNoExcel)
                hooks.reportNoExcel();
            return false;
        }
        const ReportUserInfo info = hooks.fetchUserInfo ? hooks.fetchUserInfo() : ReportUserInfo();

        job.app.SetVisible(false);
        job.app.SetUserControl(true);
        job.books.AttachDispatch(Required(job.app.GetWorkbooks()));
        job.book.AttachDispatch(Required(job.books.Add(covOptional)));
        job.sheet.AttachDispatch(Required(job.book.GetActiveSheet()));
        WriteReportCells(job.sheet, rows, language, info);
        // Rows handed over are in the workbook now: their memory goes before
        // the file is made.
        if (pTakeRows != nullptr)
            *pTakeRows = QVector<MeasurementRecord>();

        // Silent save: no question about replacing a file.
        job.app.SetAlertBeforeOverwriting(false);
        job.app.SetDisplayAlerts(false);
        job.book.SaveAs(Variant(strPath), covOptional, covOptional, covOptional, covOptional, covOptional, 0,
                        covOptional, covOptional, covOptional, covOptional, covOptional);
        TellFileNotes(hooks, job);

        EndJob(job, strPath, covOptional, cursor, true);
        return true;
    });
}
} // namespace

bool WriteReportJob(const QString& strPath, const QVector<MeasurementRecord>& rows, Language language,
                    const ReportHooks& hooks)
{
    return WriteJob(strPath, rows, language, hooks, nullptr);
}

bool WriteReportJob(const QString& strPath, QVector<MeasurementRecord>&& rows, Language language,
                    const ReportHooks& hooks)
{
    // Taken over even when the job fails: the caller gave them away.
    QVector<MeasurementRecord> taken = std::move(rows);
    return WriteJob(strPath, taken, language, hooks, &taken);
}

bool ReadReportJob(const QString& strPath, const ReportHooks& hooks)
{
    BusyCursor cursor(hooks);
    const Variant covOptional = Variant::Missing();
    ExcelJob job;
    ExcelRange used;
    ExcelRange usedRows;
    ExcelRange cells;
    ExcelRange cell;

    return Guarded(hooks, job, strPath, covOptional, cursor, [&]() {
        if (!job.app.CreateDispatch(QLatin1String(SPREADSHEET_PROG_ID)))
        {
            cursor.Arrow();
            return false;
        }
        job.app.SetVisible(false);
        job.app.SetUserControl(true);
        job.books.AttachDispatch(Required(job.app.GetWorkbooks()));
        const Variant& o = covOptional;
        job.book.AttachDispatch(Required(job.books.Open(strPath, o, o, o, o, o, o, o, o, o, o, o, o, o, o)));
        job.sheet.AttachDispatch(Required(job.book.GetActiveSheet()));

        used.AttachDispatch(Required(job.sheet.GetUsedRange()));
        usedRows.AttachDispatch(Required(used.GetRows()));
        const qint32 nUsedRows = usedRows.GetCount();
        if (nUsedRows < 1)
        {
            EndJob(job, strPath, covOptional, cursor, true);
            return false;
        }
        cells.AttachDispatch(Required(job.sheet.GetCells()));

        // D2, D3, J3, D4, J4: company, meter type, serial, operator, notes.
        QString infoTexts[INFO_FIELD_COUNT];
        for (int i = 0; i < INFO_FIELD_COUNT; ++i)
            infoTexts[i] =
                ReadCellText(cells, cell, REPORT_INFO_CELLS[size_t(i)].nRow, REPORT_INFO_CELLS[size_t(i)].nCol);
        ReportUserInfo info;
        info.strCompany = infoTexts[INFO_COMPANY];
        info.strMeterType = infoTexts[INFO_METER_TYPE];
        info.strSerial = infoTexts[INFO_SERIAL];
        info.strOperator = infoTexts[INFO_OPERATOR];
        info.strNotes = infoTexts[INFO_NOTES];
        if (hooks.showUserInfo)
            hooks.showUserInfo(info);

        // Rows 7 to n + 1 (the used range of a report starts in row 2). The
        // count comes from the server: no sheet row lies beyond 65,536.
        const qint32 nLastRow = qint32(qMin<qint64>(qint64(nUsedRows) + 1, REPORT_SHEET_ROWS));
        if (hooks.expectRows)
            hooks.expectRows(qMax(0, nLastRow - REPORT_FIRST_DATA_ROW + 1));
        for (qint32 nRow = REPORT_FIRST_DATA_ROW; nRow <= nLastRow; ++nRow)
        {
            MeasurementRecord record;
            for (qint32 nCol = 1; nCol <= RECORD_COLUMNS; ++nCol)
                record.texts[size_t(nCol - 1)] = ReadCellText(cells, cell, nRow, nCol);
            if (hooks.appendRow)
                hooks.appendRow(std::move(record));
        }
        TellFileNotes(hooks, job);

        EndJob(job, strPath, covOptional, cursor, true);
        return true;
    });
}

bool BuildReportWorkbook(const QVector<MeasurementRecord>& rows, Language language, const ReportUserInfo& info,
                         Workbook& book)
{
    if (rows.size() > REPORT_MAX_RECORDS)
        return false;
    const Variant covOptional = Variant::Missing();
    ExcelJob job;
    try
    {
        job.app.AttachDispatch(CreateSpreadsheetServer());
        job.books.AttachDispatch(Required(job.app.GetWorkbooks()));
        job.book.AttachDispatch(Required(job.books.Add(covOptional)));
        job.sheet.AttachDispatch(Required(job.book.GetActiveSheet()));
        WriteReportCells(job.sheet, rows, language, info);
        book = *WorkbookOf(job.book.m_lpDispatch);
        job.book.Close(Variant(qint32(0)), covOptional, covOptional);
        job.app.Quit();
        return true;
    }
    catch (...)
    {
        return false;
    }
}
