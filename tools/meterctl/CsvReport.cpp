// Writing and reading record rows as CSV.
#include "tools/meterctl/CsvReport.h"

#include "files/SafeFile.h"
#include "report/ReportLayout.h"

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

std::array<QString, RECORD_COLUMNS> Header(Language nLanguage)
{
    std::array<QString, RECORD_COLUMNS> header;
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        header[size_t(nCol)] = PickText(REPORT_COLUMN_HEADERS[size_t(nCol)], nLanguage);
    return header;
}

// Splits the CSV into records of fields. A field without quotes is cut out
// of the text in one piece; only quoted fields are put together character
// by character.
class CsvLines
{
public:
    explicit CsvLines(QStringView text) : m_text(text) {}
    // The next record's fields (at most nMax are kept, the rest counted);
    // false at the end or on a quote that is never closed.
    bool Next(QString* pFields, int nMax, int& nFields, int& nLine, QString* pError)
    {
        nFields = 0;
        const qsizetype nSize = m_text.size();
        if (m_nPos >= nSize)
            return false;
        nLine = m_nLine;
        for (;;)
        {
            QString strField;
            if (m_nPos < nSize && m_text[m_nPos] == QLatin1Char('"'))
            {
                ++m_nPos;
                for (;;)
                {
                    const qsizetype nQuote = m_text.indexOf(QLatin1Char('"'), m_nPos);
                    if (nQuote < 0)
                    {
                        if (pError)
                            *pError = QStringLiteral("line %1: a quoted field is not closed").arg(nLine);
                        m_bBroken = true;
                        return false;
                    }
                    const QStringView part = m_text.mid(m_nPos, nQuote - m_nPos);
                    m_nLine += int(part.count(QLatin1Char('\n')));
                    strField += part;
                    m_nPos = nQuote + 1;
                    if (m_nPos < nSize && m_text[m_nPos] == QLatin1Char('"'))
                    {
                        strField += QLatin1Char('"');
                        ++m_nPos;
                        continue;
                    }
                    break;
                }
            }
            // The rest of the field up to a comma or the end of the line.
            qsizetype nEnd = m_nPos;
            while (nEnd < nSize)
            {
                const char16_t ch = m_text[nEnd].unicode();
                if (ch == u',' || ch == u'\n' || ch == u'\r')
                    break;
                ++nEnd;
            }
            if (nEnd > m_nPos)
                strField += m_text.mid(m_nPos, nEnd - m_nPos);
            if (nFields < nMax)
                pFields[nFields] = strField;
            ++nFields;
            m_nPos = nEnd;
            if (m_nPos >= nSize)
                return true;
            const char16_t ch = m_text[m_nPos++].unicode();
            if (ch == u',')
                continue;
            if (ch == u'\r' && m_nPos < nSize && m_text[m_nPos] == QLatin1Char('\n'))
                ++m_nPos;
            ++m_nLine;
            return true;
        }
    }
    bool Broken() const { return m_bBroken; }

private:
    QStringView m_text;
    qsizetype m_nPos = 0;
    int m_nLine = 1;
    bool m_bBroken = false;
};
} // namespace

QByteArray BuildRecordsCsv(const QVector<MeasurementRecord>& rows, Language nLanguage, bool bBom)
{
    QString strOut;
    AppendLine(strOut, Header(nLanguage));
    for (const MeasurementRecord& row : rows)
        AppendLine(strOut, row.texts);
    QByteArray data = bBom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    data += strOut.toUtf8();
    return data;
}

bool WriteRecordsCsv(const QString& strPath, const QVector<MeasurementRecord>& rows, Language nLanguage,
                     QString* pError)
{
    FileFailure failure;
    if (WriteFileSafely(strPath, BuildRecordsCsv(rows, nLanguage, true), &failure))
        return true;
    if (pError)
        *pError = failure.Text();
    return false;
}

bool ParseRecordsCsv(const QByteArray& data, QVector<MeasurementRecord>& rows, QString* pError)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString strText = QString::fromUtf8(bytes);
    if (strText.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"))
    {
        if (pError)
            *pError = QStringLiteral("it is not UTF-8 text");
        return false;
    }
    CsvLines lines(strText);
    QString fields[RECORD_COLUMNS + 1];
    int nFields = 0;
    int nLine = 0;
    if (!lines.Next(fields, RECORD_COLUMNS + 1, nFields, nLine, pError))
    {
        if (pError && !lines.Broken())
            *pError = QStringLiteral("line 1: no header row");
        return false;
    }
    const auto isHeader = [&](Language nLanguage) {
        const std::array<QString, RECORD_COLUMNS> header = Header(nLanguage);
        return nFields == RECORD_COLUMNS && std::equal(header.begin(), header.end(), fields);
    };
    if (!isHeader(LANGUAGE_ENGLISH) && !isHeader(LANGUAGE_CHINESE))
    {
        if (pError)
            *pError = QStringLiteral("line 1: not the header row of a record CSV (Number,Wave,Mode and four more)");
        return false;
    }
    QVector<MeasurementRecord> result;
    result.reserve(qsizetype(strText.count(QLatin1Char('\n'))));
    while (lines.Next(fields, RECORD_COLUMNS + 1, nFields, nLine, pError))
    {
        if (nFields == 1 && fields[0].isEmpty())
            continue; // a blank line, as editors leave one at the end
        if (nFields != RECORD_COLUMNS)
        {
            if (pError)
                *pError =
                    QStringLiteral("line %1: %2 fields, a record has %3").arg(nLine).arg(nFields).arg(RECORD_COLUMNS);
            return false;
        }
        MeasurementRecord record;
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        {
            // "1550nm" and "OPM" repeat from row to row: share one copy.
            const QString* pAbove = result.isEmpty() ? nullptr : &result.constLast().texts[size_t(nCol)];
            record.texts[size_t(nCol)] = pAbove && *pAbove == fields[nCol] ? *pAbove : fields[nCol];
        }
        result.append(record);
    }
    if (lines.Broken())
        return false;
    rows = std::move(result);
    return true;
}
