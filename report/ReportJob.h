// Saving and opening a report through the automation layer: one Excel job
// each (start the server, hide it, work on one workbook, close, quit,
// release), with the cell work of the report layout. Plain functions, so
// that the dialog and a command-line tool share them. No exception leaves
// them: a failure inside the job is shown through the hooks and gives false.
#pragma once

#include "records/MeasurementRecord.h"
#include "report/Variant.h"
#include "texts/Language.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

struct ReportUserInfo
{
    QString strCompany;
    QString strMeterType;
    QString strSerial;
    QString strOperator;
    QString strNotes;

    bool operator==(const ReportUserInfo& o) const
    {
        return strCompany == o.strCompany && strMeterType == o.strMeterType && strSerial == o.strSerial &&
               strOperator == o.strOperator && strNotes == o.strNotes;
    }
};

// A note for the operator in both languages, made from a BiText whose %1,
// %2 ... are filled in.
struct ReportNote
{
    QString strChinese;
    QString strEnglish;

    QString Text(Language language) const { return language == LANGUAGE_ENGLISH ? strEnglish : strChinese; }
    static ReportNote From(const BiText& text, const QStringList& args = QStringList());
    static ReportNote FromBoth(const QString& strChinese, const QString& strEnglish);
};

// What the job asks of its caller. Empty hooks are skipped.
struct ReportHooks
{
    // Save: run the data exchange from the controls, then give the five
    // user-information texts (called once Excel has started).
    std::function<ReportUserInfo()> fetchUserInfo;
    // Open: the five texts read from the file; show them.
    std::function<void(const ReportUserInfo&)> showUserInfo;
    // Open: one data row read from the file, in file order. The row is the
    // hook's to keep: take it with std::move rather than copy it (a hook
    // written for const MeasurementRecord& still works, with a copy).
    std::function<void(MeasurementRecord&&)> appendRow;
    // Open: the number of data rows to come, once, before the first of
    // them (room for them can be made at once).
    std::function<void(qsizetype nRows)> expectRows;
    // The exception box: caption and text (no owner window, no icon).
    std::function<void(const QString& strCaption, const QString& strText)> reportException;
    // Save: Excel could not be started (open says nothing of its own).
    std::function<void()> reportNoExcel;
    // The wait cursor: true at the start of the job, false at its end (and
    // before a message of the job's own is shown).
    std::function<void(bool bBusy)> setBusy;
    // A save or open that gives false: the reason in plain words ("the disk
    // is full", "it is not a regular file", too many records), called once
    // before the job returns, after the exception box (which stays as it is).
    std::function<void(const ReportNote&)> reportFailure;
    // A job that went through, but with something the operator should know:
    // the file opened was damaged and cells were left out, a text was cut to
    // the 32,767 characters a cell holds.
    std::function<void(const ReportNote&)> reportNotice;
};

// Writes the rows and the user information in the report layout (texts of
// language) and saves the workbook under strPath.
// False when Excel did not start, a failure was caught, or there are more
// rows than a sheet holds (REPORT_MAX_RECORDS; then nothing is started).
bool WriteReportJob(const QString& strPath, const QVector<MeasurementRecord>& rows, Language language,
                    const ReportHooks& hooks);
// The same with the rows handed over: the workbook shares their texts, and
// the rows' own memory is given back before the file is written, so that
// the rows and the file are not held at once.
bool WriteReportJob(const QString& strPath, QVector<MeasurementRecord>&& rows, Language language,
                    const ReportHooks& hooks);
// The workbook the Save job fills, made by the same automation calls on the
// built-in server but not saved: the one description of the report layout,
// for tests and benchmarks.
class Workbook;
bool BuildReportWorkbook(const QVector<MeasurementRecord>& rows, Language language, const ReportUserInfo& info,
                         Workbook& book);
// Reads the user information and the data rows of the report at strPath.
// False when Excel did not start, the used range has no row, or a failure
// was caught; rows handed over before a failure are to be dropped.
bool ReadReportJob(const QString& strPath, const ReportHooks& hooks);

// The texts of the exception boxes, cut to fit a 1024-byte buffer
// (UTF-8, the terminating zero included).
constexpr int EXCEPTION_TEXT_BUFFER = 1024;
QString OleExceptionText(SCode sc);
QString OleDispatchExceptionText(quint16 wCode, const QString& strDescription);
extern const char* const EXCEPTION_CAPTION_OLE;       // "COleException"
extern const char* const EXCEPTION_CAPTION_DISPATCH;  // "COleDispatchException"
extern const char* const EXCEPTION_CAPTION_CATCH_ALL; // "Catch-All"
extern const char* const EXCEPTION_TEXT_GENERAL;      // "General   Exception   caught."

// The text of a cell value read back: a string as it is, an empty cell as
// the empty text, a number or boolean as its usual text, anything else empty.
QString CellValueText(const Variant& value);
