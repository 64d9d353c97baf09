// Workbooks for the .xls tests: the report sheet laid out the way the Save
// job lays it out, and a cell-by-cell comparison of two workbooks.
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QtTest>

#include "report/Workbook.h"

namespace XlsTestBook {

// Texts of one data row, like the meter's records.
inline QStringList DataRow(int n)
{
    static const char* const modes[] = {"OPM", "RL", "IL"};
    return {QString::number(n + 1),
            QStringLiteral("1550nm"),
            QLatin1String(modes[n % 3]),
            QStringLiteral("-12.%1dBm").arg(n % 100, 2, 10, QLatin1Char('0')),
            QStringLiteral("-3.00dBm"),
            QStringLiteral("2012-5-%1  9:5:%2").arg(n % 28 + 1).arg(n % 60),
            QString()};
}

inline void Merge(Worksheet& sheet, int nRow, int nFirstCol, int nLastCol, const QString& strText, int nWidth)
{
    sheet.m_merges.push_back(CellRect{nRow, nRow, nFirstCol, nLastCol});
    for (int nCol = nFirstCol; nCol <= nLastCol; ++nCol)
    {
        Cell& cell = sheet.At(nRow, nCol);
        cell.format.nHorzAlign = 3;
        cell.format.nVertAlign = 2;
        sheet.m_columnWidths[nCol] = nWidth;
    }
    Cell& first = sheet.At(nRow, nFirstCol);
    first.strText = strText;
    first.bHasValue = !strText.isEmpty();
}

inline void Put(Worksheet& sheet, int nRow, int nCol, const QString& strText)
{
    Cell& cell = sheet.At(nRow, nCol);
    cell.strText = strText;
    cell.bHasValue = !strText.isEmpty();
}

// The report: user information in rows 2..4 (B2:J4 bold on light green),
// bold header row 6, data rows from row 7; text format and centred cells.
inline Workbook ReportBook(bool bChinese, int nRows, const QStringList& info = {})
{
    const QStringList values = info.isEmpty() ? QStringList{QStringLiteral("光纤测试有限公司"),
                                                            QStringLiteral("OPM-35"), QStringLiteral("SN20120503"),
                                                            QStringLiteral("张三"), QStringLiteral("Notes: line 1")}
                                              : info;
    Workbook book;
    Worksheet& sheet = book.ActiveSheet();
    sheet.m_defaultFormat.bTextFormat = true;
    sheet.m_defaultFormat.nHorzAlign = 2;
    for (int nRow = 1; nRow <= 3; ++nRow)
        for (int nCol = 1; nCol <= 9; ++nCol)
        {
            Cell& cell = sheet.At(nRow, nCol);
            cell.format.bBold = true;
            cell.format.nFillColorIndex = 35;
        }
    for (int nCol = 0; nCol <= 10; ++nCol)
        sheet.At(5, nCol).format.bBold = true;

    const char* const labelsZh[] = {"公司 名称：", "单位：", "仪表 类型：", "仪表序列号：", "测试操作人：", "备注："};
    const char* const labelsEn[] = {"Company：",           "Unit：",          "Meter Type：",
                                    "Instrument Serial：", "Test Operator：", "Notes："};
    const char* const* labels = bChinese ? labelsZh : labelsEn;
    const QString jValues[] = {QStringLiteral("nm/dBm"), values[2], values[4]};
    const QString dValues[] = {values[0], values[1], values[3]};
    for (int i = 0; i < 3; ++i)
    {
        Merge(sheet, 1 + i, 1, 2, QString::fromUtf8(labels[2 * i]), 8);
        Merge(sheet, 1 + i, 3, 5, dValues[i], 10);
        Merge(sheet, 1 + i, 7, 8, QString::fromUtf8(labels[2 * i + 1]), 8);
        Put(sheet, 1 + i, 9, jValues[i]);
    }
    const char* const headZh[] = {"序号", "波长", "模式", "RL|OPM|IL", "REF|功率值", "日期/时间", "备注"};
    const char* const headEn[] = {"Number", "Wave", "Mode", "RL|OPM|IL", "REF|PowerMeter", "Date-Time", "Notes"};
    for (int nCol = 0; nCol < 7; ++nCol)
        Put(sheet, 5, nCol, QString::fromUtf8(bChinese ? headZh[nCol] : headEn[nCol]));
    sheet.m_columnWidths[5] = 22;
    sheet.m_columnWidths[6] = 22;
    for (int n = 0; n < nRows; ++n)
    {
        const QStringList row = DataRow(n);
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
        const Worksheet& a = actual.m_sheets[i];
        const Worksheet& e = expected.m_sheets[i];
        QCOMPARE(a.m_strName, e.m_strName);
        QCOMPARE(a.CellCount(), e.CellCount());
        QVERIFY(a.m_defaultFormat == e.m_defaultFormat);
        QCOMPARE(a.m_columnWidths, e.m_columnWidths);
        QCOMPARE(a.m_merges.size(), e.m_merges.size());
        for (int m = 0; m < e.m_merges.size(); ++m)
        {
            QCOMPARE(a.m_merges[m].nFirstRow, e.m_merges[m].nFirstRow);
            QCOMPARE(a.m_merges[m].nLastRow, e.m_merges[m].nLastRow);
            QCOMPARE(a.m_merges[m].nFirstCol, e.m_merges[m].nFirstCol);
            QCOMPARE(a.m_merges[m].nLastCol, e.m_merges[m].nLastCol);
        }
        int nMismatch = 0;
        QString strFirst;
        e.ForEachCell([&](int nRow, int nCol, const Cell& ce) {
            const Cell* pa = a.Find(nRow, nCol);
            const bool bSame = pa && pa->strText == ce.strText && pa->format == ce.format &&
                               pa->bHasValue == (ce.bHasValue && !ce.strText.isEmpty());
            if (!bSame && nMismatch++ == 0)
                strFirst = QStringLiteral("row %1 col %2: '%3' vs '%4'")
                               .arg(nRow)
                               .arg(nCol)
                               .arg(pa ? pa->strText : QStringLiteral("<none>"), ce.strText);
        });
        QVERIFY2(nMismatch == 0, qPrintable(strFirst));
    }
}

// /usr/bin/python3 with xlrd, or an empty string.
inline QString PythonWithXlrd()
{
    const QString strPython = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(strPython))
        return QString();
    QProcess p;
    p.start(strPython, {QStringLiteral("-c"), QStringLiteral("import xlrd")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return strPython;
}

// A file of tests/data (METER_TEST_DATA), e.g. "report/report_zh.xls".
inline QString TestData(const QString& strName)
{
    const QByteArray dir = qgetenv("METER_TEST_DATA");
    return QString::fromLocal8Bit(dir) + QLatin1Char('/') + strName;
}

} // namespace XlsTestBook
