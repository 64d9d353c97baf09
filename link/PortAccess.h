// Whether a serial device can be opened by this user, and if not, why: the
// device is missing, it belongs to a group the user is not in, or another
// program has it. The reasons are worded for people, in both languages.
#pragma once

#include "texts/Language.h"

#include <QSerialPort>
#include <QString>

enum PortAccessResult
{
    PORT_ACCESS_OK = 0,
    PORT_ACCESS_MISSING,    // no such device (or file)
    PORT_ACCESS_DENIED,     // exists, but this user may not read and write it
    PORT_ACCESS_BUSY,       // another program holds it
    PORT_ACCESS_NOT_A_PORT, // a file or folder, not a device
    PORT_ACCESS_OTHER,      // the system gave another reason (strSystemText)
};

struct PortAccess
{
    PortAccessResult nResult = PORT_ACCESS_OK;
    QString strDevice;     // the path that is opened
    QString strGroup;      // group of the device node (denied only; empty when unknown)
    QString strSystemText; // the driver's own words (other only)
};

// The device opened for a port name: a name with a '/' is a path (made
// absolute), COMn and bare names go through DevicePathForPortName.
QString DeviceForPortArgument(const QString& strPort);

// Checks the device behind strPort without opening it.
PortAccess CheckPortAccess(const QString& strPort);

// Why opening strPort failed: what the check finds, or else what the driver
// reported (a device that opens for this user but not now is busy).
PortAccess ExplainOpenFailure(const QString& strPort, QSerialPort::SerialPortError error, const QString& strSystemText);

// The reason for a refused device in words: names the device and, when
// permission is missing, the group that grants access and how to join it.
QString PortAccessMessage(const PortAccess& access, Language language = LANGUAGE_ENGLISH);
