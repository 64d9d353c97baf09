// The real Save As and Open dialogs for reports.
#include "ui/FileChooser.h"

#include <QFileDialog>

namespace {
const char* const REPORT_FILTER = "Worksheet Files (*.xls)";

// The chosen file, or an empty string when the operator cancelled.
QString RunDialog(QFileDialog& dialog)
{
    dialog.setNameFilter(QLatin1String(REPORT_FILTER));
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
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
