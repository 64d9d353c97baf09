// meterctl: the meter and its reports from the command line. One object runs
// one command line and gives its exit code; it writes to the two streams it
// is given, so tests run commands in-process as well as through the program.
#pragma once

#include "link/SerialPort.h"
#include "records/MeasurementRecord.h"
#include "records/WavelengthTable.h"
#include "report/ReportJob.h"
#include "texts/MeterTexts.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>
#include <memory>

class LinkTrace;
class MeterLink;
class MeterSim;
enum LinkResult : int;
class QCommandLineParser;

// Exit codes (the same in --help, HACKING.md and the user guide).
enum MeterCtlExit
{
    EXIT_OK = 0,
    EXIT_USAGE = 1,         // unknown command or option, bad value
    EXIT_PORT = 2,          // port missing, refused or lost (device pulled, meter hung up); no meter found
    EXIT_NO_ANSWER = 3,     // the meter did not answer after every retry
    EXIT_FILE = 4,          // an output cannot be written, an input is not a report
    EXIT_TOO_MANY_ROWS = 5, // more records than one .xls sheet holds (CSV still written)
};

class MeterCtl
{
public:
    // out carries data (rows, CSV, JSON, listings), err everything else.
    // bTerminal: err is a terminal, so the download draws a progress bar.
    MeterCtl(QTextStream& out, QTextStream& err, bool bTerminal);
    ~MeterCtl();
    MeterCtl(const MeterCtl&) = delete;
    MeterCtl& operator=(const MeterCtl&) = delete;

    // args: the command and its arguments, without the program's name.
    int Run(const QStringList& args);

    // The ports that `ports --probe` and `--port auto` try, in place of the
    // ports the system lists (tests give the simulated meters' devices).
    void SetProbePorts(const QStringList& ports) { m_probePorts = ports; }

    // Where a download goes: a report, a CSV file or the output ("-"), JSON
    // on the output; with none of them the rows, tab-separated, on the output.
    struct DownloadOutputs
    {
        QString strXls;
        QString strCsv;
        bool bJson = false;
        WavelengthTable wavelengths = {};
        ReportUserInfo userInfo;
        Language nLanguage = LANGUAGE_ENGLISH;
    };
    // Writes the CSV first, then the report, then the JSON. EXIT_OK,
    // EXIT_FILE, or EXIT_TOO_MANY_ROWS when the rows do not fit one sheet
    // (the CSV and the JSON are written all the same). bPartial only
    // changes the wording.
    int WriteOutputs(const DownloadOutputs& outputs, const QVector<MeasurementRecord>& rows, bool bPartial);

    // The language when --lang is not given: Chinese in a Chinese locale, else English.
    static Language DefaultLanguage();

private:
    // What every command that talks to the meter takes.
    struct MeterOptions
    {
        QString strPort;
        bool bDemo = false;
        int nTimeoutMs = 0;
        int nRetries = 0;
        bool bTrace = false;
        Language nLanguage = LANGUAGE_ENGLISH;
    };

    int CmdPorts(const QStringList& args);
    int CmdInfo(const QStringList& args);
    int CmdDownload(const QStringList& args);
    int CmdCalibrate(const QStringList& args);
    int CmdSetClock(const QStringList& args);
    int CmdShow(const QStringList& args);
    int CmdConvert(const QStringList& args);

    // The report files (MeterCtlConvert.cpp). Each prints what went wrong,
    // in plain words, on the error stream, and warns of a damaged report.
    // Reading: EXIT_OK or EXIT_FILE.
    int ReadReportFile(const QString& strPath, QVector<MeasurementRecord>& rows, ReportUserInfo& info);
    // The same with the user information, the row count and each row handed
    // to the hooks showUserInfo, expectRows and appendRow as they are read
    // (the other hooks are this function's); after a failure the rows given
    // are to be dropped.
    int ReadReportFile(const QString& strPath, ReportHooks hooks);
    // Writing: EXIT_OK, EXIT_FILE, or EXIT_TOO_MANY_ROWS (nothing written).
    int WriteReportFile(const QString& strPath, const QVector<MeasurementRecord>& rows, const ReportUserInfo& info,
                        Language nLanguage);

    // Parses args; prints the command's help and sets nExit to EXIT_OK for
    // --help, or prints the error and sets EXIT_USAGE. True when the command goes on.
    bool Parse(QCommandLineParser& parser, const QStringList& args, const QString& strCommand, int& nExit);
    // Parse, then the meter options into options; arguments other than
    // options are refused unless bArgumentsAllowed. True when the command goes on.
    bool ParseMeterCommand(QCommandLineParser& parser, const QStringList& args, const QString& strCommand,
                           MeterOptions& options, int& nExit, bool bArgumentsAllowed = false);
    int Usage(const QString& strCommand, const QString& strMessage);
    void PrintHelp(const QString& strCommand);

    // strText ended by one full stop (none added after "?" or "!"), so that a
    // reason from elsewhere never ends a message with two.
    static QString AsSentence(const QString& strText);
    // Text from a file or the system shown on a terminal: control characters
    // (escape sequences included) become spaces, so it cannot drive the
    // terminal and every row stays on one line.
    static QString Printable(const QString& strText);
    // The whole number of option strName, nDefault when not given.
    static bool ReadIntOption(const QCommandLineParser& parser, const QString& strName, int nMin, int nMax,
                              int nDefault, int& nValue, QString& strError);
    static void AddMeterOptions(QCommandLineParser& parser);
    static void AddTraceOption(QCommandLineParser& parser);
    static void AddLanguageOption(QCommandLineParser& parser);
    bool ReadLanguage(const QCommandLineParser& parser, Language& nLanguage, QString& strError) const;
    bool ReadMeterOptions(const QCommandLineParser& parser, MeterOptions& options, QString& strError) const;
    // Starts the demo meter when asked, finds the meter for --port auto,
    // checks and opens the port. EXIT_OK or EXIT_PORT.
    int OpenMeter(const MeterOptions& options, MeterLink& link);
    // --port auto: the one port that answers as a meter. EXIT_OK or EXIT_PORT.
    int FindMeterPort(int nTimeoutMs, QString& strPort);
    // The ports to probe: SetProbePorts' or the system's.
    QStringList ProbeCandidates() const;
    // Prints the link's frames on err from now on (see LinkTrace).
    void StartTrace(bool bEnable);
    // The serial driver's failures, in plain words.
    void OnDriverFailure(const MeterLink& link, const SerialPort::Failure& failure);
    // Message and exit code for a request that failed.
    int ReportLinkFailure(LinkResult result, const QString& strWhat, const MeterLink& link);
    // After a connect: the disconnect request, as the dialog's Disconnect
    // sends it. A meter that does not answer earns a warning (bQuiet: not
    // even that, the command has failed already); never a failure.
    void DisconnectMeter(MeterLink& link, const MeterOptions& options, bool bQuiet);

    // Says why strPath cannot be written (on err) and gives false.
    bool CheckOutputPath(const QString& strPath);

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_bTerminal;
    QStringList m_probePorts;
    QStringList m_driverWarnings; // said already
    std::unique_ptr<MeterSim> m_pDemo;
    std::unique_ptr<LinkTrace> m_pTrace;
};
