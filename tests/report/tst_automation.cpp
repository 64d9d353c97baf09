// The automation layer on the client side: variants, the dispatch driver
// (references, failures, empty drivers), every wrapper member's id, kind
// and argument types, and the texts of the exception boxes.
#include "report/ExcelDispIds.h"
#include "report/ExcelWrappers.h"
#include "report/ReportJob.h"

#include <QtTest>
#include <functional>

namespace {
// Writes down the last call and answers with a chosen SCODE; counts the
// objects alive so that tests see every reference given back exactly once.
class RecordingDispatch : public Dispatch
{
public:
    static int s_nAlive;
    RecordingDispatch() { ++s_nAlive; }

    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override
    {
        m_dispid = dispid;
        m_wFlags = wFlags;
        m_args.clear();
        for (int i = 0; i < nArgs; ++i)
            m_args.append(pArgs[i]);
        if (m_scAnswer == DISP_E_EXCEPTION)
        {
            pExcepInfo->wCode = 1004;
            pExcepInfo->strDescription = QStringLiteral("cannot do that");
            pExcepInfo->scode = 0x800A03EC;
        }
        if (pResult != nullptr)
            *pResult = m_result;
        return m_scAnswer;
    }

    DispId m_dispid = 0;
    quint16 m_wFlags = 0;
    QVector<Variant> m_args;
    SCode m_scAnswer = S_OK;
    Variant m_result;

protected:
    ~RecordingDispatch() override { --s_nAlive; }
};
int RecordingDispatch::s_nAlive = 0;

// "BSTR I4 missing" for the arguments of a call.
QString TypeList(const QVector<Variant>& args)
{
    QStringList types;
    for (const Variant& arg : args)
        types << (arg.IsMissing()         ? QStringLiteral("missing")
                  : arg.Type() == VT_BSTR ? QStringLiteral("BSTR")
                  : arg.Type() == VT_I2   ? QStringLiteral("I2")
                  : arg.Type() == VT_I4   ? QStringLiteral("I4")
                  : arg.Type() == VT_BOOL ? QStringLiteral("BOOL")
                                          : QString::number(arg.Type()));
    return types.join(QLatin1Char(' '));
}

QString Repeat(const QString& strItem, int nTimes)
{
    QStringList items;
    for (int i = 0; i < nTimes; ++i)
        items << strItem;
    return items.join(QLatin1Char(' '));
}

using WrapperCall = std::function<void(Dispatch*)>;

struct WrapperRow
{
    const char* pszName;
    WrapperCall call;
    DispId dispid;
    quint16 wFlags;
    QString strTypes;
};

const Variant MISSING = Variant::Missing();

template <typename T> T Wrap(Dispatch* p)
{
    p->AddRef();
    return T(p);
}

// Every member of the wrappers, as the report calls them.
const QVector<WrapperRow>& WrapperRows()
{
    static const QVector<WrapperRow> rows = {
        {"App.Workbooks", [](Dispatch* p) { (void)Wrap<ExcelApplication>(p).GetWorkbooks(); }, 0x23C,
         DISPATCH_PROPERTYGET, QString()},
        {"App.AlertBeforeOverwriting", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetAlertBeforeOverwriting(false); },
         0x3A2, DISPATCH_PROPERTYPUT, QStringLiteral("BOOL")},
        {"App.DisplayAlerts", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetDisplayAlerts(false); }, 0x157,
         DISPATCH_PROPERTYPUT, QStringLiteral("BOOL")},
        {"App.Quit", [](Dispatch* p) { Wrap<ExcelApplication>(p).Quit(); }, 0x12E, DISPATCH_METHOD, QString()},
        {"App.UserControl", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetUserControl(true); }, 0x4BA,
         DISPATCH_PROPERTYPUT, QStringLiteral("BOOL")},
        {"App.Visible", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetVisible(false); }, 0x22E, DISPATCH_PROPERTYPUT,
         QStringLiteral("BOOL")},
        {"Books.Add", [](Dispatch* p) { (void)Wrap<ExcelWorkbooks>(p).Add(MISSING); }, 0xB5, DISPATCH_METHOD,
         QStringLiteral("missing")},
        {"Books.Close", [](Dispatch* p) { Wrap<ExcelWorkbooks>(p).Close(); }, 0x115, DISPATCH_METHOD, QString()},
        {"Books.Open",
         [](Dispatch* p) {
             const Variant& o = MISSING;
             (void)Wrap<ExcelWorkbooks>(p).Open(QStringLiteral("a.xls"), o, o, o, o, o, o, o, o, o, o, o, o, o, o);
         },
         0x783, DISPATCH_METHOD, QStringLiteral("BSTR ") + Repeat(QStringLiteral("missing"), 14)},
        {"Book.ActiveSheet", [](Dispatch* p) { (void)Wrap<ExcelWorkbook>(p).GetActiveSheet(); }, 0x133,
         DISPATCH_PROPERTYGET, QString()},
        {"Book.Close",
         [](Dispatch* p) {
             Wrap<ExcelWorkbook>(p).Close(Variant(qint32(1)), Variant(QStringLiteral("a.xls")), MISSING);
         },
         0x115, DISPATCH_METHOD, QStringLiteral("I4 BSTR missing")},
        {"Book.SaveAs",
         [](Dispatch* p) {
             const Variant& o = MISSING;
             Wrap<ExcelWorkbook>(p).SaveAs(Variant(QStringLiteral("a.xls")), o, o, o, o, o, 0, o, o, o, o, o);
         },
         0x785, DISPATCH_METHOD,
         QStringLiteral("BSTR ") + Repeat(QStringLiteral("missing"), 5) + QStringLiteral(" I4 ") +
             Repeat(QStringLiteral("missing"), 5)},
        {"Sheet.Cells", [](Dispatch* p) { (void)Wrap<ExcelWorksheet>(p).GetCells(); }, 0xEE, DISPATCH_PROPERTYGET,
         QString()},
        {"Sheet.Range",
         [](Dispatch* p) {
             (void)Wrap<ExcelWorksheet>(p).GetRange(Variant(QStringLiteral("B2")), Variant(QStringLiteral("J4")));
         },
         0xC5, DISPATCH_PROPERTYGET, QStringLiteral("BSTR BSTR")},
        {"Sheet.UsedRange", [](Dispatch* p) { (void)Wrap<ExcelWorksheet>(p).GetUsedRange(); }, 0x19C,
         DISPATCH_PROPERTYGET, QString()},
        {"Range.ColumnWidth", [](Dispatch* p) { Wrap<ExcelRange>(p).SetColumnWidth(Variant(8, VT_I2)); }, 0xF2,
         DISPATCH_PROPERTYPUT, QStringLiteral("I2")},
        {"Range.Count", [](Dispatch* p) { QCOMPARE(Wrap<ExcelRange>(p).GetCount(), 5); }, 0x76, DISPATCH_PROPERTYGET,
         QString()},
        {"Range.Font", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetFont(); }, 0x92, DISPATCH_PROPERTYGET, QString()},
        {"Range.HorizontalAlignment",
         [](Dispatch* p) { Wrap<ExcelRange>(p).SetHorizontalAlignment(Variant(qint32(-4108))); }, 0x88,
         DISPATCH_PROPERTYPUT, QStringLiteral("I4")},
        {"Range.Interior", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetInterior(); }, 0x81, DISPATCH_PROPERTYGET,
         QString()},
        {"Range.Item get",
         [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetItem(Variant(qint32(6)), Variant(qint32(6))); }, 0xAA,
         DISPATCH_PROPERTYGET, QStringLiteral("I4 I4")},
        {"Range.Item put",
         [](Dispatch* p) {
             Wrap<ExcelRange>(p).SetItem(Variant(qint32(7)), Variant(qint32(1)), Variant(QStringLiteral("1")));
         },
         0xAA, DISPATCH_PROPERTYPUT, QStringLiteral("I4 I4 BSTR")},
        {"Range.Merge", [](Dispatch* p) { Wrap<ExcelRange>(p).Merge(Variant(1, VT_I2)); }, 0x234, DISPATCH_METHOD,
         QStringLiteral("I2")},
        {"Range.NumberFormatLocal",
         [](Dispatch* p) { Wrap<ExcelRange>(p).SetNumberFormatLocal(Variant(QStringLiteral("@"))); }, 0x449,
         DISPATCH_PROPERTYPUT, QStringLiteral("BSTR")},
        {"Range.Rows", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetRows(); }, 0x102, DISPATCH_PROPERTYGET,
         QString()},
        {"Range.Value2 get", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetValue2(); }, 0x56C, DISPATCH_PROPERTYGET,
         QString()},
        {"Range.Value2 put", [](Dispatch* p) { Wrap<ExcelRange>(p).SetValue2(Variant(QStringLiteral("x"))); }, 0x56C,
         DISPATCH_PROPERTYPUT, QStringLiteral("BSTR")},
        {"Range.VerticalAlignment", [](Dispatch* p) { Wrap<ExcelRange>(p).SetVerticalAlignment(Variant(2, VT_I2)); },
         0x89, DISPATCH_PROPERTYPUT, QStringLiteral("I2")},
        {"Font.Bold", [](Dispatch* p) { Wrap<ExcelFont>(p).SetBold(Variant(qint32(1))); }, 0x60, DISPATCH_PROPERTYPUT,
         QStringLiteral("I4")},
        {"Interior.ColorIndex", [](Dispatch* p) { Wrap<ExcelInterior>(p).SetColorIndex(Variant(35, VT_I2)); }, 0x61,
         DISPATCH_PROPERTYPUT, QStringLiteral("I2")},
    };
    return rows;
}
} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT
private slots:
    void init() { QCOMPARE(RecordingDispatch::s_nAlive, 0); }
    void cleanup() { QCOMPARE(RecordingDispatch::s_nAlive, 0); }

    void WrapperMembers_data()
    {
        QTest::addColumn<int>("nRow");
        for (int i = 0; i < WrapperRows().size(); ++i)
            QTest::newRow(WrapperRows()[i].pszName) << i;
    }
    void WrapperMembers()
    {
        QFETCH(int, nRow);
        const WrapperRow& row = WrapperRows()[nRow];
        auto* pServer = new RecordingDispatch;
        if (row.dispid == DISPID_RANGE_COUNT)
            pServer->m_result = Variant(qint32(5));
        row.call(pServer);
        QCOMPARE(pServer->m_dispid, row.dispid);
        QCOMPARE(pServer->m_wFlags, row.wFlags);
        QCOMPARE(TypeList(pServer->m_args), row.strTypes);
        pServer->Release();
    }

    // A wrapper that holds nothing does nothing and raises nothing, so the
    // end of a job still reaches the objects that do exist.
    void EmptyWrapperIgnoresCalls()
    {
        ExcelApplication app;
        ExcelWorkbooks books;
        ExcelWorkbook book;
        ExcelRange range;
        app.Quit();
        books.Close();
        book.Close(Variant(qint32(1)), Variant(QStringLiteral("x.xls")), MISSING);
        QCOMPARE(range.GetCount(), 0);
        QVERIFY(range.GetValue2().IsEmpty());
        QVERIFY(app.GetWorkbooks() == nullptr);
        range.SetItem(Variant(qint32(1)), Variant(qint32(1)), Variant(QStringLiteral("x")));
    }

    void FailuresBecomeExceptions_data()
    {
        QTest::addColumn<quint32>("sc");
        QTest::addColumn<bool>("bDispatch");
        QTest::newRow("member not found") << quint32(DISP_E_MEMBERNOTFOUND) << false;
        QTest::newRow("bad param count") << quint32(DISP_E_BADPARAMCOUNT) << false;
        QTest::newRow("type mismatch") << quint32(DISP_E_TYPEMISMATCH) << false;
        QTest::newRow("disconnected") << quint32(RPC_E_DISCONNECTED) << false;
        QTest::newRow("server exception") << quint32(DISP_E_EXCEPTION) << true;
    }
    void FailuresBecomeExceptions()
    {
        QFETCH(quint32, sc);
        QFETCH(bool, bDispatch);
        auto* pServer = new RecordingDispatch;
        pServer->m_scAnswer = sc;
        ExcelRange range(pServer);
        try
        {
            range.SetValue2(Variant(QStringLiteral("x")));
            QFAIL("no exception");
        }
        catch (const OleException& e)
        {
            QVERIFY(!bDispatch);
            QCOMPARE(e.m_sc, sc);
        }
        catch (const OleDispatchException& e)
        {
            QVERIFY(bDispatch);
            QCOMPARE(e.m_wCode, quint16(1004));
            QCOMPARE(e.m_strDescription, QStringLiteral("cannot do that"));
            QCOMPARE(e.m_scError, SCode(0x800A03EC));
        }
    }

    // A value that does not fit its declared parameter type, or a list of the
    // wrong length, fails before the server is called.
    void ArgumentsCheckedFirst()
    {
        auto* pServer = new RecordingDispatch;
        DispatchDriver driver(pServer);
        QVERIFY_THROWS_EXCEPTION(OleException,
                                 driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I2, 70000));
        QVERIFY_THROWS_EXCEPTION(OleException,
                                 driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I4 VTS_I4, 1));
        QCOMPARE(pServer->m_dispid, 0);
    }

    // Attach, release, copy and assignment: every reference is given back
    // exactly once (the object count returns to zero; ASan sees any double).
    void ReferencesReleasedOnce()
    {
        auto* pA = new RecordingDispatch;
        auto* pB = new RecordingDispatch;
        {
            ExcelRange first(pA);
            ExcelRange second = first; // own reference
            ExcelRange third;
            third = second;
            third = third;
            pB->AddRef();
            third.AttachDispatch(pB); // drops its reference to pA
            first.ReleaseDispatch();
            QVERIFY(first.m_lpDispatch == nullptr);
            QCOMPARE(RecordingDispatch::s_nAlive, 2);
            second.AttachDispatch(nullptr); // last reference to pA
            QCOMPARE(RecordingDispatch::s_nAlive, 1);
            ExcelRange borrowed;
            borrowed.AttachDispatch(pB, false); // not released by borrowed
        }
        QCOMPARE(RecordingDispatch::s_nAlive, 1);
        pB->Release();
    }

    // Item (get) hands back a VARIANT that holds the cell's object; taking it
    // into a wrapper must not release it twice.
    void ObjectInVariantTakenOnce()
    {
        auto* pCells = new RecordingDispatch;
        auto* pCell = new RecordingDispatch;
        pCells->m_result = Variant(pCell, false);
        {
            ExcelRange cells(pCells);
            ExcelRange cell;
            Variant item = cells.GetItem(Variant(qint32(1)), Variant(qint32(1)));
            cell.AttachDispatch(item.DetachDispatch());
            QVERIFY(item.IsEmpty());
            QVERIFY(cell.m_lpDispatch == pCell);
            pCells->m_result.Clear();
        }
        QCOMPARE(RecordingDispatch::s_nAlive, 0);
    }

    void ExceptionTexts_data()
    {
        QTest::addColumn<QString>("strText");
        QTest::addColumn<QString>("strExpected");
        QTest::newRow("ole") << OleExceptionText(0x80020003) << QStringLiteral("COleException.   SCODE:   80020003.");
        QTest::newRow("ole small") << OleExceptionText(0x5) << QStringLiteral("COleException.   SCODE:   00000005.");
        QTest::newRow("dispatch")
            << OleDispatchExceptionText(1004, QStringLiteral("Bad \"name\""))
            << QStringLiteral("COleDispatchException.   SCODE:   000003ec,   Description:   \"Bad \"name\"\".");
        QTest::newRow("dispatch max code")
            << OleDispatchExceptionText(0xFFFF, QString())
            << QStringLiteral("COleDispatchException.   SCODE:   0000ffff,   Description:   \"\".");
        QTest::newRow("general") << QString::fromLatin1(EXCEPTION_TEXT_GENERAL)
                                 << QStringLiteral("General   Exception   caught.");
    }
    void ExceptionTexts()
    {
        QFETCH(QString, strText);
        QFETCH(QString, strExpected);
        QCOMPARE(strText, strExpected);
    }

    // A long description is cut so that the whole text fits the 1024-byte
    // buffer, never inside a character, and the text keeps its closing quote.
    void LongDescriptionCut_data()
    {
        QTest::addColumn<QString>("strDescription");
        QTest::newRow("ascii") << QString(3000, QLatin1Char('x'));
        QTest::newRow("chinese") << QString(1000, QChar(0x6587));
        QTest::newRow("surrogate pairs") << QString::fromUtf8("\xF0\x9F\x98\x80").repeated(400);
        QTest::newRow("just fits") << QString(1023 - 65, QLatin1Char('y'));
    }
    void LongDescriptionCut()
    {
        QFETCH(QString, strDescription);
        const QString strText = OleDispatchExceptionText(1004, strDescription);
        const QByteArray utf8 = strText.toUtf8();
        QVERIFY2(utf8.size() <= EXCEPTION_TEXT_BUFFER - 1, QByteArray::number(utf8.size()));
        QVERIFY(utf8.size() > EXCEPTION_TEXT_BUFFER - 5);
        QVERIFY(strText.startsWith(QStringLiteral("COleDispatchException.   SCODE:   000003ec,   Description:   \"")));
        QVERIFY(strText.endsWith(QStringLiteral("\".")));
        QCOMPARE(QString::fromUtf8(utf8), strText); // no broken character
        const qsizetype nHead = strText.indexOf(QLatin1Char('"')) + 1;
        QVERIFY(strDescription.startsWith(strText.mid(nHead, strText.size() - nHead - 2)));
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
