// Workbooks for the .xls tests: the report sheet laid out the way the Save
// job lays it out, and a cell-by-cell comparison of two workbooks.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QtTest>
#include <cstring>

#include "report/ReportLayout.h"
#include "report/Workbook.h"

namespace XlsTestBook {

inline void Put(Worksheet& sheet, int nRow, int nCol, const QString& strText)
{
    Cell& cell = sheet.At(nRow, nCol);
    cell.strText = strText;
    cell.bHasValue = !strText.isEmpty();
}

// The report: user information in rows 2..4 (B2:J4 bold on light green,
// merged B:C, D:F, H:I), bold header row 6, data rows from row 7; text
// format and centred cells.
inline Workbook ReportBook(bool bChinese, int nRows, const QStringList& info = {})
{
    const QStringList values = info.isEmpty() ? QStringList{QStringLiteral("光纤测试有限公司"),
                                                            QStringLiteral("OPM-35"), QStringLiteral("SN20120503"),
                                                            QStringLiteral("张三"), QStringLiteral("Notes: line 1")}
                                              : info;
    const auto tr = [bChinese](const BiText& t) { return QString::fromUtf8(bChinese ? t.zh : t.en); };
    Workbook book;
    Worksheet& sheet = book.ActiveSheet();
    sheet.m_defaultFormat.bTextFormat = true;
    sheet.m_defaultFormat.nHorzAlign = 2;
    for (int nRow = 1; nRow <= 3; ++nRow)
        for (int nCol = 1; nCol <= 9; ++nCol)
            sheet.At(nRow, nCol).format.bBold = true, sheet.At(nRow, nCol).format.nFillColorIndex = 35;
    const int spans[3][3] = {{1, 2, 8}, {3, 5, 10}, {7, 8, 8}}; // first, last column, width
    for (const ReportInfoRow& r : REPORT_INFO_ROWS)
    {
        const int nRow = r.nRow - 1;
        const QString texts[] = {tr(r.leftLabel), values.value(r.leftField), tr(r.rightLabel)};
        for (int m = 0; m < 3; ++m)
        {
            sheet.m_merges.push_back(CellRect{nRow, nRow, spans[m][0], spans[m][1]});
            for (int nCol = spans[m][0]; nCol <= spans[m][1]; ++nCol)
            {
                sheet.At(nRow, nCol).format.nHorzAlign = 3;
                sheet.At(nRow, nCol).format.nVertAlign = 2;
                sheet.m_columnWidths[nCol] = spans[m][2];
            }
            Put(sheet, nRow, spans[m][0], texts[m]);
        }
        Put(sheet, nRow, 9, values.value(r.rightField, QString::fromUtf8(REPORT_UNIT_TEXT)));
    }
    for (int nCol = 0; nCol <= 10; ++nCol)
        sheet.At(5, nCol).format.bBold = true;
    for (int nCol = 0; nCol < 7; ++nCol)
        Put(sheet, 5, nCol, tr(REPORT_COLUMN_HEADERS[size_t(nCol)]));
    sheet.m_columnWidths[5] = sheet.m_columnWidths[6] = 22;
    for (int n = 0; n < nRows; ++n) // texts like the meter's records
    {
        const QStringList row{QString::number(n + 1),
                              QStringLiteral("1550nm"),
                              QString::fromLatin1(&"OPM\0RL\0\0IL"[4 * (n % 3)]),
                              QStringLiteral("-12.%1dBm").arg(n % 100, 2, 10, QLatin1Char('0')),
                              QStringLiteral("-3.00dBm"),
                              QStringLiteral("2012-5-%1  9:5:%2").arg(n % 28 + 1).arg(n % 60),
                              QString()};
        for (int nCol = 0; nCol < 7; ++nCol)
            Put(sheet, 6 + n, nCol, row[nCol]);
    }
    return book;
}

// Compares everything the file keeps; an empty text counts as no value.
inline void CompareBooks(const Workbook& actual, const Workbook& expected)
{
    QCOMPARE(actual.m_sheets.size(), expected.m_sheets.size());
    QCOMPARE(actual.m_nActiveSheet, expected.m_nActiveSheet);
    for (int i = 0; i < expected.m_sheets.size(); ++i)
    {
        const Worksheet &a = actual.m_sheets[i], &e = expected.m_sheets[i];
        QCOMPARE(a.m_strName, e.m_strName);
        QCOMPARE(a.CellCount(), e.CellCount());
        QVERIFY(a.m_defaultFormat == e.m_defaultFormat);
        QCOMPARE(a.m_columnWidths, e.m_columnWidths);
        QCOMPARE(a.m_merges.size(), e.m_merges.size());
        for (int m = 0; m < e.m_merges.size(); ++m)
            QVERIFY(std::memcmp(&a.m_merges[m], &e.m_merges[m], sizeof(CellRect)) == 0);
        QString strFirst;
        e.ForEachCell([&](int nRow, int nCol, const Cell& ce) {
            const Cell* pa = a.Find(nRow, nCol);
            if (strFirst.isEmpty() && !(pa && pa->strText == ce.strText && pa->format == ce.format &&
                                        pa->bHasValue == (ce.bHasValue && !ce.strText.isEmpty())))
                strFirst = QStringLiteral("row %1 col %2: '%3' vs '%4'")
                               .arg(nRow)
                               .arg(nCol)
                               .arg(pa ? pa->strText : QStringLiteral("<none>"), ce.strText);
        });
        QVERIFY2(strFirst.isEmpty(), qPrintable(strFirst));
    }
}

// /usr/bin/python3 if it has xlrd, or an empty string.
inline QString PythonWithXlrd()
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import xlrd")});
    const bool bOk = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return bOk ? QStringLiteral("/usr/bin/python3") : QString();
}

} // namespace XlsTestBook
