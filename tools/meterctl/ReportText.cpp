// The text of `meterctl show`, built as UTF-8 in one buffer.
#include "tools/meterctl/ReportText.h"

#include "files/HugePages.h"
#include "report/ReportLayout.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// Four UTF-16 units, all printable ASCII (0x20..0x7E)?
bool FourPrintable(const char16_t* pChars)
{
    quint64 n;
    std::memcpy(&n, pChars, sizeof(n));
    constexpr quint64 LANE_HIGH = 0x0080008000800080ull;
    return (n & 0xFF80FF80FF80FF80ull) == 0 &&                       // each below 0x80,
           ((n + 0x0060006000600060ull) & LANE_HIGH) == LANE_HIGH && // at least 0x20,
           ((n + 0x0001000100010001ull) & LANE_HIGH) == 0;           // and not 0x7F
}

#ifdef __SSE2__
// Eight UTF-16 units written to p as bytes when all are printable ASCII;
// false (with the eight bytes at p written all the same) when not.
bool EightPrintable(char* p, const char16_t* pChars)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pChars));
    // Signed compares: a unit from 0x8000 on is negative, below 0x20.
    const __m128i printable =
        _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16(0x1F)), _mm_cmplt_epi16(units, _mm_set1_epi16(0x7F)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(units, units));
    return _mm_movemask_epi8(printable) == 0xFFFF;
}

// A text of at least eight units that is all printable ASCII, copied to p
// eight units a step, the last step ending at the text's end (it may go
// over units the step before wrote; they are the same bytes): the end of
// what was written, or null when the text is not all printable ASCII (the
// bytes written up to then are written again by the caller).
char* AppendLongAscii(char* p, const char16_t* pChars, qsizetype nSize)
{
    qsizetype i = 0;
    for (; i + 8 <= nSize; i += 8)
        if (!EightPrintable(p + i, pChars + i))
            return nullptr;
    if (i < nSize && !EightPrintable(p + nSize - 8, pChars + nSize - 8))
        return nullptr;
    return p + nSize;
}
#endif

// Appends str to the buffer at p (room for 3 bytes a UTF-16 unit is
// there) as UTF-8, control characters as spaces; the end of what was
// written. A surrogate without its partner becomes U+FFFD, as QTextStream
// writes it.
char* AppendPrintable(char* p, QStringView str)
{
#ifdef __SSE2__
    // Dates and values: mostly eight units or more, all plain ASCII.
    if (str.size() >= 8)
        if (char* pEnd = AppendLongAscii(p, str.utf16(), str.size()))
            return pEnd;
#endif
    const char16_t* pChars = str.utf16();
    const qsizetype nSize = str.size();
    for (qsizetype i = 0; i < nSize; ++i)
    {
        // Most texts are printable ASCII: four at a time.
        while (i + 4 <= nSize && FourPrintable(pChars + i))
        {
            p[0] = char(pChars[i]), p[1] = char(pChars[i + 1]), p[2] = char(pChars[i + 2]), p[3] = char(pChars[i + 3]);
            p += 4, i += 4;
        }
        if (i >= nSize)
            break;
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

} // namespace

void ReportTextBuilder::Reserve(qsizetype nRows)
{
    // Most texts are ASCII: a row takes some 50 bytes. Room not written to
    // costs no memory.
    Room(nRows * 96 + 4096);
}

ReportTextBuilder::~ReportTextBuilder()
{
    FreeLarge(m_pData, size_t(m_nCapacity));
}

void ReportTextBuilder::Grow(qsizetype nBytes)
{
    const qsizetype nCapacity = std::max(2 * m_nCapacity, m_nSize + nBytes + 4096);
    char* pData = static_cast<char*>(AllocateLarge(size_t(nCapacity)));
    if (m_nSize > 0)
        std::memcpy(pData, m_pData, size_t(m_nSize));
    FreeLarge(m_pData, size_t(m_nCapacity));
    m_pData = pData;
    m_nCapacity = nCapacity;
}

void ReportTextBuilder::Append(QStringView str)
{
    // Room for the worst case first: 3 bytes a UTF-16 unit.
    Room(3 * str.size());
    m_nSize = AppendPrintable(m_pData + m_nSize, str) - m_pData;
}

void ReportTextBuilder::Begin(const ReportUserInfo& info)
{
    // Labels as the report shows them, field by field; our own texts hold
    // nothing to clean, and go the same way.
    std::array<QString, INFO_FIELD_COUNT> labels;
    for (const ReportInfoRow& row : REPORT_INFO_ROWS)
    {
        labels[size_t(row.leftField)] = PickText(row.leftLabel, m_nLanguage);
        if (row.rightField < INFO_FIELD_COUNT)
            labels[size_t(row.rightField)] = PickText(row.rightLabel, m_nLanguage);
    }
    const QString* values[INFO_FIELD_COUNT] = {&info.strCompany, &info.strMeterType, &info.strSerial, &info.strOperator,
                                               &info.strNotes};
    for (int nField = 0; nField < INFO_FIELD_COUNT; ++nField)
    {
        Append(QStringView(labels[size_t(nField)]));
        Append(QStringView(*values[nField]));
        Append('\n');
    }
    Append('\n');
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        if (nCol > 0)
            Append('\t');
        Append(QStringView(PickText(REPORT_COLUMN_HEADERS[size_t(nCol)], m_nLanguage)));
    }
    Append('\n');
}

void ReportTextBuilder::AddRow(const MeasurementRecord& row)
{
    // Room for the whole line first, then the fields straight in.
    qsizetype nUnits = 0;
    for (const QString& strText : row.texts)
        nUnits += strText.size();
    Room(3 * nUnits + RECORD_COLUMNS);
    char* const pStart = m_pData + m_nSize;
    char* p = pStart;
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        if (nCol > 0)
            *p++ = '\t';
        p = AppendPrintable(p, QStringView(row.texts[size_t(nCol)]));
    }
    *p++ = '\n';
    m_nSize += p - pStart;
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
