// Message boxes with the application's name as caption.
#include "ui/MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMessageBox>

namespace {
// While a box is open the arrow shows, whatever cursor a job has set.
class ArrowWhileOpen
{
public:
    ArrowWhileOpen() : m_bSet(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_bSet)
            QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowWhileOpen()
    {
        if (m_bSet)
            QGuiApplication::restoreOverrideCursor();
    }
    ArrowWhileOpen(const ArrowWhileOpen&) = delete;
    ArrowWhileOpen& operator=(const ArrowWhileOpen&) = delete;

private:
    bool m_bSet;
};

QMessageBox::Icon QtIcon(MessageIcon icon)
{
    switch (icon)
    {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QString ApplicationName()
{
    const QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        return QFileInfo(args.first()).baseName();
    return QCoreApplication::applicationName();
}

void ShowMessageBox(QWidget* pOwner, const QString& strText, MessageIcon icon, const QString& strCaption,
                    const QString& strDetail)
{
    const QString strTitle = strCaption.isEmpty() ? ApplicationName() : strCaption;
    QMessageBox box(QtIcon(icon), strTitle, strText, QMessageBox::Ok, pOwner);
    box.setTextFormat(Qt::PlainText);
    if (!strDetail.isEmpty())
        box.setInformativeText(strDetail);
    const ArrowWhileOpen arrow;
    box.exec();
}

bool AskYesNo(QWidget* pOwner, const QString& strText)
{
    QMessageBox box(QMessageBox::Question, ApplicationName(), strText, QMessageBox::Yes | QMessageBox::No, pOwner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    const ArrowWhileOpen arrow;
    return box.exec() == QMessageBox::Yes;
}
