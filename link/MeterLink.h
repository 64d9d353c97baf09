// The request/reply control of the meter link, one for both front ends (the
// dialog and meterctl): the port and its watch thread, the assembly of the
// bytes received into frames, one request outstanding at a time with a
// reply time-out and retries, the record download paced by a timer, and the
// replies acted on. It says what happened through signals; the front ends
// show or print it. Where they differ, LinkPolicy says how.
#pragma once

#include "link/FrameAssembler.h"
#include "link/PortAccess.h"
#include "link/SerialPort.h"
#include "records/WavelengthTable.h"

#include <QBasicTimer>
#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <functional>

// Every frame sent and received, in hex, after the port's name
// ("meter.link.debug=true" in QT_LOGGING_RULES, or meterctl --trace).
Q_DECLARE_LOGGING_CATEGORY(lcMeterLink)

struct LinkPolicy
{
    // How long one reply may take, and how often a request is sent again
    // when its reply does not come (1 + nRetries attempts in all).
    int nReplyTimeoutMs = 1000;
    int nRetries = 3;
    // The download's pace: after each record reply the next request goes
    // out on the next tick of a timer with this period (the dialog's 10 ms
    // ping-pong); 0 sends it at once.
    int nPaceMs = 0;
};

// Why a request ended without its reply.
enum class LinkFailure
{
    NoAnswer,    // silence (or only damaged replies) after every attempt
    LineLost,    // the line closed: cable pulled, adapter gone, meter hung up
    Interrupted, // a download given up for another request of the user's
};

// The download timer's id is whatever the platform gives; its period is the
// dialog's 10 ms.
constexpr int DOWNLOAD_TIMER_PERIOD_MS = 10;
// After damage on the line (bytes that make no frame, a checksum that does
// not match, an impossible reply), the records of this many exchanges are
// each read twice and taken only when both answers agree.
constexpr int LINK_NOISY_WINDOW = 16;

class MeterLink : public QObject
{
    Q_OBJECT
public:
    // The line: 9600 baud, no parity, 8 data bits, 1 stop bit.
    static constexpr int LINE_BAUD = 9600;

    explicit MeterLink(QObject* pParent = nullptr);
    ~MeterLink() override;
    MeterLink(const MeterLink&) = delete;
    MeterLink& operator=(const MeterLink&) = delete;

    void SetPolicy(const LinkPolicy& policy) { m_policy = policy; }
    const LinkPolicy& Policy() const { return m_policy; }
    // The serial driver's "Application Error" boxes.
    void SetFailureReporter(SerialPort::FailureReporter reporter);

    // Opens the port (the name as listed: ttyUSB0, COM3, a path) and starts
    // its watch thread; nPort is the number reported with every byte. A port
    // already open is closed first. False, with GetOpenProblem(), when the
    // device cannot be opened.
    bool Open(const QString& strPortName, unsigned nPort);
    void Close();
    bool IsOpen() const { return m_modelSend ? true : m_serial.IsOpen(); }
    PortAccess GetOpenProblem() const { return m_openProblem; }

    // Requests. Each returns false, sending nothing, when the port is not
    // open. A new request takes the place of one still waiting for its reply;
    // a download under way ends with RequestFailed(..., Interrupted).
    bool SendConnect();
    bool SendDisconnect();
    // byCommand is CMD_CAL_RL or CMD_CAL_OPM.
    bool SendCalibration(quint8 byCommand, float fValue);
    bool SendSetClock(quint8 byYear, quint8 byMonth, quint8 byDay, quint8 byHour, quint8 byMinute, quint8 bySecond);
    // Downloads every stored record: connects first when the meter has not
    // confirmed a connection (so that the wavelength table is known), then
    // asks for the count and for records 1 .. N + 1, one at a time.
    bool StartDownload();
    // Gives up a download under way; its late replies are dropped.
    void StopDownload();

    // The meter has confirmed CMD_CONNECT and not yet CMD_DISCONNECT.
    bool IsConnected() const { return m_bConnected; }
    // From the last connect reply; all 0 before one.
    const WavelengthTable& Wavelengths() const { return m_wavelengths; }
    bool IsDownloading() const { return m_download != Download::Idle; }
    // The count of the download under way or last made, and the records received of it.
    int GetRecordTotal() const { return m_nRecordTotal; }
    int GetRecordsReceived() const { return m_nRecordsReceived; }
    // Requests sent again (after a time-out or a damaged reply) since Open.
    int GetResendCount() const { return m_nResends; }
    // The system's reason for the failure that closed the line; empty when none.
    QString GetLineError() const { return m_strLineError; }

signals:
    // RSP_CONNECTED: the wavelength table is stored. bForDownload: the
    // connect that StartDownload made on its own.
    void Connected(bool bForDownload);
    void Disconnected();
    // RSP_CAL_RL_DONE or RSP_CAL_OPM_DONE.
    void CalibrationDone(quint8 byReply);
    void WaveSet();
    void ClockSet();
    // The download's count; 0 ends it (there is nothing to read).
    void CountReceived(int nTotal);
    // Record nIndex of the download (1..N, in order, each once): its whole
    // reply frame, at least RECORD_MIN_LENGTH + 2 bytes.
    void RecordReceived(const QByteArray& frame, int nIndex);
    // The reply to the request one beyond the count: every record is in.
    void DownloadFinished(int nTotal);
    // A request of ours ended without its reply. byCommand is the request
    // (CMD_*); during a download GetRecordsReceived() says how far it came.
    void RequestFailed(quint8 byCommand, LinkFailure failure);
    // The line closed; the port is closed and the link is down. strReason:
    // the system's words.
    void LineLost(const QString& strReason);

protected:
    bool event(QEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;

public:
    // Routes of the driver's notifications and of the timers; public so
    // that a model of the line can drive them.
    void OnPortByte(quint8 byData);
    void OnTimer(int nIDEvent);
    // A model of the line in place of the port (the fuzz target): requests
    // go to send, the line counts as open, bytes come in through
    // OnPortByte, and the model's clock fires the time-outs that run.
    void UseModelLine(std::function<void(const QByteArray&)> send);
    void FireTimeouts();

private:
    enum class Download
    {
        Idle,
        Connecting, // StartDownload's own connect
        Counting,   // CMD_READ_COUNT sent
        Reading,    // records 1 .. N + 1
    };

    bool Send(const QByteArray& frame);
    void InterruptDownload();
    // Sends frame as the request waiting for byReply.
    bool Request(const QByteArray& frame, quint8 byReply);
    void Resend(bool bCountsAsAttempt);
    void OnReplyTimeout();
    void OnFrame(const QByteArray& frame);
    // True when frame answers the request we wait for.
    bool Answers(const QByteArray& frame) const;
    // A reply whose bytes look damaged although the checksum matched.
    bool LooksDamaged(const QByteArray& frame) const;
    bool NeedsConfirmation(const QByteArray& frame) const;
    void Dispatch(const QByteArray& frame);
    void OnRecordReply(const QByteArray& frame);
    void RequestNextRecord();
    void StartDownloadTimer();
    void StopDownloadTimer();
    void EndDownload();
    void Fail(LinkFailure failure);
    void OnDriverFailure(const SerialPort::Failure& failure);

    LinkPolicy m_policy;
    SerialPort m_serial;
    SerialPort::FailureReporter m_reporter;
    std::function<void(const QByteArray&)> m_modelSend;
    QString m_strPortName; // in the trace
    PortAccess m_openProblem;
    QString m_strLineError;
    FrameAssembler m_assembler;

    // The request waiting for its reply.
    QByteArray m_request;
    quint8 m_byAwaited = 0; // the reply code; 0: nothing awaited
    int m_nAttempts = 0;    // sent so far, the first included
    int m_nGarbled = 0;     // damaged answers in a row (they do not use up attempts)
    bool m_bRechecked = false;
    int m_nNoisyLeft = 0;   // exchanges left in which records are confirmed
    QByteArray m_candidate; // the answer that waits for a second one like it
    int m_nConfirmations = 0;
    QBasicTimer m_replyTimer;
    QBasicTimer m_quietTimer; // after a damaged reply: the line has gone quiet

    // Link and download state.
    bool m_bConnected = false;
    WavelengthTable m_wavelengths = {};
    Download m_download = Download::Idle;
    int m_nRecordTotal = 0;
    int m_nRequestIndex = 0;
    int m_nRecordsReceived = 0;
    bool m_bRequestDue = false;
    int m_nTimerId = 0;
    int m_nResends = 0;
    int m_nSent = 0; // frames written since construction
};
