// The one place that shows message boxes: every box of the program goes
// through ShowMessageBox or AskYesNo.
#pragma once

#include <QString>

class QWidget;

enum class MessageIcon
{
    None,
    Stop,
    Information,
    Warning,
    Question,
};

// The application's name: the executable's base name (meterclient).
QString ApplicationName();

// Shows a modal box with an OK button. An empty caption means the
// application's name; strDetail, when given, is the box's informative text
// (the reason under the message). A box owned by pOwner is centred on it;
// without an owner it is an application box. The wait cursor of a job in
// progress gives way to the arrow while the box is open.
void ShowMessageBox(QWidget* pOwner, const QString& strText, MessageIcon icon, const QString& strCaption = QString(),
                    const QString& strDetail = QString());

// Asks a Yes/No question (No is the default button); true for Yes.
bool AskYesNo(QWidget* pOwner, const QString& strText);
