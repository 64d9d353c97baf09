// Saving the record list and the user information as a report, and opening
// a report again: the Save and Open handlers of the main dialog over the
// report jobs.
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QCursor>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>

namespace {
// The exception boxes of a job: no owner window, no icon, own caption.
void ShowExceptionBox(const QString& strCaption, const QString& strText)
{
    ShowMessageBox(nullptr, strText, MessageIcon::None, strCaption);
}

// The wait cursor of a report job.
void ShowBusyCursor(bool bBusy)
{
    if (bBusy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}
} // namespace

// bPaintNow: painted before this returns, for a job that keeps the event
// loop busy until it is done.
void MeterClientDlg::ShowStatus(const QString& strText, bool bPaintNow)
{
    QWidget* pStatus = GetDlgItem(IDC_STATIC_STATUS);
    SetDlgItemText(IDC_STATIC_STATUS, strText);
    // The line sits over the record list: without its own background the
    // rows behind it would show through the text.
    pStatus->setAutoFillBackground(true);
    pStatus->show();
    pStatus->raise();
    if (bPaintNow)
        pStatus->repaint();
}

void MeterClientDlg::HideStatus()
{
    GetDlgItem(IDC_STATIC_STATUS)->hide();
}

void MeterClientDlg::OnBtnSave()
{
    // A sheet ends at row 65,536: a longer list would lose its last rows.
    // Asked again once a name is chosen: a download goes on while the file
    // dialog is open.
    auto refuseLongList = [this]() {
        const int nItems = m_listRecords->GetItemCount();
        if (nItems <= REPORT_MAX_RECORDS)
            return false;
        ShowStop(Text(TXT_REPORT_TOO_MANY_ROWS).arg(nItems));
        return true;
    };
    if (refuseLongList())
        return;

    // Proposed name: date with zeros, hour and minute padded with spaces
    // ("20120303 9 5.xls" at 09:05 on 3 March 2012).
    const QDateTime now = QDateTime::currentDateTime();
    const QString strProposed = QString::asprintf("%4d%02d%02d%2d%2d.xls", now.date().year(), now.date().month(),
                                                  now.date().day(), now.time().hour(), now.time().minute());
    const QString strPath = m_pFileChooser->AskSavePath(this, strProposed);
    if (strPath.isEmpty())
        return;
    if (QFileInfo(strPath).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0)
    {
        ShowStop(Text(TXT_SAVE_NOT_XLS));
        return;
    }
    if (refuseLongList())
        return;

    ShowStatus(Text(TXT_SAVING), true);
    CollectListRows();
    QString strNote;
    const bool bSaved = WriteReport(strPath, &strNote);
    ClearRowTexts();
    // Hidden after a failure too: the message box says what happened.
    HideStatus();
    if (bSaved)
    {
        m_bRowsUnsaved = false;
        ShowMessageBox(this, Text(TXT_SAVE_DONE), MessageIcon::Information, QString(), strNote);
    }
    else
    {
        ShowStop(Text(TXT_SAVE_ERROR), strNote);
    }
}

void MeterClientDlg::CollectListRows()
{
    const int nItems = m_listRecords->GetItemCount();
    m_rowTexts.reserve(m_rowTexts.size() + nItems);
    for (int nItem = 0; nItem < nItems; ++nItem)
        m_rowTexts.append(m_listRecords->GetRecord(nItem));
}

// *pNote: the reason of a failure, or what the operator should know of a
// save that went through, in plain words.
bool MeterClientDlg::WriteReport(QString strPath, QString* pNote)
{
    ReportHooks hooks;
    hooks.fetchUserInfo = [this]() {
        UpdateData(true);
        ReportUserInfo info;
        info.strCompany = m_strCompany;
        info.strMeterType = m_strMeterType;
        info.strSerial = m_strSerial;
        info.strOperator = m_strOperator;
        info.strNotes = m_strNotes;
        return info;
    };
    hooks.reportException = &ShowExceptionBox;
    hooks.reportNoExcel = [this]() { ShowStop(Text(TXT_NO_EXCEL)); };
    hooks.setBusy = &ShowBusyCursor;
    const auto note = [this, pNote](const ReportNote& reported) {
        *pNote += (pNote->isEmpty() ? QString() : QStringLiteral("\n")) + reported.Text(m_nLanguage);
    };
    hooks.reportFailure = note;
    hooks.reportNotice = note;
    return WriteReportJob(strPath, m_rowTexts, m_nLanguage, hooks);
}

void MeterClientDlg::OnBtnOpen()
{
    const QString strPath = m_pFileChooser->AskOpenPath(this);
    if (strPath.isEmpty())
    {
        HideStatus();
        return;
    }
    OpenReport(strPath);
}

// The list and the user information are replaced only by a report that was
// read: a file that cannot be opened leaves both as they were.
void MeterClientDlg::OpenReport(const QString& strPath)
{
    // No test of the extension: whatever the server can open is read.
    ShowStatus(Text(TXT_OPENING), true);
    ReportUserInfo info;
    QString strFailure;
    QString strNotice;
    const bool bRead = ReadReport(strPath, &info, &strFailure, &strNotice);
    HideStatus();
    if (!bRead)
    {
        ClearRowTexts();
        ShowStop(Text(TXT_OPEN_ERROR), strFailure);
        return;
    }
    m_listRecords->DeleteAllItems();
    m_listRecords->AppendRecords(m_rowTexts);
    ClearRowTexts();
    m_strCompany = info.strCompany;
    m_strMeterType = info.strMeterType;
    m_strSerial = info.strSerial;
    m_strOperator = info.strOperator;
    m_strNotes = info.strNotes;
    // Only the five texts: what the operator typed into the calibration and
    // clock fields stays.
    const std::pair<int, const QString*> texts[] = {{IDC_EDIT_COMPANY, &m_strCompany},
                                                    {IDC_EDIT_METER_TYPE, &m_strMeterType},
                                                    {IDC_EDIT_SERIAL, &m_strSerial},
                                                    {IDC_EDIT_OPERATOR, &m_strOperator},
                                                    {IDC_EDIT_NOTES, &m_strNotes}};
    for (const auto& text : texts)
        SetDlgItemText(text.first, *text.second);
    m_bRowsUnsaved = false;
    // A damaged file opens as far as it can be trusted, and says so.
    if (!strNotice.isEmpty())
        ShowMessageBox(this, strNotice, MessageIcon::Warning);
}

// Reads the report into m_rowTexts and *pInfo; nothing on screen changes.
// *pFailure: why it could not be read; *pNotice: what was wrong with a file
// that could.
bool MeterClientDlg::ReadReport(QString strPath, ReportUserInfo* pInfo, QString* pFailure, QString* pNotice)
{
    bool bInfoRead = false;
    ReportHooks hooks;
    hooks.showUserInfo = [pInfo, &bInfoRead](const ReportUserInfo& info) {
        *pInfo = info;
        bInfoRead = true;
    };
    // Room for all rows at once: growing by steps would hold the rows twice
    // for a moment, beside the list's own.
    hooks.expectRows = [this](qsizetype nRows) { m_rowTexts.reserve(nRows); };
    hooks.appendRow = [this](MeasurementRecord&& row) { m_rowTexts.append(std::move(row)); };
    hooks.reportException = &ShowExceptionBox;
    hooks.setBusy = &ShowBusyCursor;
    const auto append = [this](QString* pText) {
        return [this, pText](const ReportNote& note) {
            *pText += (pText->isEmpty() ? QString() : QStringLiteral("\n")) + note.Text(m_nLanguage);
        };
    };
    hooks.reportFailure = append(pFailure);
    hooks.reportNotice = append(pNotice);
    return ReadReportJob(strPath, hooks) && bInfoRead;
}

void MeterClientDlg::ClearRowTexts()
{
    m_rowTexts.clear();
    m_rowTexts.squeeze();
}
