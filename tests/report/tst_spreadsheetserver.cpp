// The built-in spreadsheet server and the report jobs over it: the members
// it accepts and refuses, what the cells hold, when a file is (not) written,
// and the course of a job when the server fails at a chosen call or is
// missing altogether.
#include "SpyServer.h"
#include "report/ExcelWrappers.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/XlsFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const Variant MISSING = Variant::Missing();

// Raw calls on the server's objects: one session is one started server
// with a new workbook, its sheet and its all-cells range.
struct Session
{
    Session()
    {
        app.AttachDispatch(CreateSpreadsheetServer());
        books.AttachDispatch(app.GetWorkbooks());
        book.AttachDispatch(books.Add(MISSING));
        sheet.AttachDispatch(book.GetActiveSheet());
        cells.AttachDispatch(sheet.GetCells());
    }
    Dispatch* Object(const QString& strName)
    {
        if (strName == QLatin1String("app"))
            return app.m_lpDispatch;
        if (strName == QLatin1String("books"))
            return books.m_lpDispatch;
        if (strName == QLatin1String("book"))
            return book.m_lpDispatch;
        if (strName == QLatin1String("sheet"))
            return sheet.m_lpDispatch;
        if (strName == QLatin1String("font"))
        {
            font.AttachDispatch(cells.GetFont());
            return font.m_lpDispatch;
        }
        if (strName == QLatin1String("interior"))
        {
            interior.AttachDispatch(cells.GetInterior());
            return interior.m_lpDispatch;
        }
        return cells.m_lpDispatch;
    }
    const Worksheet& Model() { return WorkbookOf(book.m_lpDispatch)->ActiveSheet(); }
    QString Text(int nRow, int nCol) // 1-based, through the server
    {
        ExcelRange cell;
        cell.AttachDispatch(cells.GetItem(Variant(qint32(nRow)), Variant(qint32(nCol))).DetachDispatch());
        return CellValueText(cell.GetValue2());
    }
    Dispatch* Range(const char* pszFrom, const char* pszTo)
    {
        return sheet.GetRange(Variant(QLatin1String(pszFrom)),
                              pszTo ? Variant(QLatin1String(pszTo)) : Variant::Missing());
    }

    ExcelApplication app;
    ExcelWorkbooks books;
    ExcelWorkbook book;
    ExcelWorksheet sheet;
    ExcelRange cells;
    ExcelFont font;
    ExcelInterior interior;
};

QVector<Variant> Args(std::initializer_list<Variant> args)
{
    return QVector<Variant>(args);
}

QByteArray FileHash(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QVector<MeasurementRecord*> MakeRows(int nRows)
{
    QVector<MeasurementRecord*> rows;
    for (int i = 0; i < nRows; ++i)
    {
        auto* pRow = new MeasurementRecord;
        pRow->texts = {QString::number(i + 1),      QStringLiteral("1550"),  QStringLiteral("OPM"),
                       QStringLiteral("-12.34"),    QStringLiteral("-3.00"), QStringLiteral("2012-03-03 09:05"),
                       QStringLiteral("n%1").arg(i)};
        rows.append(pRow);
    }
    return rows;
}

// Everything a job showed, and the rows it read.
struct JobLog
{
    QStringList boxes; // "caption|text"
    int nNoExcel = 0;
    ReportUserInfo info;
    bool bInfoShown = false;
    QVector<MeasurementRecord> rows;

    ReportHooks Hooks(const ReportUserInfo& toWrite = ReportUserInfo())
    {
        ReportHooks hooks;
        hooks.fetchUserInfo = [toWrite]() { return toWrite; };
        hooks.showUserInfo = [this](const ReportUserInfo& read) {
            info = read;
            bInfoShown = true;
        };
        hooks.appendRow = [this](const MeasurementRecord& row) { rows.append(row); };
        hooks.reportException = [this](const QString& strCaption, const QString& strText) {
            boxes << strCaption + QLatin1Char('|') + strText;
        };
        hooks.reportNoExcel = [this]() { ++nNoExcel; };
        return hooks;
    }
};

// The last three calls of a spy log, as "dispid/kind".
QStringList LastCalls(const SpyPlan& plan, int nCount)
{
    QStringList calls;
    for (qsizetype i = qMax<qsizetype>(0, plan.calls.size() - nCount); i < plan.calls.size(); ++i)
        calls << QStringLiteral("%1/%2").arg(plan.calls[i].dispid, 0, 16).arg(plan.calls[i].wFlags);
    return calls;
}
} // namespace

Q_DECLARE_METATYPE(Variant)

class TestSpreadsheetServer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

private slots:
    // Exactly the members of the report, with their kinds, counts and types.
    void MemberChecks_data()
    {
        QTest::addColumn<QString>("strObject");
        QTest::addColumn<int>("dispid");
        QTest::addColumn<int>("nFlags");
        QTest::addColumn<QVector<Variant>>("args");
        QTest::addColumn<quint32>("sc");
        const Variant b(false), i4(qint32(1)), i2(1, VT_I2), s(QStringLiteral("x"));
        const int get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, method = DISPATCH_METHOD;
        QTest::newRow("app visible") << "app" << 0x22E << put << Args({b}) << quint32(S_OK);
        QTest::newRow("app visible text") << "app" << 0x22E << put << Args({s}) << quint32(DISP_E_TYPEMISMATCH);
        QTest::newRow("app visible get") << "app" << 0x22E << get << Args({}) << quint32(DISP_E_MEMBERNOTFOUND);
        QTest::newRow("app unknown") << "app" << 0x999 << get << Args({}) << quint32(DISP_E_MEMBERNOTFOUND);
        QTest::newRow("books add 2 args")
            << "books" << 0xB5 << method << Args({MISSING, MISSING}) << quint32(DISP_E_BADPARAMCOUNT);
        QTest::newRow("books open short") << "books" << 0x783 << method << Args({s}) << quint32(DISP_E_BADPARAMCOUNT);
        QTest::newRow("book close 2 args")
            << "book" << 0x115 << method << Args({i4, s}) << quint32(DISP_E_BADPARAMCOUNT);
        QTest::newRow("book saveas 11") << "book" << 0x785 << method << QVector<Variant>(11, MISSING)
                                        << quint32(DISP_E_BADPARAMCOUNT);
        QTest::newRow("sheet range number")
            << "sheet" << 0xC5 << get << Args({i4, MISSING}) << quint32(DISP_E_TYPEMISMATCH);
        QTest::newRow("sheet range bad address")
            << "sheet" << 0xC5 << get << Args({Variant(QStringLiteral("B0")), MISSING}) << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range item 1 arg") << "range" << 0xAA << get << Args({i4}) << quint32(DISP_E_BADPARAMCOUNT);
        QTest::newRow("range item row 0")
            << "range" << 0xAA << get << Args({Variant(qint32(0)), i4}) << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range item row 65537")
            << "range" << 0xAA << put << Args({Variant(qint32(65537)), i4, s}) << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range item put") << "range" << 0xAA << put << Args({i4, i4, s}) << quint32(S_OK);
        QTest::newRow("range value2 on all cells") << "range" << 0x56C << get << Args({}) << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range halign 9") << "range" << 0x88 << put << Args({Variant(qint32(9))})
                                        << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range halign text") << "range" << 0x88 << put << Args({s}) << quint32(DISP_E_TYPEMISMATCH);
        QTest::newRow("range width 300") << "range" << 0xF2 << put << Args({Variant(qint32(300))})
                                         << quint32(DISP_E_EXCEPTION);
        QTest::newRow("range merge whole sheet")
            << "range" << 0x234 << method << Args({i2}) << quint32(DISP_E_EXCEPTION);
        QTest::newRow("font colorindex") << "font" << 0x61 << put << Args({i2}) << quint32(DISP_E_MEMBERNOTFOUND);
        QTest::newRow("interior colorindex 57")
            << "interior" << 0x61 << put << Args({Variant(57, VT_I2)}) << quint32(DISP_E_EXCEPTION);
    }
    void MemberChecks()
    {
        QFETCH(QString, strObject);
        QFETCH(int, dispid);
        QFETCH(int, nFlags);
        QFETCH(QVector<Variant>, args);
        QFETCH(quint32, sc);
        Session session;
        Variant result;
        ExcepInfo excepInfo;
        const SCode scGot = session.Object(strObject)->Invoke(dispid, quint16(nFlags), args.data(), int(args.size()),
                                                              &result, &excepInfo);
        QCOMPARE(QString::number(scGot, 16), QString::number(sc, 16));
        if (sc == DISP_E_EXCEPTION)
        {
            QCOMPARE(excepInfo.wCode, SHEET_ERR_GENERAL);
            QVERIFY(!excepInfo.strDescription.isEmpty());
        }
    }

    // What the report's calls leave in the sheet.
    void CellsAndFormats()
    {
        Session s;
        s.cells.SetHorizontalAlignment(Variant(qint32(-4108)));
        s.cells.SetNumberFormatLocal(Variant(QStringLiteral("@")));
        ExcelRange range;
        range.AttachDispatch(s.Range("B2", "J4"));
        QCOMPARE(range.GetCount(), 27);
        ExcelFont font;
        font.AttachDispatch(range.GetFont());
        font.SetBold(Variant(qint32(1)));
        ExcelInterior interior;
        interior.AttachDispatch(range.GetInterior());
        interior.SetColorIndex(Variant(35, VT_I2));

        range.AttachDispatch(s.Range("B2", "C2"));
        range.Merge(Variant(1, VT_I2));
        range.SetValue2(Variant(QStringLiteral("Company：")));
        range.SetHorizontalAlignment(Variant(3, VT_I2));
        range.SetVerticalAlignment(Variant(2, VT_I2));
        range.SetColumnWidth(Variant(8, VT_I2));
        s.cells.SetItem(Variant(qint32(7)), Variant(qint32(1)), Variant(QStringLiteral("001")));
        s.cells.SetItem(Variant(qint32(7)), Variant(qint32(2)), Variant(QString()));

        const Worksheet& sheet = s.Model();
        QCOMPARE(sheet.Text(1, 1), QStringLiteral("Company："));
        QCOMPARE(sheet.Text(1, 2), QString()); // covered by the merge
        QCOMPARE(sheet.m_merges.size(), 1);
        QCOMPARE(sheet.m_merges[0].nFirstCol, 1);
        QCOMPARE(sheet.m_merges[0].nLastCol, 2);
        QCOMPARE(sheet.m_columnWidths.at(1), 8);
        QCOMPARE(sheet.m_columnWidths.at(2), 8);
        QVERIFY(sheet.m_defaultFormat.bTextFormat);
        QCOMPARE(sheet.m_defaultFormat.nHorzAlign, 2);
        const Cell* pLabel = sheet.Find(1, 1);
        QVERIFY(pLabel != nullptr);
        QVERIFY(pLabel->format.bBold);
        QCOMPARE(pLabel->format.nFillColorIndex, 35);
        QCOMPARE(pLabel->format.nHorzAlign, 2);
        QCOMPARE(pLabel->format.nVertAlign, 1);
        QVERIFY(pLabel->format.bTextFormat);
        QVERIFY(sheet.Find(3, 9)->format.bBold); // J4
        QVERIFY(sheet.Find(6, 0)->format.bTextFormat);

        QCOMPARE(s.Text(7, 1), QStringLiteral("001"));
        // Reads after writes that move the row's cells see the new cells.
        for (qint32 nCol = 3; nCol <= 40; ++nCol)
            s.cells.SetItem(Variant(qint32(7)), Variant(nCol), Variant(QString::number(nCol)));
        QCOMPARE(s.Text(7, 1), QStringLiteral("001"));
        QCOMPARE(s.Text(7, 40), QStringLiteral("40"));
        ExcelRange cell;
        cell.AttachDispatch(s.cells.GetItem(Variant(qint32(7)), Variant(qint32(2))).DetachDispatch());
        QCOMPARE(cell.GetValue2().Type(), VT_EMPTY);
        cell.AttachDispatch(s.cells.GetItem(Variant(qint32(100)), Variant(qint32(9))).DetachDispatch());
        QCOMPARE(cell.GetValue2().Type(), VT_EMPTY);

        ExcelRange used, rows;
        used.AttachDispatch(s.sheet.GetUsedRange());
        rows.AttachDispatch(used.GetRows());
        QCOMPARE(rows.GetCount(), 6); // rows 2..7
    }

    // Objects of a closed workbook or a server that quit are dead, not dangling.
    void DeadObjectsFail()
    {
        Session s;
        ExcelRange range;
        range.AttachDispatch(s.Range("A1", nullptr));
        s.book.Close(Variant(qint32(0)), MISSING, MISSING);
        QVERIFY_THROWS_EXCEPTION(OleException, range.SetValue2(Variant(QStringLiteral("x"))));
        s.app.Quit();
        QVERIFY_THROWS_EXCEPTION(OleException, (void)s.books.Add(MISSING));
        try
        {
            s.app.SetVisible(false);
            QFAIL("no exception");
        }
        catch (const OleException& e)
        {
            QCOMPARE(e.m_sc, RPC_E_DISCONNECTED);
        }
    }

    // Close with SaveChanges 1 and the path on a workbook that was only
    // read leaves the user's file alone, byte for byte.
    void CloseAfterReadKeepsFile()
    {
        const QString strPath = Path(QStringLiteral("read-only.xls"));
        {
            Session s;
            s.cells.SetItem(Variant(qint32(2)), Variant(qint32(4)), Variant(QStringLiteral("ACME")));
            const Variant& o = MISSING;
            s.book.SaveAs(Variant(strPath), o, o, o, o, o, 0, o, o, o, o, o);
        }
        const QByteArray hash = FileHash(strPath);
        const QDateTime modified = QFileInfo(strPath).lastModified();
        QTest::qWait(20);

        ExcelApplication app;
        QVERIFY(app.CreateDispatch(QLatin1String(SPREADSHEET_PROG_ID)));
        ExcelWorkbooks books;
        books.AttachDispatch(app.GetWorkbooks());
        ExcelWorkbook book;
        const Variant& o = MISSING;
        book.AttachDispatch(books.Open(strPath, o, o, o, o, o, o, o, o, o, o, o, o, o, o));
        QCOMPARE(WorkbookOf(book.m_lpDispatch)->ActiveSheet().Text(1, 3), QStringLiteral("ACME"));
        book.Close(Variant(qint32(1)), Variant(strPath), MISSING);
        books.Close();
        app.Quit();
        QCOMPARE(FileHash(strPath), hash);
        QCOMPARE(QFileInfo(strPath).lastModified(), modified);
    }

    // A new workbook that was never saved is dropped by Close, even when
    // told to save it: a file already under the path stays as it was (and
    // JobFailures sees that none appears where there was none).
    void CloseNeverWritesUnsavedNewWorkbook()
    {
        const QString strPath = Path(QStringLiteral("unsaved.xls"));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older report");
        file.close();
        Session s;
        s.cells.SetItem(Variant(qint32(7)), Variant(qint32(1)), Variant(QStringLiteral("half")));
        s.book.Close(Variant(qint32(1)), Variant(strPath), MISSING);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("older report"));
    }

    // Changes after our own SaveAs are what Close saves.
    void CloseSavesChangesAfterSaveAs()
    {
        const QString strPath = Path(QStringLiteral("resave.xls"));
        Session s;
        const Variant& o = MISSING;
        s.book.SaveAs(Variant(strPath), o, o, o, o, o, 0, o, o, o, o, o);
        s.cells.SetItem(Variant(qint32(9)), Variant(qint32(1)), Variant(QStringLiteral("later")));
        s.book.Close(Variant(qint32(1)), Variant(strPath), MISSING);
        Workbook read;
        QString strError;
        QVERIFY2(LoadWorkbookXls(strPath, read, &strError), qPrintable(strError));
        QCOMPARE(read.ActiveSheet().Text(8, 0), QStringLiteral("later"));
    }

    // A save that cannot be done raises the server's exception, leaves no
    // file behind, and the file in the target's place (if any) is kept.
    void FailedSaveAs_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::newRow("missing folder") << QStringLiteral("no-such-folder/report.xls");
        QTest::newRow("path is a folder") << QStringLiteral("a-folder.xls");
        QTest::newRow("empty name") << QString();
    }
    void FailedSaveAs()
    {
        QFETCH(QString, strName);
        QDir(m_dir.path()).mkdir(QStringLiteral("a-folder.xls"));
        const QString strPath = strName.isEmpty() ? QString() : Path(strName);
        Session s;
        s.cells.SetItem(Variant(qint32(7)), Variant(qint32(1)), Variant(QStringLiteral("x")));
        const Variant& o = MISSING;
        try
        {
            s.book.SaveAs(Variant(strPath), o, o, o, o, o, 0, o, o, o, o, o);
            QFAIL("no exception");
        }
        catch (const OleDispatchException& e)
        {
            QCOMPARE(e.m_wCode, SHEET_ERR_GENERAL);
            QVERIFY(e.m_strDescription.contains(strName.isEmpty() ? QStringLiteral("file name") : strPath));
        }
        s.book.Close(Variant(qint32(1)), Variant(strPath), MISSING);
        QVERIFY(!QFileInfo(strPath).isFile());
        QVERIFY(QFileInfo(Path(QStringLiteral("a-folder.xls"))).isDir());
    }

    void OpenFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("bCreate");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("text file") << QByteArray("Number,Wave\n1,1550\n") << true;
        QTest::newRow("ole header only") << QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(504, '\0') << true;
    }
    void OpenFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, bCreate);
        const QString strPath = Path(QStringLiteral("bad-%1.xls").arg(QTest::currentDataTag()));
        if (bCreate)
        {
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        Session s;
        const Variant& o = MISSING;
        try
        {
            (void)s.books.Open(strPath, o, o, o, o, o, o, o, o, o, o, o, o, o, o);
            QFAIL("no exception");
        }
        catch (const OleDispatchException& e)
        {
            QCOMPARE(e.m_wCode, SHEET_ERR_GENERAL);
            QVERIFY(e.m_strDescription.contains(strPath));
        }
    }

    // The calls of a save, in order, with the argument types of the layout.
    void SaveCallSequence()
    {
        ScopedSpyServer spy;
        const QString strPath = Path(QStringLiteral("sequence.xls"));
        QVector<MeasurementRecord*> rows = MakeRows(2);
        JobLog log;
        QVERIFY(WriteReportJob(strPath, rows, 1, log.Hooks()));
        qDeleteAll(rows);
        const QVector<SpyCall>& calls = spy.Plan().calls;
        QVERIFY(calls.size() > 10);
        QCOMPARE(calls[0].dispid, DISPID_APP_VISIBLE);
        QVERIFY(!calls[0].args[0].Bool());
        QCOMPARE(calls[1].dispid, DISPID_APP_USER_CONTROL);
        QVERIFY(calls[1].args[0].Bool());
        QCOMPARE(calls[3].dispid, DISPID_BOOKS_ADD);
        QVERIFY(calls[3].args[0].IsMissing());

        // Every SetItem: I4 row and column; data rows 7 and 8 hold the texts.
        int nItemPuts = 0;
        for (const SpyCall& call : calls)
            if (call.dispid == DISPID_RANGE_ITEM && call.wFlags == DISPATCH_PROPERTYPUT)
            {
                QCOMPARE(call.args[0].Type(), VT_I4);
                QCOMPARE(call.args[1].Type(), VT_I4);
                QCOMPARE(call.args[2].Type(), VT_BSTR);
                ++nItemPuts;
            }
        QCOMPARE(nItemPuts, 3 + 7 + 2 * 7);
        QCOMPARE(spy.Plan().Count(DISPID_RANGE_MERGE, DISPATCH_METHOD), 9);
        for (const SpyCall& call : calls) // ColorIndex and Merge as I2, Bold as I4
            if (call.dispid == DISPID_INTERIOR_COLOR_INDEX || call.dispid == DISPID_FONT_BOLD ||
                call.dispid == DISPID_RANGE_MERGE)
                QCOMPARE(call.args[0].Type(), call.dispid == DISPID_FONT_BOLD ? VT_I4 : VT_I2);
        const SpyCall& saveAs = calls[calls.size() - 4];
        QCOMPARE(saveAs.dispid, DISPID_BOOK_SAVE_AS);
        QCOMPARE(saveAs.args[0].String(), strPath);
        QCOMPARE(saveAs.args[6].Type(), VT_I4);
        QCOMPARE(saveAs.args[6].I4(), 0);
        QCOMPARE(calls[calls.size() - 6].dispid, DISPID_APP_ALERT_BEFORE_OVERWRITING);
        QCOMPARE(calls[calls.size() - 5].dispid, DISPID_APP_DISPLAY_ALERTS);
        const SpyCall& close = calls[calls.size() - 3];
        QCOMPARE(close.dispid, DISPID_BOOK_CLOSE);
        QCOMPARE(close.args[0].Type(), VT_I4);
        QCOMPARE(close.args[0].I4(), 1);
        QCOMPARE(close.args[1].String(), strPath);
        QVERIFY(close.args[2].IsMissing());
        QCOMPARE(LastCalls(spy.Plan(), 2),
                 QStringList({QStringLiteral("115/1"), QStringLiteral("12e/1")})); // Workbooks.Close, Quit
    }

    // A server that fails at a chosen call: the exception box with its text,
    // then the workbook's Close, the collection's Close and Quit, in this
    // order; the job gives false and nothing escapes.
    void JobFailures_data()
    {
        QTest::addColumn<bool>("bSave");
        QTest::addColumn<int>("dispid");
        QTest::addColumn<int>("nFlags");
        QTest::addColumn<quint32>("sc");
        QTest::addColumn<bool>("bFailAfter");
        QTest::addColumn<QString>("strBox");
        const QString strOle = QStringLiteral("COleException|COleException.   SCODE:   %1.");
        const QString strDispatch = QStringLiteral(
            "COleDispatchException|COleDispatchException.   SCODE:   000003ec,   Description:   \"Disk full\".");
        QTest::newRow("save: unknown member at Add")
            << true << int(DISPID_BOOKS_ADD) << int(DISPATCH_METHOD) << quint32(DISP_E_MEMBERNOTFOUND) << false
            << strOle.arg("80020003");
        QTest::newRow("save: bad count at Item put")
            << true << int(DISPID_RANGE_ITEM) << int(DISPATCH_PROPERTYPUT) << quint32(DISP_E_BADPARAMCOUNT) << false
            << strOle.arg("8002000e");
        QTest::newRow("save: exception at SaveAs") << true << int(DISPID_BOOK_SAVE_AS) << int(DISPATCH_METHOD)
                                                   << quint32(DISP_E_EXCEPTION) << false << strDispatch;
        QTest::newRow("save: all fail from Bold on") << true << int(DISPID_FONT_BOLD) << int(DISPATCH_PROPERTYPUT)
                                                     << quint32(DISP_E_TYPEMISMATCH) << true << strOle.arg("80020005");
        QTest::newRow("save: Close fails at the end") << true << int(DISPID_BOOK_CLOSE) << int(DISPATCH_METHOD)
                                                      << quint32(E_FAIL) << true << strOle.arg("80004005");
        QTest::newRow("open: exception at Value2") << false << int(DISPID_RANGE_VALUE2) << int(DISPATCH_PROPERTYGET)
                                                   << quint32(DISP_E_EXCEPTION) << false << strDispatch;
    }
    void JobFailures()
    {
        QFETCH(bool, bSave);
        QFETCH(int, dispid);
        QFETCH(int, nFlags);
        QFETCH(quint32, sc);
        QFETCH(bool, bFailAfter);
        QFETCH(QString, strBox);
        // Workbook.Close (or the failed Add, when there is no workbook), Workbooks.Close, Quit.
        const QStringList lastCalls = {dispid == DISPID_BOOKS_ADD ? QStringLiteral("b5/1") : QStringLiteral("115/1"),
                                       QStringLiteral("115/1"), QStringLiteral("12e/1")};
        const QString strPath = Path(
            QStringLiteral("fail-%1.xls").arg(QTest::currentDataTag()).replace(QLatin1Char(':'), QLatin1Char('_')));
        if (!bSave)
        {
            QVector<MeasurementRecord*> rows = MakeRows(4);
            JobLog writer;
            QVERIFY(WriteReportJob(strPath, rows, 1, writer.Hooks()));
            qDeleteAll(rows);
        }
        const QByteArray hashBefore = FileHash(strPath);

        ScopedSpyServer spy;
        spy.Plan().failDispId = dispid;
        spy.Plan().wFailFlags = quint16(nFlags);
        spy.Plan().scFail = sc;
        spy.Plan().bFailEveryCallAfter = bFailAfter;
        spy.Plan().wCode = 1004;
        spy.Plan().strDescription = QStringLiteral("Disk full");

        JobLog log;
        QVector<MeasurementRecord*> rows = MakeRows(3);
        const bool bOk = bSave ? WriteReportJob(strPath, rows, 2, log.Hooks()) : ReadReportJob(strPath, log.Hooks());
        qDeleteAll(rows);
        QVERIFY(!bOk);
        QCOMPARE(log.boxes, QStringList({strBox}));
        QCOMPARE(log.nNoExcel, 0);
        QCOMPARE(LastCalls(spy.Plan(), 3), lastCalls);
        if (bSave && sc != E_FAIL)
            QVERIFY(!QFileInfo::exists(strPath)); // no half-built report
        if (!bSave)
            QCOMPARE(FileHash(strPath), hashBefore);
    }

    // A sheet without cells has no used rows: the open fails without a box.
    void OpenEmptySheet()
    {
        const QString strPath = Path(QStringLiteral("empty-sheet.xls"));
        QVERIFY(SaveWorkbookXls(Workbook(), strPath, nullptr));
        JobLog log;
        QVERIFY(!ReadReportJob(strPath, log.Hooks()));
        QVERIFY(log.boxes.isEmpty());
        QVERIFY(!log.bInfoShown);
    }

    // More rows than rows 7..65,536 hold: refused before anything starts.
    void TooManyRowsRefused()
    {
        ScopedSpyServer spy;
        const QString strPath = Path(QStringLiteral("too-many.xls"));
        QVector<MeasurementRecord*> rows(REPORT_MAX_RECORDS + 1, nullptr);
        JobLog log;
        QVERIFY(!WriteReportJob(strPath, rows, 1, log.Hooks()));
        QVERIFY(spy.Plan().calls.isEmpty());
        QVERIFY(!QFileInfo::exists(strPath));
        QCOMPARE(REPORT_MAX_RECORDS, 65530);
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheetServer)
#include "tst_spreadsheetserver.moc"
