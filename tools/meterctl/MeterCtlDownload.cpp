// meterctl download: connect, ask for the record count, fetch the records one
// by one (the same ping-pong as the program's Read button), then write the
// report and/or the CSV.
#include "tools/meterctl/MeterCtl.h"

#include "link/InstrumentFrame.h"
#include "records/RecordDecoder.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "tools/meterctl/CsvReport.h"
#include "tools/meterctl/MeterLink.h"
#include "tools/meterctl/ProgressMeter.h"

#include <QtEndian>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {
// RSP_CONNECTED: 4..43 twenty wavelengths in nm, 16-bit big-endian; 3 unused.
WavelengthTable WavelengthsFromReply(const QByteArray& reply)
{
    WavelengthTable table{};
    const auto* p = reinterpret_cast<const quint8*>(reply.constData());
    for (int i = 0; i < WAVELENGTH_COUNT; ++i)
        table[size_t(i)] = qFromBigEndian<quint16>(p + 4 + 2 * i);
    return table;
}

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
    if (!outputs.strCsv.isEmpty())
    {
        QString strError;
        if (WriteRecordsCsv(outputs.strCsv, rows, outputs.nLanguage, &strError))
            m_out << "Wrote " << strWhat << " to " << PathText(outputs.strCsv) << '\n';
        else
        {
            m_err << "meterctl: cannot write " << PathText(outputs.strCsv) << ": " << strError << ".\n";
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
                  << ".\n";
            if (nExit == EXIT_OK)
                nExit = EXIT_TOO_MANY_ROWS;
        }
        else
        {
            if (WriteReportFile(outputs.strXls, rows, outputs.userInfo, outputs.nLanguage) == EXIT_OK)
                m_out << "Wrote " << strWhat << " to " << PathText(outputs.strXls) << '\n';
            else
                nExit = EXIT_FILE;
        }
    }
    if (outputs.strCsv.isEmpty() && outputs.strXls.isEmpty())
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
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    MeterOptions options;
    QString strError;
    if (!ReadMeterOptions(parser, options, strError))
        return Usage(strCommand, strError);
    if (!parser.positionalArguments().isEmpty())
        return Usage(strCommand, QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments()[0]));

    DownloadOutputs outputs;
    outputs.strXls = parser.value(QStringLiteral("xls"));
    outputs.strCsv = parser.value(QStringLiteral("csv"));
    outputs.nLanguage = options.nLanguage;
    outputs.userInfo.strCompany = parser.value(QStringLiteral("company"));
    outputs.userInfo.strMeterType = parser.value(QStringLiteral("meter-type"));
    outputs.userInfo.strSerial = parser.value(QStringLiteral("serial"));
    outputs.userInfo.strOperator = parser.value(QStringLiteral("operator"));
    outputs.userInfo.strNotes = parser.value(QStringLiteral("notes"));
    const bool bKeepPartial = parser.isSet(QStringLiteral("keep-partial"));
    if ((parser.isSet(QStringLiteral("xls")) && outputs.strXls.isEmpty()) ||
        (parser.isSet(QStringLiteral("csv")) && outputs.strCsv.isEmpty()))
        return Usage(strCommand, QStringLiteral("--xls and --csv need a file name."));
    // The program's Save takes only .xls names; so does this.
    if (!outputs.strXls.isEmpty() &&
        QFileInfo(outputs.strXls).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0)
        return Usage(strCommand, QStringLiteral("the report's name must end in .xls."));
    if (!outputs.strXls.isEmpty() && !outputs.strCsv.isEmpty() &&
        QFileInfo(outputs.strXls).absoluteFilePath() == QFileInfo(outputs.strCsv).absoluteFilePath())
        return Usage(strCommand, QStringLiteral("--xls and --csv name the same file."));
    // Refuse an unwritable output before a download that may take minutes.
    if ((!outputs.strXls.isEmpty() && !CheckOutputPath(outputs.strXls)) ||
        (!outputs.strCsv.isEmpty() && !CheckOutputPath(outputs.strCsv)))
        return EXIT_FILE;

    // Rows printed on the output: the progress and the meter's messages go
    // to the error stream, so that the output holds the rows only.
    if (outputs.strXls.isEmpty() && outputs.strCsv.isEmpty())
        m_pStatus = &m_err;
    MeterLink link;
    nExit = OpenMeter(options, link);
    if (nExit != EXIT_OK)
        return nExit;

    QByteArray reply;
    int nResult = link.Request(InstrumentFrame::Build(CMD_CONNECT, QByteArray()), RSP_CONNECTED, &reply);
    if (nResult != LINK_OK)
        return LinkFailure(nResult, QStringLiteral("the connect request"), link);
    const WavelengthTable wavelengths = WavelengthsFromReply(reply);
    Status() << PickText(TXT_CONNECTED, options.nLanguage) << '\n';

    nResult = link.Request(InstrumentFrame::Build(CMD_READ_COUNT, QByteArray()), RSP_COUNT, &reply);
    if (nResult != LINK_OK)
        return LinkFailure(nResult, QStringLiteral("the request for the record count"), link);
    const int nTotal = qFromBigEndian<quint16>(reinterpret_cast<const quint8*>(reply.constData()) + FRAME_POS_PAYLOAD);
    if (nTotal == 0)
        Status() << PickText(TXT_NO_RECORDS, options.nLanguage) << '\n';
    // Only a report asked for and too many records: say so before the download.
    if (nTotal > REPORT_MAX_RECORDS && !outputs.strXls.isEmpty() && outputs.strCsv.isEmpty())
    {
        m_err << "meterctl: the meter holds " << nTotal << " records, more than one .xls sheet holds (at most "
              << REPORT_MAX_RECORDS << "). Add --csv FILE to download them all as CSV.\n";
        m_err.flush();
        return EXIT_TOO_MANY_ROWS;
    }
    Status().flush();

    QVector<MeasurementRecord> rows;
    rows.reserve(nTotal);
    ProgressMeter progress(Status(), m_bTerminal && m_pStatus == &m_out);
    if (nTotal > 0)
        progress.Start(nTotal);
    for (int nIndex = 1; nIndex <= nTotal; ++nIndex)
    {
        // Only the reply that carries the record asked for counts: a late
        // reply to an earlier attempt must not be taken twice.
        const auto isRecord = [nIndex](const QByteArray& frame) {
            return DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())) == nIndex;
        };
        nResult = link.Request(InstrumentFrame::BuildReadRecord(quint16(nIndex)), RSP_RECORD, &reply, isRecord);
        if (nResult != LINK_OK)
        {
            progress.Finish();
            const int nFail =
                LinkFailure(nResult, QStringLiteral("the request for record %1 of %2").arg(nIndex).arg(nTotal), link);
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
        rows.append(DecodeRecord(reinterpret_cast<const quint8*>(reply.constData()), wavelengths));
        progress.Update(nIndex);
    }
    progress.Finish();

    if (nTotal > 0)
    {
        // The meter ends a download with its reply to the request one beyond
        // the count. Every record is in by then, so a missing end reply only
        // earns a warning.
        const auto isEnd = [nTotal](const QByteArray& frame) {
            return DecodeRecordIndex(reinterpret_cast<const quint8*>(frame.constData())) != nTotal;
        };
        nResult = link.Request(InstrumentFrame::BuildReadRecord(quint16(nTotal + 1)), RSP_RECORD, &reply, isEnd);
        if (nResult == LINK_OK)
            Status() << PickText(TXT_READ_DONE, options.nLanguage) << '\n';
        else
            m_err << "meterctl: warning: the meter did not confirm the end of the download; all " << nTotal
                  << " records were received.\n";
    }
    if (link.GetResendCount() > 0)
        Status() << link.GetResendCount() << " request(s) sent again after a time-out.\n";
    Status().flush();
    m_err.flush();
    return WriteOutputs(outputs, rows, false);
}
