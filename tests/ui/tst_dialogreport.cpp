// Saving and opening reports with the real dialog offscreen: the file
// dialogs answer from a queue, message boxes are read instead of shown, and
// every report goes through the built-in spreadsheet server to a real file.
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"
#include "ui/MessageBox.h"
#include "ui/MeterClientDlg.h"

#include "report/ReportLayout.h"
#include "report/SpreadsheetServer.h"
#include "report/XlsFile.h"
#include "tests/report/SpyServer.h"

#include "TestDirs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

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

    QStringList m_savePaths;
    QStringList m_openPaths;
    QStringList m_proposed;
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

QString Owned(const char* pszIcon, const QString& strText)
{
    return QStringLiteral("%1|owned|%2|%3").arg(QLatin1String(pszIcon), ApplicationName(), strText);
}

QString Pick(int nLanguage, const BiText& text)
{
    return QString::fromUtf8(nLanguage == LANGUAGE_ENGLISH ? text.en : text.zh);
}

const int INFO_EDITS[] = {IDC_EDIT_COMPANY, IDC_EDIT_METER_TYPE, IDC_EDIT_SERIAL, IDC_EDIT_OPERATOR, IDC_EDIT_NOTES};

QVector<MeasurementRecord> SampleRows(int nRows)
{
    QVector<MeasurementRecord> rows;
    rows.reserve(nRows);
    for (int i = 0; i < nRows; ++i)
    {
        MeasurementRecord row;
        row.texts = {QString::number(i + 1),
                     QStringLiteral("1550"),
                     QStringLiteral("RL"),
                     QStringLiteral("45.67"),
                     QStringLiteral("-1.20"),
                     QStringLiteral("2012-03-03 09:05:%1").arg(i % 60, 2, 10, QLatin1Char('0')),
                     i % 3 == 0 ? QStringLiteral("备注 %1").arg(i) : QString()};
        rows.append(row);
    }
    if (nRows > 1)
        rows[1].texts = {QStringLiteral("0002"),
                         QStringLiteral("1310"),
                         QStringLiteral("OPM"),
                         QStringLiteral("1e5"),
                         QString(),
                         QStringLiteral("03/04/2012"),
                         QStringLiteral("=SUM(A1)")};
    return rows;
}
} // namespace

class TestDialogReport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void SaveThenOpen_data();
    void SaveThenOpen();
    void EmptyListAndEmptyInfo();
    void ProposedName();
    void Extensions_data();
    void Extensions();
    void RowLimit_data();
    void RowLimit();
    void RowLimitReachedWhileChoosing();
    void UnwritablePath();
    void SaveOverExistingFile();
    void BadFilesToOpen_data();
    void BadFilesToOpen();
    void CancelPaths();
    void NoServer();
    void ServerFailsWhileWriting();
    void RealFileDialogs();

private:
    void SetList(const QVector<MeasurementRecord>& rows);
    QVector<MeasurementRecord> ListRows() const;
    void SetInfo(const QStringList& texts);
    QStringList Info() const;
    bool StatusShown() const { return !m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->isHidden(); }
    QString StatusText() const { return m_pDlg->GetDlgItemText(IDC_STATIC_STATUS); }
    QString Path(const QString& strName) const { return QDir(m_pDir->Path()).filePath(strName); }

    std::unique_ptr<ScopedCurrentDir> m_pDir;
    std::unique_ptr<MeterClientDlg> m_pDlg;
    QueueChooser* m_pChooser = nullptr;
    QStringList m_boxes;
};

void TestDialogReport::init()
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

void TestDialogReport::cleanup()
{
    QVERIFY(m_pDlg->m_rowTexts.isEmpty()); // empty between operations, whatever happened
    m_pDlg.reset();
    SetMessageBoxHook(nullptr);
    m_pDir.reset();
}

void TestDialogReport::SetList(const QVector<MeasurementRecord>& rows)
{
    m_pDlg->m_listRecords->DeleteAllItems();
    m_pDlg->m_listRecords->Model()->AppendRows(rows);
}

QVector<MeasurementRecord> TestDialogReport::ListRows() const
{
    QVector<MeasurementRecord> rows;
    for (int i = 0; i < m_pDlg->m_listRecords->GetItemCount(); ++i)
    {
        MeasurementRecord row;
        for (int c = 0; c < RECORD_COLUMNS; ++c)
            row.texts[size_t(c)] = m_pDlg->m_listRecords->GetItemText(i, c);
        rows.append(row);
    }
    return rows;
}

void TestDialogReport::SetInfo(const QStringList& texts)
{
    for (int i = 0; i < 5; ++i)
        m_pDlg->SetDlgItemText(INFO_EDITS[i], texts.value(i));
}

QStringList TestDialogReport::Info() const
{
    QStringList texts;
    for (int nId : INFO_EDITS)
        texts << m_pDlg->GetDlgItemText(nId);
    return texts;
}

// Save, empty everything, open: the same rows and the same user information,
// in both languages; the status line is hidden after each success.
void TestDialogReport::SaveThenOpen_data()
{
    QTest::addColumn<int>("nLanguage");
    QTest::newRow("english") << int(LANGUAGE_ENGLISH);
    QTest::newRow("chinese") << int(LANGUAGE_CHINESE);
}

void TestDialogReport::SaveThenOpen()
{
    QFETCH(int, nLanguage);
    m_pDlg->m_nLanguage = nLanguage;
    const QVector<MeasurementRecord> rows = SampleRows(25);
    const QStringList info = {QStringLiteral("光纤测试有限公司"), QStringLiteral("OPM-35"), QStringLiteral("0042"),
                              QStringLiteral("Li Si"), QStringLiteral("第二批 \"A\"")};
    SetList(rows);
    SetInfo(info);
    const QString strPath = Path(QStringLiteral("report.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes, QStringList({Owned("info", Pick(nLanguage, TXT_SAVE_DONE))}));
    QVERIFY(!StatusShown());
    QVERIFY(QFileInfo(strPath).isFile());

    // The layout as read back from the file: labels of the language chosen,
    // nine merges, widths B C H I 8, D E 10, F G 22, bold green B2:J4.
    Workbook book;
    QVERIFY(LoadWorkbookXls(strPath, book, nullptr));
    const Worksheet& sheet = book.ActiveSheet();
    const bool bEnglish = nLanguage == LANGUAGE_ENGLISH;
    QCOMPARE(sheet.Text(1, 1), bEnglish ? QStringLiteral("Company：") : QStringLiteral("公司 名称："));
    QCOMPARE(sheet.Text(3, 7), bEnglish ? QStringLiteral("Notes：") : QStringLiteral("备注："));
    QCOMPARE(sheet.Text(1, 9), QStringLiteral("nm/dBm"));
    QCOMPARE(sheet.Text(5, 4), bEnglish ? QStringLiteral("REF|PowerMeter") : QStringLiteral("REF|功率值"));
    QCOMPARE(sheet.m_merges.size(), 9);
    const std::map<int, int> widths = {{1, 8}, {2, 8}, {3, 10}, {4, 10}, {5, 22}, {6, 22}, {7, 8}, {8, 8}};
    QCOMPARE(sheet.m_columnWidths, widths);
    QVERIFY(sheet.Find(3, 9) && sheet.Find(3, 9)->format.bBold && sheet.Find(3, 9)->format.nFillColorIndex == 35);

    SetList(SampleRows(3));
    SetInfo({QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x")});
    m_boxes.clear();
    m_pChooser->m_openPaths << strPath;
    m_pDlg->OnBtnOpen();
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(!StatusShown());
    QCOMPARE(ListRows(), rows);
    QCOMPARE(Info(), info);
    QCOMPARE(m_pDlg->m_strCompany, info[0]);
    QCOMPARE(m_pDlg->m_strNotes, info[4]);
}

// An empty list gives the block and the header row only; opening it
// empties the list and sets the (empty) user information.
void TestDialogReport::EmptyListAndEmptyInfo()
{
    m_pDlg->m_nLanguage = LANGUAGE_ENGLISH;
    const QString strPath = Path(QStringLiteral("empty.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes.size(), 1);
    Workbook book;
    QVERIFY(LoadWorkbookXls(strPath, book, nullptr));
    int nFirst = 0, nLast = 0;
    QVERIFY(book.ActiveSheet().UsedRows(nFirst, nLast));
    QCOMPARE(nLast, REPORT_HEADER_ROW - 1);
    QCOMPARE(book.ActiveSheet().Text(5, 0), QStringLiteral("Number"));

    SetList(SampleRows(4));
    SetInfo({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e")});
    m_pChooser->m_openPaths << strPath;
    m_pDlg->OnBtnOpen();
    QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 0);
    QCOMPARE(Info(), QStringList(5, QString()));
    QVERIFY(!StatusShown());
}

// "%4d%02d%02d%2d%2d.xls": hour and minute padded with spaces.
void TestDialogReport::ProposedName()
{
    const QDateTime before = QDateTime::currentDateTime();
    m_pDlg->OnBtnSave(); // cancelled
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(m_pChooser->m_proposed.size(), 1);
    const QString strName = m_pChooser->m_proposed.first();
    auto expected = [](const QDateTime& t) {
        return QString::asprintf("%4d%02d%02d%2d%2d.xls", t.date().year(), t.date().month(), t.date().day(),
                                 t.time().hour(), t.time().minute());
    };
    QVERIFY2(strName == expected(before) || strName == expected(after), qPrintable(strName));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{8}[ 12]\\d[ 1-5]\\d\\.xls$")).match(strName).hasMatch());
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(!StatusShown());
}

// The extension test ignores case; anything but "xls" is refused and
// nothing is written, the status line untouched.
void TestDialogReport::Extensions_data()
{
    QTest::addColumn<QString>("strName");
    QTest::addColumn<bool>("bAccepted");
    QTest::newRow(".XLS") << QStringLiteral("UPPER.XLS") << true;
    QTest::newRow(".Xls") << QStringLiteral("mixed.Xls") << true;
    QTest::newRow(".xlsx") << QStringLiteral("new.xlsx") << false;
    QTest::newRow(".txt") << QStringLiteral("notes.txt") << false;
    QTest::newRow("no extension") << QStringLiteral("report") << false;
    QTest::newRow("xls in the middle") << QStringLiteral("a.xls.bak") << false;
}

void TestDialogReport::Extensions()
{
    QFETCH(QString, strName);
    QFETCH(bool, bAccepted);
    m_pDlg->m_nLanguage = LANGUAGE_CHINESE;
    SetList(SampleRows(2));
    const QString strPath = Path(strName);
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    if (bAccepted)
    {
        QCOMPARE(m_boxes, QStringList({Owned("info", Pick(LANGUAGE_CHINESE, TXT_SAVE_DONE))}));
        QVERIFY(QFileInfo(strPath).isFile());
    }
    else
    {
        QCOMPARE(m_boxes, QStringList({Owned("stop", Pick(LANGUAGE_CHINESE, TXT_SAVE_NOT_XLS))}));
        QVERIFY(!QFileInfo::exists(strPath));
        QVERIFY(QDir(m_pDir->Path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
    }
    QVERIFY(!StatusShown());
}

// A sheet ends at row 65,536: 65,530 records fit; one more is refused in
// the operator's language before any file is chosen or written.
void TestDialogReport::RowLimit_data()
{
    QTest::addColumn<int>("nRows");
    QTest::addColumn<int>("nLanguage");
    QTest::newRow("65530 fit") << 65530 << int(LANGUAGE_ENGLISH);
    QTest::newRow("65531 refused, english") << 65531 << int(LANGUAGE_ENGLISH);
    QTest::newRow("65535 refused, chinese") << 65535 << int(LANGUAGE_CHINESE);
}

void TestDialogReport::RowLimit()
{
    QFETCH(int, nRows);
    QFETCH(int, nLanguage);
    m_pDlg->m_nLanguage = nLanguage;
    const QVector<MeasurementRecord> rows = SampleRows(nRows);
    SetList(rows);
    const QString strPath = Path(QStringLiteral("big.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    if (nRows <= REPORT_MAX_RECORDS)
    {
        QCOMPARE(m_boxes, QStringList({Owned("info", Pick(nLanguage, TXT_SAVE_DONE))}));
        m_pDlg->m_listRecords->DeleteAllItems();
        m_pChooser->m_openPaths << strPath;
        m_pDlg->OnBtnOpen();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), nRows);
        QCOMPARE(ListRows().last(), rows.last());
        QCOMPARE(ListRows()[1], rows[1]);
    }
    else
    {
        const ReportText& text = TXT_REPORT_TOO_MANY_ROWS;
        const QString strText = QString::fromUtf8(nLanguage == LANGUAGE_ENGLISH ? text.en : text.zh).arg(nRows);
        QCOMPARE(m_boxes, QStringList({Owned("stop", strText)}));
        QVERIFY(strText.contains(QString::number(nRows)) && strText.contains(QStringLiteral("65530")));
        QVERIFY(m_pChooser->m_proposed.isEmpty()); // not even asked for a name
        QVERIFY(!QFileInfo::exists(strPath));
        QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), nRows); // the list is kept
        QVERIFY(!StatusShown());
    }
}

// Rows that arrive while the Save As dialog is open count too.
void TestDialogReport::RowLimitReachedWhileChoosing()
{
    class GrowingChooser : public QueueChooser
    {
    public:
        QString AskSavePath(QWidget* pOwner, const QString& strName) override
        {
            m_pList->Model()->AppendRows(SampleRows(2));
            return QueueChooser::AskSavePath(pOwner, strName);
        }
        RecordListCtrl* m_pList = nullptr;
    };
    auto pChooser = std::make_unique<GrowingChooser>();
    pChooser->m_pList = m_pDlg->m_listRecords;
    pChooser->m_savePaths << Path(QStringLiteral("grown.xls"));
    m_pDlg->SetFileChooser(std::move(pChooser));
    m_pDlg->m_nLanguage = LANGUAGE_ENGLISH;
    SetList(SampleRows(REPORT_MAX_RECORDS));
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes, QStringList({Owned("stop", QString::fromUtf8(TXT_REPORT_TOO_MANY_ROWS.en).arg(65532))}));
    QVERIFY(!QFileInfo::exists(Path(QStringLiteral("grown.xls"))));
    QVERIFY(!StatusShown());
}

// A path that cannot be written: the server's exception box (no owner, no
// icon), then the save failure; the status line keeps its saving text.
void TestDialogReport::UnwritablePath()
{
    m_pDlg->m_nLanguage = LANGUAGE_ENGLISH;
    SetList(SampleRows(3));
    const QString strPath = Path(QStringLiteral("missing-folder/report.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY2(m_boxes[0].startsWith(QStringLiteral("none|free|COleDispatchException|COleDispatchException.   SCODE:   "
                                                  "000003ec,   Description:   \"")),
             qPrintable(m_boxes[0]));
    QVERIFY(m_boxes[0].contains(strPath));
    QCOMPARE(m_boxes[1], Owned("stop", Pick(LANGUAGE_ENGLISH, TXT_SAVE_ERROR)));
    QVERIFY(StatusShown());
    QCOMPARE(StatusText(), Pick(LANGUAGE_ENGLISH, TXT_SAVING));
    QVERIFY(!QFileInfo::exists(strPath));

    // The next save of the same list writes each row once.
    m_boxes.clear();
    const QString strGood = Path(QStringLiteral("second.xls"));
    m_pChooser->m_savePaths << strGood;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(!StatusShown());
    m_pChooser->m_openPaths << strGood;
    m_pDlg->OnBtnOpen();
    QCOMPARE(ListRows(), SampleRows(3));
}

// Once the file dialog has asked, the report replaces the file silently.
void TestDialogReport::SaveOverExistingFile()
{
    const QString strPath = Path(QStringLiteral("again.xls"));
    SetList(SampleRows(5));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    SetList(SampleRows(2));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes.size(), 2);
    m_pDlg->m_listRecords->DeleteAllItems();
    m_pChooser->m_openPaths << strPath;
    m_pDlg->OnBtnOpen();
    QCOMPARE(ListRows(), SampleRows(2));
}

// Files the server cannot read: the exception box, then the open failure;
// the list is empty, the user information unchanged, the status line keeps
// its opening text, and the next open works.
void TestDialogReport::BadFilesToOpen_data()
{
    QTest::addColumn<QString>("strKind");
    QTest::newRow("truncated report") << QStringLiteral("truncated");
    QTest::newRow("garbage") << QStringLiteral("garbage");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("missing file") << QStringLiteral("missing");
}

void TestDialogReport::BadFilesToOpen()
{
    QFETCH(QString, strKind);
    m_pDlg->m_nLanguage = LANGUAGE_CHINESE;
    const QString strGood = Path(QStringLiteral("good.xls"));
    SetList(SampleRows(40));
    m_pChooser->m_savePaths << strGood;
    m_pDlg->OnBtnSave();

    const QString strBad = Path(QStringLiteral("bad.xls"));
    QFile good(strGood);
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    if (strKind != QLatin1String("missing"))
    {
        QFile bad(strBad);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        if (strKind == QLatin1String("truncated"))
            bad.write(bytes.left(bytes.size() / 2));
        else if (strKind == QLatin1String("garbage"))
            bad.write(QByteArray(4096, '\x5A'));
    }
    SetInfo({QStringLiteral("keep"), QStringLiteral("keep"), QStringLiteral("keep"), QStringLiteral("keep"),
             QStringLiteral("keep")});
    m_boxes.clear();
    m_pChooser->m_openPaths << strBad;
    m_pDlg->OnBtnOpen();
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY2(m_boxes[0].startsWith(QStringLiteral("none|free|COleDispatchException|")), qPrintable(m_boxes[0]));
    QCOMPARE(m_boxes[1], Owned("stop", Pick(LANGUAGE_CHINESE, TXT_OPEN_ERROR)));
    QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 0);
    QCOMPARE(Info(), QStringList(5, QStringLiteral("keep")));
    QVERIFY(StatusShown());
    QCOMPARE(StatusText(), Pick(LANGUAGE_CHINESE, TXT_OPENING));

    m_boxes.clear();
    m_pChooser->m_openPaths << strGood;
    m_pDlg->OnBtnOpen();
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(ListRows(), SampleRows(40));
    QVERIFY(!StatusShown());
}

// Cancelling: the save does nothing; the open hides the status line.
void TestDialogReport::CancelPaths()
{
    SetList(SampleRows(2));
    m_pDlg->GetDlgItem(IDC_STATIC_STATUS)->show();
    m_pDlg->OnBtnSave();
    QVERIFY(StatusShown());
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 2);
    m_pDlg->OnBtnOpen();
    QVERIFY(!StatusShown());
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 2);
    QVERIFY(QDir(m_pDir->Path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

// No server registered: a save shows "cannot create" and the save failure,
// an open only the open failure; no exception box.
void TestDialogReport::NoServer()
{
    ScopedNoServer none;
    m_pDlg->m_nLanguage = LANGUAGE_ENGLISH;
    SetList(SampleRows(2));
    const QString strPath = Path(QStringLiteral("none.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes, QStringList({Owned("stop", Pick(LANGUAGE_ENGLISH, TXT_NO_EXCEL)),
                                   Owned("stop", Pick(LANGUAGE_ENGLISH, TXT_SAVE_ERROR))}));
    QVERIFY(!QFileInfo::exists(strPath));
    m_boxes.clear();
    m_pChooser->m_openPaths << strPath;
    m_pDlg->OnBtnOpen();
    QCOMPARE(m_boxes, QStringList({Owned("stop", Pick(LANGUAGE_ENGLISH, TXT_OPEN_ERROR))}));
    QCOMPARE(m_pDlg->m_listRecords->GetItemCount(), 0);
}

// A server that fails in the middle of writing: the "COleException" box
// with its SCODE, then the save failure; the job still closed and quit.
void TestDialogReport::ServerFailsWhileWriting()
{
    ScopedSpyServer spy;
    spy.Plan().failDispId = DISPID_RANGE_MERGE;
    spy.Plan().wFailFlags = DISPATCH_METHOD;
    spy.Plan().scFail = DISP_E_MEMBERNOTFOUND;
    m_pDlg->m_nLanguage = LANGUAGE_CHINESE;
    SetList(SampleRows(2));
    const QString strPath = Path(QStringLiteral("half.xls"));
    m_pChooser->m_savePaths << strPath;
    m_pDlg->OnBtnSave();
    QCOMPARE(m_boxes, QStringList({QStringLiteral("none|free|COleException|COleException.   SCODE:   80020003."),
                                   Owned("stop", Pick(LANGUAGE_CHINESE, TXT_SAVE_ERROR))}));
    const QVector<SpyCall>& calls = spy.Plan().calls;
    QCOMPARE(calls[calls.size() - 3].dispid, DISPID_BOOK_CLOSE);
    QCOMPARE(calls[calls.size() - 2].dispid, DISPID_BOOKS_CLOSE);
    QCOMPARE(calls[calls.size() - 1].dispid, DISPID_APP_QUIT);
    QVERIFY(!QFileInfo::exists(strPath));
    QVERIFY(StatusShown());
}

// The real dialogs: one filter, the xls suffix, the overwrite question on
// save (Qt's default), an existing file on open; cancel gives "".
void TestDialogReport::RealFileDialogs()
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
    QCOMPARE(seen, QStringList({QStringLiteral("Worksheet Files (*.xls)|xls|1|0|0"),
                                QStringLiteral("Worksheet Files (*.xls)|xls|0|0|1")}));
}

QTEST_MAIN(TestDialogReport)
#include "tst_dialogreport.moc"
