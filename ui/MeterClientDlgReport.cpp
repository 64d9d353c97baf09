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
#include <QGuiApplication>
#include <QFileInfo>

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

    GetDlgItem(IDC_STATIC_STATUS)->show();
    SetDlgItemText(IDC_STATIC_STATUS, Text(TXT_SAVING));
    CollectListRows();
    const bool bSaved = WriteReport(strPath);
    ClearRowTexts();
    if (bSaved)
    {
        GetDlgItem(IDC_STATIC_STATUS)->hide();
        ShowInfo(Text(TXT_SAVE_DONE));
    }
    else
    {
        ShowStop(Text(TXT_SAVE_ERROR));
    }
}

void MeterClientDlg::CollectListRows()
{
    const int nItems = m_listRecords->GetItemCount();
    m_rowTexts.reserve(m_rowTexts.size() + nItems);
    for (int nItem = 0; nItem < nItems; ++nItem)
    {
        MeasurementRecord row;
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            row.texts[size_t(nCol)] = m_listRecords->GetItemText(nItem, nCol);
        m_rowTexts.append(row);
    }
}

bool MeterClientDlg::WriteReport(QString strPath)
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
    return WriteReportJob(strPath, m_rowTexts, m_nLanguage, hooks);
}

void MeterClientDlg::OnBtnOpen()
{
    const QString strPath = m_pFileChooser->AskOpenPath(this);
    if (strPath.isEmpty())
    {
        GetDlgItem(IDC_STATIC_STATUS)->hide();
        return;
    }
    // No test of the extension: whatever the server can open is read.
    GetDlgItem(IDC_STATIC_STATUS)->show();
    SetDlgItemText(IDC_STATIC_STATUS, Text(TXT_OPENING));
    if (m_listRecords->GetItemCount() > 0)
        m_listRecords->DeleteAllItems();

    if (ReadReport(strPath))
    {
        int nItem = 0;
        for (const MeasurementRecord& row : std::as_const(m_rowTexts))
        {
            m_listRecords->InsertItem(nItem, QString());
            for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
                m_listRecords->SetItemText(nItem, nCol, row.texts[size_t(nCol)]);
            ++nItem;
        }
        GetDlgItem(IDC_STATIC_STATUS)->hide();
        ClearRowTexts();
    }
    else
    {
        ClearRowTexts();
        ShowStop(Text(TXT_OPEN_ERROR));
    }
}

bool MeterClientDlg::ReadReport(QString strPath)
{
    ReportHooks hooks;
    hooks.showUserInfo = [this](const ReportUserInfo& info) {
        m_strCompany = info.strCompany;
        m_strMeterType = info.strMeterType;
        m_strSerial = info.strSerial;
        m_strOperator = info.strOperator;
        m_strNotes = info.strNotes;
        UpdateData(false);
    };
    hooks.appendRow = [this](const MeasurementRecord& row) { m_rowTexts.append(row); };
    hooks.reportException = &ShowExceptionBox;
    hooks.setBusy = &ShowBusyCursor;
    return ReadReportJob(strPath, hooks);
}

void MeterClientDlg::ClearRowTexts()
{
    m_rowTexts.clear();
    m_rowTexts.squeeze();
}
