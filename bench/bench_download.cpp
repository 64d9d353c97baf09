// Download benchmark: the dialog reads N records (default 1,000) from the
// simulated meter, which paces its replies at 9600 baud, over a
// pseudo-terminal. Prints the wall time per record, the floors it is held
// against, and the CPU time of the whole process (dialog, watch thread and
// meter) during the download: the driver and the dialog must wait, not spin.
//
// Usage: bench_download [records]
#include "link/PortNames.h"
#include "sim/MeterSim.h"
#include "ui/DropDownCombo.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
// One character on the line: start bit, 8 data bits, stop bit.
constexpr double MS_PER_BYTE = 10.0 * 1000.0 / 9600.0;
constexpr int REQUEST_BYTES = 7; // CMD_READ_RECORD
constexpr int REPLY_BYTES = 23;  // RSP_RECORD
constexpr double TICK_MS = 10.0; // the download timer

// CPU time of the whole process (nWho RUSAGE_SELF) or of the calling thread.
double CpuSeconds(int nWho = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(nWho, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int nRecords = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    if (nRecords < 1 || nRecords > 65535)
    {
        std::fprintf(stderr, "records: 1..65535\n");
        return 2;
    }

    // SETUP.ini is read from the current directory: use an empty one.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    MeterSim sim;
    MeterSimOptions options;
    options.bPace = true;
    sim.SetOptions(options);
    sim.Records().Generate(nRecords);
    if (!sim.Start())
    {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(sim.GetLastError()));
        return 1;
    }

    bool bDone = false;
    QStringList unexpected;
    SetMessageBoxHook([&](const MessageBoxCall& call) {
        if (call.strText == QLatin1String("Power reading success"))
            bDone = true;
        else
            unexpected.append(call.strText);
    });

    AddExtraPortName(sim.GetDevicePath());
    MeterClientDlg dlg;
    dlg.Create();
    dlg.m_nLanguage = LANGUAGE_ENGLISH;
    dlg.ApplyLanguage();
    dlg.m_comboPort->SetCurSel(dlg.m_comboPort->findText(sim.GetDevicePath()));
    dlg.OnSelchangeComboPort();
    if (!dlg.m_serial.IsOpen())
    {
        std::fprintf(stderr, "the meter's line did not open\n");
        return 1;
    }

    const double dCpuStart = CpuSeconds();
    const double dDialogCpuStart = CpuSeconds(RUSAGE_THREAD);
    QElapsedTimer timer;
    timer.start();
    dlg.OnBtnRead();
    QTimer guard;
    guard.start(100);
    const qint64 nLimitMs = static_cast<qint64>(nRecords) * 200 + 5000;
    while (!bDone && timer.elapsed() < nLimitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double dWallMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double dCpu = CpuSeconds() - dCpuStart;
    const double dDialogCpu = CpuSeconds(RUSAGE_THREAD) - dDialogCpuStart;
    const int nRows = dlg.m_listRecords->GetItemCount();

    const double dLineFloor = (REQUEST_BYTES + REPLY_BYTES) * MS_PER_BYTE + TICK_MS;
    const double dSimFloor = REPLY_BYTES * MS_PER_BYTE + TICK_MS; // the meter paces its replies only
    std::printf("records            %d (rows %d, %s)\n", nRecords, nRows, bDone ? "complete" : "NOT COMPLETE");
    std::printf("wall time          %.0f ms\n", dWallMs);
    std::printf("per record         %.2f ms\n", dWallMs / nRecords);
    std::printf("floor, 9600 line   %.2f ms (request %d + reply %d bytes at %.4f ms, + %.0f ms tick)\n", dLineFloor,
                REQUEST_BYTES, REPLY_BYTES, MS_PER_BYTE, TICK_MS);
    std::printf("floor, this meter  %.2f ms (replies paced, requests not, + tick)\n", dSimFloor);
    std::printf("process CPU time   %.3f s (%.1f%% of the wall time, %.3f ms per record)\n", dCpu,
                100.0 * dCpu * 1000.0 / dWallMs, dCpu * 1000.0 / nRecords);
    std::printf("  dialog thread    %.3f s (%.3f ms per record)\n", dDialogCpu, dDialogCpu * 1000.0 / nRecords);
    for (const QString& strText : unexpected)
        std::printf("unexpected box     %s\n", qPrintable(strText));
    SetMessageBoxHook({});
    return bDone && nRows == nRecords && unexpected.isEmpty() ? 0 : 1;
}
