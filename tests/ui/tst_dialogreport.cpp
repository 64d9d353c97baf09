// Saving and opening reports with the real dialog: the buttons clicked, the
// file names given through the file-dialog seam (and once through Qt's own
// file dialog), the boxes read as shown, the status line as painted, and
// nothing lost: a failed open keeps the list, leaving asks about an edit.
#include "UiDriver.h"

#include "report/BiffRecords.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "tests/report/BiffTestStreams.h"
#include "tests/report/SpyServer.h"
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QStandardPaths>
#include <optional>
#include <sys/stat.h>

using namespace UiDriver;

namespace {
// The file dialogs: each question takes the next answer ("" = cancel).
class QueueChooser : public FileChooser
{
public:
    QString AskSavePath(QWidget*, const QString& strProposedName) override
    {
        m_proposed << strProposedName;
        return m_savePaths.isEmpty() ? QString() : m_savePaths.takeFirst();
    }
    QString AskOpenPath(QWidget*) override { return m_openPaths.isEmpty() ? QString() : m_openPaths.takeFirst(); }

    QStringList m_savePaths, m_openPaths, m_proposed;
};

const int INFO_EDITS[] = {IDC_EDIT_COMPANY, IDC_EDIT_METER_TYPE, IDC_EDIT_SERIAL, IDC_EDIT_OPERATOR, IDC_EDIT_NOTES};

// Rows with Chinese notes, empty cells and texts that look like numbers,
// dates and formulas, which must come back as the same texts.
QVector<MeasurementRecord> SampleRows(int nRows)
{
    QVector<MeasurementRecord> rows(nRows);
    for (int i = 0; i < nRows; ++i)
    {
        const QString strNote = i % 3 ? QString() : QStringLiteral("备注 %1").arg(i);
        const QString strTime = QStringLiteral("2012-3-3  9:5:%1").arg(i % 60);
        rows[i].texts = {QString::number(i + 1), "1550nm", "RL", "45.67dB", "-1.20dBm", strTime, strNote};
    }
    if (nRows > 1)
        rows[1].texts = {"0002", "1310nm", "OPM", "1e5", QString(), "03/04/2012", "=SUM(A1)"};
    return rows;
}

QList<QStringList> AsTexts(const QVector<MeasurementRecord>& rows)
{
    QList<QStringList> texts;
    for (const MeasurementRecord& row : rows)
        texts << QStringList(row.texts.begin(), row.texts.end());
    return texts;
}

// Records what the status line shows whenever it is painted.
class PaintLog : public QObject
{
public:
    explicit PaintLog(QWidget* pWidget) { pWidget->installEventFilter(this); }
    QStringList m_painted;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            m_painted << qobject_cast<QLabel*>(pWatched)->text();
        return false;
    }
};
} // namespace

class TestDialogReport : public QObject, DialogFixture
{
    Q_OBJECT
    QueueChooser* m_pChooser = nullptr;

    MeterClientDlg& Dialog(int nLanguage, const QString& strStartupReport = QString())
    {
        return Show(nLanguage, [&](MeterClientDlg& dlg) {
            auto pChooser = std::make_unique<QueueChooser>();
            m_pChooser = pChooser.get();
            dlg.SetFileChooser(std::move(pChooser));
            dlg.SetStartupReport(strStartupReport);
        });
    }
    // A report as the Save job writes it, with these rows and user information.
    void MakeReport(const QString& strPath, const QVector<MeasurementRecord>& rows, const QString& strInfo)
    {
        ReportHooks hooks;
        hooks.fetchUserInfo = [&strInfo] { return ReportUserInfo{strInfo, strInfo, strInfo, strInfo, strInfo}; };
        QVERIFY(WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks));
    }
    void Save(const QString& strPath)
    {
        m_pChooser->m_savePaths << strPath;
        Click(*m_pDlg, IDC_BTN_SAVE);
    }
    void Open(const QString& strPath)
    {
        m_pChooser->m_openPaths << strPath;
        Click(*m_pDlg, IDC_BTN_OPEN);
    }
    QStringList Info() const
    {
        QStringList texts;
        for (int nId : INFO_EDITS)
            texts << m_pDlg->GetDlgItemText(nId);
        return texts;
    }
    bool StatusHidden() const { return m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->isHidden(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { SetUp(); }
    void cleanup() { TearDown(); }

    // Open a report, type new user information, save under an upper-case
    // .XLS over an older file (without a question), open it again: the same
    // rows and texts. The status line is painted while the job runs and
    // hidden after it.
    void SaveThenOpen_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<int>("nRows");
        QTest::newRow("English") << 1 << 25;
        QTest::newRow("Chinese") << 2 << 25;
        QTest::newRow("empty list") << 1 << 0;
    }
    void SaveThenOpen()
    {
        QFETCH(int, nLanguage);
        QFETCH(int, nRows);
        const QVector<MeasurementRecord> rows = SampleRows(nRows);
        const QString strReport = Path(QStringLiteral("REPORT.XLS"));
        MakeReport(Path(QStringLiteral("source.xls")), rows, QStringLiteral("old"));
        MakeReport(strReport, SampleRows(40), QStringLiteral("older report"));
        MeterClientDlg& dlg = Dialog(nLanguage);
        PaintLog paints(dlg.GetDlgItem(IDC_STATIC_STATUS));
        Open(Path(QStringLiteral("source.xls")));
        QCOMPARE(Rows(dlg), AsTexts(rows));
        const QStringList info = {"光纤测试有限公司", "OPM-35", "0042", "Li Si", "第二批 \"A\""};
        for (int i = 0; i < 5; ++i)
            Type(dlg, INFO_EDITS[i], info[i]);
        Save(strReport);
        QTRY_COMPARE(m_pWatcher->Texts(), QStringList{nLanguage == 1 ? "The save is complete!" : "保存完成！"});
        QCOMPARE(m_pWatcher->m_boxes[0].icon, QMessageBox::Information);
        for (int nId : INFO_EDITS)
            Type(dlg, nId, QStringLiteral("x"));
        Open(strReport);
        QCOMPARE(Rows(dlg), AsTexts(rows));
        QCOMPARE(Info(), info);
        QVERIFY(StatusHidden());
        const QStringList painted = nLanguage == 1
                                        ? QStringList{"The file is opening.....", "The data is saving....."}
                                        : QString::fromUtf8("文件正在打开.....,数据正在保存中.....").split(',');
        paints.m_painted.removeDuplicates();
        QCOMPARE(paints.m_painted, painted);
    }

    // The extension must be xls; a list longer than a sheet is refused
    // before a name is asked for. A refusal writes nothing and keeps the list.
    void SaveRefusals_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<int>("nRows");
        QTest::addColumn<QString>("strBox");
        QTest::newRow(".xlsx") << "new.xlsx" << 2
                               << QString::fromUtf8(
                                      "保存文件不是Excel文件，无法保存！\n请指定后缀名为\"xls\"的文件名。");
        QTest::newRow("65531 rows") << "big.xls" << 65531
                                    << QString::fromUtf8(
                                           "列表中有65531条记录，但一个报表最多只能保存65530条！\n没有保存任何数据。");
    }
    void SaveRefusals()
    {
        QFETCH(QString, strName);
        QFETCH(int, nRows);
        QFETCH(QString, strBox);
        MeterClientDlg& dlg = Dialog(2);
        // Rows as a download leaves them (65,531 would take a long download).
        List(dlg, IDC_LIST_RECORDS)->AppendRecords(SampleRows(nRows));
        Save(Path(strName));
        QTRY_COMPARE(m_pWatcher->Texts(), QStringList{strBox});
        QVERIFY(StatusHidden());
        QCOMPARE(m_pWatcher->m_boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(m_pChooser->m_proposed.size(), nRows > REPORT_MAX_RECORDS ? 0 : 1);
        QCOMPARE(QDir(m_pDir->Path()).entryList({QStringLiteral("*.xls*")}, QDir::Files), QStringList());
        QCOMPARE(List(dlg, IDC_LIST_RECORDS)->GetItemCount(), nRows);
    }

    // A save that fails: the job's own box, then the save failure with its
    // reason; no wait cursor over either, the status line gone, an older
    // report kept. The next save of the same list works. (Other reasons of a
    // failed write, a full disk among them: tst_safefile, tst_meterctlconvert.)
    void SaveFailures_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strFirstBox");
        QTest::addColumn<QString>("strReason"); // none: no server
        QTest::newRow("no such folder") << "missing-folder/report.xls"
                                        << "COleDispatchException.   SCODE:"
                                        << "the file or its folder does not exist";
        QTest::newRow("no server") << "old.xls"
                                   << "Unable to create the Excel program! Please check whether the installed "
                                      "version of Excel and Office."
                                   << "";
    }
    void SaveFailures()
    {
        QFETCH(QString, strName);
        QFETCH(QString, strFirstBox);
        QFETCH(QString, strReason);
        MakeReport(Path(QStringLiteral("rows.xls")), SampleRows(3), QStringLiteral("i"));
        const QString strPath = Path(strName);
        const bool bOlderReport = WriteFile(strPath, "older report");
        MeterClientDlg& dlg = Dialog(1);
        Open(Path(QStringLiteral("rows.xls")));
        std::optional<ScopedServer> server;
        if (strReason.isEmpty())
            server.emplace(false);
        Save(strPath);
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 2);
        QVERIFY2(m_pWatcher->m_boxes[0].strText.startsWith(strFirstBox), qPrintable(m_pWatcher->m_boxes[0].strText));
        QCOMPARE(m_pWatcher->m_boxes[1].strText,
                 QStringLiteral("Error when saving! \n Please check the machine environment and then run again."));
        QCOMPARE(m_pWatcher->m_boxes[1].strDetail, strReason);
        QVERIFY(!m_pWatcher->m_boxes[0].bWaitCursor && !m_pWatcher->m_boxes[1].bWaitCursor);
        QVERIFY(StatusHidden());
        QCOMPARE(FileBytes(strPath), bOlderReport ? QByteArray("older report") : QByteArray("<missing>"));

        server.reset();
        m_pWatcher->Clear();
        Save(Path(QStringLiteral("second.xls")));
        QTRY_COMPARE(m_pWatcher->Texts(), QStringList{"The save is complete!"});
        Open(Path(QStringLiteral("second.xls")));
        QCOMPARE(Rows(dlg), AsTexts(SampleRows(3)));
    }

    // A file that cannot be read (cut short, missing, a FIFO that would never
    // end): the open failure with its reason, after the job's box where it
    // has one; the list, the user information and what was typed elsewhere
    // stay as they were.
    void BadFilesToOpen_data()
    {
        QTest::addColumn<QString>("strKind");
        QTest::addColumn<QString>("strReason");
        QTest::newRow("truncated report") << "cut"
                                          << "";
        QTest::newRow("missing file") << "missing" << QString::fromUtf8("文件或文件夹不存在");
        QTest::newRow("FIFO") << "fifo" << QString::fromUtf8("这不是一个普通文件");
    }
    void BadFilesToOpen()
    {
        QFETCH(QString, strKind);
        QFETCH(QString, strReason);
        const QString strGood = Path(QStringLiteral("good.xls")), strBad = Path(QStringLiteral("bad.xls"));
        MakeReport(strGood, SampleRows(40), QStringLiteral("keep"));
        if (strKind == QLatin1String("cut"))
        {
            const QByteArray bytes = FileBytes(strGood);
            WriteFile(strBad, bytes.left(bytes.size() / 2));
        }
        else if (strKind == QLatin1String("fifo"))
            QVERIFY(::mkfifo(QFile::encodeName(strBad).constData(), 0600) == 0);
        MeterClientDlg& dlg = Dialog(2);
        Open(strGood);
        Type(dlg, IDC_EDIT_CAL_VALUE, QStringLiteral("-3.5"));
        Open(strBad);
        const QString strFailed = QString::fromUtf8("无法打开文件，请检查机器环境或文件内容!");
        QVERIFY(m_pWatcher->WaitForBox(strFailed));
        QVERIFY2(m_pWatcher->m_boxes.last().strDetail.contains(strReason),
                 qPrintable(m_pWatcher->m_boxes.last().strDetail));
        QCOMPARE(Rows(dlg), AsTexts(SampleRows(40)));
        QCOMPARE(Info(), QStringList(5, QStringLiteral("keep")));
        QCOMPARE(Edit(dlg, IDC_EDIT_CAL_VALUE)->text(), QStringLiteral("-3.5"));
        QVERIFY(StatusHidden());
    }

    // A damaged report opens as far as it can be trusted (a cell written
    // twice counts once, a cell outside the sheet's bounds is left out) and
    // a warning says so.
    void DamagedReportOpensWithWarning()
    {
        QVERIFY(WriteFile(Path(QStringLiteral("damaged.xls")), BiffTestStreams::DamagedReportFile()));
        MeterClientDlg& dlg = Dialog(1);
        Open(Path(QStringLiteral("damaged.xls")));
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 1);
        QCOMPARE(m_pWatcher->m_boxes[0].icon, QMessageBox::Warning);
        QVERIFY2(m_pWatcher->m_boxes[0].strText.contains(QStringLiteral("damaged")),
                 qPrintable(m_pWatcher->m_boxes[0].strText));
        QCOMPARE(Rows(dlg), (QList<QStringList>{{"2", "", "", "", "", "", ""}}));
        QCOMPARE(dlg.GetDlgItemText(IDC_EDIT_COMPANY), QStringLiteral("ACME"));
    }

    // Cancelling a save does nothing; the name proposed is the local time as
    // "%4d%02d%02d%2d%2d.xls" (hour and minute padded with spaces).
    void CancelledSave()
    {
        MeterClientDlg& dlg = Dialog(1);
        const auto proposed = [](const QDateTime& t) {
            return QString::asprintf("%4d%02d%02d%2d%2d.xls", t.date().year(), t.date().month(), t.date().day(),
                                     t.time().hour(), t.time().minute());
        };
        const QString strBefore = proposed(QDateTime::currentDateTime());
        Click(dlg, IDC_BTN_SAVE);
        const QString strAfter = proposed(QDateTime::currentDateTime());
        QCOMPARE(m_pChooser->m_proposed.size(), 1);
        QVERIFY2(m_pChooser->m_proposed[0] == strBefore || m_pChooser->m_proposed[0] == strAfter,
                 qPrintable(m_pChooser->m_proposed[0]));
        Click(dlg, IDC_BTN_OPEN);
        QVERIFY(m_pWatcher->m_boxes.isEmpty() && StatusHidden());
    }

    // Qt's own file dialog, typed into: one filter, the xls suffix added, and
    // the next dialog starts in the folder used last (kept in the user's
    // settings, not in SETUP.ini).
    void RealFileDialogRemembersFolder()
    {
        QDir(m_pDir->Path()).mkdir(QStringLiteral("reports"));
        const QString strFolder = Path(QStringLiteral("reports"));
        QStringList seen;
        m_pWatcher->m_onOther = [&](QWidget* pWindow) {
            auto* pDialog = qobject_cast<QFileDialog*>(pWindow);
            if (pDialog == nullptr)
                return;
            seen << QStringLiteral("%1|%2|%3")
                        .arg(pDialog->nameFilters().join(QLatin1Char(';')), pDialog->defaultSuffix(),
                             QDir(pDialog->directory()).absolutePath());
            auto* pName = pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (pDialog->acceptMode() == QFileDialog::AcceptSave && pName)
            {
                // The whole path at once: typed key by key, the dialog's
                // completer would pop up over it.
                pName->setText(strFolder + QStringLiteral("/typed"));
                QTest::keyClick(pName, Qt::Key_Return);
            }
            else
                pDialog->reject();
        };
        QtFileChooser chooser;
        MeterClientDlg& dlg = Dialog(1);
        QCOMPARE(chooser.AskSavePath(&dlg, QStringLiteral("20120303 9 5.xls")),
                 strFolder + QStringLiteral("/typed.xls"));
        QCOMPARE(chooser.AskOpenPath(&dlg), QString());
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1], QStringLiteral("Worksheet Files (*.xls)|xls|") + strFolder);
        QVERIFY(!FileBytes(Path(QStringLiteral("SETUP.ini"))).contains("reports"));
    }

    // meterclient FILE.xls: the report is in the list as soon as the dialog is up.
    void ReportNamedAtStart()
    {
        MakeReport(Path(QStringLiteral("start.xls")), SampleRows(4), QStringLiteral("s"));
        MeterClientDlg& dlg = Dialog(1, Path(QStringLiteral("start.xls")));
        QTRY_COMPARE(Rows(dlg), AsTexts(SampleRows(4)));
        QCOMPARE(Info(), QStringList(5, QStringLiteral("s")));
    }

    // An opened report is saved as it is: leaving asks nothing. A cell
    // edited in place is a change: Enter in the cell editor asks first.
    void LeavingAfterAnEdit()
    {
        MakeReport(Path(QStringLiteral("r.xls")), SampleRows(3), QStringLiteral("i"));
        MeterClientDlg& dlg = Dialog(1);
        QSignalSpy finished(&dlg, &QDialog::finished);
        Open(Path(QStringLiteral("r.xls")));
        RecordListCtrl* pList = List(dlg, IDC_LIST_RECORDS);
        QRect cell;
        QTRY_VERIFY(pList->GetSubItemRect(1, COL_NOTES, LVIR_LABEL, cell));
        QTest::mouseDClick(pList->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_VERIFY(pList->Editor()->hasFocus());
        QTest::keyClicks(pList->Editor(), QStringLiteral("fibre 7"));
        QTest::keyClick(pList->Editor(), Qt::Key_Return);
        QVERIFY(
            m_pWatcher->WaitForBox(QStringLiteral("The list holds 3 records that have not been saved.\nQuit anyway?")));
        QVERIFY(finished.isEmpty());
        QCOMPARE(pList->GetItemText(1, COL_NOTES), QStringLiteral("fibre 7"));
        Save(Path(QStringLiteral("r.xls")));
        QTRY_COMPARE(m_pWatcher->m_boxes.size(), 2);
        QTest::keyClick(Edit(dlg, IDC_EDIT_NOTES), Qt::Key_Escape);
        QCOMPARE(finished.size(), 1); // a question would have been answered No
    }
};

QTEST_MAIN(TestDialogReport)
#include "tst_dialogreport.moc"
