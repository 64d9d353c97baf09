// Port names for the port list and the devices behind them.
#include "link/PortNames.h"

#include <QMutex>
#include <QSerialPortInfo>

namespace {
QMutex& ExtraLock()
{
    static QMutex lock;
    return lock;
}

QStringList& Extras()
{
    static QStringList names;
    return names;
}
} // namespace

QStringList EnumeratePortNames()
{
    QStringList names = ExtraPortNames();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
    {
        if (names.size() >= MAX_PORT_NAMES)
            break;
        if (!info.portName().isEmpty() && !names.contains(info.portName()))
            names.append(info.portName());
    }
    if (names.size() > MAX_PORT_NAMES)
        names.erase(names.begin() + MAX_PORT_NAMES, names.end());
    return names;
}

void AddExtraPortName(const QString& strName)
{
    QMutexLocker locker(&ExtraLock());
    if (!strName.isEmpty() && !Extras().contains(strName))
        Extras().append(strName);
}

QStringList ExtraPortNames()
{
    QMutexLocker locker(&ExtraLock());
    return Extras();
}

void ClearExtraPortNames()
{
    QMutexLocker locker(&ExtraLock());
    Extras().clear();
}

QString DevicePathForPortName(const QString& strName)
{
#ifdef Q_OS_WIN
    return strName;
#else
    if (strName.startsWith(QLatin1Char('/')))
        return strName;
    // COMn, the items of the template's fallback list, are the first UARTs:
    // COM1 is /dev/ttyS0.
    if (strName.size() > 3 && strName.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0)
    {
        bool bOk = false;
        const int nNumber = strName.mid(3).toInt(&bOk, 10);
        if (bOk && nNumber >= 1 && strName.at(3).isDigit())
            return QStringLiteral("/dev/ttyS%1").arg(nNumber - 1);
    }
    return QStringLiteral("/dev/") + strName;
#endif
}
