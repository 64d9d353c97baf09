// Workbook engine benchmark: the largest report a sheet holds (65,530
// varied records below the user information and the header row), built by
// the report job's own layout calls, saved with SaveWorkbookXls and opened
// with LoadWorkbookXls. Prints the best and median times of the runs, the
// file size, and the peak resident memory of each phase on its own: every
// phase runs in a child process of its own, so one phase's peak does not
// hide another's.
//   bench_engine [rows] [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "BenchRecords.h"
#include "report/ReportJob.h"
#include "report/XlsFile.h"

namespace {

long PeakRssKb()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Workbook Build(const QVector<MeasurementRecord>& rows)
{
    Workbook book;
    const ReportUserInfo info{QStringLiteral("光纤测试有限公司"), QStringLiteral("OPM-35"), QStringLiteral("SN0042"),
                              QStringLiteral("张三"), QStringLiteral("north line")};
    if (!BuildReportWorkbook(rows, LANGUAGE_CHINESE, info, book))
        std::exit(1);
    return book;
}

// Runs phase() in a child process; its peak RSS in KB, or -1.
template <typename Fn> long InChild(Fn&& phase)
{
    std::fflush(stdout);
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::close(fds[0]);
        const bool bOk = phase();
        const long nPeak = bOk ? PeakRssKb() : -1;
        (void)!::write(fds[1], &nPeak, sizeof nPeak);
        ::_exit(bOk ? 0 : 1);
    }
    ::close(fds[1]);
    long nPeak = -1;
    if (::read(fds[0], &nPeak, sizeof nPeak) != sizeof nPeak)
        nPeak = -1;
    ::close(fds[0]);
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    return nPeak;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int nRows = argc > 1 ? std::clamp(atoi(argv[1]), 0, 65530) : 65530;
    const int nRuns = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("bench.xls"));

    // The memory of each phase first, each in a child of a process that has
    // done nothing yet: a child of the timing runs would start with their
    // leftovers (freed blocks the heap keeps) and count them as its own.
    // The load reads the file the save's child wrote.
    const long nBase = InChild([] { return true; });
    // The rows are made in each child too, and count in its peak.
    const long nBuilt = InChild([nRows] { return Build(BenchRecords::Generate(nRows)).ActiveSheet().CellCount() > 0; });
    const long nSaved =
        InChild([&] { return SaveWorkbookXls(Build(BenchRecords::Generate(nRows)), strPath, nullptr); });
    const long nLoaded = InChild([&] {
        Workbook book;
        return LoadWorkbookXls(strPath, book, nullptr);
    });

    // The build is timed from rows already made, as a save starts from the
    // list's rows.
    const QVector<MeasurementRecord> rows = BenchRecords::Generate(nRows);
    std::vector<double> buildMs, saveMs, loadMs;
    for (int nRun = 0; nRun < nRuns; ++nRun)
    {
        QElapsedTimer timer;
        timer.start();
        const Workbook book = Build(rows);
        buildMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        QString strError;
        if (!SaveWorkbookXls(book, strPath, &strError))
        {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(strError));
            return 1;
        }
        saveMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        Workbook back;
        timer.restart();
        if (!LoadWorkbookXls(strPath, back, &strError) || back.ActiveSheet().CellCount() < nRows * 7)
        {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(strError));
            return 1;
        }
        loadMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("rows            %d x 7 texts (+ user information and header)\n", nRows);
    std::printf("file size       %lld bytes\n", static_cast<long long>(QFileInfo(strPath).size()));
    std::printf("build           best %.1f ms, median %.1f ms (%d runs)\n", best(buildMs), Median(buildMs), nRuns);
    std::printf("save            best %.1f ms, median %.1f ms\n", best(saveMs), Median(saveMs));
    std::printf("load            best %.1f ms, median %.1f ms\n", best(loadMs), Median(loadMs));
    std::printf("peak RSS        %.1f MB start, %.1f MB build, %.1f MB build + save, %.1f MB load\n",
                double(nBase) / 1024.0, double(nBuilt) / 1024.0, double(nSaved) / 1024.0, double(nLoaded) / 1024.0);
    return nBuilt > 0 && nSaved > 0 && nLoaded > 0 ? 0 : 1;
}
