// meterctl: the meter and its reports from the command line. One object runs
// one command line and gives its exit code; it writes to the two streams it
// is given, so tests run commands in-process as well as through the program.
#pragma once

#include "records/MeasurementRecord.h"
#include "report/ReportJob.h"
#include "texts/MeterTexts.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>
#include <memory>

class MeterLink;
class MeterSim;
enum LinkResult : int;
class QCommandLineParser;

// Exit codes (the same in --help, HACKING.md and the user guide).
enum MeterCtlExit
{
    EXIT_OK = 0,
    EXIT_USAGE = 1,         // unknown command or option, bad value
    EXIT_PORT = 2,          // port missing, refused or lost (device pulled, meter hung up)
    EXIT_NO_ANSWER = 3,     // the meter did not answer after every retry
    EXIT_FILE = 4,          // an output cannot be written, an input is not a report
    EXIT_TOO_MANY_ROWS = 5, // more records than one .xls sheet holds (CSV still written)
};

class MeterCtl
{
public:
    // bTerminal: out is a terminal, so the download draws a progress bar.
    MeterCtl(QTextStream& out, QTextStream& err, bool bTerminal);
    ~MeterCtl();
    MeterCtl(const MeterCtl&) = delete;
    MeterCtl& operator=(const MeterCtl&) = delete;

    // args: the command and its arguments, without the program's name.
    int Run(const QStringList& args);

    // Where a download goes: a report, a CSV, or (neither given) the output.
    struct DownloadOutputs
    {
        QString strXls;
        QString strCsv;
        ReportUserInfo userInfo;
        Language nLanguage = LANGUAGE_ENGLISH;
    };
    // Writes the CSV first, then the report. EXIT_OK, EXIT_FILE, or
    // EXIT_TOO_MANY_ROWS when the rows do not fit one sheet (the CSV is
    // written all the same). bPartial only changes the wording.
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
        Language nLanguage = LANGUAGE_ENGLISH;
    };

    int CmdPorts(const QStringList& args);
    int CmdDownload(const QStringList& args);
    int CmdCalibrate(const QStringList& args);
    int CmdSetClock(const QStringList& args);
    int CmdShow(const QStringList& args);
    int CmdConvert(const QStringList& args);

    // The report files (MeterCtlConvert.cpp). Each prints what went wrong,
    // in plain words, on the error stream, and warns of a damaged report.
    // Reading: EXIT_OK or EXIT_FILE.
    int ReadReportFile(const QString& strPath, QVector<MeasurementRecord>& rows, ReportUserInfo& info);
    // Writing: EXIT_OK, EXIT_FILE, or EXIT_TOO_MANY_ROWS (nothing written).
    int WriteReportFile(const QString& strPath, const QVector<MeasurementRecord>& rows, const ReportUserInfo& info,
                        Language nLanguage);

    // Parses args; prints the command's help and sets nExit to EXIT_OK for
    // --help, or prints the error and sets EXIT_USAGE. True when the command goes on.
    bool Parse(QCommandLineParser& parser, const QStringList& args, const QString& strCommand, int& nExit);
    int Usage(const QString& strCommand, const QString& strMessage);
    void PrintHelp(const QString& strCommand);

    static void AddMeterOptions(QCommandLineParser& parser);
    static void AddLanguageOption(QCommandLineParser& parser);
    bool ReadLanguage(const QCommandLineParser& parser, Language& nLanguage, QString& strError) const;
    bool ReadMeterOptions(const QCommandLineParser& parser, MeterOptions& options, QString& strError) const;
    // Starts the demo meter when asked, checks and opens the port. EXIT_OK or EXIT_PORT.
    int OpenMeter(const MeterOptions& options, MeterLink& link);
    // Message and exit code for a request that failed.
    int ReportLinkFailure(LinkResult result, const QString& strWhat, const MeterLink& link);

    // Says why strPath cannot be written (on err) and gives false.
    bool CheckOutputPath(const QString& strPath);

    // Where progress and the meter's messages go: the output, or the error
    // stream when the output carries data.
    QTextStream& Status() { return *m_pStatus; }

    QTextStream& m_out;
    QTextStream& m_err;
    QTextStream* m_pStatus;
    bool m_bTerminal;
    std::unique_ptr<MeterSim> m_pDemo;
};
