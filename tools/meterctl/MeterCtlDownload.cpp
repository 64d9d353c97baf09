// meterctl download: connect, ask for the record count, fetch the records one
// by one (the same ping-pong as the program's Read button), disconnect, then
// write the report, the CSV and the JSON.
#include "tools/meterctl/MeterCtl.h"

#include "link/InstrumentFrame.h"
#include "link/MeterLink.h"
#include "records/RecordDecoder.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/LinkSession.h"
#include "tools/meterctl/ProgressMeter.h"
#include "tools/meterctl/RecordJson.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>

namespace {
// "-" for a file: standard output.
const QString STANDARD_OUTPUT = QStringLiteral("-");

QString PathText(const QString& strPath)
{
    return QDir::toNativeSeparators(strPath);
}
} // namespace

bool MeterCtl::CheckOutputPath(const QString& strPath)
{
    const QFileInfo info(strPath);
    const QFileInfo dir(info.absolutePath());
    QString strWhy;
    if (info.isDir())
        strWhy = QStringLiteral("it is a folder");
    else if (!dir.exists() || !dir.isDir())
        strWhy = QStringLiteral("the folder %1 does not exist").arg(PathText(dir.filePath()));
    else if (info.exists() && !info.isWritable())
        strWhy = QStringLiteral("the file is read-only");
    // Both files are written next to their target first and then renamed
    // over it, so the folder must be writable even when the file exists.
    else if (!dir.isWritable())
        strWhy = QStringLiteral("the folder %1 is not writable").arg(PathText(dir.filePath()));
    if (strWhy.isEmpty())
        return true;
    m_err << "meterctl: cannot write " << PathText(strPath) << ": " << strWhy << ".\n";
    m_err.flush();
    return false;
}

int MeterCtl::WriteOutputs(const DownloadOutputs& outputs, const QVector<MeasurementRecord>& rows, bool bPartial)
{
    const QString strWhat = bPartial ? QStringLiteral("%1 records received so far").arg(rows.size())
                                     : QStringLiteral("%1 records").arg(rows.size());
    int nExit = EXIT_OK;
    // The CSV first: it has no row limit, so it is written even when the
    // records do not fit one sheet.
    // On the output the CSV has no byte order mark, as `show --csv` prints it:
    // a script reads it as it is.
    if (outputs.strCsv == STANDARD_OUTPUT)
        m_out << QString::fromUtf8(BuildRecordsCsv(rows, outputs.nLanguage, false));
    else if (!outputs.strCsv.isEmpty())
    {
        QString strError;
        if (WriteRecordsCsv(outputs.strCsv, rows, outputs.nLanguage, &strError))
            m_err << "Wrote " << strWhat << " to " << PathText(outputs.strCsv) << '\n';
        else
        {
            m_err << "meterctl: cannot write " << PathText(outputs.strCsv) << ": " << AsSentence(strError) << '\n';
            nExit = EXIT_FILE;
        }
    }
    if (!outputs.strXls.isEmpty())
    {
        if (rows.size() > REPORT_MAX_RECORDS)
        {
            m_err << "meterctl: " << rows.size() << " records do not fit one .xls sheet (at most " << REPORT_MAX_RECORDS
                  << "); " << PathText(outputs.strXls) << " was not written"
                  << (outputs.strCsv.isEmpty() || nExit != EXIT_OK ? QString()
                                                                   : QStringLiteral(", the CSV holds every record"))
                  << (outputs.bJson && outputs.strCsv.isEmpty() ? QStringLiteral(", the JSON holds every record")
                                                                : QString())
                  << ".\n";
            if (nExit == EXIT_OK)
                nExit = EXIT_TOO_MANY_ROWS;
        }
        else
        {
            if (WriteReportFile(outputs.strXls, rows, outputs.userInfo, outputs.nLanguage) == EXIT_OK)
                m_err << "Wrote " << strWhat << " to " << PathText(outputs.strXls) << '\n';
            else
                nExit = EXIT_FILE;
        }
    }
    if (outputs.bJson)
        m_out << QString::fromUtf8(BuildRecordsJson(rows, outputs.userInfo, &outputs.wavelengths));
    else if (outputs.strCsv.isEmpty() && outputs.strXls.isEmpty())
    {
        // Neither file asked for: the rows go to the output, tab-separated.
        for (const MeasurementRecord& row : rows)
        {
            QStringList fields;
            for (const QString& str : row.texts)
                fields << str;
            m_out << fields.join(QLatin1Char('\t')) << '\n';
        }
    }
    m_out.flush();
    m_err.flush();
    return nExit;
}

int MeterCtl::CmdDownload(const QStringList& args)
{
    const QString strCommand = QStringLiteral("download");
    QCommandLineParser parser;
    AddMeterOptions(parser);
    const QStringList valueOptions{QStringLiteral("xls"),        QStringLiteral("csv"),    QStringLiteral("company"),
                                   QStringLiteral("meter-type"), QStringLiteral("serial"), QStringLiteral("operator"),
                                   QStringLiteral("notes")};
    for (const QString& strName : valueOptions)
        parser.addOption(QCommandLineOption(strName, QString(), QStringLiteral("VALUE")));
    parser.addOption(QCommandLineOption(QStringLiteral("keep-partial")));
    parser.addOption(QCommandLineOption(QStringLiteral("json")));
    int nExit = EXIT_OK;
    MeterOptions options;
    if (!ParseMeterCommand(parser, args, strCommand, options, nExit))
        return nExit;

    DownloadOutputs outputs;
    outputs.strXls = parser.value(QStringLiteral("xls"));
    outputs.strCsv = parser.value(QStringLiteral("csv"));
    outputs.bJson = parser.isSet(QStringLiteral("json"));
    outputs.nLanguage = options.nLanguage;
    outputs.userInfo.strCompany = parser.value(QStringLiteral("company"));
    outputs.userInfo.strMeterType = parser.value(QStringLiteral("meter-type"));
    outputs.userInfo.strSerial = parser.value(QStringLiteral("serial"));
    outputs.userInfo.strOperator = parser.value(QStringLiteral("operator"));
    outputs.userInfo.strNotes = parser.value(QStringLiteral("notes"));
    const bool bKeepPartial = parser.isSet(QStringLiteral("keep-partial"));
    if ((parser.isSet(QStringLiteral("xls")) && outputs.strXls.isEmpty()) ||
        (parser.isSet(QStringLiteral("csv")) && outputs.strCsv.isEmpty()))
        return Usage(strCommand, QStringLiteral("--xls and --csv need a file name (--csv - prints the CSV)."));
    if (outputs.bJson && outputs.strCsv == STANDARD_OUTPUT)
        return Usage(strCommand, QStringLiteral("--json and --csv - both print on standard output; give one."));
    // The program's Save takes only .xls names; so does this.
    if (!outputs.strXls.isEmpty() &&
        QFileInfo(outputs.strXls).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0)
        return Usage(strCommand, QStringLiteral("the report's name must end in .xls."));
    const bool bCsvFile = !outputs.strCsv.isEmpty() && outputs.strCsv != STANDARD_OUTPUT;
    if (!outputs.strXls.isEmpty() && bCsvFile &&
        QFileInfo(outputs.strXls).absoluteFilePath() == QFileInfo(outputs.strCsv).absoluteFilePath())
        return Usage(strCommand, QStringLiteral("--xls and --csv name the same file."));
    // Refuse an unwritable output before a download that may take minutes.
    if ((!outputs.strXls.isEmpty() && !CheckOutputPath(outputs.strXls)) ||
        (bCsvFile && !CheckOutputPath(outputs.strCsv)))
        return EXIT_FILE;

    // The output holds the data only; the progress and the meter's messages
    // go to the error stream.
    MeterLink link;
    nExit = OpenMeter(options, link);
    if (nExit != EXIT_OK)
        return nExit;

    LinkSession session(link);
    LinkResult result = session.Connect();
    if (result != LINK_OK)
        return ReportLinkFailure(result, QStringLiteral("the connect request"), link);
    const WavelengthTable wavelengths = link.Wavelengths();
    outputs.wavelengths = wavelengths;
    m_err << PickText(TXT_CONNECTED, options.nLanguage) << '\n';
    m_err.flush();

    QVector<MeasurementRecord> rows;
    ProgressMeter progress(m_err, m_bTerminal);
    int nTotal = -1;
    bool bTooMany = false;
    const auto onCount = [&](int nCount) {
        nTotal = nCount;
        if (nCount == 0)
            m_err << PickText(TXT_NO_RECORDS, options.nLanguage) << '\n';
        // Only a report asked for and too many records: say so before the download.
        if (nCount > REPORT_MAX_RECORDS && !outputs.strXls.isEmpty() && outputs.strCsv.isEmpty() && !outputs.bJson)
        {
            bTooMany = true;
            return false;
        }
        m_err.flush();
        rows.reserve(nCount);
        if (nCount > 0)
            progress.Start(nCount);
        return true;
    };
    const auto onRecord = [&](const QByteArray& frame, int nIndex) {
        rows.append(DecodeRecord(reinterpret_cast<const quint8*>(frame.constData()), wavelengths));
        progress.Update(nIndex);
    };
    bool bEndConfirmed = false;
    result = session.Download(onCount, onRecord, &bEndConfirmed);
    progress.Finish();
    const int nResends = link.GetResendCount();
    if (bTooMany)
    {
        m_err << "meterctl: the meter holds " << nTotal << " records, more than one .xls sheet holds (at most "
              << REPORT_MAX_RECORDS << "). Add --csv FILE to download them all as CSV.\n";
        DisconnectMeter(link, options, false);
        return EXIT_TOO_MANY_ROWS;
    }
    if (result != LINK_OK)
    {
        const QString strWhat =
            nTotal < 0
                ? QStringLiteral("the request for the record count")
                : QStringLiteral("the request for record %1 of %2").arg(link.GetRecordsReceived() + 1).arg(nTotal);
        const int nFail = ReportLinkFailure(result, strWhat, link);
        // As the dialog's Disconnect, though the meter was silent already:
        // one attempt, and no word when it goes unanswered too.
        DisconnectMeter(link, options, true);
        if (nTotal < 0)
            return nFail;
        if (bKeepPartial)
            WriteOutputs(outputs, rows, true);
        else
        {
            m_err << "meterctl: nothing was written (--keep-partial writes the " << rows.size()
                  << " records received).\n";
            m_err.flush();
        }
        return nFail;
    }
    if (nTotal > 0)
    {
        // The meter ends a download with its reply to the request one beyond
        // the count. Every record is in by then, so a missing end reply only
        // earns a warning.
        if (bEndConfirmed)
            m_err << PickText(TXT_READ_DONE, options.nLanguage) << '\n';
        else
            m_err << "meterctl: warning: the meter did not confirm the end of the download; all " << nTotal
                  << " records were received.\n";
    }
    if (nResends > 0)
        m_err << nResends << (nResends == 1 ? " request was" : " requests were")
              << " sent again (a reply late or damaged).\n";
    // As the dialog's Disconnect: the meter leaves its connected state.
    DisconnectMeter(link, options, false);
    return WriteOutputs(outputs, rows, false);
}
