// Record list benchmark: time to fill a shown RecordListCtrl with 65,535
// rows of seven texts, row by row as Open does (no events in between) and
// as the download does (events after every row), the time to scroll and
// paint a page, and the resident memory the rows add. Run it with
// QT_QPA_PLATFORM=offscreen; targets: under 1 s and under 100 MB.
#include "records/list/RecordListCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr int BENCH_ROWS = 65535;
constexpr int BENCH_EVENT_ROWS = 300;
constexpr int BENCH_SCROLL_PAGES = 300;

// Resident set size in KiB from /proc/self/status; 0 where there is none.
long ReadRssKb()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    // /proc files report size 0, so read to the end instead of asking atEnd().
    for (const QByteArray& line : file.readAll().split('\n'))
    {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Texts of the shape the download produces.
void FillRow(RecordListCtrl& list, int nRow)
{
    const int nItem = list.InsertItem(list.GetItemCount(), QString::number(nRow + 1));
    list.SetItemText(nItem, 0, QString::number(nRow + 1));
    list.SetItemText(nItem, 1, QStringLiteral("1550nm"));
    list.SetItemText(nItem, 2, QStringLiteral("OPM"));
    list.SetItemText(nItem, 3, QString::number(-12.34 - nRow % 100, 'f', 2) + QStringLiteral("dBm"));
    list.SetItemText(nItem, 4, QStringLiteral("-3.00dBm"));
    list.SetItemText(nItem, 5,
                     QStringLiteral("2026-12-06 23:%1:%2")
                         .arg(nRow / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(nRow % 60, 2, 10, QLatin1Char('0')));
    list.SetItemText(nItem, 6, QString());
}

// Fills nRows rows, handling events (layout and painting) after every row
// as the download does between two replies; returns the time per row in ms.
double FillRowsWithEvents(RecordListCtrl& list, int nRows)
{
    QElapsedTimer timer;
    timer.start();
    for (int nRow = 0; nRow < nRows; ++nRow)
    {
        FillRow(list, list.GetItemCount());
        QCoreApplication::processEvents();
    }
    return double(timer.nsecsElapsed()) / 1e6 / nRows;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RecordListCtrl list;
    const char* headings[] = {"No.", "Wavelength", "Mode", "Value", "Reference", "Date Time", "Notes"};
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        list.InsertColumn(nCol, QString::fromLatin1(headings[nCol]), LVCFMT_LEFT, 80, nCol);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    list.resize(640, 300);
    list.show();
    QCoreApplication::processEvents();
    const long nRssEmpty = ReadRssKb();

    // 1. Open: all rows in one go, then the view lays out and paints once.
    QElapsedTimer timer;
    timer.start();
    for (int nRow = 0; nRow < BENCH_ROWS; ++nRow)
        FillRow(list, nRow);
    QCoreApplication::processEvents();
    const qint64 nFillMs = timer.elapsed();
    const long nRssFull = ReadRssKb();

    // 2. Download: one row per event-loop turn, at the start of an empty list
    // and at the end of a full one (the cost must not grow with the list).
    list.DeleteAllItems();
    QCoreApplication::processEvents();
    const double dRowEmptyMs = FillRowsWithEvents(list, BENCH_EVENT_ROWS);
    for (int nRow = list.GetItemCount(); nRow < BENCH_ROWS - BENCH_EVENT_ROWS; ++nRow)
        FillRow(list, nRow);
    QCoreApplication::processEvents();
    const double dRowFullMs = FillRowsWithEvents(list, BENCH_EVENT_ROWS);

    // 3. Scrolling: jump to evenly spread positions, painting each page.
    QScrollBar* pBar = list.verticalScrollBar();
    timer.restart();
    for (int nPage = 0; nPage < BENCH_SCROLL_PAGES; ++nPage)
    {
        pBar->setValue(static_cast<int>(qint64(pBar->maximum()) * nPage / (BENCH_SCROLL_PAGES - 1)));
        list.viewport()->repaint();
    }
    const double dPageMs = double(timer.nsecsElapsed()) / 1e6 / BENCH_SCROLL_PAGES;

    std::printf("rows                      %d (count %d)\n", BENCH_ROWS, list.GetItemCount());
    std::printf("fill, then show           %lld ms (target < 1000 ms)\n", static_cast<long long>(nFillMs));
    std::printf("row by row, empty list    %.3f ms per row (events handled after each)\n", dRowEmptyMs);
    std::printf("row by row, full list     %.3f ms per row\n", dRowFullMs);
    std::printf("scroll + paint one page   %.3f ms\n", dPageMs);
    std::printf("RSS empty list            %ld KiB\n", nRssEmpty);
    std::printf("RSS with the rows         %ld KiB (+%ld KiB, target < 100 MB)\n", nRssFull, nRssFull - nRssEmpty);
    return (nFillMs < 1000 && (nRssFull - nRssEmpty) < 100 * 1024) ? 0 : 1;
}
