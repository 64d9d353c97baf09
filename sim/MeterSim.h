// The simulated meter: answers the client's requests over a pseudo-terminal
// like the real instrument, with optional 9600-baud pacing and injected faults.
#pragma once

#include "records/WavelengthTable.h"
#include "sim/SimRecordSet.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>

// Reply numbers k count every reply the meter makes, 1-based, in the order
// of the requests it answers (connect = 1, count = 2, record 1 = 3, ...).
// Each fault hits one reply only; 0 turns it off.
struct MeterSimOptions
{
    // Both directions at 9600 baud, 10 bits a byte (~1.04 ms): a request is
    // answered only once its last byte would have arrived, and the reply
    // leaves byte by byte at that speed.
    bool bPace = false;
    int nReplyDelayMs = 0;     // wait before each reply ...
    int nSlowReply = 0;        // ... or before reply k only
    bool bNoise = false;       // 1..4 stray bytes (never 0x33) before each reply
    double dNoiseRate = 0.0;   // each byte to the client is replaced by a random one with this chance
    quint32 nNoiseSeed = 1;    // the noise is the same for the same seed
    bool bSplit = false;       // every reply written one byte at a time ...
    int nSplitGapMs = 3;       // ... with this gap between the bytes
    int nBadChecksumReply = 0; // reply k goes out with a wrong checksum
    int nShortReply = 0;       // reply k loses the second half of its payload (L and checksum fit the cut)
    int nDropReply = 0;        // reply k is not sent at all
    int nWrongEndReply = 0;    // reply k ends in 0x00 instead of 0x08 (checksum right)
    int nBadTimeReply = 0;     // record reply k says month 13 (checksum right)
    // After the k-th RSP_RECORD reply the meter closes the line: at the next
    // request (not answered), or once the client has read that reply and 300 ms passed.
    int nHangupAfterRecords = 0;
};

class MeterSim
{
public:
    MeterSim();
    ~MeterSim(); // stops the meter
    MeterSim(const MeterSim&) = delete;
    MeterSim& operator=(const MeterSim&) = delete;

    // Set-up, before Start.
    void SetOptions(const MeterSimOptions& options);
    const MeterSimOptions& GetOptions() const;
    SimRecordSet& Records();
    void SetWavelengths(const WavelengthTable& wavelengths);
    // 850, 1300, 1310, 1490, 1550, 1625, then 14 more; entry 4 is 1550.
    static WavelengthTable DefaultWavelengths();

    // Opens the pseudo-terminal pair and starts answering. False (see
    // GetLastError) when no pseudo-terminal can be had or it already runs.
    bool Start();
    // Stops the thread and closes the line. Returns promptly even while a
    // reply is being paced out or the client never reads. Safe to call from
    // any thread, more than once.
    void Stop();
    bool IsRunning() const;
    // The client's side of the line, e.g. /dev/pts/7; empty before Start.
    QString GetDevicePath() const;
    QString GetLastError() const;

    // Any time: false makes the meter log requests without answering them.
    void SetAutoReply(bool bAutoReply);
    // Any time while running: bytes written to the client as they are, after
    // any reply already under way.
    void InjectBytes(const QByteArray& data);

    // Every valid request frame received, oldest first.
    QList<QByteArray> GetRequests() const;
    int GetRequestCount() const;
    int GetRequestCount(quint8 byCommand) const;
    // Waits until at least nCount requests have been received; false on time-out.
    bool WaitForRequests(int nCount, int nTimeoutMs) const;
    void ClearRequests();
    int GetRepliesSent() const;
    // The meter's own time in ms, summed over every reply sent: from the
    // arrival of the request to the reply's last byte (with pacing, the time
    // the line takes both ways): the floor of an exchange with it.
    double GetLineMilliseconds() const;

    // Payload bytes 3..6 of the last calibration request (empty before one)
    // and its command (CMD_CAL_RL or CMD_CAL_OPM, 0 before one).
    QByteArray GetLastCalibrationBytes() const;
    quint8 GetLastCalibrationCommand() const;
    float GetLastCalibrationValue() const;
    // Year, month, day, hour, minute, second of the last clock request (empty before one).
    QByteArray GetClockBytes() const;
    // True once the meter has closed the line (hang-up fault).
    bool IsHungUp() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// The meter behind `meterclient --demo`: 300 generated records, replies paced
// at 9600 baud. Already started; open GetDevicePath() as the serial port. The
// caller owns it (delete it to stop). Null when no pseudo-terminal is available.
MeterSim* StartDemoMeter();
