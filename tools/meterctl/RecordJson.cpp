// Reading the list's texts back into numbers for the JSON output. The texts
// are what the record decoder writes ("%.2fdBm", "20yy-m-d  h:m:s") or what
// a report holds after someone edited it, so every field is read on its own
// and one that does not read is null, not a failure of the whole record.
#include "tools/meterctl/RecordJson.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace {
// A decimal number in the C locale's form ("-12.34", "45", ".5") and an
// optional unit after it. Not "inf", "nan" or an exponent: the texts never
// hold those as numbers.
QRegularExpression NumberPattern(const char* pszUnits)
{
    return QRegularExpression(QStringLiteral("^\\s*([-+]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+))\\s*(") +
                              QLatin1String(pszUnits) + QStringLiteral(")?\\s*$"));
}

// The number of strText when it matches pattern; its unit goes to *pUnit.
QJsonValue ReadNumber(const QString& strText, const QRegularExpression& pattern, QString* pUnit = nullptr)
{
    const QRegularExpressionMatch match = pattern.match(strText);
    if (!match.hasMatch())
        return QJsonValue(QJsonValue::Null);
    bool bOk = false;
    const double dValue = QLocale::c().toDouble(match.captured(1), &bOk);
    if (!bOk || !std::isfinite(dValue))
        return QJsonValue(QJsonValue::Null);
    if (pUnit)
        *pUnit = match.captured(2);
    return dValue;
}

QJsonValue ReadWholeNumber(const QString& strText)
{
    bool bOk = false;
    const qint64 nValue = QLocale::c().toLongLong(strText.trimmed(), &bOk);
    // A JSON number is a double: beyond 2^53 it would lose digits.
    if (!bOk || std::llabs(nValue) > (qint64(1) << 53))
        return QJsonValue(QJsonValue::Null);
    return double(nValue);
}

QJsonValue ReadMode(const QString& strText)
{
    const QString strMode = strText.trimmed().toUpper();
    for (const char* pszMode : {"RL", "OPM", "IL"})
        if (strMode == QLatin1String(pszMode))
            return strMode;
    return QJsonValue(QJsonValue::Null);
}

// "2012-5-3  9:5:7" as the decoder writes it (no leading zeros, two blanks)
// or "2012-05-03 09:05:07"; a year byte of 100 or more makes a five-digit
// year, which is no time.
QJsonValue ReadTime(const QString& strText)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})\\s+([0-9]{1,2}):([0-9]{1,2}):([0-9]{1,2})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(strText);
    if (!match.hasMatch())
        return QJsonValue(QJsonValue::Null);
    const auto field = [&match](int n) { return match.captured(n).toInt(); };
    const QDate date(field(1), field(2), field(3));
    const QTime time(field(4), field(5), field(6));
    if (!date.isValid() || !time.isValid())
        return QJsonValue(QJsonValue::Null);
    return date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(Qt::ISODate);
}
} // namespace

QJsonObject RecordToJson(const MeasurementRecord& row)
{
    QJsonObject record;
    record.insert(QStringLiteral("number"), ReadWholeNumber(row.texts[COL_NUMBER]));
    static const QRegularExpression wavelength = NumberPattern("nm");
    static const QRegularExpression value = NumberPattern("dBm|dB");
    static const QRegularExpression reference = NumberPattern("dBm");
    record.insert(QStringLiteral("wavelength"), ReadNumber(row.texts[COL_WAVELENGTH], wavelength));
    record.insert(QStringLiteral("mode"), ReadMode(row.texts[COL_MODE]));
    QString strUnit;
    record.insert(QStringLiteral("value"), ReadNumber(row.texts[COL_VALUE], value, &strUnit));
    record.insert(QStringLiteral("unit"), strUnit.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(strUnit));
    record.insert(QStringLiteral("reference"), ReadNumber(row.texts[COL_REFERENCE], reference));
    record.insert(QStringLiteral("time"), ReadTime(row.texts[COL_DATETIME]));
    QJsonArray texts;
    for (const QString& strText : row.texts)
        texts.append(strText);
    record.insert(QStringLiteral("texts"), texts);
    return record;
}

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
    m_json += (m_bFirst ? "\n" : ",\n") + QJsonDocument(RecordToJson(row)).toJson(QJsonDocument::Compact);
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
