// The check of a saved report against tests/data/report/report_layout.json,
// the layout written down by hand as data: xlrd (tests/report/xls_check.py)
// reads the file, and every cell's text, bold, fill, number format and
// alignment, the merges and the column widths are compared with what the
// description says for that language, user information and rows. Shared
// by the report tests and the meterctl tests (header only).
#pragma once

#include "report/ReportJob.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <map>
#include <utility>

namespace LayoutCheck {

// "B2" -> (1, 1), 0-based.
inline std::pair<int, int> CellOf(const QString& strRef)
{
    const int nCol = strRef[0].unicode() - 'A';
    return {strRef.mid(1).toInt() - 1, nCol};
}

inline bool Inside(const QString& strRange, int nRow, int nCol)
{
    const auto first = CellOf(strRange.section(QLatin1Char(':'), 0, 0));
    const auto last = CellOf(strRange.section(QLatin1Char(':'), 1, 1));
    return nRow >= first.first && nRow <= last.first && nCol >= first.second && nCol <= last.second;
}

// /usr/bin/python3 with xlrd, or an empty string.
inline bool HaveXlrd()
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import xlrd")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The first difference between the saved report strXls and the description,
// or an empty string when there is none.
inline QString Compare(const QString& strXls, Language language, const ReportUserInfo& info,
                       const QVector<MeasurementRecord>& rows)
{
    const QString strData = qEnvironmentVariable("METER_TEST_DATA");
    QFile file(strData + QStringLiteral("/report/report_layout.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no %1").arg(file.fileName());
    const QJsonObject layout = QJsonDocument::fromJson(file.readAll()).object();
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {strData + QStringLiteral("/../report/xls_check.py"), strXls});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QStringLiteral("xls_check.py failed: ") + QString::fromUtf8(p.readAllStandardError());
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonObject sheet = root[QStringLiteral("sheets")].toArray()[0].toObject();
    // One sheet, named as Excel names a new one, selected and shown.
    if (root[QStringLiteral("nsheets")].toInt() != 1 ||
        sheet[QStringLiteral("name")].toString() != QLatin1String("Sheet1") ||
        sheet[QStringLiteral("selected")].toInt() != 1 || sheet[QStringLiteral("visible")].toInt() != 1)
        return QStringLiteral("not one selected, visible sheet named Sheet1: ") +
               QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact).left(200));

    // Texts: the description's cells, then the rows.
    const std::map<QString, QString> fields{{QStringLiteral("$company"), info.strCompany},
                                            {QStringLiteral("$meterType"), info.strMeterType},
                                            {QStringLiteral("$serial"), info.strSerial},
                                            {QStringLiteral("$operator"), info.strOperator},
                                            {QStringLiteral("$notes"), info.strNotes}};
    std::map<std::pair<int, int>, QString> texts;
    const QJsonObject cells = layout[QStringLiteral("cells")].toObject();
    for (auto it = cells.begin(); it != cells.end(); ++it)
    {
        QString strText =
            it.value().isObject()
                ? it.value().toObject()[QLatin1String(language == LANGUAGE_ENGLISH ? "en" : "zh")].toString()
                : it.value().toString();
        if (fields.count(strText))
            strText = fields.at(strText);
        texts[CellOf(it.key())] = strText;
    }
    const int nFirstRow = layout[QStringLiteral("firstDataRow")].toInt() - 1;
    for (int i = 0; i < rows.size(); ++i)
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            texts[{nFirstRow + i, nCol}] = rows[i].texts[size_t(nCol)];

    QStringList merges, expectedMerges;
    for (const QJsonValue& v : layout[QStringLiteral("merges")].toArray())
    {
        const auto a = CellOf(v.toString().section(QLatin1Char(':'), 0, 0));
        const auto b = CellOf(v.toString().section(QLatin1Char(':'), 1, 1));
        expectedMerges << QStringLiteral("%1:%2 %3:%4").arg(a.first).arg(b.first).arg(a.second).arg(b.second);
    }
    for (const QJsonValue& v : sheet[QStringLiteral("merges")].toArray())
        merges << v.toString();
    merges.sort(), expectedMerges.sort();
    if (merges != expectedMerges)
        return QStringLiteral("merges %1, expected %2").arg(merges.join(u','), expectedMerges.join(u','));

    // Widths in characters: Excel stores (characters * 7 + 5) / 7 * 256.
    const QJsonObject widths = layout[QStringLiteral("columnWidths")].toObject();
    const QJsonArray gotWidths = sheet[QStringLiteral("widths")].toArray();
    for (auto it = widths.begin(); it != widths.end(); ++it)
    {
        const double dGot = gotWidths[it.key()[0].unicode() - 'A'].toDouble() / 256.0 - 5.0 / 7.0;
        const bool bDefault = it.value().isString();
        const double dWant = bDefault ? 8.43 : it.value().toDouble();
        if (qAbs(dGot - dWant) > 0.05 && !(bDefault && gotWidths[it.key()[0].unicode() - 'A'].toInt() == 0))
            return QStringLiteral("column %1 is %2 characters wide, expected %3").arg(it.key()).arg(dGot).arg(dWant);
    }

    const auto code = [](const QString& str) {
        return str == QLatin1String("centre")  ? 2
               : str == QLatin1String("left")  ? 1
               : str == QLatin1String("right") ? 3
                                               : 0;
    };
    const auto vcode = [](const QString& str) {
        return str == QLatin1String("top") ? 0 : str == QLatin1String("centre") ? 1 : 2;
    };
    const QJsonObject fill = layout[QStringLiteral("fill")].toObject();
    int nTextsSeen = 0;
    for (const QJsonValue& v : sheet[QStringLiteral("cells")].toArray())
    {
        const QJsonArray got = v.toArray();
        const int nRow = got[0].toInt(), nCol = got[1].toInt();
        bool bBold = false, bMerged = false;
        for (const QJsonValue& r : layout[QStringLiteral("bold")].toArray())
            bBold = bBold || Inside(r.toString(), nRow, nCol);
        for (const QJsonValue& r : layout[QStringLiteral("merges")].toArray())
            bMerged = bMerged || Inside(r.toString(), nRow, nCol);
        const auto it = texts.find({nRow, nCol});
        const QString strText = it == texts.end() ? QString() : it->second;
        nTextsSeen += strText.isEmpty() ? 0 : 1;
        // Excel's ColorIndex n is entry n + 7 of the file's palette.
        const int nFill = Inside(fill[QStringLiteral("range")].toString(), nRow, nCol)
                              ? fill[QStringLiteral("colorIndex")].toInt() + 7
                              : 0;
        const QJsonArray want{nRow,
                              nCol,
                              strText,
                              bBold ? 1 : 0,
                              nFill,
                              layout[QStringLiteral("numberFormat")].toString(),
                              code(layout[QLatin1String(bMerged ? "mergedHorizontal" : "horizontal")].toString()),
                              vcode(layout[QLatin1String(bMerged ? "mergedVertical" : "vertical")].toString())};
        if (got != want)
            return QStringLiteral("cell %1%2: got %3, expected %4")
                .arg(QChar(u'A' + nCol))
                .arg(nRow + 1)
                .arg(QString::fromUtf8(QJsonDocument(got).toJson(QJsonDocument::Compact)),
                     QString::fromUtf8(QJsonDocument(want).toJson(QJsonDocument::Compact)));
    }
    int nTexts = 0;
    for (const auto& t : texts)
        nTexts += t.second.isEmpty() ? 0 : 1;
    if (nTexts != nTextsSeen)
        return QStringLiteral("%1 texts in the file, %2 expected").arg(nTextsSeen).arg(nTexts);
    return QString();
}

} // namespace LayoutCheck
