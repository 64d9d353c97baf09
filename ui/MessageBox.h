// The one place that shows message boxes. Every box of the program goes
// through ShowMessageBox; tests install a hook to read what would be shown.
#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class MessageIcon
{
    None,
    Stop,
    Information,
    Warning,
};

struct MessageBoxCall
{
    QString strCaption;
    QString strText;
    MessageIcon icon = MessageIcon::None;
    bool bOwned = false;  // owned by a window (the dialog), or an application box
};

using MessageBoxHook = std::function<void(const MessageBoxCall&)>;

// The application's name: the executable's base name (meterclient).
QString ApplicationName();

// Shows a modal box with an OK button. An empty caption means the
// application's name.
void ShowMessageBox(QWidget* pOwner, const QString& strText, MessageIcon icon, const QString& strCaption = QString());

// Replaces the boxes by a call of hook (an empty hook restores the boxes).
void SetMessageBoxHook(MessageBoxHook hook);
