// The dialog's side of the meter link: the port list, opening the port the
// operator picks, the requests of the buttons, and what the dialog shows for
// each thing the link (MeterLink) reports: the meter's replies, the rows of
// a download and its progress, a meter that stops answering, a lost line.
#include "link/InstrumentFrame.h"
#include "link/PortNames.h"
#include "records/RecordDecoder.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QLineEdit>
#include <QStringList>
#include <climits>
#include <cstring>

namespace {
// How long the dialog waits for each reply and how often it asks again.
constexpr int REPLY_TIMEOUT_MS = 1000;
constexpr int REPLY_RETRIES = 3;
// How often the download's progress is shown again.
constexpr int PROGRESS_INTERVAL_MS = 500;

// The names of the last enumeration in full. m_portNames keeps 29 bytes of
// each (its slots are 30 characters with the terminating zero), so a longer
// name, such as a deep device path given with --port, is listed and opened
// from here instead.
QStringList& LastPortNames()
{
    static QStringList names;
    return names;
}

// The port number of an entry: the text after its first three characters
// (the COM of COMn) read as a decimal integer the way atoi reads it: leading
// blanks, an optional sign, then digits up to the first other character; 0
// without digits. Clamped instead of overflowing.
int ParsePortNumber(const QString& strEntry)
{
    const QString strRest = strEntry.mid(3);
    int nPos = 0;
    while (nPos < strRest.size() && (strRest.at(nPos) == QLatin1Char(' ') || strRest.at(nPos) == QLatin1Char('\t')))
        ++nPos;
    bool bNegative = false;
    if (nPos < strRest.size() && (strRest.at(nPos) == QLatin1Char('-') || strRest.at(nPos) == QLatin1Char('+')))
    {
        bNegative = strRest.at(nPos) == QLatin1Char('-');
        ++nPos;
    }
    qint64 nValue = 0;
    for (; nPos < strRest.size(); ++nPos)
    {
        const QChar ch = strRest.at(nPos);
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            break;
        nValue = qMin<qint64>(nValue * 10 + (ch.unicode() - '0'), qint64(INT_MAX) + 1);
    }
    if (bNegative)
        nValue = -nValue;
    return static_cast<int>(qBound(qint64(INT_MIN), nValue, qint64(INT_MAX)));
}

// Boxes of the driver itself ("Application Error"), shown without an owner.
void ReportDriverFailure(const SerialPort::Failure& failure)
{
    ShowMessageBox(nullptr, failure.BoxText(), MessageIcon::Stop, SerialPort::Failure::Caption());
}
} // namespace

void MeterClientDlg::WireLink()
{
    LinkPolicy policy;
    policy.nReplyTimeoutMs = REPLY_TIMEOUT_MS;
    policy.nRetries = REPLY_RETRIES;
    policy.nPaceMs = DOWNLOAD_TIMER_PERIOD_MS;
    m_link.SetPolicy(policy);
    m_link.SetFailureReporter(ReportDriverFailure);
    connect(&m_link, &MeterLink::Connected, this, &MeterClientDlg::OnLinkConnected);
    connect(&m_link, &MeterLink::Disconnected, this, &MeterClientDlg::OnLinkDisconnected);
    connect(&m_link, &MeterLink::CalibrationDone, this, [this](quint8 byReply) {
        ShowPlain(Text(byReply == RSP_CAL_RL_DONE ? TXT_CAL_RL_DONE : TXT_CAL_OPM_DONE));
    });
    connect(&m_link, &MeterLink::WaveSet, this, [this] { ShowPlain(Text(TXT_WAVE_SET)); });
    connect(&m_link, &MeterLink::ClockSet, this, [this] { ShowPlain(Text(TXT_CLOCK_SET)); });
    connect(&m_link, &MeterLink::CountReceived, this, &MeterClientDlg::OnCountReceived);
    connect(&m_link, &MeterLink::RecordReceived, this, [this](const QByteArray& frame, int) { AddRecordRow(frame); });
    connect(&m_link, &MeterLink::DownloadFinished, this, &MeterClientDlg::OnDownloadFinished);
    connect(&m_link, &MeterLink::RequestFailed, this, &MeterClientDlg::OnRequestFailed);
    connect(&m_link, &MeterLink::LineLost, this, &MeterClientDlg::OnLineLost);
}

void MeterClientDlg::RefreshPortList()
{
    ReadPortNames();
    if (m_nPortCount == m_nLastPortCount)
        return; // none found: the template's COM1..COM5 stay
    m_nLastPortCount = m_nPortCount;
    const QString strTyped = m_comboPort->currentText();
    m_comboPort->ResetContent();
    const QStringList& names = LastPortNames();
    for (int i = 0; i < m_nPortCount && i < names.size(); ++i)
        m_comboPort->AddString(names.at(i));
    // Refilling chooses nothing, and leaves what the edit showed.
    m_comboPort->setEditText(strTyped);
}

void MeterClientDlg::ReadPortNames()
{
    QStringList names = EnumeratePortNames();
    if (names.size() > PORT_NAME_SLOTS)
        names.erase(names.begin() + PORT_NAME_SLOTS, names.end());
    LastPortNames() = names;
    std::memset(m_portNames, 0, sizeof m_portNames);
    m_nPortCount = 0;
    for (const QString& strName : names)
    {
        QByteArray name = strName.toUtf8();
        if (name.size() > PORT_NAME_LENGTH - 1)
        {
            // Cut on a character boundary, never inside a UTF-8 sequence.
            int nCut = PORT_NAME_LENGTH - 1;
            while (nCut > 0 && (static_cast<quint8>(name.at(nCut)) & 0xC0) == 0x80)
                --nCut;
            name.truncate(nCut);
        }
        std::memcpy(m_portNames[m_nPortCount], name.constData(), static_cast<size_t>(name.size()));
        ++m_nPortCount;
    }
}

void MeterClientDlg::OnSelchangeComboPort()
{
    const int nSel = m_comboPort->GetCurSel();
    if (nSel < 0)
        return;
    m_strPort = m_comboPort->GetLBText(nSel);
    m_nSelectedPort = ParsePortNumber(m_strPort);
    OpenPort(m_nSelectedPort);
}

// Every valid selection flips m_bPortToggle and the port is opened when it
// flips to true: the first selection opens, the second does nothing, the
// third opens the port then chosen (the old one is closed first).
void MeterClientDlg::OpenPort(int nPort)
{
    if (nPort < 0)
    {
        ShowApplicationBox(Text(TXT_SELECT_PORT));
        return;
    }
    m_bPortToggle = !m_bPortToggle;
    if (!m_bPortToggle)
        return;
    if (!m_link.Open(m_strPort, static_cast<unsigned>(nPort)))
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN), PortAccessMessage(m_link.GetOpenProblem(), m_nLanguage));
}

void MeterClientDlg::OnBtnConnect()
{
    if (m_link.IsConnected())
        SendDisconnect();
    else
        SendConnect();
}

void MeterClientDlg::SendConnect()
{
    if (!m_link.SendConnect())
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

void MeterClientDlg::SendDisconnect()
{
    if (!m_link.SendDisconnect())
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

// A value the data exchange refuses is not sent: the refusal box is all the
// operator sees.
void MeterClientDlg::SendCalibration(quint8 byCommand)
{
    if (!UpdateData(true))
        return;
    if (!m_link.SendCalibration(byCommand, m_fCalValue))
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

void MeterClientDlg::OnBtnCalRl()
{
    SendCalibration(CMD_CAL_RL);
}

void MeterClientDlg::OnBtnCalOpm()
{
    SendCalibration(CMD_CAL_OPM);
}

// The rows stay until the meter has said how many records it holds: a
// closed port or a meter that does not answer leaves the list as it was.
void MeterClientDlg::OnBtnRead()
{
    if (!m_link.StartDownload())
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

bool MeterClientDlg::CheckClockFields()
{
    struct Field
    {
        int nId;
        quint8 byValue;
        int nMin;
        int nMax;
        const BiText& text;
    };
    const Field fields[] = {
        {IDC_EDIT_YEAR, m_byYear, 0, 99, TXT_CLOCK_YEAR},       {IDC_EDIT_MONTH, m_byMonth, 1, 12, TXT_CLOCK_MONTH},
        {IDC_EDIT_DAY, m_byDay, 1, 31, TXT_CLOCK_DAY},          {IDC_EDIT_HOUR, m_byHour, 0, 23, TXT_CLOCK_HOUR},
        {IDC_EDIT_MINUTE, m_byMinute, 0, 59, TXT_CLOCK_MINUTE}, {IDC_EDIT_SECOND, m_bySecond, 0, 59, TXT_CLOCK_SECOND}};
    for (const Field& field : fields)
    {
        if (field.byValue >= field.nMin && field.byValue <= field.nMax)
            continue;
        ShowMessageBox(this, Text(field.text).arg(field.byValue), MessageIcon::Warning);
        if (auto* pEdit = qobject_cast<QLineEdit*>(GetDlgItem(field.nId)))
        {
            pEdit->setFocus();
            pEdit->selectAll();
        }
        return false;
    }
    return true;
}

// Nothing goes out unless every field converts and the date and time are
// on the calendar.
void MeterClientDlg::OnBtnSetTime()
{
    if (!UpdateData(true) || !CheckClockFields())
        return;
    if (m_link.SendSetClock(m_byYear, m_byMonth, m_byDay, m_byHour, m_byMinute, m_bySecond))
        UpdateData(false); // an entry such as 07 now shows as 7
    else
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

void MeterClientDlg::OnLinkConnected(bool bForDownload)
{
    // The connect that Read makes on its own goes on to the download
    // without a box in between.
    if (!bForDownload)
        ShowPlain(Text(TXT_CONNECTED));
    SetDlgItemText(IDC_BTN_CONNECT, Text(TXT_BTN_DISCONNECT));
    m_btnConnect->LoadIcons(IDI_CONNECTED, 0);
}

void MeterClientDlg::OnLinkDisconnected()
{
    ShowPlain(Text(TXT_DISCONNECTED));
    ShowLinkDownFace();
}

void MeterClientDlg::ShowLinkDownFace()
{
    SetDlgItemText(IDC_BTN_CONNECT, Text(TXT_BTN_CONNECT));
    m_btnConnect->LoadIcons(IDI_CONNECT, GREY_ICON);
    m_btnConnect->ShiftColor(HOVER_HOT_BACKGROUND, 30, true);
}

// The count is the moment the list is replaced.
void MeterClientDlg::OnCountReceived(int nTotal)
{
    m_listRecords->DeleteAllItems();
    m_bRowsUnsaved = false;
    if (nTotal == 0)
    {
        HideStatus();
        ShowPlain(Text(TXT_NO_RECORDS));
        return;
    }
    ShowDownloadProgress();
}

// One row from a record reply, placed by the index it carries.
void MeterClientDlg::AddRecordRow(const QByteArray& frame)
{
    const auto* pFrame = reinterpret_cast<const quint8*>(frame.constData());
    const int nIndex = DecodeRecordIndex(pFrame);
    const MeasurementRecord record = DecodeRecord(pFrame, m_link.Wavelengths());
    // Record index 0 names no row; it goes to the end rather than being lost.
    const int nPosition = nIndex > 0 ? nIndex - 1 : m_listRecords->GetItemCount();
    const int nItem = m_listRecords->InsertItem(nPosition, QString());
    if (nItem < 0)
        return;
    for (int nColumn : {COL_NUMBER, COL_MODE, COL_VALUE, COL_WAVELENGTH, COL_REFERENCE, COL_DATETIME})
        m_listRecords->SetItemText(nItem, nColumn, record.texts[static_cast<size_t>(nColumn)]);
    m_bRowsUnsaved = true;
    ShowDownloadProgress();
}

// At the count, then a few times a second: often enough to show life,
// seldom enough not to cost the machine.
void MeterClientDlg::ShowDownloadProgress()
{
    const int nReceived = m_link.GetRecordsReceived();
    if (nReceived > 0 && m_progressShown.isValid() && m_progressShown.elapsed() < PROGRESS_INTERVAL_MS)
        return;
    m_progressShown.start();
    ShowStatus(Text(TXT_DOWNLOAD_PROGRESS).arg(nReceived).arg(m_link.GetRecordTotal()));
}

void MeterClientDlg::OnDownloadFinished()
{
    HideStatus();
    ShowPlain(Text(TXT_READ_DONE));
}

// A request that got no answer. A download says how far it came; the rows
// that arrived stay in the list.
void MeterClientDlg::OnRequestFailed(quint8 byCommand, LinkFailure failure)
{
    HideStatus();
    const bool bRecords = byCommand == CMD_READ_RECORD;
    QString strText;
    switch (failure)
    {
    case LinkFailure::NoAnswer:
        strText = bRecords ? Text(TXT_DOWNLOAD_NO_ANSWER) : Text(TXT_NO_ANSWER);
        break;
    case LinkFailure::LineLost:
        // The driver has said why; a download says what it got.
        if (!bRecords)
            return;
        strText = Text(TXT_DOWNLOAD_LINE_LOST);
        break;
    case LinkFailure::Interrupted:
        if (!bRecords)
            return;
        strText = Text(TXT_DOWNLOAD_INTERRUPTED);
        break;
    }
    if (bRecords)
        strText = strText.arg(m_link.GetRecordsReceived()).arg(m_link.GetRecordTotal());
    ShowStop(strText);
}

// The line is gone: the port is closed and the link is down, so that the
// next pick of the port opens it again and Connect connects.
void MeterClientDlg::OnLineLost()
{
    HideStatus();
    m_bPortToggle = false;
    ShowLinkDownFace();
}
