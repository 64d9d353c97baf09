// Saving and opening reports with the real dialog offscreen: file dialogs answer
// from a queue, message boxes are read, reports go through the built-in server.
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include "report/ReportLayout.h"
#include "report/XlsFile.h"
#include "tests/report/SpyServer.h"

#include "TestDirs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QTimer>
#include <QtTest>
#include <optional>

namespace {
// The file dialogs: each question takes the next answer ("" = cancel). A
// save question may also add rows to a list, as a download going on would.
class QueueChooser : public FileChooser
{
public:
    QString AskSavePath(QWidget*, const QString& strProposedName) override
    {
        m_proposed << strProposedName;
        if (m_pGrowList != nullptr)
            m_pGrowList->Model()->AppendRows(QVector<MeasurementRecord>(2));
        return m_savePaths.isEmpty() ? QString() : m_savePaths.takeFirst();
    }
    QString AskOpenPath(QWidget*) override { return m_openPaths.isEmpty() ? QString() : m_openPaths.takeFirst(); }

    QStringList m_savePaths, m_openPaths, m_proposed;
    RecordListCtrl* m_pGrowList = nullptr;
};

// "icon|owned|caption|text" of a message box.
QString BoxText(const MessageBoxCall& call)
{
    const char* pszIcon = call.icon == MessageIcon::Stop          ? "stop"
                          : call.icon == MessageIcon::Information ? "info"
                                                                  : "none";
    return QStringLiteral("%1|%2|%3|%4")
        .arg(QLatin1String(pszIcon), call.bOwned ? QStringLiteral("owned") : QStringLiteral("free"), call.strCaption,
             call.strText);
}

template <typename T> QString Pick(int nLanguage, const T& text)
{
    return QString::fromUtf8(nLanguage == LANGUAGE_ENGLISH ? text.en : text.zh);
}

template <typename T> QString Owned(const char* pszIcon, int nLanguage, const T& text)
{
    return QStringLiteral("%1|owned|%2|%3").arg(QLatin1String(pszIcon), ApplicationName(), Pick(nLanguage, text));
}

const int INFO_EDITS[] = {IDC_EDIT_COMPANY, IDC_EDIT_METER_TYPE, IDC_EDIT_SERIAL, IDC_EDIT_OPERATOR, IDC_EDIT_NOTES};

// Rows with Chinese notes, empty cells and texts that look like numbers,
// dates and formulas, which must come back as the same texts.
QVector<MeasurementRecord> SampleRows(int nRows)
{
    QVector<MeasurementRecord> rows(nRows);
    for (int i = 0; i < nRows; ++i)
    {
        const QString strNote = i % 3 ? QString() : QStringLiteral("备注 %1").arg(i);
        const QString strTime = QStringLiteral("2012-03-03 09:05:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        rows[i].texts = {QString::number(i + 1), "1550", "RL", "45.67", "-1.20", strTime, strNote};
    }
    if (nRows > 1)
        rows[1].texts = {"0002", "1310", "OPM", "1e5", QString(), "03/04/2012", "=SUM(A1)"};
    return rows;
}
} // namespace

class TestDialogReport : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_pDir = std::make_unique<ScopedCurrentDir>();
        m_boxes.clear();
        SetMessageBoxHook([this](const MessageBoxCall& call) { m_boxes << BoxText(call); });
        m_pDlg = std::make_unique<MeterClientDlg>();
        QVERIFY(m_pDlg->Create());
        auto pChooser = std::make_unique<QueueChooser>();
        m_pChooser = pChooser.get();
        m_pDlg->SetFileChooser(std::move(pChooser));
    }

    void cleanup()
    {
        QVERIFY(m_pDlg->m_rowTexts.isEmpty()); // empty between operations, whatever happened
        m_pDlg.reset();
        SetMessageBoxHook(nullptr);
        m_pDir.reset();
    }

    // Save (over a longer older report, silently), empty everything, open: the
    // same rows and user information, in both languages and for an empty list.
    void SaveThenOpen_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<int>("nRows");
        QTest::newRow("english") << int(LANGUAGE_ENGLISH) << 25;
        QTest::newRow("chinese") << int(LANGUAGE_CHINESE) << 25;
        QTest::newRow("empty list") << int(LANGUAGE_ENGLISH) << 0;
    }

    void SaveThenOpen()
    {
        QFETCH(int, nLanguage);
        QFETCH(int, nRows);
        m_pDlg->m_nLanguage = Language(nLanguage);
        const QString strPath = Path(QStringLiteral("report.xls"));
        SetList(SampleRows(40));
        Save(strPath);
        const QVector<MeasurementRecord> rows = SampleRows(nRows);
        QStringList info = {"光纤测试有限公司", "OPM-35", "0042", "Li Si", "第二批 \"A\""};
        if (nRows == 0)
            info = QStringList(5, QString());
        SetList(rows);
        for (int i = 0; i < 5; ++i)
            m_pDlg->SetDlgItemText(INFO_EDITS[i], info[i]);
        m_boxes.clear();
        Save(strPath);
        QCOMPARE(m_boxes, QStringList({Owned("info", nLanguage, TXT_SAVE_DONE)}));

        Workbook book; // the labels of the language chosen
        QVERIFY(LoadWorkbookXls(strPath, book, nullptr));
        const Worksheet& sheet = book.ActiveSheet();
        QCOMPARE(sheet.Text(1, 1),
                 nLanguage == LANGUAGE_ENGLISH ? QStringLiteral("Company：") : QStringLiteral("公司 名称："));

        SetList(SampleRows(3));
        SetInfo(QStringLiteral("x"));
        Open(strPath);
        QCOMPARE(ListRows(), rows);
        QCOMPARE(Info(), info);
    }

    // The extension test ignores case, anything but "xls" is refused; 65,530
    // records fit, more are refused, also when rows arrive while the file
    // dialog is open. A refusal writes nothing and keeps the list.
    void SaveRefusals_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<int>("nRows");
        QTest::addColumn<bool>("bGrow");
        QTest::addColumn<QString>("strBox");
        const QString strNotXls = Owned("stop", LANGUAGE_CHINESE, TXT_SAVE_NOT_XLS);
        const QString strTooMany = Owned("stop", LANGUAGE_CHINESE, TXT_REPORT_TOO_MANY_ROWS);
        QTest::newRow(".XLS") << "UPPER.XLS" << 2 << false << Owned("info", LANGUAGE_CHINESE, TXT_SAVE_DONE);
        QTest::newRow(".xlsx") << "new.xlsx" << 2 << false << strNotXls;
        QTest::newRow("65530 fit") << "big.xls" << 65530 << false << Owned("info", LANGUAGE_CHINESE, TXT_SAVE_DONE);
        QTest::newRow("65531 refused") << "big.xls" << 65531 << false << strTooMany.arg(65531);
        QTest::newRow("65532 after choosing") << "big.xls" << 65530 << true << strTooMany.arg(65532);
    }

    void SaveRefusals()
    {
        QFETCH(QString, strName);
        QFETCH(int, nRows);
        QFETCH(bool, bGrow);
        QFETCH(QString, strBox);
        m_pDlg->m_nLanguage = LANGUAGE_CHINESE;
        const QVector<MeasurementRecord> rows = SampleRows(nRows);
        SetList(rows);
        if (bGrow)
            m_pChooser->m_pGrowList = m_pDlg->m_listRecords;
        Save(Path(strName));
        QCOMPARE(m_boxes, QStringList({strBox}));
        QCOMPARE(Status(), QString());
        if (strBox.startsWith(QLatin1String("info")))
            return;
        QCOMPARE(m_pChooser->m_proposed.size(), nRows > REPORT_MAX_RECORDS ? 0 : 1); // not asked for a name
        QVERIFY(QDir(m_pDir->Path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
        QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), nRows + (bGrow ? 2 : 0));
    }

    // A failed save: its own box, then the save failure; the status line keeps
    // its text, an older report stays. Without a server an open shows only the
    // open failure. The next save of the same list writes each row once.
    void SaveFailures_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<int>("nServer"); // 0 built-in, 1 spy failing at Merge, 2 none
        QTest::addColumn<QString>("strFirstBox");
        const QString strCannot = QStringLiteral(
            "none|free|COleDispatchException|COleDispatchException.   SCODE:   000003ec,   Description:   \"");
        QTest::newRow("unwritable path") << "missing-folder/report.xls" << 0 << strCannot;
        QTest::newRow("server fails at Merge")
            << "old.xls" << 1 << "none|free|COleException|COleException.   SCODE:   80020003.";
        QTest::newRow("no server") << "old.xls" << 2 << Owned("stop", LANGUAGE_ENGLISH, TXT_NO_EXCEL);
    }

    void SaveFailures()
    {
        QFETCH(QString, strName);
        QFETCH(int, nServer);
        QFETCH(QString, strFirstBox);
        m_pDlg->m_nLanguage = LANGUAGE_ENGLISH;
        const QString strPath = Path(strName);
        QFile old(strPath);
        if (old.open(QIODevice::WriteOnly))
            old.write("older report");
        old.close();
        std::optional<ScopedServer> server;
        if (nServer != 0)
        {
            server.emplace(nServer == 1);
            server->Plan().failDispId = DISPID_RANGE_MERGE;
            server->Plan().wFailFlags = DISPATCH_METHOD;
        }
        SetList(SampleRows(3));
        Save(strPath);
        QCOMPARE(m_boxes.size(), 2);
        QVERIFY2(m_boxes[0].startsWith(strFirstBox), qPrintable(m_boxes[0]));
        QCOMPARE(m_boxes[1], Owned("stop", LANGUAGE_ENGLISH, TXT_SAVE_ERROR));
        QCOMPARE(Status(), Pick(LANGUAGE_ENGLISH, TXT_SAVING));
        QVERIFY(nServer == 0 ? !QFileInfo(strPath).isFile()
                             : old.open(QIODevice::ReadOnly) && old.readAll() == "older report");
        if (nServer == 2)
        {
            m_boxes.clear();
            Open(strPath);
            QCOMPARE(m_boxes, QStringList({Owned("stop", LANGUAGE_ENGLISH, TXT_OPEN_ERROR)}));
            QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 0);
            SetList(SampleRows(3));
        }

        server.reset();
        m_boxes.clear();
        Save(Path(QStringLiteral("second.xls")));
        QCOMPARE(m_boxes.size(), 1);
        Open(Path(QStringLiteral("second.xls")));
        QCOMPARE(ListRows(), SampleRows(3));
    }

    // A file the server cannot read (a cut report; damage of other kinds is the
    // reader's own tests) or a missing one: the exception box, the open failure,
    // an empty list, the user information unchanged, and the next open works.
    void BadFilesToOpen_data()
    {
        QTest::addColumn<bool>("bMissing");
        QTest::newRow("truncated report") << false;
        QTest::newRow("missing file") << true;
    }

    void BadFilesToOpen()
    {
        QFETCH(bool, bMissing);
        m_pDlg->m_nLanguage = LANGUAGE_CHINESE;
        const QString strGood = Path(QStringLiteral("good.xls")), strBad = Path(QStringLiteral("bad.xls"));
        SetList(SampleRows(40));
        Save(strGood);
        QFile good(strGood), bad(strBad);
        if (!bMissing)
        {
            QVERIFY(good.open(QIODevice::ReadOnly) && bad.open(QIODevice::WriteOnly));
            const QByteArray bytes = good.readAll();
            bad.write(bytes.left(bytes.size() / 2));
            bad.close();
        }
        SetInfo(QStringLiteral("keep"));
        m_boxes.clear();
        Open(strBad);
        QCOMPARE(m_boxes.size(), 2);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("none|free|COleDispatchException|")), qPrintable(m_boxes[0]));
        QVERIFY(m_boxes[0].contains(strBad));
        QCOMPARE(m_boxes[1], Owned("stop", LANGUAGE_CHINESE, TXT_OPEN_ERROR));
        QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 0);
        QCOMPARE(Info(), QStringList(5, QStringLiteral("keep")));
        QCOMPARE(Status(), Pick(LANGUAGE_CHINESE, TXT_OPENING));

        m_boxes.clear();
        Open(strGood);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(ListRows(), SampleRows(40));
        QCOMPARE(Status(), QString());
    }

    // Cancelling: the save does nothing; the open hides the status line. The
    // name proposed is "%4d%02d%02d%2d%2d.xls" (hour, minute space-padded).
    void CancelPaths()
    {
        auto proposed = [](const QDateTime& t) {
            return QString::asprintf("%4d%02d%02d%2d%2d.xls", t.date().year(), t.date().month(), t.date().day(),
                                     t.time().hour(), t.time().minute());
        };
        SetList(SampleRows(2));
        m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->show();
        const QString strBefore = proposed(QDateTime::currentDateTime());
        m_pDlg->OnBtnSave();
        const QString strAfter = proposed(QDateTime::currentDateTime());
        QCOMPARE(m_pChooser->m_proposed.size(), 1);
        QVERIFY2(m_pChooser->m_proposed[0] == strBefore || m_pChooser->m_proposed[0] == strAfter,
                 qPrintable(m_pChooser->m_proposed[0]));
        QVERIFY(!m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->isHidden());
        m_pDlg->OnBtnOpen();
        QVERIFY(m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->isHidden());
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 2);
    }

    // The real dialogs: one filter, the xls suffix, the overwrite question on
    // save (Qt's default), an existing file on open; cancel gives "".
    void RealFileDialogs()
    {
        QStringList seen;
        auto inspect = [&seen]() {
            auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (pDialog == nullptr)
                return;
            seen << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(pDialog->nameFilters().join(QLatin1Char(';')), pDialog->defaultSuffix())
                        .arg(pDialog->acceptMode() == QFileDialog::AcceptSave)
                        .arg(pDialog->testOption(QFileDialog::DontConfirmOverwrite))
                        .arg(pDialog->fileMode() == QFileDialog::ExistingFile);
            pDialog->reject();
        };
        QtFileChooser chooser;
        QTimer::singleShot(0, inspect);
        QCOMPARE(chooser.AskSavePath(m_pDlg.get(), QStringLiteral("20120303 9 5.xls")), QString());
        QTimer::singleShot(0, inspect);
        QCOMPARE(chooser.AskOpenPath(m_pDlg.get()), QString());
        QCOMPARE(seen, QStringList({"Worksheet Files (*.xls)|xls|1|0|0", "Worksheet Files (*.xls)|xls|0|0|1"}));
    }

private:
    void SetList(const QVector<MeasurementRecord>& rows)
    {
        m_pDlg->m_listRecords->DeleteAllItems();
        m_pDlg->m_listRecords->Model()->AppendRows(rows);
    }
    QVector<MeasurementRecord> ListRows() const
    {
        QVector<MeasurementRecord> rows(m_pDlg->m_listRecords->GetItemCount());
        for (int i = 0; i < rows.size(); ++i)
            for (int c = 0; c < RECORD_COLUMNS; ++c)
                rows[i].texts[size_t(c)] = m_pDlg->m_listRecords->GetItemText(i, c);
        return rows;
    }
    void SetInfo(const QString& strText)
    {
        for (int nId : INFO_EDITS)
            m_pDlg->SetDlgItemText(nId, strText);
    }
    QStringList Info() const
    {
        QStringList texts;
        for (int nId : INFO_EDITS)
            texts << m_pDlg->GetDlgItemText(nId);
        return texts;
    }
    void Save(const QString& strPath)
    {
        m_pChooser->m_savePaths << strPath;
        m_pDlg->OnBtnSave();
    }
    void Open(const QString& strPath)
    {
        m_pChooser->m_openPaths << strPath;
        m_pDlg->OnBtnOpen();
    }
    // "" when the status line is hidden, else its text.
    QString Status() const
    {
        return m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->isHidden() ? QString()
                                                                 : m_pDlg->GetDlgItemText(IDC_STATIC_STATUS);
    }
    QString Path(const QString& strName) const { return QDir(m_pDir->Path()).filePath(strName); }

    std::unique_ptr<ScopedCurrentDir> m_pDir;
    std::unique_ptr<MeterClientDlg> m_pDlg;
    QueueChooser* m_pChooser = nullptr;
    QStringList m_boxes;
};

QTEST_MAIN(TestDialogReport)
#include "tst_dialogreport.moc"
