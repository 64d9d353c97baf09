// Checking a serial device before or after it is opened, so that a refusal
// can say which group grants access instead of only "cannot open".
#include "link/PortAccess.h"

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
    if (!S_ISCHR(st.st_mode))
    {
        access.nResult = PORT_ACCESS_NOT_A_PORT;
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

PortAccess ExplainOpenFailure(const QString& strPort, QSerialPort::SerialPortError error, const QString& strSystemText)
{
    PortAccess access = CheckPortAccess(strPort);
    if (access.nResult != PORT_ACCESS_OK)
        return access;
    // The device is there and this user may use it: another program holds
    // it (the driver says permission for an exclusive lock), or the system
    // has a reason of its own.
    if (error == QSerialPort::PermissionError)
        access.nResult = PORT_ACCESS_BUSY;
    else if (error == QSerialPort::DeviceNotFoundError)
        access.nResult = PORT_ACCESS_MISSING;
    else
    {
        access.nResult = PORT_ACCESS_OTHER;
        access.strSystemText = strSystemText;
    }
    return access;
}

QString PortAccessMessage(const PortAccess& access, Language language)
{
    switch (access.nResult)
    {
    case PORT_ACCESS_OK:
        return QString();
    case PORT_ACCESS_MISSING:
        return PickText({"没有串口 %1。请检查数据线是否插好。", "No serial port %1. Is the cable plugged in?"},
                        language)
            .arg(access.strDevice);
    case PORT_ACCESS_NOT_A_PORT:
        return PickText({"%1 不是串口设备。", "%1 is not a serial port."}, language).arg(access.strDevice);
    case PORT_ACCESS_BUSY:
        return PickText({"%1 正被其他程序使用。", "%1 is in use by another program."}, language).arg(access.strDevice);
    case PORT_ACCESS_OTHER:
        return PickText({"无法打开 %1：%2", "%1 cannot be opened: %2"}, language)
            .arg(access.strDevice, access.strSystemText);
    case PORT_ACCESS_DENIED:
        break;
    }
    // Serial devices belong to a group (dialout on Debian and Ubuntu,
    // uucp on Arch and Fedora); its members may open them.
    if (access.strGroup.isEmpty() || access.strGroup == QLatin1String("root"))
        return PickText({"没有权限使用 %1：当前用户不能读写该设备。请管理员把串口设备分配给一个用户组（如 "
                         "dialout），并把您加入该组。",
                         "Permission denied on %1: this user may not read and write it. Ask the "
                         "administrator to give the serial devices to a group such as dialout and to add "
                         "you to it."},
                        language)
            .arg(access.strDevice);
    return PickText({"没有权限使用 %1：该设备属于用户组“%2”，当前用户不在该组中。请运行\n    sudo usermod -aG %2 "
                     "$USER\n然后注销并重新登录。",
                     "Permission denied on %1: the device belongs to the group '%2', which this user is "
                     "not in. Join it with\n    sudo usermod -aG %2 $USER\nthen log out and in again."},
                    language)
        .arg(access.strDevice, access.strGroup);
}
