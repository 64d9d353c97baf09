// meter-sim: the simulated meter as a program. Prints the device to open as
// the serial port on the first line of stdout and answers until stopped.
#include "sim/MeterSim.h"

#include "link/InstrumentFrame.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    "usage: meter-sim [--records N | --file F] [--pace] [--delay MS] [--noise] [--split]\n"
    "                 [--bad-checksum K] [--short K] [--drop K] [--hangup K] [--exit-on-eof] [--verbose]\n"
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
    "  --pace            send at the speed of a 9600-baud line (~1.04 ms a byte)\n"
    "  --delay MS        wait MS milliseconds before each reply\n"
    "  --noise           1 to 4 stray bytes (never 0x33) before each reply\n"
    "  --split           write replies one byte at a time, 3 ms apart\n"
    "  --bad-checksum K  reply K goes out with a wrong checksum\n"
    "  --short K         reply K loses half its payload (its length byte and\n"
    "                    checksum match the cut)\n"
    "  --drop K          reply K is not sent\n"
    "  --hangup K        close the line after the K-th record reply (at the next\n"
    "                    request, or 300 ms after the client has read it)\n"
    "  --exit-on-eof     also stop when standard input reaches its end\n"
    "  --verbose         print every request received in hex on stderr\n"
    "\n"
    "Replies are numbered 1, 2, ... in the order the meter makes them, whatever\n"
    "the request (connect, count and each record request all count).\n";

bool ParseInt(const char* psz, int nMin, int nMax, int& nValue)
{
    char* pEnd = nullptr;
    const long n = std::strtol(psz, &pEnd, 10);
    if (pEnd == psz || *pEnd != '\0' || n < nMin || n > nMax)
        return false;
    nValue = int(n);
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    MeterSim sim;
    MeterSimOptions options;
    int nRecords = 20;
    const char* pszFile = nullptr;
    bool bExitOnEof = false;
    bool bVerbose = false;

    for (int i = 1; i < argc; ++i)
    {
        const char* pszArg = argv[i];
        const bool bHasValue = i + 1 < argc;
        auto takeInt = [&](int nMin, int nMax, int& nValue) {
            if (!bHasValue || !ParseInt(argv[++i], nMin, nMax, nValue))
            {
                std::fprintf(stderr, "meter-sim: %s needs a number from %d to %d\n", pszArg, nMin, nMax);
                std::exit(2);
            }
        };
        if (!std::strcmp(pszArg, "--records"))
            takeInt(0, 65535, nRecords);
        else if (!std::strcmp(pszArg, "--file") && bHasValue)
            pszFile = argv[++i];
        else if (!std::strcmp(pszArg, "--pace"))
            options.bPace = true;
        else if (!std::strcmp(pszArg, "--delay"))
            takeInt(0, 600000, options.nReplyDelayMs);
        else if (!std::strcmp(pszArg, "--noise"))
            options.bNoise = true;
        else if (!std::strcmp(pszArg, "--split"))
            options.bSplit = true;
        else if (!std::strcmp(pszArg, "--bad-checksum"))
            takeInt(1, 1 << 30, options.nBadChecksumReply);
        else if (!std::strcmp(pszArg, "--short"))
            takeInt(1, 1 << 30, options.nShortReply);
        else if (!std::strcmp(pszArg, "--drop"))
            takeInt(1, 1 << 30, options.nDropReply);
        else if (!std::strcmp(pszArg, "--hangup"))
            takeInt(1, 1 << 30, options.nHangupAfterRecords);
        else if (!std::strcmp(pszArg, "--exit-on-eof"))
            bExitOnEof = true;
        else if (!std::strcmp(pszArg, "--verbose"))
            bVerbose = true;
        else if (!std::strcmp(pszArg, "--help") || !std::strcmp(pszArg, "-h"))
        {
            std::fputs(USAGE, stdout);
            return 0;
        }
        else
        {
            std::fprintf(stderr, "meter-sim: unknown option %s\n\n%s", pszArg, USAGE);
            return 2;
        }
    }

    if (pszFile)
    {
        if (!sim.Records().LoadFile(QString::fromLocal8Bit(pszFile)))
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
    return 0;
}
