// Reading the list's texts back into numbers for the JSON output. The texts
// are what the record decoder writes ("%.2fdBm", "20yy-m-d  h:m:s") or what
// a report holds after someone edited it, so every field is read on its own
// and one that does not read is null, not a failure of the whole record.
#include "tools/meterctl/RecordJson.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTime>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// The blanks a field may have around it: ASCII white space (a no-break
// space is not one).
bool IsBlank(char16_t ch)
{
    return ch == u' ' || (ch >= u'\t' && ch <= u'\r');
}

// A decimal number in the C locale's form ("-12.34", "45", ".5", "5.")
// with blanks around it and, after it, one of units or none; the unit goes
// to *pUnit. Not "inf", "nan" or an exponent: the texts never hold those as
// numbers. Read by hand: a regular expression and QLocale per field made
// the JSON of a large report take a second.
QJsonValue ReadNumber(QStringView text, std::initializer_list<const char*> units, QString* pUnit = nullptr)
{
    const QJsonValue none(QJsonValue::Null);
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i].unicode()))
        ++i;
    const qsizetype nStart = i;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    const auto digits = [&]() {
        const qsizetype nFrom = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        return i - nFrom;
    };
    qsizetype nDigits = digits();
    if (i < n && text[i] == u'.')
    {
        ++i;
        nDigits += digits();
    }
    if (nDigits == 0)
        return none;
    // The number's characters are ASCII: from_chars reads them as the C
    // locale does, whatever the process's locale.
    QVarLengthArray<char, 64> number;
    for (qsizetype k = text[nStart] == u'+' ? nStart + 1 : nStart; k < i; ++k)
        number.append(char(text[k].unicode()));
    double dValue = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), dValue);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size() || !std::isfinite(dValue))
        return none;
    while (i < n && IsBlank(text[i].unicode()))
        ++i;
    QLatin1StringView unit;
    for (const char* pszUnit : units)
        if (text.mid(i).startsWith(QLatin1StringView(pszUnit)))
        {
            unit = QLatin1StringView(pszUnit);
            break;
        }
    i += unit.size();
    while (i < n && IsBlank(text[i].unicode()))
        ++i;
    if (i != n)
        return none;
    if (pUnit)
        *pUnit = unit;
    return dValue;
}

QJsonValue ReadWholeNumber(const QString& strText)
{
    // Plain digits, as the meter's numbers are, are read at once.
    if (!strText.isEmpty() && strText.size() <= 15 &&
        std::all_of(strText.cbegin(), strText.cend(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; }))
        return double(strText.toLongLong());
    bool bOk = false;
    const qint64 nValue = QLocale::c().toLongLong(strText.trimmed(), &bOk);
    // A JSON number is a double: beyond 2^53 it would lose digits.
    if (!bOk || std::llabs(nValue) > (qint64(1) << 53))
        return QJsonValue(QJsonValue::Null);
    return double(nValue);
}

QJsonValue ReadMode(const QString& strText)
{
    for (const char* pszMode : {"RL", "OPM", "IL"})
        if (strText == QLatin1StringView(pszMode))
            return QLatin1StringView(pszMode);
    const QString strMode = strText.trimmed().toUpper();
    for (const char* pszMode : {"RL", "OPM", "IL"})
        if (strMode == QLatin1StringView(pszMode))
            return strMode;
    return QJsonValue(QJsonValue::Null);
}

// "2012-5-3  9:5:7" as the decoder writes it (no leading zeros, two blanks)
// or "2012-05-03 09:05:07", as "2012-05-03T09:05:07"; a null string when it
// is no time (a year byte of 100 or more makes a five-digit year).
QString ReadTime(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto blanks = [&]() {
        const qsizetype nFrom = i;
        while (i < n && IsBlank(text[i].unicode()))
            ++i;
        return i - nFrom;
    };
    // A field of nMin to nMax digits, then the separator (none at the end).
    int fields[6] = {};
    const auto field = [&](int& nValue, int nMin, int nMax, char16_t separator) {
        int nDigits = 0;
        while (i < n && nDigits < nMax && text[i] >= u'0' && text[i] <= u'9')
        {
            nValue = nValue * 10 + (text[i].unicode() - u'0');
            ++i;
            ++nDigits;
        }
        if (nDigits < nMin)
            return false;
        if (separator == 0)
            return true;
        if (i == n || text[i] != separator)
            return false;
        ++i;
        return true;
    };
    blanks();
    if (!field(fields[0], 4, 4, u'-') || !field(fields[1], 1, 2, u'-') || !field(fields[2], 1, 2, 0) || blanks() == 0 ||
        !field(fields[3], 1, 2, u':') || !field(fields[4], 1, 2, u':') || !field(fields[5], 1, 2, 0))
        return QString();
    blanks();
    if (i != n || !QDate::isValid(fields[0], fields[1], fields[2]) || !QTime::isValid(fields[3], fields[4], fields[5]))
        return QString();
    // yyyy-MM-ddTHH:mm:ss
    QString strIso(19, Qt::Uninitialized);
    QChar* pOut = strIso.data();
    const auto put = [&pOut](int nValue, int nDigits, char separator) {
        for (int k = nDigits - 1; k >= 0; --k, nValue /= 10)
            pOut[k] = QLatin1Char(char('0' + nValue % 10));
        pOut += nDigits;
        if (separator)
            *pOut++ = QLatin1Char(separator);
    };
    put(fields[0], 4, '-');
    put(fields[1], 2, '-');
    put(fields[2], 2, 'T');
    put(fields[3], 2, ':');
    put(fields[4], 2, ':');
    put(fields[5], 2, 0);
    return strIso;
}

// What a record's texts read as; a field that does not read is null.
struct RecordFields
{
    QJsonValue number, wavelength, mode, value, unit, reference, time;
};

RecordFields ReadFields(const MeasurementRecord& row)
{
    RecordFields fields;
    fields.number = ReadWholeNumber(row.texts[COL_NUMBER]);
    fields.wavelength = ReadNumber(row.texts[COL_WAVELENGTH], {"nm"});
    fields.mode = ReadMode(row.texts[COL_MODE]);
    QString strUnit;
    fields.value = ReadNumber(row.texts[COL_VALUE], {"dBm", "dB"}, &strUnit);
    fields.unit = strUnit.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(strUnit);
    fields.reference = ReadNumber(row.texts[COL_REFERENCE], {"dBm"});
    const QString strTime = ReadTime(row.texts[COL_DATETIME]);
    fields.time = strTime.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(strTime);
    return fields;
}

// Compact JSON written straight into the document, byte for byte as
// QJsonDocument writes it, without a QJsonObject per record.
void AppendJsonString(QByteArray& json, const QString& strText)
{
    // Printable ASCII without a quote or a backslash goes as it is; the rest
    // (escapes, UTF-8, a lone surrogate) is left to Qt's writer.
    const char16_t* const pText = reinterpret_cast<const char16_t*>(strText.constData());
    const qsizetype nSize = strText.size();
    for (qsizetype i = 0; i < nSize; ++i)
    {
        const char16_t ch = pText[i];
        if (ch < 0x20 || ch >= 0x7F || ch == u'"' || ch == u'\\')
        {
            const QByteArray quoted = QJsonDocument(QJsonArray{strText}).toJson(QJsonDocument::Compact);
            json.append(quoted.constData() + 1, quoted.size() - 2);
            return;
        }
    }
    const qsizetype nAt = json.size();
    json.resize(nAt + nSize + 2);
    char* pOut = json.data() + nAt;
    *pOut++ = '"';
    for (qsizetype i = 0; i < nSize; ++i)
        pOut[i] = char(pText[i]);
    pOut[nSize] = '"';
}

// A number as Qt's writer puts it: a whole one within 2^53 as an integer
// (so -0 is 0), any other in the shortest form that reads back the same.
void AppendJsonNumber(QByteArray& json, double dValue)
{
    constexpr double EXACT = 9007199254740992.0; // 2^53
    if (dValue == std::trunc(dValue) && std::fabs(dValue) <= EXACT)
        json += QByteArray::number(qint64(dValue));
    else
        json += QByteArray::number(dValue, 'g', QLocale::FloatingPointShortest);
}

void AppendJsonValue(QByteArray& json, const QJsonValue& value)
{
    if (value.isDouble())
        AppendJsonNumber(json, value.toDouble());
    else if (value.isString())
        AppendJsonString(json, value.toString());
    else
        json += "null";
}
} // namespace

void RecordsJsonBuilder::Begin(const ReportUserInfo& info, const WavelengthTable* pWavelengths)
{
    QJsonObject userInfo;
    userInfo.insert(QStringLiteral("company"), info.strCompany);
    userInfo.insert(QStringLiteral("meterType"), info.strMeterType);
    userInfo.insert(QStringLiteral("serial"), info.strSerial);
    userInfo.insert(QStringLiteral("operator"), info.strOperator);
    userInfo.insert(QStringLiteral("notes"), info.strNotes);
    QByteArray wavelengths("null");
    if (pWavelengths)
    {
        QJsonArray table;
        for (const quint32 nWave : *pWavelengths)
            table.append(double(nWave));
        wavelengths = QJsonDocument(table).toJson(QJsonDocument::Compact);
    }
    // Written by hand around compact pieces: the members in the documented
    // order (a QJsonObject sorts them) and one record a line, which reads
    // well and suits line-based tools as much as JSON ones.
    m_json += "{\n\"userInformation\": " + QJsonDocument(userInfo).toJson(QJsonDocument::Compact) + ",\n";
    m_json += "\"wavelengths\": " + wavelengths + ",\n";
    m_json += "\"records\": [";
}

void RecordsJsonBuilder::AddRow(const MeasurementRecord& row)
{
    // The members in the order of a QJsonObject (sorted by name), which
    // the documents written before kept.
    const RecordFields fields = ReadFields(row);
    const auto member = [this](const char* pszName, const QJsonValue& value) {
        m_json += ",\"";
        m_json += pszName;
        m_json += "\":";
        AppendJsonValue(m_json, value);
    };
    m_json += m_bFirst ? "\n{\"mode\":" : ",\n{\"mode\":";
    AppendJsonValue(m_json, fields.mode);
    member("number", fields.number);
    member("reference", fields.reference);
    m_json += ",\"texts\":[";
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        if (nCol > 0)
            m_json += ',';
        AppendJsonString(m_json, row.texts[nCol]);
    }
    m_json += ']';
    member("time", fields.time);
    member("unit", fields.unit);
    member("value", fields.value);
    member("wavelength", fields.wavelength);
    m_json += '}';
    m_bFirst = false;
}

QByteArray RecordsJsonBuilder::Take()
{
    m_json += "\n]\n}\n";
    return std::move(m_json);
}

QByteArray BuildRecordsJson(const QVector<MeasurementRecord>& rows, const ReportUserInfo& info,
                            const WavelengthTable* pWavelengths)
{
    RecordsJsonBuilder json;
    json.Reserve(rows.size());
    json.Begin(info, pWavelengths);
    for (const MeasurementRecord& row : rows)
        json.AddRow(row);
    return json.Take();
}
