// The Save As and Open file dialogs, behind an interface so that tests can
// give the paths.
#pragma once

#include <QString>

class QWidget;

class FileChooser
{
public:
    virtual ~FileChooser() = default;
    // The chosen path, or an empty string when the operator cancels.
    virtual QString AskSavePath(QWidget* pOwner, const QString& strProposedName) = 0;
    virtual QString AskOpenPath(QWidget* pOwner) = 0;
};

// The real file dialogs.
class QtFileChooser : public FileChooser
{
public:
    QString AskSavePath(QWidget* pOwner, const QString& strProposedName) override;
    QString AskOpenPath(QWidget* pOwner) override;
};
