// Download benchmark: the dialog, shown, reads N records (default 1,000)
// from meter-sim running as a separate process that paces both directions
// at 9600 baud (a 7-byte request takes its 7.3 ms before the reply starts).
// Prints the time per record against the floor (the meter's own line time,
// as meter-sim reports it, plus the dialog's 10 ms tick per record) and the
// client's own CPU time. --load K keeps K extra processes busy meanwhile.
//
// Usage: bench_download [records] [--load K] [--unpaced]
#include "link/PortNames.h"
#include "ui/ControlIds.h"
#include "ui/DropDownCombo.h"
#include "ui/MeterClientDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// One character on the line: start bit, 8 data bits, stop bit.
constexpr double MS_PER_BYTE = 10.0 * 1000.0 / 9600.0;
constexpr double TICK_MS = 10.0; // the dialog's download timer

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of each thread of this process, by thread name.
QMap<QString, double> ThreadCpu()
{
    QMap<QString, double> cpu;
    const double dTick = double(sysconf(_SC_CLK_TCK));
    for (const QString& strTask : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(strTask));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString strStat = QString::fromLatin1(stat.readAll());
        const QString strName = strStat.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0);
        const QStringList fields = strStat.section(QLatin1Char(')'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // After the name: state is field 0, utime 11, stime 12.
        cpu[strName] += (fields.value(11).toDouble() + fields.value(12).toDouble()) / dTick;
    }
    return cpu;
}

int Fail(const char* pszWhy)
{
    std::fprintf(stderr, "bench_download: %s\n", pszWhy);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int nLoad = 0;
    if (const qsizetype nAt = args.indexOf(QStringLiteral("--load")); nAt >= 0 && nAt + 1 < args.size())
    {
        nLoad = args[nAt + 1].toInt();
        args.remove(nAt, 2);
    }
    // --unpaced: the meter answers at once, a whole reply in one piece.
    const bool bPaced = !args.removeOne(QStringLiteral("--unpaced"));
    const int nRecords = args.isEmpty() ? 1000 : args[0].toInt();
    if (nRecords < 1 || nRecords > 65535)
        return Fail("records: 1..65535");

    // SETUP.ini is read from the current directory: use an empty one.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    // The meter, a process of its own; its first line is the device.
    QProcess meter;
    QStringList meterArgs{QStringLiteral("--records"), QString::number(nRecords)};
    if (bPaced)
        meterArgs << QStringLiteral("--pace");
    meter.start(QStringLiteral(METER_SIM_PATH), meterArgs);
    if (!meter.waitForStarted() || !meter.waitForReadyRead(10000))
        return Fail("meter-sim did not start");
    const QString strDevice = QString::fromLocal8Bit(meter.readLine()).trimmed();
    std::vector<std::unique_ptr<QProcess>> load;
    for (int i = 0; i < nLoad; ++i)
    {
        load.push_back(std::make_unique<QProcess>());
        load.back()->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }

    AddExtraPortName(strDevice);
    MeterClientDlg dlg;
    dlg.Create();
    dlg.show();
    auto* pPorts = qobject_cast<DropDownCombo*>(dlg.GetDlgItem(IDC_COMBO_PORT));
    pPorts->setCurrentIndex(pPorts->findText(strDevice));
    emit pPorts->SelChange();

    // The end of the download is its box; every box is closed as it comes.
    QElapsedTimer clock;
    qint64 nEndMs = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox == nullptr)
            return;
        if (pBox->text() != QLatin1String("Power reading success") && pBox->text() != QString::fromUtf8("功率读取成功"))
            std::fprintf(stderr, "bench_download: box \"%s\"\n", qPrintable(pBox->text()));
        else if (nEndMs < 0)
            nEndMs = clock.elapsed();
        pBox->accept();
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    });
    poll.start(20);

    const double dCpuBefore = CpuSeconds();
    const QMap<QString, double> threadsBefore = ThreadCpu();
    clock.start();
    qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_BTN_READ))->click();
    app.exec();
    const double dCpu = CpuSeconds() - dCpuBefore;
    for (auto& pLoad : load)
    {
        pLoad->kill();
        pLoad->waitForFinished(10000);
    }
    if (nEndMs < 0)
        return Fail("the download did not end");

    // meter-sim says on exit how long its line was busy.
    meter.terminate();
    meter.waitForFinished(10000);
    const QString strMeterSays = QString::fromLocal8Bit(meter.readAllStandardError());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("line busy ([0-9.]+) ms")).match(strMeterSays);
    // Without the meter's figure: connect, count and N + 1 record exchanges.
    const double dLineMs = match.hasMatch() ? match.captured(1).toDouble()
                                            : MS_PER_BYTE * ((5 + 46) + (5 + 7) + (nRecords + 1) * (7 + 23));
    const double dFloorMs = dLineMs + TICK_MS * (nRecords + 1);
    const double dWallMs = double(nEndMs);
    std::printf("records                %d (%d busy processes besides)\n", nRecords, nLoad);
    std::printf("time per record        %.2f ms\n", dWallMs / (nRecords + 1));
    std::printf("floor per record       %.2f ms (line %.2f ms as the meter reports, + %.0f ms tick)\n",
                dFloorMs / (nRecords + 1), dLineMs / (nRecords + 1), TICK_MS);
    std::printf("over the floor         %.2f %%\n", 100.0 * (dWallMs - dFloorMs) / dFloorMs);
    std::printf("client CPU             %.3f s = %.2f %% of one core\n", dCpu, 100.0 * dCpu * 1000.0 / dWallMs);
    const QMap<QString, double> threadsAfter = ThreadCpu();
    for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it)
        std::printf("  thread %-15s %.3f s\n", qPrintable(it.key()), it.value() - threadsBefore.value(it.key()));
    std::printf("rows                   %d\n",
                qobject_cast<RecordListCtrl*>(dlg.GetDlgItem(IDC_LIST_RECORDS))->GetItemCount());
    return 0;
}
