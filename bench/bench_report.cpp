// Saves and opens the largest report (65,530 varied records) through the
// report jobs, the way the dialog does (WriteReportJob, ReadReportJob over
// the built-in spreadsheet server), several runs, and prints the median and
// the best wall and CPU time of each, the file size and the peak resident
// memory. Usage: bench_report [rows] [runs] [folder]
#include "BenchRecords.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {
// CPU time of the process in ms: on a busy machine the wall clock also
// counts the time other programs had the processor.
double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Times
{
    std::vector<double> wall, cpu;
    void Print(const char* pszName) const
    {
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::printf("%-6s wall median %6.1f ms, best %6.1f ms; cpu median %6.1f ms, best %6.1f ms (%zu runs)\n",
                    pszName, median(wall), *std::min_element(wall.begin(), wall.end()), median(cpu),
                    *std::min_element(cpu.begin(), cpu.end()), wall.size());
    }
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int nRows = args.size() > 1 ? args[1].toInt() : REPORT_MAX_RECORDS;
    const int nRuns = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;
    QTemporaryDir dir(args.size() > 3 ? args[3] + QStringLiteral("/bench-XXXXXX") : QString());
    const QString strPath = dir.filePath(QStringLiteral("bench.xls"));
    const QVector<MeasurementRecord> rows = BenchRecords::Generate(nRows);
    const long nBaseKb = PeakRssKb();

    ReportHooks hooks;
    QString strFailure;
    hooks.fetchUserInfo = []() {
        return ReportUserInfo{QStringLiteral("Company"), QStringLiteral("OPM-35"), QStringLiteral("0042"),
                              QStringLiteral("Operator"), QStringLiteral("Notes")};
    };
    hooks.reportFailure = [&](const ReportNote& note) { strFailure = note.strEnglish; };
    int nRead = 0;
    hooks.appendRow = [&](const MeasurementRecord&) { ++nRead; };

    Times save, open;
    bool bOk = true;
    for (int nRun = 0; nRun < nRuns && bOk; ++nRun)
    {
        QElapsedTimer timer;
        timer.start();
        double dCpu = CpuMs();
        bOk = WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks);
        save.wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        save.cpu.push_back(CpuMs() - dCpu);
        nRead = 0;
        timer.restart();
        dCpu = CpuMs();
        bOk = bOk && ReadReportJob(strPath, hooks) && nRead == nRows;
        open.wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        open.cpu.push_back(CpuMs() - dCpu);
    }
    std::printf("rows %d, file %lld bytes\n", nRows, static_cast<long long>(QFileInfo(strPath).size()));
    save.Print("save");
    open.Print("open");
    std::printf("peak RSS %.1f MB (%.1f MB with the rows, before the jobs)\n", double(PeakRssKb()) / 1024.0,
                double(nBaseKb) / 1024.0);
    if (!bOk)
        std::printf("FAILED %s\n", qPrintable(strFailure));
    return bOk ? 0 : 1;
}
