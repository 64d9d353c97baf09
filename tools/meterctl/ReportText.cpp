// The text of `meterctl show`, built as UTF-8 in one buffer.
#include "tools/meterctl/ReportText.h"

#include "report/ReportLayout.h"

#include <QIODevice>
#include <algorithm>
#include <array>

namespace {
// Appends str to the buffer at p (room for 3 bytes a UTF-16 unit is
// there) as UTF-8, control characters as spaces; the end of what was
// written. A surrogate without its partner becomes U+FFFD, as QTextStream
// writes it.
char* AppendPrintable(char* p, QStringView str)
{
    const char16_t* pChars = str.utf16();
    const qsizetype nSize = str.size();
    for (qsizetype i = 0; i < nSize; ++i)
    {
        char32_t c = pChars[i];
        if (c < 0x80)
        {
            *p++ = (c < 0x20 || c == 0x7F) ? ' ' : char(c);
            continue;
        }
        if (c < 0xA0) // C1 controls
        {
            *p++ = ' ';
            continue;
        }
        if (QChar::isSurrogate(c))
        {
            if (QChar::isHighSurrogate(c) && i + 1 < nSize && QChar::isLowSurrogate(pChars[i + 1]))
                c = QChar::surrogateToUcs4(char16_t(c), pChars[++i]);
            else
                c = QChar::ReplacementCharacter;
        }
        if (c < 0x800)
        {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
        else // two units in, four bytes out
        {
            *p++ = char(0xF0 | (c >> 18));
            *p++ = char(0x80 | ((c >> 12) & 0x3F));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    return p;
}

// A buffer grown as lines are added; each Append makes room for the worst
// case of the text (3 bytes a unit) first.
class Utf8Buffer
{
public:
    explicit Utf8Buffer(qsizetype nReserve) { m_data.resize(nReserve); }
    void Append(QStringView str)
    {
        Room(3 * str.size());
        m_nSize = AppendPrintable(m_data.data() + m_nSize, str) - m_data.data();
    }
    void Append(char ch)
    {
        Room(1);
        m_data.data()[m_nSize++] = ch;
    }
    // Our own texts go the same way: they hold nothing to clean.
    void AppendLabel(const QString& str) { Append(QStringView(str)); }
    QByteArray Take()
    {
        m_data.resize(m_nSize);
        return std::move(m_data);
    }

private:
    void Room(qsizetype nBytes)
    {
        if (m_data.size() - m_nSize >= nBytes)
            return;
        m_data.resize(std::max(2 * m_data.size(), m_nSize + nBytes + 4096));
    }
    QByteArray m_data;
    qsizetype m_nSize = 0;
};
} // namespace

QByteArray ReportTextUtf8(const ReportUserInfo& info, const QVector<MeasurementRecord>& rows, Language nLanguage)
{
    // Labels as the report shows them, field by field.
    std::array<QString, INFO_FIELD_COUNT> labels;
    for (const ReportInfoRow& row : REPORT_INFO_ROWS)
    {
        labels[size_t(row.leftField)] = PickText(row.leftLabel, nLanguage);
        if (row.rightField < INFO_FIELD_COUNT)
            labels[size_t(row.rightField)] = PickText(row.rightLabel, nLanguage);
    }
    const QString* values[INFO_FIELD_COUNT] = {&info.strCompany, &info.strMeterType, &info.strSerial, &info.strOperator,
                                               &info.strNotes};
    qsizetype nChars = 0;
    for (const MeasurementRecord& row : rows)
        for (const QString& str : row.texts)
            nChars += str.size() + 1;
    // Most texts are ASCII: a byte a character and the separators; the
    // buffer grows for the rest.
    Utf8Buffer out(nChars + 4096);
    for (int nField = 0; nField < INFO_FIELD_COUNT; ++nField)
    {
        out.AppendLabel(labels[size_t(nField)]);
        out.Append(QStringView(*values[nField]));
        out.Append('\n');
    }
    out.Append('\n');
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        if (nCol > 0)
            out.Append('\t');
        out.AppendLabel(PickText(REPORT_COLUMN_HEADERS[size_t(nCol)], nLanguage));
    }
    out.Append('\n');
    for (const MeasurementRecord& row : rows)
    {
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        {
            if (nCol > 0)
                out.Append('\t');
            out.Append(QStringView(row.texts[size_t(nCol)]));
        }
        out.Append('\n');
    }
    return out.Take();
}

void WriteUtf8(QTextStream& out, const QByteArray& utf8)
{
    QIODevice* pDevice = out.device();
    if (pDevice == nullptr)
    {
        out << QString::fromUtf8(utf8);
        return;
    }
    out.flush();
    pDevice->write(utf8);
}
