// The real Save As and Open dialogs for reports. The folder of the last
// report saved or opened is remembered between runs in the user's settings
// (not in SETUP.ini, which keeps the language only).
#include "ui/FileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {
const char* const REPORT_FILTER = "Worksheet Files (*.xls)";
const char* const KEY_LAST_FOLDER = "Reports/LastFolder";

QSettings UserSettings()
{
    return QSettings(QStringLiteral("MeterClient"), QStringLiteral("meterclient"));
}

// The chosen file, or an empty string when the operator cancelled.
QString RunDialog(QFileDialog& dialog)
{
    dialog.setNameFilter(QLatin1String(REPORT_FILTER));
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    const QString strLast = UserSettings().value(QLatin1String(KEY_LAST_FOLDER)).toString();
    if (!strLast.isEmpty() && QFileInfo(strLast).isDir())
        dialog.setDirectory(strLast);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return QString();
    UserSettings().setValue(QLatin1String(KEY_LAST_FOLDER), QFileInfo(files.first()).absolutePath());
    return files.first();
}
} // namespace

QString QtFileChooser::AskSavePath(QWidget* pOwner, const QString& strProposedName)
{
    // Asks before an existing file is replaced (QFileDialog's default).
    QFileDialog dialog(pOwner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(strProposedName);
    return RunDialog(dialog);
}

QString QtFileChooser::AskOpenPath(QWidget* pOwner)
{
    QFileDialog dialog(pOwner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunDialog(dialog);
}
