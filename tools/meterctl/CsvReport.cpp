// Writing record rows as CSV.
#include "tools/meterctl/CsvReport.h"

#include "report/ReportLayout.h"

#include <QSaveFile>

QString CsvField(const QString& strText)
{
    const bool bQuote = strText.contains(QLatin1Char(',')) || strText.contains(QLatin1Char('"')) ||
                        strText.contains(QLatin1Char('\n')) || strText.contains(QLatin1Char('\r')) ||
                        (!strText.isEmpty() && (strText.front().isSpace() || strText.back().isSpace()));
    if (!bQuote)
        return strText;
    QString strQuoted = strText;
    strQuoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
}

namespace {
void AppendLine(QString& strOut, const std::array<QString, RECORD_COLUMNS>& fields)
{
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        if (nCol > 0)
            strOut += QLatin1Char(',');
        strOut += CsvField(fields[size_t(nCol)]);
    }
    strOut += QLatin1String("\r\n");
}
} // namespace

QByteArray BuildRecordsCsv(const QVector<MeasurementRecord>& rows, Language nLanguage, bool bBom)
{
    std::array<QString, RECORD_COLUMNS> header;
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        const BiText& text = REPORT_COLUMN_HEADERS[size_t(nCol)];
        header[size_t(nCol)] = PickText(text, nLanguage);
    }
    QString strOut;
    AppendLine(strOut, header);
    for (const MeasurementRecord& row : rows)
        AppendLine(strOut, row.texts);
    QByteArray data = bBom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    data += strOut.toUtf8();
    return data;
}

bool WriteRecordsCsv(const QString& strPath, const QVector<MeasurementRecord>& rows, Language nLanguage, QString* pError)
{
    QSaveFile file(strPath);
    const QByteArray data = BuildRecordsCsv(rows, nLanguage, true);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
    {
        if (pError)
            *pError = file.errorString();
        return false;
    }
    return true;
}
