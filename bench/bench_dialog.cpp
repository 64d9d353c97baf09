// Peak memory of the whole program with the largest list: the real dialog,
// on the offscreen platform, opens a report of 65,530 varied records (its
// list then holds them all), saves the list as a new report and opens that
// again, each through its Open or Save button with the file dialogs
// answered by a FileChooser; the boxes that follow are closed as a person
// would. Prints the time of each step, the rows in the list and the peak
// resident memory (getrusage) after each step. The source report is written
// by a child process, so that its making is not counted.
//   bench_dialog [rows]
#include "BenchRecords.h"
#include "records/list/RecordListCtrl.h"
#include "report/ReportJob.h"
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"
#include "ui/MeterClientDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The file dialogs: each question takes the next path.
class QueueChooser : public FileChooser
{
public:
    QString AskSavePath(QWidget*, const QString&) override { return Next(); }
    QString AskOpenPath(QWidget*) override { return Next(); }
    QStringList m_paths;

private:
    QString Next() { return m_paths.isEmpty() ? QString() : m_paths.takeFirst(); }
};

// Writes the source report in a child process; false when it failed.
bool WriteSourceReport(const QString& strPath, int nRows)
{
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ReportHooks hooks;
        hooks.fetchUserInfo = [] {
            return ReportUserInfo{QStringLiteral("Company"), QStringLiteral("OPM-35"), QStringLiteral("0042"),
                                  QStringLiteral("Operator"), QStringLiteral("Notes")};
        };
        ::_exit(WriteReportJob(strPath, BenchRecords::Generate(nRows), LANGUAGE_ENGLISH, hooks) ? 0 : 1);
    }
    int nStatus = 0;
    return pid > 0 && ::waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int nRows = argc > 1 ? std::clamp(std::atoi(argv[1]), 0, 65530) : 65530;
    QTemporaryDir dir;
    // The dialog keeps SETUP.ini in the current folder: English.
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    QFile setup(dir.filePath(QStringLiteral("SETUP.ini")));
    if (!setup.open(QIODevice::WriteOnly) ||
        setup.write(QByteArray::fromHex("5BC5E4D6C3D0C5CFA25D0D0A") + "LanguageID=1\r\n") < 0)
        return 1;
    setup.close();
    const QString strSource = dir.filePath(QStringLiteral("source.xls"));
    const QString strSaved = dir.filePath(QStringLiteral("saved.xls"));
    if (!WriteSourceReport(strSource, nRows))
    {
        std::fprintf(stderr, "the source report could not be written\n");
        return 1;
    }

    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const long nStartKb = PeakRssKb();
    MeterClientDlg dlg;
    auto pChooser = std::make_unique<QueueChooser>();
    pChooser->m_paths = {strSource, strSaved, strSaved};
    dlg.SetFileChooser(std::move(pChooser));
    if (!dlg.Create())
        return 1;
    dlg.show();
    QApplication::processEvents();

    // Every box that opens is read and closed with its OK button.
    QStringList boxes;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxes]() {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox == nullptr || !pBox->isVisible())
            return;
        boxes << pBox->text();
        if (QAbstractButton* pButton = pBox->button(QMessageBox::Ok))
            pButton->click();
        else
            pBox->reject();
    });
    closer.start(5);

    auto* pList = static_cast<RecordListCtrl*>(dlg.GetDlgItem(IDC_LIST_RECORDS));
    const auto click = [&](int nId, const char* pszStep) {
        QElapsedTimer timer;
        timer.start();
        static_cast<QAbstractButton*>(dlg.GetDlgItem(nId))->click();
        QApplication::processEvents();
        std::printf("%-26s %7.1f ms, %6d rows in the list, peak RSS %6.1f MB\n", pszStep,
                    double(timer.nsecsElapsed()) / 1e6, pList->GetItemCount(), double(PeakRssKb()) / 1024.0);
    };
    std::printf("dialog shown, peak RSS %.1f MB (%.1f MB with the application)\n", double(PeakRssKb()) / 1024.0,
                double(nStartKb) / 1024.0);
    click(IDC_BTN_OPEN, "open the source report");
    click(IDC_BTN_SAVE, "save the list");
    click(IDC_BTN_OPEN, "open the saved report");
    closer.stop();
    const bool bOk = pList->GetItemCount() == nRows && QFile::exists(strSaved);
    std::printf("boxes: %s\n", qPrintable(boxes.join(QStringLiteral(" | "))));
    std::printf("peak RSS of the whole process: %.1f MB\n", double(PeakRssKb()) / 1024.0);
    if (!bOk)
        std::printf("FAILED: %d rows in the list\n", pList->GetItemCount());
    return bOk ? 0 : 1;
}
