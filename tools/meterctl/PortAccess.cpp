// Checking a serial device before it is opened, so that a refusal can say
// which group grants access instead of only "cannot open".
#include "tools/meterctl/PortAccess.h"

#include "link/PortNames.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString DeviceForPortArgument(const QString& strPort)
{
    if (strPort.contains(QLatin1Char('/')))
        return QFileInfo(strPort).absoluteFilePath();
    return DevicePathForPortName(strPort);
}

PortAccess CheckPortAccess(const QString& strPort)
{
    PortAccess access;
    access.strDevice = DeviceForPortArgument(strPort);
#if defined(Q_OS_UNIX)
    const QByteArray path = QFile::encodeName(access.strDevice);
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0)
    {
        // A folder on the way that this user may not enter hides the device.
        access.nResult = errno == EACCES ? PORT_ACCESS_DENIED : PORT_ACCESS_MISSING;
        return access;
    }
    // access() answers for the real user, which is who runs the tool; root
    // passes whatever the mode says.
    if (::access(path.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
    {
        access.nResult = PORT_ACCESS_DENIED;
        if (const struct group* pGroup = ::getgrgid(st.st_gid))
            access.strGroup = QString::fromLocal8Bit(pGroup->gr_name);
    }
#else
    if (!QFileInfo::exists(access.strDevice) && !access.strDevice.startsWith(QLatin1String("COM")))
        access.nResult = PORT_ACCESS_MISSING;
#endif
    return access;
}

QString PortAccessMessage(const PortAccess& access)
{
    switch (access.nResult)
    {
    case PORT_ACCESS_OK:
        return QString();
    case PORT_ACCESS_MISSING:
        return QStringLiteral("No serial port %1. `meterctl ports` lists the ports found.").arg(access.strDevice);
    case PORT_ACCESS_DENIED:
        break;
    }
    // Serial devices belong to a group (dialout on Debian and Ubuntu,
    // uucp on Arch and Fedora); its members may open them.
    if (access.strGroup.isEmpty() || access.strGroup == QLatin1String("root"))
        return QStringLiteral("Permission denied on %1: this user may not read and write it. Ask the "
                              "administrator to give the serial devices to a group such as dialout and to add "
                              "you to it.")
            .arg(access.strDevice);
    return QStringLiteral("Permission denied on %1: the device belongs to the group '%2', which this user is "
                          "not in. Join it with\n    sudo usermod -aG %2 $USER\nthen log out and in again.")
        .arg(access.strDevice, access.strGroup);
}
