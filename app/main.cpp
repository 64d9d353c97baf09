// meterclient: the desktop companion of the fibre-optic test meter.
//
//   meterclient [--port PATH]... [--demo] [FILE]
//
// --port adds a serial device (a virtual or network port that enumeration
// does not show) to the port list; --demo runs the simulated meter inside the
// program and lists its port; FILE is a report to open (the desktop entry
// passes the .xls that was double-clicked).
#include "app/MeterClientApp.h"
#include "link/PortNames.h"
#include "sim/MeterSim.h"

#include "MeterVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(METER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Companion program of the fibre-optic test meter."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Adds a serial device to the port list (repeatable)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Runs a simulated meter and lists its port."));
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A report (.xls) to open."),
                                 QStringLiteral("[FILE]"));

    {
        // --help and --version are answered before the QApplication exists:
        // they need no display, and QApplication aborts without one. Errors
        // wait for the second pass, where QApplication has taken its own
        // options (-platform, -style, ...) out of the arguments.
        QCoreApplication core(argc, argv);
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all")))
            parser.showHelp(0);
        if (parser.isSet(versionOption))
            parser.showVersion();
    }

    MeterClientApp app(argc, argv);
    parser.process(QCoreApplication::arguments());
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
    {
        std::fprintf(stderr, "meterclient: give at most one report to open.\n");
        return 1;
    }
    if (!files.isEmpty())
        app.SetStartupFile(files.first());

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
