// Workbooks for the .xls tests: the report sheet as the Save job lays it
// out (built by the job's own calls, the one description of the layout),
// and a cell-by-cell comparison of two workbooks.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QtTest>
#include <cstring>

#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/Workbook.h"

namespace XlsTestBook {

// Rows like the meter's records.
inline QVector<MeasurementRecord> MeterRows(int nRows)
{
    QVector<MeasurementRecord> rows(nRows);
    for (int n = 0; n < nRows; ++n)
        rows[n].texts = {QString::number(n + 1),
                         QStringLiteral("1550nm"),
                         QString::fromLatin1(&"OPM\0RL\0\0IL"[4 * (n % 3)]),
                         QStringLiteral("-12.%1dBm").arg(n % 100, 2, 10, QLatin1Char('0')),
                         QStringLiteral("-3.00dBm"),
                         QStringLiteral("2012-5-%1  9:5:%2").arg(n % 28 + 1).arg(n % 60),
                         QString()};
    return rows;
}

// The report with nRows records and the given user information (a sample
// when none is given), as the Save job fills it.
inline Workbook ReportBook(bool bChinese, int nRows, const QStringList& info = {})
{
    const QStringList values = info.isEmpty() ? QStringList{QStringLiteral("光纤测试有限公司"),
                                                            QStringLiteral("OPM-35"), QStringLiteral("SN20120503"),
                                                            QStringLiteral("张三"), QStringLiteral("Notes: line 1")}
                                              : info;
    const ReportUserInfo userInfo{values.value(0), values.value(1), values.value(2), values.value(3), values.value(4)};
    Workbook book;
    if (!BuildReportWorkbook(MeterRows(nRows), bChinese ? LANGUAGE_CHINESE : LANGUAGE_ENGLISH, userInfo, book))
        qFatal("the report layout could not be built");
    return book;
}

// Compares everything the file keeps.
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
            Cell ca;
            const bool bThere = a.GetCell(nRow, nCol, &ca);
            if (strFirst.isEmpty() && !(bThere && ca.strText == ce.strText && ca.format == ce.format))
                strFirst = QStringLiteral("row %1 col %2: '%3' vs '%4'")
                               .arg(nRow)
                               .arg(nCol)
                               .arg(bThere ? ca.strText : QStringLiteral("<none>"), ce.strText);
        });
        QVERIFY2(strFirst.isEmpty(), qPrintable(strFirst));
    }
}

} // namespace XlsTestBook
