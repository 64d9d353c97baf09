// The names of the serial ports offered in the port list: those the system
// reports, plus names added on the command line (meterclient --port PATH,
// --demo), and the device path that belongs to each name.
#pragma once

#include <QString>
#include <QStringList>

// The port list holds at most this many names.
constexpr int MAX_PORT_NAMES = 20;

// Extra names first (in the order they were added), then the system's
// ports as the system names them (ttyUSB0, ttyS0 on Linux; COM3 on
// Windows); no name twice, at most MAX_PORT_NAMES.
QStringList EnumeratePortNames();

// Process-wide list of extra names; safe to call from any thread.
void AddExtraPortName(const QString& strName);
QStringList ExtraPortNames();
void ClearExtraPortNames();

// The device to open for a port name. On Linux and macOS COMn (n >= 1) is
// /dev/ttyS(n-1), a name that is already a path is kept, and any other
// name is looked up under /dev. On Windows the name is used as it is.
QString DevicePathForPortName(const QString& strName);
