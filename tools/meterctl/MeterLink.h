// The command-line tool's side of the meter link: one serial port, the frame
// assembly, and requests that wait for their reply and ask again after a
// time-out. Replies are awaited in a nested event loop, so the caller reads
// like a sequence of calls.
#pragma once

#include "link/FrameAssembler.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QEventLoop;

enum LinkResult
{
    LINK_OK = 0,
    LINK_NO_ANSWER, // no fitting reply after every attempt
    LINK_LOST,      // the line closed (device pulled, meter hung up)
};

class MeterLink : public QObject
{
public:
    // The line: 9600 baud, no parity, 8 data bits, 1 stop bit.
    static constexpr int LINE_BAUD = 9600;
    static constexpr int DEFAULT_TIMEOUT_MS = 1000;
    static constexpr int DEFAULT_RETRIES = 3;

    MeterLink();
    ~MeterLink() override;
    MeterLink(const MeterLink&) = delete;
    MeterLink& operator=(const MeterLink&) = delete;

    // Opens the device and starts the watch thread. False when it cannot be opened.
    bool Open(const QString& strDevice);
    bool IsOpen() const { return m_serial.IsOpen(); }

    // Time to wait for one reply, and how often a request is sent again
    // after a time-out (so 1 + nRetries attempts in all).
    void SetTimeout(int nTimeoutMs) { m_nTimeoutMs = nTimeoutMs; }
    void SetRetries(int nRetries) { m_nRetries = nRetries; }
    int GetTimeout() const { return m_nTimeoutMs; }
    int GetRetries() const { return m_nRetries; }

    // Decides whether a reply frame (whole, L+2 bytes) answers the request.
    using ReplyFilter = std::function<bool(const QByteArray& frame)>;
    // Sends the frame made by build() and waits for a valid reply with the
    // command byReply that is long enough to be read (and that filter takes,
    // when given). build() runs again for every attempt. The reply goes to
    // *pReply.
    LinkResult Request(const std::function<QByteArray()>& build, quint8 byReply, QByteArray* pReply,
                       const ReplyFilter& filter = ReplyFilter());
    LinkResult Request(const QByteArray& frame, quint8 byReply, QByteArray* pReply,
                       const ReplyFilter& filter = ReplyFilter());

    // Requests sent again after a time-out, since Open.
    int GetResendCount() const { return m_nResends; }
    // The driver's last failure text (why the line was lost); empty when none.
    QString GetLineError() const { return m_strLineError; }

protected:
    bool event(QEvent* pEvent) override;

private:
    void OnPortByte(quint8 byData);
    void OnPortFailure(const QString& strText);
    bool TakeReply(quint8 byReply, const ReplyFilter& filter, QByteArray* pReply);

    SerialPort m_serial;
    quint8 m_rxFrame[FRAME_BUFFER_SIZE];
    int m_nRxCount = 0;
    bool m_bInFrame = false;
    QList<QByteArray> m_frames; // valid frames not looked at yet
    QEventLoop* m_pLoop = nullptr;
    int m_nTimeoutMs = DEFAULT_TIMEOUT_MS;
    int m_nRetries = DEFAULT_RETRIES;
    int m_nResends = 0;
    bool m_bLineLost = false;
    QString m_strLineError;
};
