// Writing and reading record rows as CSV.
#include "tools/meterctl/CsvReport.h"

#include "files/HugePages.h"
#include "files/SafeFile.h"
#include "report/ReportLayout.h"
#include "report/TextBlock.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstring>

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

// Decodes the UTF-8 bytes [p, pEnd) to UTF-16 at pOut (at most one unit
// per byte); the end of what was written, or null at a byte sequence that
// is not UTF-8 (a stray byte, a cut or overlong sequence, a surrogate).
char16_t* DecodeUtf8(const uchar* p, const uchar* pEnd, char16_t* pOut)
{
    // ASCII eight bytes a step.
    while (pEnd - p >= 8)
    {
        quint64 nWord;
        std::memcpy(&nWord, p, 8);
        if (nWord & 0x8080808080808080ull)
            break;
        for (int i = 0; i < 8; ++i)
            pOut[i] = p[i];
        p += 8;
        pOut += 8;
    }
    while (p < pEnd)
    {
        char32_t c = *p;
        if (c < 0x80)
        {
            *pOut++ = char16_t(c);
            ++p;
            continue;
        }
        int nMore = 0;
        char32_t cMin = 0;
        if ((c & 0xE0) == 0xC0)
            nMore = 1, c &= 0x1F, cMin = 0x80;
        else if ((c & 0xF0) == 0xE0)
            nMore = 2, c &= 0x0F, cMin = 0x800;
        else if ((c & 0xF8) == 0xF0)
            nMore = 3, c &= 0x07, cMin = 0x10000;
        else
            return nullptr;
        if (pEnd - p <= nMore)
            return nullptr;
        for (int i = 1; i <= nMore; ++i)
        {
            if ((p[i] & 0xC0) != 0x80)
                return nullptr;
            c = (c << 6) | (p[i] & 0x3F);
        }
        if (c < cMin || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return nullptr;
        p += nMore + 1;
        if (c >= 0x10000)
        {
            c -= 0x10000;
            *pOut++ = char16_t(0xD800 | (c >> 10));
            *pOut++ = char16_t(0xDC00 | (c & 0x3FF));
        }
        else
            *pOut++ = char16_t(c);
    }
    return pOut;
}

// Splits the CSV (UTF-8 bytes) into records of fields. The separators are
// ASCII, which never occurs inside a UTF-8 sequence, so the bytes are cut
// first and each field is decoded on its own, straight into a TextBlock:
// no text of its own per field, and a field equal to the one above it in
// the same column is that one.
class CsvLines
{
public:
    CsvLines(const char* pData, qsizetype nSize) : m_pData(pData), m_nSize(nSize) {}
    // The next record's fields (at most nMax are kept, the rest counted);
    // pAbove, when given, the first nAbove texts of the record before. False
    // at the end, on a quote that is never closed and on bytes that are not
    // UTF-8.
    bool Next(QString* pFields, int nMax, const QString* pAbove, int nAbove, int& nFields, int& nLine, QString* pError)
    {
        nFields = 0;
        if (m_nPos >= m_nSize)
            return false;
        nLine = m_nLine;
        for (;;)
        {
            // Where the field's characters are: the quoted parts (each
            // followed by a quote when it was doubled), then the rest up to
            // a comma or the end of the line.
            const qsizetype nStart = m_nPos;
            m_parts.clear();
            if (m_nPos < m_nSize && m_pData[m_nPos] == '"')
            {
                ++m_nPos;
                for (;;)
                {
                    const void* pQuote = std::memchr(m_pData + m_nPos, '"', size_t(m_nSize - m_nPos));
                    if (pQuote == nullptr)
                    {
                        if (pError)
                            *pError = QStringLiteral("line %1: a quoted field is not closed").arg(nLine);
                        m_bBroken = true;
                        return false;
                    }
                    const qsizetype nQuote = static_cast<const char*>(pQuote) - m_pData;
                    m_nLine += int(std::count(m_pData + m_nPos, m_pData + nQuote, '\n'));
                    const bool bDoubled = nQuote + 1 < m_nSize && m_pData[nQuote + 1] == '"';
                    m_parts.append(Part{m_nPos, nQuote, bDoubled});
                    m_nPos = nQuote + (bDoubled ? 2 : 1);
                    if (!bDoubled)
                        break;
                }
            }
            qsizetype nEnd = m_nPos;
            for (; nEnd < m_nSize; ++nEnd)
            {
                // ',' '\n' '\r' are at most ','; most characters are above.
                const uchar ch = uchar(m_pData[nEnd]);
                if (ch <= ',' && (ch == ',' || ch == '\n' || ch == '\r'))
                    break;
            }
            if (nEnd > m_nPos)
                m_parts.append(Part{m_nPos, nEnd, false});
            if (nFields < nMax &&
                !Decode(pFields[nFields], nFields < nAbove ? &pAbove[nFields] : nullptr, nEnd - nStart))
            {
                if (pError)
                    *pError = QStringLiteral("it is not UTF-8 text");
                m_bBroken = true;
                return false;
            }
            ++nFields;
            m_nPos = nEnd;
            if (m_nPos >= m_nSize)
                return true;
            const char ch = m_pData[m_nPos++];
            if (ch == ',')
                continue;
            if (ch == '\r' && m_nPos < m_nSize && m_pData[m_nPos] == '\n')
                ++m_nPos;
            ++m_nLine;
            return true;
        }
    }
    bool Broken() const { return m_bBroken; }

private:
    struct Part
    {
        qsizetype nFrom, nTo;
        bool bQuoteAfter;
    };

    // The field's parts as one text (at most nMaxChars characters); false
    // when they are not UTF-8.
    bool Decode(QString& strField, const QString* pAbove, qsizetype nMaxChars)
    {
        if (m_parts.isEmpty())
        {
            strField = QString();
            return true;
        }
        char16_t* const pStart = m_block.Reserve(nMaxChars);
        char16_t* pOut = pStart;
        for (const Part& part : std::as_const(m_parts))
        {
            const uchar* p = reinterpret_cast<const uchar*>(m_pData) + part.nFrom;
            char16_t* pNext = DecodeUtf8(p, p + (part.nTo - part.nFrom), pOut);
            if (pNext == nullptr)
            {
                // Bytes that are not UTF-8 are refused, unless the file holds
                // U+FFFD itself: then they become U+FFFD as Qt decodes them.
                if (!Lenient())
                    return false;
                const QString strPart = QString::fromUtf8(reinterpret_cast<const char*>(p), part.nTo - part.nFrom);
                pNext = std::copy(strPart.utf16(), strPart.utf16() + strPart.size(), pOut);
            }
            pOut = pNext;
            if (part.bQuoteAfter)
                *pOut++ = u'"';
        }
        const qsizetype nChars = pOut - pStart;
        if (pAbove && pAbove->size() == nChars && std::equal(pStart, pOut, pAbove->utf16()))
            strField = *pAbove;
        else
            strField = m_block.Take(nChars);
        return true;
    }
    bool Lenient()
    {
        if (m_nLenient < 0)
            m_nLenient = QByteArrayView(m_pData, m_nSize).indexOf(QByteArrayView("\xEF\xBF\xBD")) >= 0 ? 1 : 0;
        return m_nLenient == 1;
    }

    const char* m_pData;
    qsizetype m_nSize;
    qsizetype m_nPos = 0;
    int m_nLine = 1;
    bool m_bBroken = false;
    int m_nLenient = -1; // not looked at yet
    QVarLengthArray<Part, 4> m_parts;
    TextBlock m_block;
};
} // namespace

RecordsCsvBuilder::RecordsCsvBuilder(Language nLanguage, bool bBom)
{
    if (bBom)
        m_data = QByteArray("\xEF\xBB\xBF");
    AppendLine(m_strLines, Header(nLanguage));
}

void RecordsCsvBuilder::AddRow(const MeasurementRecord& row)
{
    AppendLine(m_strLines, row.texts);
    // Encoded a few thousand characters at a time, always at a line's end.
    if (m_strLines.size() >= 16 * 1024)
        Flush();
}

void RecordsCsvBuilder::Flush()
{
    m_data += m_strLines.toUtf8();
    m_strLines.resize(0); // the room stays for the next lines
}

QByteArray RecordsCsvBuilder::Take()
{
    Flush();
    return std::move(m_data);
}

QByteArray BuildRecordsCsv(const QVector<MeasurementRecord>& rows, Language nLanguage, bool bBom)
{
    RecordsCsvBuilder csv(nLanguage, bBom);
    csv.Reserve(rows.size());
    for (const MeasurementRecord& row : rows)
        csv.AddRow(row);
    return csv.Take();
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
    const qsizetype nBom = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    CsvLines lines(data.constData() + nBom, data.size() - nBom);
    QString fields[RECORD_COLUMNS + 1];
    int nFields = 0;
    int nLine = 0;
    if (!lines.Next(fields, RECORD_COLUMNS + 1, nullptr, 0, nFields, nLine, pError))
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
    QVector<MeasurementRecord> result(
        LargeArrayData<MeasurementRecord>(qsizetype(std::count(data.begin(), data.end(), '\n'))));
    // "1550nm" and "OPM" repeat from row to row: such a field is the text
    // above it.
    const auto above = [&result]() { return result.isEmpty() ? nullptr : result.constLast().texts.data(); };
    while (
        lines.Next(fields, RECORD_COLUMNS + 1, above(), result.isEmpty() ? 0 : RECORD_COLUMNS, nFields, nLine, pError))
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
            record.texts[size_t(nCol)] = std::move(fields[nCol]);
        result.append(std::move(record));
    }
    if (lines.Broken())
        return false;
    rows = std::move(result);
    return true;
}
