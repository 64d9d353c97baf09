// meterctl: the command-line front end for the meter and its reports.
#include "tools/meterctl/MeterCtl.h"

#include <QCoreApplication>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meterctl"));
    QTextStream out(stdout);
    QTextStream err(stderr);
#if defined(Q_OS_UNIX)
    // Progress goes to the error stream: a bar only when that is a terminal.
    const bool bTerminal = ::isatty(STDERR_FILENO) != 0;
#else
    const bool bTerminal = false;
#endif
    MeterCtl ctl(out, err, bTerminal);
    return ctl.Run(QCoreApplication::arguments().mid(1));
}
