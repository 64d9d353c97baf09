// Serial port driver: owns one port and a watch thread that delivers every
// received byte to the owner as WM_PORT_BYTE and writes the owner's frames.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>

class SerialPort
{
public:
    SerialPort();
    virtual ~SerialPort();

    // Opens strPortName (COM3, ttyUSB0 or a device path) with the given line
    // settings. nPort is the port number reported with every notification.
    // False when the device cannot be opened; configuration failures are
    // reported through the failure reporter and still give true.
    bool Open(QObject* pNotifyWnd, const QString& strPortName, unsigned nPort, int nBaud, char cParity, int nDataBits,
              int nStopBits, quint32 dwEventMask, unsigned nWriteSlotSize);
    // Starts the watch thread; true when it runs.
    bool StartWatch();
    // Puts nCount bytes into the write slot (replacing a write not yet made)
    // and wakes the watch thread. Refused when nCount exceeds the slot.
    void Send(const quint8* pData, unsigned nCount);
    bool IsOpen() const;
    // Stops the watch thread and closes the port (the destructor does the same).
    void Close();

    // Decides on the watch thread, byte by byte, where a batch of received
    // bytes may end: 0 after a byte that completes what the owner waits for
    // (a frame), n > 0 when n more bytes of it are to come (the thread then
    // looks again when they should be there rather than at every byte), -1
    // when it cannot tell: bytes after the last boundary are handed over once
    // the line has been quiet for three character times. Without a boundary,
    // whatever a read brings is handed over at once. Set before StartWatch.
    using BatchBoundary = std::function<int(quint8 byData)>;
    void SetBatchBoundary(BatchBoundary boundary);

    // Why the last Open returned false (QSerialPort's error and its text).
    QSerialPort::SerialPortError GetOpenError(QString* pText = nullptr) const;

    // A system call of the driver that failed: the operation ("ReadFile()",
    // "SetCommState()", ...), the system's reason and the port number.
    struct Failure
    {
        QString strOperation;
        QString strSystemText;
        unsigned nPort = 0;
        // The caption and the text of its "Application Error" box, as the
        // driver words them.
        static QString Caption();
        QString BoxText() const;
    };
    // Shows this port's failures (without a reporter they go to the log).
    // Always called on the owner's thread.
    using FailureReporter = std::function<void(const Failure& failure)>;
    void SetFailureReporter(FailureReporter reporter);

private:
    struct Impl;
    Impl* m_pImpl;

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
};
