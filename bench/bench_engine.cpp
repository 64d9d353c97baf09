// Workbook engine benchmark: the largest report a sheet holds (65,530 data
// rows of seven texts below the user information and the header row),
// saved with SaveWorkbookXls and opened with LoadWorkbookXls. Prints the
// best and median times of five runs, the file size and the peak resident
// memory (getrusage) after building, saving and opening.
//   bench_engine [rows]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "report/XlsFile.h"

namespace {

long PeakRssKb()
{
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Each text is its own string, as texts arriving through the automation
// calls are: nothing is shared between cells.
QString Fresh(const QString& str)
{
    return QString(str.constData(), str.size());
}

Workbook MakeReport(int nRows)
{
    Workbook book;
    Worksheet& sheet = book.ActiveSheet();
    sheet.m_defaultFormat.bTextFormat = true;
    sheet.m_defaultFormat.nHorzAlign = 2;
    for (int nRow = 1; nRow <= 3; ++nRow)
        for (int nCol = 1; nCol <= 9; ++nCol)
        {
            Cell& cell = sheet.At(nRow, nCol);
            cell.format.bBold = true;
            cell.format.nFillColorIndex = 35;
            cell.strText = QStringLiteral("info");
            cell.bHasValue = true;
        }
    for (int nRow = 1; nRow <= 3; ++nRow)
        for (int nFirst : {1, 3, 7})
            sheet.m_merges.push_back(CellRect{nRow, nRow, nFirst, nFirst + (nFirst == 3 ? 2 : 1)});
    for (int nCol = 0; nCol < 7; ++nCol)
    {
        Cell& cell = sheet.At(5, nCol);
        cell.format.bBold = true;
        cell.strText = QStringLiteral("Header");
        cell.bHasValue = true;
    }
    const QString texts[] = {QStringLiteral("1550nm"), QStringLiteral("OPM"), QStringLiteral("-12.34dBm"),
                             QStringLiteral("-3.00dBm"), QStringLiteral("2012-5-3  9:5:7")};
    for (int i = 0; i < nRows; ++i)
    {
        const int nRow = 6 + i;
        sheet.At(nRow, 0).strText = QString::number(i + 1);
        for (int nCol = 1; nCol <= 5; ++nCol)
            sheet.At(nRow, nCol).strText = Fresh(texts[nCol - 1]);
        sheet.At(nRow, 6); // notes: empty
        for (int nCol = 0; nCol <= 5; ++nCol)
            sheet.At(nRow, nCol).bHasValue = true;
    }
    return book;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int nRows = argc > 1 ? std::clamp(atoi(argv[1]), 0, SHEET_MAX_ROWS - 6) : 65530;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("bench.xls"));
    const int nRuns = 5;
    std::vector<double> saveMs, loadMs;
    long nPeakBuilt = 0, nPeakSaved = 0, nPeakLoaded = 0;
    for (int nRun = 0; nRun < nRuns; ++nRun)
    {
        {
            const Workbook book = MakeReport(nRows);
            nPeakBuilt = std::max(nPeakBuilt, PeakRssKb());
            QElapsedTimer timer;
            timer.start();
            QString strError;
            if (!SaveWorkbookXls(book, strPath, &strError))
            {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(strError));
                return 1;
            }
            saveMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            nPeakSaved = std::max(nPeakSaved, PeakRssKb());
        }
        {
            Workbook book;
            QElapsedTimer timer;
            timer.start();
            QString strError;
            if (!LoadWorkbookXls(strPath, book, &strError) || book.ActiveSheet().CellCount() < nRows * 7)
            {
                std::fprintf(stderr, "load failed: %s\n", qPrintable(strError));
                return 1;
            }
            loadMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            nPeakLoaded = std::max(nPeakLoaded, PeakRssKb());
        }
    }
    std::printf("rows            %d x 7 texts (+ user information and header)\n", nRows);
    std::printf("file size       %lld bytes\n", static_cast<long long>(QFileInfo(strPath).size()));
    std::printf("save            best %.1f ms, median %.1f ms (%d runs)\n",
                *std::min_element(saveMs.begin(), saveMs.end()), Median(saveMs), nRuns);
    std::printf("load            best %.1f ms, median %.1f ms (%d runs)\n",
                *std::min_element(loadMs.begin(), loadMs.end()), Median(loadMs), nRuns);
    std::printf("peak RSS        %.1f MB after building, %.1f MB after saving, %.1f MB after loading\n",
                double(nPeakBuilt) / 1024.0, double(nPeakSaved) / 1024.0, double(nPeakLoaded) / 1024.0);
    return 0;
}
