// Whether a serial device can be opened by this user, and if not, why: the
// device is missing, or it belongs to a group the user is not in.
#pragma once

#include <QString>

enum PortAccessResult
{
    PORT_ACCESS_OK = 0,
    PORT_ACCESS_MISSING, // no such device (or file)
    PORT_ACCESS_DENIED,  // exists, but this user may not read and write it
};

struct PortAccess
{
    PortAccessResult nResult = PORT_ACCESS_OK;
    QString strDevice; // the path that is opened
    QString strGroup;  // group of the device node (denied only; empty when unknown)
};

// The device opened for a port name: a name with a '/' is a path (made
// absolute), COMn and bare names go through DevicePathForPortName.
QString DeviceForPortArgument(const QString& strPort);

// Checks the device behind strPort without opening it.
PortAccess CheckPortAccess(const QString& strPort);

// The message for a refused device: names the device, the group that grants
// access and how to join it.
QString PortAccessMessage(const PortAccess& access);
