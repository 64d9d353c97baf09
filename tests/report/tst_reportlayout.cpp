// The report the real Save job writes, read back by xlrd, against the layout
// written down by hand in tests/data/report/report_layout.json: every cell,
// text and format, in both languages. Also the boundary of the sheet: 65,530
// records fit, one more is refused and nothing is written.
#include "LayoutCheck.h"
#include "SpyServer.h"
#include "report/ReportLayout.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestReportLayout : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void SavedAsDescribed_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<int>("nRows");
        QTest::newRow("Chinese") << int(LANGUAGE_CHINESE) << 4;
        QTest::newRow("English, no records") << int(LANGUAGE_ENGLISH) << 0;
    }
    void SavedAsDescribed()
    {
        QFETCH(int, nLanguage);
        QFETCH(int, nRows);
        if (!LayoutCheck::HaveXlrd())
            QSKIP("python3-xlrd is not installed (apt-get install python3-xlrd)");
        const ReportUserInfo info{QStringLiteral("光纤测试有限公司"), QStringLiteral("FM-200"),
                                  QStringLiteral("SN 0042"), QStringLiteral("李工"), QStringLiteral("north, line 3")};
        QVector<MeasurementRecord> rows(nRows);
        for (int i = 0; i < nRows; ++i)
            rows[i].texts = {QString::number(i + 1),
                             "1550nm",
                             i % 2 ? "RL" : "OPM",
                             "-12.3" + QString::number(i) + "dBm",
                             "-3.00dBm",
                             "2012-5-3  9:5:" + QString::number(i),
                             i == 2 ? "复测" : ""};
        const QString strPath = m_dir.filePath(QStringLiteral("layout-%1.xls").arg(nLanguage));
        ReportHooks hooks;
        hooks.fetchUserInfo = [&info]() { return info; };
        QVERIFY(WriteReportJob(strPath, rows, Language(nLanguage), hooks));
        const QString strDiff = LayoutCheck::Compare(strPath, Language(nLanguage), info, rows);
        QVERIFY2(strDiff.isEmpty(), qPrintable(strDiff));
    }

    // A sheet ends at row 65,536: one record more than rows 7..65,536 hold
    // is refused with the reason, before the server is started or anything
    // written; 65,530 records fit exactly and read back to the last.
    void SheetBoundary()
    {
        QVector<MeasurementRecord> rows(REPORT_MAX_RECORDS + 1);
        for (int i = 0; i < rows.size(); ++i)
            rows[i].texts[0] = QString::number(i + 1);
        const QString strPath = m_dir.filePath(QStringLiteral("limit.xls"));
        QString strReason;
        ReportHooks hooks;
        hooks.reportFailure = [&strReason](const ReportNote& note) { strReason = note.Text(LANGUAGE_ENGLISH); };
        {
            ScopedServer spy(true);
            QVERIFY(!WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks));
            QVERIFY(spy.Plan().calls.isEmpty() && !QFileInfo::exists(strPath));
        }
        QVERIFY2(strReason.contains(QStringLiteral("at most 65530")), qPrintable(strReason));
        rows.removeLast();
        QVERIFY(WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks));
        int nLast = 0;
        hooks.appendRow = [&nLast](const MeasurementRecord& row) { nLast = row.texts[0].toInt(); };
        QVERIFY(ReadReportJob(strPath, hooks));
        QCOMPARE(nLast, REPORT_MAX_RECORDS);
    }
};

QTEST_GUILESS_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
