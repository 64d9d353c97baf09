// meter-sim: the simulated meter as a program. Prints the device to open as
// the serial port on the first line of stdout and answers until stopped.
#include "sim/MeterSim.h"

#include "link/InstrumentFrame.h"

#include "MeterVersion.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <atomic>
#include <csignal>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <unistd.h>
#endif

namespace {
std::atomic<bool> g_bQuit{false};

void OnSignal(int)
{
    g_bQuit = true;
}

const char USAGE[] =
    "usage: meter-sim [--records N | --file F] [--pace] [--delay MS [--slow K]] [--noise] [--split]\n"
    "                 [--noise-rate P [--seed S]] [--bad-checksum K] [--short K] [--drop K]\n"
    "                 [--wrong-end K] [--bad-time K] [--hangup K] [--exit-on-eof] [--verbose]\n"
    "       meter-sim --help | --version\n"
    "\n"
    "Simulates the fibre-optic meter on a pseudo-terminal. The first line printed\n"
    "is the device to open as the serial port (9600 8N1). Runs until SIGINT or\n"
    "SIGTERM (and, with --exit-on-eof, until standard input ends).\n"
    "\n"
    "  --records N       store N generated records (default 20, at most 65535)\n"
    "  --file F          store the records of file F, one per line:\n"
    "                      MODE WAVE VALUE REFERENCE YY-MM-DD HH:MM:SS\n"
    "                    e.g. \"OPM 4 -12.34 -3.00 12-05-03 09:05:07\"; MODE is RL,\n"
    "                    OPM, IL or a byte; lines starting with # are skipped\n"
    "  --pace            both directions at the speed of a 9600-baud line (~1.04 ms\n"
    "                    a byte): a request is answered once its last byte would\n"
    "                    have arrived; on exit the time the line was busy is printed\n"
    "  --delay MS        wait MS milliseconds before each reply (or only reply K\n"
    "                    with --slow K)\n"
    "  --noise           1 to 4 stray bytes (never 0x33) before each reply\n"
    "  --noise-rate P    each byte to the client is a random one with chance P\n"
    "                    (0.01 is one in a hundred); --seed S makes another run\n"
    "  --split           write replies one byte at a time, 3 ms apart\n"
    "  --bad-checksum K  reply K goes out with a wrong checksum\n"
    "  --short K         reply K loses half its payload (its length byte and\n"
    "                    checksum match the cut)\n"
    "  --drop K          reply K is not sent\n"
    "  --wrong-end K     reply K ends in 0x00 instead of 0x08 (checksum right)\n"
    "  --bad-time K      record reply K says month 13 (checksum right)\n"
    "  --hangup K        close the line after the K-th record reply (at the next\n"
    "                    request, or 300 ms after the client has read it)\n"
    "  --exit-on-eof     also stop when standard input reaches its end\n"
    "  --verbose         print every request received in hex on stderr\n"
    "\n"
    "Replies are numbered 1, 2, ... in the order the meter makes them, whatever\n"
    "the request (connect, count and each record request all count). An option's\n"
    "value may also follow an equals sign: --records=5.\n";

// A whole number from nMin to nMax, or false.
bool ParseInt(const QString& strValue, int nMin, int nMax, int& nValue)
{
    bool bOk = false;
    const long long n = strValue.toLongLong(&bOk);
    if (!bOk || n < nMin || n > nMax)
        return false;
    nValue = int(n);
    return true;
}

int UsageError(const QString& strMessage)
{
    std::fprintf(stderr, "meter-sim: %s\n\n%s", strMessage.toLocal8Bit().constData(), USAGE);
    return 2;
}
} // namespace

int main(int argc, char* argv[])
{
    MeterSim sim;
    MeterSimOptions options;
    int nRecords = 20;

    // No QCoreApplication: the arguments are taken as the system gives them.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    // The options; help and usage are the text above. --name=value and
    // --name value both work.
    QCommandLineParser parser;
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    const QCommandLineOption fileOption(QStringLiteral("file"), QString(), QStringLiteral("F"));
    const QCommandLineOption paceOption(QStringLiteral("pace"));
    const QCommandLineOption noiseOption(QStringLiteral("noise"));
    const QCommandLineOption splitOption(QStringLiteral("split"));
    const QCommandLineOption exitOnEofOption(QStringLiteral("exit-on-eof"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"));
    const QCommandLineOption noiseRateOption(QStringLiteral("noise-rate"), QString(), QStringLiteral("P"));
    for (const QCommandLineOption& option : {helpOption, versionOption, fileOption, paceOption, noiseOption,
                                             splitOption, exitOnEofOption, verboseOption, noiseRateOption})
        parser.addOption(option);
    int nSeed = 1;
    // The options that take a number: name, range, where the value goes.
    struct NumberOption
    {
        const char* pszName;
        int nMin;
        int nMax;
        int* pnValue;
    };
    const NumberOption numbers[] = {
        {"records", 0, 65535, &nRecords},
        {"delay", 0, 600000, &options.nReplyDelayMs},
        {"slow", 1, 1 << 30, &options.nSlowReply},
        {"seed", 1, 1 << 30, &nSeed},
        {"wrong-end", 1, 1 << 30, &options.nWrongEndReply},
        {"bad-time", 1, 1 << 30, &options.nBadTimeReply},
        {"bad-checksum", 1, 1 << 30, &options.nBadChecksumReply},
        {"short", 1, 1 << 30, &options.nShortReply},
        {"drop", 1, 1 << 30, &options.nDropReply},
        {"hangup", 1, 1 << 30, &options.nHangupAfterRecords},
    };
    for (const NumberOption& number : numbers)
        parser.addOption(QCommandLineOption(QString::fromLatin1(number.pszName), QString(), QStringLiteral("N")));

    if (!parser.parse(args))
        return UsageError(parser.errorText());
    if (parser.isSet(helpOption))
    {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (parser.isSet(versionOption))
    {
        std::printf("meter-sim %s\n", METER_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    for (const NumberOption& number : numbers)
    {
        const QString strName = QString::fromLatin1(number.pszName);
        if (parser.isSet(strName) && !ParseInt(parser.value(strName), number.nMin, number.nMax, *number.pnValue))
        {
            std::fprintf(stderr, "meter-sim: --%s needs a number from %d to %d\n", number.pszName, number.nMin,
                         number.nMax);
            return 2;
        }
    }
    if (parser.isSet(noiseRateOption))
    {
        // A point, whatever the locale: QString's conversion ignores it.
        bool bOk = false;
        options.dNoiseRate = parser.value(noiseRateOption).toDouble(&bOk);
        if (!bOk || options.dNoiseRate < 0.0 || options.dNoiseRate > 1.0)
        {
            std::fprintf(stderr, "meter-sim: --noise-rate needs a number from 0 to 1\n");
            return 2;
        }
    }
    options.nNoiseSeed = quint32(nSeed);
    options.bPace = parser.isSet(paceOption);
    options.bNoise = parser.isSet(noiseOption);
    options.bSplit = parser.isSet(splitOption);
    const bool bExitOnEof = parser.isSet(exitOnEofOption);
    const bool bVerbose = parser.isSet(verboseOption);

    if (parser.isSet(fileOption))
    {
        if (!sim.Records().LoadFile(parser.value(fileOption)))
        {
            std::fprintf(stderr, "meter-sim: %s\n", sim.Records().GetLastError().toLocal8Bit().constData());
            return 1;
        }
    }
    else
    {
        sim.Records().Generate(nRecords);
    }
    sim.SetOptions(options);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!sim.Start())
    {
        std::fprintf(stderr, "meter-sim: %s\n", sim.GetLastError().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", sim.GetDevicePath().toLocal8Bit().constData());
    std::fflush(stdout);

    int nLogged = 0;
    while (!g_bQuit)
    {
#if defined(Q_OS_UNIX)
        if (bExitOnEof)
        {
            pollfd fd = {STDIN_FILENO, POLLIN, 0};
            if (::poll(&fd, 1, 100) > 0)
            {
                char buffer[256];
                if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                    break;
            }
        }
        else
        {
            ::usleep(100000);
        }
#endif
        if (bVerbose)
        {
            const QList<QByteArray> requests = sim.GetRequests();
            for (; nLogged < requests.size(); ++nLogged)
                std::fprintf(stderr, "request %s\n", requests[nLogged].toHex(' ').toUpper().constData());
        }
        if (sim.IsHungUp())
        {
            std::fprintf(stderr, "meter-sim: line closed (hang-up)\n");
            break;
        }
    }
    sim.Stop();
    if (options.bPace)
        std::fprintf(stderr, "meter-sim: %d replies, line busy %.2f ms\n", sim.GetRepliesSent(),
                     sim.GetLineMilliseconds());
    return 0;
}
