// meterctl convert, and the reading and writing of report files that
// `show`, `convert` and `download` share: a report (.xls) and the download
// CSV into one another, with the user information from options, and every
// failure told in plain words ("the disk is full"), never as an exception
// box's text.
#include "tools/meterctl/MeterCtl.h"

#include "files/SafeFile.h"
#include "report/ReportLayout.h"
#include "report/XlsFile.h"
#include "tools/meterctl/CsvReport.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {
// The largest CSV taken: far beyond 65,530 records.
constexpr qint64 MAX_CSV_SIZE = 512LL * 1024 * 1024;

QString PathText(const QString& strPath)
{
    return QDir::toNativeSeparators(strPath);
}

// A reason as a sentence's end: no doubled full stop.
QString Sentence(QString strText)
{
    strText = strText.trimmed();
    while (strText.endsWith(QLatin1Char('.')) || strText.endsWith(QChar(0x3002)))
        strText.chop(1);
    return strText + QLatin1Char('.');
}

bool IsXls(const QString& strPath)
{
    return strPath.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive);
}

bool IsCsv(const QString& strPath)
{
    return strPath.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}
} // namespace

int MeterCtl::ReadReportFile(const QString& strPath, QVector<MeasurementRecord>& rows, ReportUserInfo& info)
{
    ReportHooks hooks;
    hooks.showUserInfo = [&info](const ReportUserInfo& i) { info = i; };
    hooks.expectRows = [&rows](qsizetype nRows) { rows.reserve(rows.size() + nRows); };
    hooks.appendRow = [&rows](MeasurementRecord&& row) { rows.append(std::move(row)); };
    const int nExit = ReadReportFile(strPath, std::move(hooks));
    if (nExit != EXIT_OK)
        rows.clear();
    return nExit;
}

int MeterCtl::ReadReportFile(const QString& strPath, ReportHooks hooks)
{
    // Why a file cannot be read at all is told before the job: "not a
    // regular file", "permission denied" are not "not a report".
    FileFailure failure;
    if (!ReadRegularFile(strPath, XLS_MAX_FILE_SIZE, nullptr, &failure, 0))
    {
        const QString strWhy =
            failure.error == FileError::NotFound ? QStringLiteral("no such file") : failure.Text(LANGUAGE_ENGLISH);
        m_err << "meterctl: cannot read " << PathText(strPath) << ": " << Sentence(strWhy) << '\n';
        m_err.flush();
        return EXIT_FILE;
    }
    QString strFailure;
    QStringList notices;
    hooks.reportFailure = [&strFailure](const ReportNote& note) { strFailure = note.Text(LANGUAGE_ENGLISH); };
    hooks.reportNotice = [&notices](const ReportNote& note) { notices << note.Text(LANGUAGE_ENGLISH); };
    if (!ReadReportJob(QFileInfo(strPath).absoluteFilePath(), hooks))
    {
        m_err << "meterctl: " << PathText(strPath) << " is not a report that can be opened";
        m_err << (strFailure.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + Sentence(strFailure)) << '\n';
        m_err.flush();
        return EXIT_FILE;
    }
    for (const QString& strNotice : std::as_const(notices))
        m_err << "meterctl: warning: " << PathText(strPath) << ": " << Sentence(strNotice) << '\n';
    m_err.flush();
    return EXIT_OK;
}

namespace {
// Writes a report and says on err what went wrong (see
// MeterCtl::WriteReportFile). Rows given as an rvalue are handed to the job,
// which gives their memory back before the file is made.
template <typename Rows>
int WriteReportTo(QTextStream& err, const QString& strPath, Rows&& rows, const ReportUserInfo& info, Language nLanguage)
{
    if (rows.size() > REPORT_MAX_RECORDS)
    {
        err << "meterctl: " << rows.size() << " records do not fit one .xls sheet (at most " << REPORT_MAX_RECORDS
            << "); " << PathText(strPath) << " was not written.\n";
        err.flush();
        return EXIT_TOO_MANY_ROWS;
    }
    QString strFailure;
    QStringList notices;
    ReportHooks hooks;
    hooks.fetchUserInfo = [&info]() { return info; };
    hooks.reportNoExcel = [&strFailure]() {
        strFailure = QStringLiteral("the spreadsheet server could not be started");
    };
    hooks.reportFailure = [&strFailure](const ReportNote& note) { strFailure = note.Text(LANGUAGE_ENGLISH); };
    hooks.reportNotice = [&notices](const ReportNote& note) { notices << note.Text(LANGUAGE_ENGLISH); };
    const bool bOk = WriteReportJob(QFileInfo(strPath).absoluteFilePath(), std::forward<Rows>(rows), nLanguage, hooks);
    if (!bOk)
        err << "meterctl: cannot write the report " << PathText(strPath)
            << (strFailure.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + Sentence(strFailure)) << '\n';
    for (const QString& strNotice : std::as_const(notices))
        err << "meterctl: warning: " << PathText(strPath) << ": " << Sentence(strNotice) << '\n';
    err.flush();
    return bOk ? EXIT_OK : EXIT_FILE;
}
} // namespace

int MeterCtl::WriteReportFile(const QString& strPath, const QVector<MeasurementRecord>& rows,
                              const ReportUserInfo& info, Language nLanguage)
{
    return WriteReportTo(m_err, strPath, rows, info, nLanguage);
}

int MeterCtl::CmdConvert(const QStringList& args)
{
    const QString strCommand = QStringLiteral("convert");
    QCommandLineParser parser;
    AddLanguageOption(parser);
    const QStringList infoOptions{QStringLiteral("company"), QStringLiteral("meter-type"), QStringLiteral("serial"),
                                  QStringLiteral("operator"), QStringLiteral("notes")};
    for (const QString& strName : infoOptions)
        parser.addOption(QCommandLineOption(strName, QString(), QStringLiteral("TEXT")));
    int nExit = EXIT_OK;
    if (!Parse(parser, args, strCommand, nExit))
        return nExit;
    Language nLanguage = LANGUAGE_ENGLISH;
    QString strError;
    if (!ReadLanguage(parser, nLanguage, strError))
        return Usage(strCommand, strError);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return Usage(strCommand, QStringLiteral("give an input and an output file."));
    const QString strIn = files[0], strOut = files[1];
    for (const QString& strPath : files)
        if (!IsXls(strPath) && !IsCsv(strPath))
            return Usage(strCommand, QStringLiteral("'%1' must end in .xls or .csv.").arg(strPath));
    if (QFileInfo(strIn).absoluteFilePath() == QFileInfo(strOut).absoluteFilePath())
        return Usage(strCommand, QStringLiteral("the input and the output are the same file."));
    if (!CheckOutputPath(strOut))
        return EXIT_FILE;

    QVector<MeasurementRecord> rows;
    ReportUserInfo info;
    if (IsXls(strIn))
    {
        nExit = ReadReportFile(strIn, rows, info);
        if (nExit != EXIT_OK)
            return nExit;
    }
    else
    {
        QByteArray data;
        FileFailure failure;
        if (!ReadRegularFile(strIn, MAX_CSV_SIZE, &data, &failure))
        {
            const QString strWhy =
                failure.error == FileError::NotFound ? QStringLiteral("no such file") : failure.Text(LANGUAGE_ENGLISH);
            m_err << "meterctl: cannot read " << PathText(strIn) << ": " << Sentence(strWhy) << '\n';
            m_err.flush();
            return EXIT_FILE;
        }
        if (!ParseRecordsCsv(data, rows, &strError))
        {
            m_err << "meterctl: " << PathText(strIn) << " is not a record CSV: " << Sentence(strError) << '\n';
            m_err.flush();
            return EXIT_FILE;
        }
    }
    // The options override what the input report says.
    QString* const fields[] = {&info.strCompany, &info.strMeterType, &info.strSerial, &info.strOperator,
                               &info.strNotes};
    for (int i = 0; i < infoOptions.size(); ++i)
        if (parser.isSet(infoOptions[i]))
            *fields[i] = parser.value(infoOptions[i]);

    const qsizetype nRecords = rows.size();
    if (IsXls(strOut))
        nExit = WriteReportTo(m_err, strOut, std::move(rows), info, nLanguage);
    else if (!WriteRecordsCsv(strOut, rows, nLanguage, &strError))
    {
        m_err << "meterctl: cannot write " << PathText(strOut) << ": " << Sentence(strError) << '\n';
        nExit = EXIT_FILE;
    }
    if (nExit == EXIT_OK)
        m_out << "Wrote " << nRecords << " records to " << PathText(strOut) << '\n';
    m_out.flush();
    m_err.flush();
    return nExit;
}
