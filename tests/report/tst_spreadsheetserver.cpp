// The built-in spreadsheet server and the report jobs over it: the calls it
// refuses, what cells hold, objects that are gone, and jobs whose server fails.
#include "SpyServer.h"
#include "TestFiles.h"
#include "report/ExcelWrappers.h"
#include "report/ReportJob.h"
#include "report/XlsFile.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const Variant O = Variant::Missing();

// One started server with a new workbook, its sheet and its all-cells range.
struct Session
{
    Session()
    {
        app.AttachDispatch(CreateSpreadsheetServer());
        books.AttachDispatch(app.GetWorkbooks());
        book.AttachDispatch(books.Add(O));
        sheet.AttachDispatch(book.GetActiveSheet());
        cells.AttachDispatch(sheet.GetCells());
        interior.AttachDispatch(cells.GetInterior());
    }
    void Put(int nRow, int nCol, const QString& strText) // 1-based
    {
        cells.SetItem(Variant(qint32(nRow)), Variant(qint32(nCol)), Variant(strText));
    }
    Variant Get(int nRow, int nCol)
    {
        ExcelRange cell;
        cell.AttachDispatch(cells.GetItem(Variant(qint32(nRow)), Variant(qint32(nCol))).DetachDispatch());
        return cell.GetValue2();
    }

    ExcelApplication app;
    ExcelWorkbooks books;
    ExcelWorkbook book;
    ExcelWorksheet sheet;
    ExcelRange cells;
    ExcelInterior interior;
};

// Runs a save (rows > 0) or an open; the boxes it showed as "caption|text",
// "no server" when it said there is none.
bool RunJob(const QString& strPath, int nRows, QStringList* pBoxes)
{
    ReportHooks hooks;
    hooks.reportException = [pBoxes](const QString& strCaption, const QString& strText) {
        *pBoxes << strCaption + QLatin1Char('|') + strText;
    };
    hooks.reportNoExcel = [pBoxes]() { *pBoxes << QStringLiteral("no server"); };
    if (nRows == 0)
        return ReadReportJob(strPath, hooks);
    QVector<MeasurementRecord> rows(nRows);
    for (int i = 0; i < nRows; ++i)
        rows[i].texts = {QString::number(i + 1), "1550", "OPM", "-12.34", "-3.00", "2012-03-03 09:05", "n"};
    return WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks);
}

// The last calls of a spy log, as "dispid/kind".
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
    // Ranges, cells, merges and colours out of range raise an exception.
    void Refusals_data()
    {
        QTest::addColumn<QString>("strObject");
        QTest::addColumn<int>("dispid");
        QTest::addColumn<int>("nFlags");
        QTest::addColumn<QVector<Variant>>("args");
        const Variant i4(qint32(1)), s(QStringLiteral("x"));
        const int get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, method = DISPATCH_METHOD;
        using V = QVector<Variant>;
        QTest::newRow("sheet range B0") << "sheet" << 0xC5 << get << V{Variant(QStringLiteral("B0")), O};
        QTest::newRow("item row 0") << "cells" << 0xAA << get << V{Variant(qint32(0)), i4};
        QTest::newRow("item row 65537") << "cells" << 0xAA << put << V{Variant(qint32(65537)), i4, s};
        QTest::newRow("merge whole sheet") << "cells" << 0x234 << method << V{Variant(1, VT_I2)};
        QTest::newRow("interior colorindex 57") << "interior" << 0x61 << put << V{Variant(57, VT_I2)};
    }
    void Refusals()
    {
        QFETCH(QString, strObject);
        QFETCH(int, dispid);
        QFETCH(int, nFlags);
        QFETCH(QVector<Variant>, args);
        Session s;
        const QMap<QString, Dispatch*> objects = {
            {"sheet", s.sheet.m_lpDispatch}, {"cells", s.cells.m_lpDispatch}, {"interior", s.interior.m_lpDispatch}};
        Variant result;
        ExcepInfo info;
        const SCode sc =
            objects[strObject]->Invoke(dispid, quint16(nFlags), args.data(), int(args.size()), &result, &info);
        QCOMPARE(QString::number(sc, 16), QString::number(DISP_E_EXCEPTION, 16));
        QVERIFY(info.wCode == SHEET_ERR_GENERAL && !info.strDescription.isEmpty());
    }

    // Reads after writes that move a row's cells see the new cells; empty
    // texts and cells never written read as empty; the used rows are 2..7.
    void ReadsAfterWrites()
    {
        Session s;
        s.Put(2, 2, QStringLiteral("ACME"));
        s.Put(7, 1, QStringLiteral("001"));
        s.Put(7, 2, QString());
        for (int nCol = 3; nCol <= 40; ++nCol)
            s.Put(7, nCol, QString::number(nCol));
        QCOMPARE(CellValueText(s.Get(7, 1)), QStringLiteral("001"));
        QCOMPARE(CellValueText(s.Get(7, 40)), QStringLiteral("40"));
        QCOMPARE(s.Get(7, 2).Type(), VT_EMPTY);
        QCOMPARE(s.Get(100, 9).Type(), VT_EMPTY);
        ExcelRange used, rows;
        used.AttachDispatch(s.sheet.GetUsedRange());
        rows.AttachDispatch(used.GetRows());
        QCOMPARE(rows.GetCount(), 6);
    }

    // Objects of a closed workbook or a server that quit are dead, not dangling.
    void DeadObjectsFail()
    {
        Session s;
        ExcelRange range;
        range.AttachDispatch(s.sheet.GetRange(Variant(QStringLiteral("A1")), O));
        s.book.Close(Variant(qint32(0)), O, O);
        QVERIFY_THROWS_EXCEPTION(OleException, range.SetValue2(Variant(QStringLiteral("x"))));
        s.app.Quit();
        QVERIFY_THROWS_EXCEPTION(OleException, (void)s.books.Add(O));
    }

    // A server failing at a chosen call: the exception box, then the workbook's
    // Close, Workbooks.Close and Quit; the job gives false, nothing escapes,
    // and the file that was there before is left as it was (the open closes
    // the workbook it only read with SaveChanges, which must not write it).
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
        const int put = DISPATCH_PROPERTYPUT, method = DISPATCH_METHOD;
        QTest::newRow("save: unknown member at Add")
            << true << int(DISPID_BOOKS_ADD) << method << quint32(DISP_E_MEMBERNOTFOUND) << false
            << strOle.arg("80020003");
        QTest::newRow("save: exception at SaveAs")
            << true << int(DISPID_BOOK_SAVE_AS) << method << quint32(DISP_E_EXCEPTION) << false << strDispatch;
        QTest::newRow("save: all fail from Bold on")
            << true << int(DISPID_FONT_BOLD) << put << quint32(DISP_E_TYPEMISMATCH) << true << strOle.arg("80020005");
        QTest::newRow("save: Close fails at the end")
            << true << int(DISPID_BOOK_CLOSE) << method << quint32(E_FAIL) << true << strOle.arg("80004005");
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
        const QString strPath = Path(QStringLiteral("fail-%1.xls").arg(QTest::currentDataTag()).replace(':', '_'));
        QStringList boxes;
        QVERIFY(RunJob(strPath, 4, &boxes)); // the older report in the target's place
        const QByteArray before = FileBytes(strPath);

        ScopedServer spy(true);
        spy.Plan().failDispId = DispId(dispid);
        spy.Plan().wFailFlags = quint16(nFlags);
        spy.Plan().scFail = sc;
        spy.Plan().bFailEveryCallAfter = bFailAfter;
        boxes.clear();
        QVERIFY(!RunJob(strPath, bSave ? 3 : 0, &boxes));
        QCOMPARE(boxes, QStringList({strBox}));
        // Workbook.Close (or the failed Add, when there is no workbook), Workbooks.Close, Quit.
        QCOMPARE(LastCalls(spy.Plan(), 3),
                 QStringList({dispid == DISPID_BOOKS_ADD ? "b5/1" : "115/1", "115/1", "12e/1"}));
        if (sc != E_FAIL) // that one failed after its SaveAs had written the new report
            QCOMPARE(FileBytes(strPath), before);
    }

    // A sheet without cells has no used rows: the open fails without a box.
    // (A save of more rows than a sheet holds: tst_reportlayout.)
    void OpenWithoutUsedRowsFails()
    {
        const QString strPath = Path(QStringLiteral("empty.xls"));
        QVERIFY(SaveWorkbookXls(Workbook(), strPath, nullptr));
        QStringList boxes;
        QVERIFY(!RunJob(strPath, 0, &boxes));
        QVERIFY(boxes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheetServer)
#include "tst_spreadsheetserver.moc"
