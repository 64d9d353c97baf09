// meterclient: the desktop companion of the fibre-optic test meter.
//
//   meterclient [--port PATH]... [--demo]
//
// --port adds a serial device (a virtual or network port that enumeration
// does not show) to the port list; --demo runs the simulated meter inside the
// program and lists its port.
#include "app/MeterClientApp.h"
#include "link/PortNames.h"
#include "sim/MeterSim.h"

#include <QCommandLineParser>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    MeterClientApp app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Companion program of the fibre-optic test meter."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Adds a serial device to the port list (repeatable)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Runs a simulated meter and lists its port."));
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.process(QCoreApplication::arguments());

    std::unique_ptr<MeterSim> pDemoMeter;
    if (parser.isSet(demoOption))
    {
        pDemoMeter.reset(StartDemoMeter());
        if (pDemoMeter)
        {
            AddExtraPortName(pDemoMeter->GetDevicePath());
            std::fprintf(stderr, "meterclient: simulated meter on %s\n", qPrintable(pDemoMeter->GetDevicePath()));
        }
        else
        {
            std::fprintf(stderr, "meterclient: no pseudo-terminal for the simulated meter\n");
        }
    }
    for (const QString& strPath : parser.values(portOption))
        AddExtraPortName(strPath);

    return app.InitInstance() ? 1 : 0;
}
