// The dialog's side of the meter link: the port list, opening the port the
// operator picks, every request the buttons and the download timer send, and
// what the dialog does with each reply the meter sends back.
#include "link/FrameAssembler.h"
#include "link/InstrumentFrame.h"
#include "link/PortMessages.h"
#include "link/PortNames.h"
#include "records/RecordDecoder.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QtEndian>
#include <QStringList>
#include <climits>
#include <cstring>

namespace {
// The line settings of the meter: 9600 baud, no parity, 8 data bits, 1 stop bit.
constexpr int LINE_BAUD = 9600;
constexpr char LINE_PARITY = 'N';
constexpr int LINE_DATA_BITS = 8;
constexpr int LINE_STOP_BITS = 1;
constexpr unsigned WRITE_SLOT_SIZE = 512;
// The record index travels in 16 bits: no request can ask beyond this one.
constexpr int LAST_REQUESTABLE_RECORD = 0xFFFF;
// m_nRecordTotal from the Read button until the count reply: no download runs.
constexpr int RECORD_TOTAL_PENDING = -1;

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
void ReportDriverFailure(const QString& strCaption, const QString& strText)
{
    ShowMessageBox(nullptr, strText, MessageIcon::Stop, strCaption);
}

// An application box: no owner window, the application's name as caption.
void ShowApplicationBox(const QString& strText)
{
    ShowMessageBox(nullptr, strText, MessageIcon::None);
}
} // namespace

void MeterClientDlg::RefreshPortList()
{
    SerialPort::SetFailureReporter(ReportDriverFailure);
    ReadPortNames();
    if (m_nPortCount == m_nLastPortCount)
        return; // none found: the template's COM1..COM5 stay
    m_nLastPortCount = m_nPortCount;
    m_comboPort->ResetContent();
    const QStringList& names = LastPortNames();
    for (int i = 0; i < m_nPortCount && i < names.size(); ++i)
        m_comboPort->AddString(names.at(i));
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
// third opens the port then chosen (the driver closes the old one first).
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
    if (m_serial.Open(this, m_strPort, static_cast<unsigned>(nPort), LINE_BAUD, LINE_PARITY, LINE_DATA_BITS,
                      LINE_STOP_BITS, EV_RXCHAR | EV_RXFLAG, WRITE_SLOT_SIZE))
        m_serial.StartWatch();
    else
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
}

void MeterClientDlg::OnBtnConnect()
{
    if (m_bConnected)
        SendDisconnect();
    else
        SendConnect();
}

void MeterClientDlg::SendConnect()
{
    SendFrame(InstrumentFrame::Build(CMD_CONNECT, QByteArray()));
}

void MeterClientDlg::SendDisconnect()
{
    SendFrame(InstrumentFrame::Build(CMD_DISCONNECT, QByteArray()));
}

bool MeterClientDlg::SendFrame(const QByteArray& frame)
{
    if (!m_serial.IsOpen())
    {
        ShowApplicationBox(Text(TXT_COM_CANT_OPEN));
        return false;
    }
    if (frame.isEmpty())
        return false;
    m_serial.Send(reinterpret_cast<const quint8*>(frame.constData()), static_cast<unsigned>(frame.size()));
    return true;
}

// The calibration goes out even when the edit does not convert (the data
// exchange says so in its own box); the previous value is sent then.
void MeterClientDlg::OnBtnCalRl()
{
    UpdateData(true);
    SendFrame(InstrumentFrame::BuildCalibration(CMD_CAL_RL, m_fCalValue));
}

void MeterClientDlg::OnBtnCalOpm()
{
    UpdateData(true);
    SendFrame(InstrumentFrame::BuildCalibration(CMD_CAL_OPM, m_fCalValue));
}

void MeterClientDlg::OnBtnRead()
{
    m_listRecords->DeleteAllItems();
    // A download still under way stops here. No record request may go out
    // before the count is back (it would take the write slot from the count
    // request), and a record reply still on its way belongs to the old
    // download: a total of -1 makes DispatchReply drop it instead of putting
    // it into the emptied list.
    StopDownloadTimer();
    m_bRequestDue = false;
    m_nRequestIndex = 0;
    m_nRecordTotal = RECORD_TOTAL_PENDING;
    SendFrame(InstrumentFrame::Build(CMD_READ_COUNT, QByteArray()));
}

void MeterClientDlg::OnBtnSetTime()
{
    UpdateData(true);
    if (SendFrame(InstrumentFrame::BuildSetClock(m_byYear, m_byMonth, m_byDay, m_byHour, m_byMinute, m_bySecond)))
        UpdateData(false); // an entry such as 07 now shows as 7
}

// The timer keeps running through a download; only m_bRequestDue, set by
// each record reply, lets a tick ask for the next record.
void MeterClientDlg::OnTimer(int nIDEvent)
{
    if (m_nTimerId == 0 || nIDEvent != m_nTimerId || !m_bRequestDue)
        return;
    if (m_nRequestIndex >= LAST_REQUESTABLE_RECORD)
        return; // the next index has no 16-bit form
    m_bRequestDue = false;
    ++m_nRequestIndex;
    SendFrame(InstrumentFrame::BuildReadRecord(static_cast<quint16>(m_nRequestIndex)));
}

long MeterClientDlg::OnPortByte(quint32 wParam, quint32 lParam)
{
    Q_UNUSED(lParam);
    PushFrameByte(static_cast<quint8>(wParam), m_rxFrame, m_nRxCount, m_bInFrame, [this]() { DispatchReply(); });
    return 0;
}

// Acts on the valid frame in m_rxFrame. A reply too short for the fields its
// handler reads is ignored: those bytes would be left over from an earlier,
// longer frame.
void MeterClientDlg::DispatchReply()
{
    const quint8 byCommand = m_rxFrame[FRAME_POS_COMMAND];
    if (m_rxFrame[FRAME_POS_LENGTH] < InstrumentFrame::MinimumLength(byCommand))
        return;
    switch (byCommand)
    {
    case RSP_CONNECTED: {
        // Positions 4..43: twenty wavelengths, big-endian; position 3 is not used.
        quint8 table[2 * WAVELENGTH_COUNT];
        std::memcpy(table, m_rxFrame + 4, sizeof table);
        m_bConnected = true;
        ShowPlain(Text(TXT_CONNECTED));
        SetDlgItemText(IDC_BTN_CONNECT, Text(TXT_BTN_DISCONNECT));
        m_btnConnect->LoadIcons(IDI_CONNECTED, 0);
        for (int i = 0; i < WAVELENGTH_COUNT; ++i)
            m_wavelengths[static_cast<size_t>(i)] = qFromBigEndian<quint16>(table + 2 * i);
        break;
    }
    case RSP_DISCONNECTED:
        m_bConnected = false;
        ShowPlain(Text(TXT_DISCONNECTED));
        SetDlgItemText(IDC_BTN_CONNECT, Text(TXT_BTN_CONNECT));
        m_btnConnect->LoadIcons(IDI_CONNECT, GREY_ICON);
        m_btnConnect->ShiftColor(HOVER_HOT_BACKGROUND, 30, true);
        break;
    case RSP_CAL_RL_DONE:
        ShowPlain(Text(TXT_CAL_RL_DONE));
        break;
    case RSP_CAL_OPM_DONE:
        ShowPlain(Text(TXT_CAL_OPM_DONE));
        break;
    case RSP_RECORD:
        if (m_nRecordTotal == RECORD_TOTAL_PENDING)
            break; // a late reply of a download given up by the Read button
        // The download ends on the reply to the request one beyond the count.
        if (m_nRequestIndex > m_nRecordTotal)
        {
            StopDownloadTimer();
            ShowPlain(Text(TXT_READ_DONE));
        }
        else
        {
            AddRecordRow();
            if (m_nRequestIndex >= LAST_REQUESTABLE_RECORD)
            {
                // A count of 65535: record 65536 cannot be asked for (its
                // index would go out as 0), so the last record ends it.
                m_bRequestDue = false;
                StopDownloadTimer();
                ShowPlain(Text(TXT_READ_DONE));
            }
            else
            {
                StartDownloadTimer();
                m_bRequestDue = true;
            }
        }
        break;
    case RSP_COUNT:
        m_nRecordTotal = qFromBigEndian<quint16>(m_rxFrame + 3);
        if (m_nRecordTotal == 0)
        {
            ShowPlain(Text(TXT_NO_RECORDS));
        }
        else
        {
            m_bRequestDue = true;
            m_nRequestIndex = 0;
            StartDownloadTimer();
        }
        break;
    case RSP_WAVE_SET:
        ShowPlain(Text(TXT_WAVE_SET));
        break;
    case RSP_CLOCK_SET:
        ShowPlain(Text(TXT_CLOCK_SET));
        break;
    default:
        break;
    }
}

// One row from the record reply in m_rxFrame, placed by the index it carries.
void MeterClientDlg::AddRecordRow()
{
    UpdateData(true);
    const int nIndex = DecodeRecordIndex(m_rxFrame);
    const MeasurementRecord record = DecodeRecord(m_rxFrame, m_wavelengths);
    // Record index 0 names no row; it goes to the end rather than being lost.
    const int nPosition = nIndex > 0 ? nIndex - 1 : m_listRecords->GetItemCount();
    const int nItem = m_listRecords->InsertItem(nPosition, QString());
    if (nItem < 0)
        return;
    for (int nColumn : {COL_NUMBER, COL_MODE, COL_VALUE, COL_WAVELENGTH, COL_REFERENCE, COL_DATETIME})
        m_listRecords->SetItemText(nItem, nColumn, record.texts[static_cast<size_t>(nColumn)]);
}

// Starting again kills the running timer first, so one timer ever runs.
void MeterClientDlg::StartDownloadTimer()
{
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
    m_nTimerId = startTimer(DOWNLOAD_TIMER_PERIOD_MS, Qt::PreciseTimer);
}

void MeterClientDlg::StopDownloadTimer()
{
    if (m_nTimerId != 0)
        killTimer(m_nTimerId);
    m_nTimerId = 0;
}
