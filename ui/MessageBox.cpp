// Message boxes with the application's name as caption.
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace
{
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}
} // namespace

QString ApplicationName()
{
    const QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        return QFileInfo(args.first()).baseName();
    return QCoreApplication::applicationName();
}

void ShowMessageBox(QWidget* pOwner, const QString& strText, MessageIcon icon, const QString& strCaption)
{
    MessageBoxCall call;
    call.strCaption = strCaption.isEmpty() ? ApplicationName() : strCaption;
    call.strText = strText;
    call.icon = icon;
    call.bOwned = pOwner != nullptr;
    if (Hook())
    {
        Hook()(call);
        return;
    }
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Stop          ? QMessageBox::Critical
                                     : icon == MessageIcon::Information ? QMessageBox::Information
                                     : icon == MessageIcon::Warning     ? QMessageBox::Warning
                                                                        : QMessageBox::NoIcon;
    QMessageBox box(qtIcon, call.strCaption, strText, QMessageBox::Ok, pOwner);
    box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}
