// Saves and opens the largest report (65,530 records) through the report
// jobs, the way the dialog does, and prints milliseconds, the file size and
// the peak resident memory. Usage: bench_report [rows] [folder]
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/XlsFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
// CPU time of the process in ms: on a busy machine the wall clock also
// counts the time other programs had the processor.
qint64 CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int nRows = args.size() > 1 ? args[1].toInt() : REPORT_MAX_RECORDS;
    QTemporaryDir dir(args.size() > 2 ? args[2] + QStringLiteral("/bench-XXXXXX") : QString());
    const QString strPath = dir.filePath(QStringLiteral("bench.xls"));

    // Rows as the meter gives them: seven short texts each.
    QVector<MeasurementRecord> rows(nRows);
    for (int i = 0; i < nRows; ++i)
    {
        rows[i].texts = {QString::number(i + 1),
                       QStringLiteral("1550"),
                       QStringLiteral("OPM"),
                       QString::number(-10.0 - (i % 500) / 100.0, 'f', 2),
                       QStringLiteral("-3.00"),
                       QStringLiteral("2012-03-03 09:%1:%2")
                           .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(i % 60, 2, 10, QLatin1Char('0')),
                       QString()};
    }
    const long nBaseKb = PeakRssKb();

    ReportHooks hooks;
    QString strFailure;
    hooks.fetchUserInfo = []() {
        return ReportUserInfo{QStringLiteral("Company"), QStringLiteral("OPM-35"), QStringLiteral("0042"),
                              QStringLiteral("Operator"), QStringLiteral("Notes")};
    };
    hooks.reportException = [&](const QString&, const QString& strText) { strFailure = strText; };
    int nRead = 0;
    hooks.appendRow = [&](const MeasurementRecord&) { ++nRead; };

    QElapsedTimer timer;
    timer.start();
    qint64 nCpu = CpuMs();
    const bool bSaved = WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks);
    const qint64 nSaveMs = timer.elapsed();
    const qint64 nSaveCpuMs = CpuMs() - nCpu;
    timer.restart();
    nCpu = CpuMs();
    const bool bOpened = ReadReportJob(strPath, hooks);
    const qint64 nOpenMs = timer.elapsed();
    const qint64 nOpenCpuMs = CpuMs() - nCpu;

    std::printf("rows %d: save %s %lld ms (cpu %lld ms), open %s %lld ms (cpu %lld ms, %d rows read), file %lld "
                "bytes, peak RSS %ld KB (%ld KB before the jobs)\n",
                nRows, bSaved ? "ok" : "FAILED", static_cast<long long>(nSaveMs), static_cast<long long>(nSaveCpuMs),
                bOpened ? "ok" : "FAILED", static_cast<long long>(nOpenMs), static_cast<long long>(nOpenCpuMs), nRead,
                static_cast<long long>(QFileInfo(strPath).size()), PeakRssKb(), nBaseKb);
    // The file layer alone on the same workbook, for comparison: what the
    // automation calls add is the difference.
    Workbook book;
    nCpu = CpuMs();
    LoadWorkbookXls(strPath, book, nullptr);
    const qint64 nLoadCpuMs = CpuMs() - nCpu;
    nCpu = CpuMs();
    SaveWorkbookXls(book, strPath + QStringLiteral(".copy.xls"), nullptr);
    const qint64 nWriteCpuMs = CpuMs() - nCpu;
    std::printf("file layer alone: write cpu %lld ms, read cpu %lld ms\n", static_cast<long long>(nWriteCpuMs),
                static_cast<long long>(nLoadCpuMs));
    if (!strFailure.isEmpty())
        std::printf("failure: %s\n", qPrintable(strFailure));
    return bSaved && bOpened && nRead == nRows ? 0 : 1;
}
