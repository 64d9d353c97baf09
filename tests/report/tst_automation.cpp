// The automation layer on the client side: each wrapper member's id, kind
// and argument types, empty wrappers, references, failures turned into
// exceptions, and the texts of the exception boxes.
#include "report/ExcelWrappers.h"
#include "report/ReportJob.h"

#include <QtTest>
#include <functional>

namespace {
// Writes down the last call as "dispid/kind/types" (types as "s i4 -" for
// BSTR, I4, missing) and answers with a chosen SCODE; counts the objects
// alive so that tests see every reference given back exactly once.
class RecordingDispatch : public Dispatch
{
public:
    static int s_nAlive;
    RecordingDispatch() { ++s_nAlive; }

    SCode Invoke(DispId dispid, quint16 wFlags, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* pExcepInfo) override
    {
        const QMap<int, QString> names = {{VT_BSTR, "s"}, {VT_I2, "i2"}, {VT_I4, "i4"}, {VT_BOOL, "b"}};
        QStringList types;
        for (int i = 0; i < nArgs; ++i)
            types << (pArgs[i].IsMissing() ? QStringLiteral("-") : names.value(int(pArgs[i].Type()), "?"));
        m_strCall = QStringLiteral("%1/%2/%3").arg(dispid, 0, 16).arg(wFlags).arg(types.join(QLatin1Char(' ')));
        if (m_scAnswer == DISP_E_EXCEPTION)
        {
            pExcepInfo->wCode = 1004;
            pExcepInfo->strDescription = QStringLiteral("cannot do \"that\"");
        }
        if (pResult != nullptr)
            *pResult = m_result;
        return m_scAnswer;
    }

    QString m_strCall;
    SCode m_scAnswer = S_OK;
    Variant m_result;

protected:
    ~RecordingDispatch() override { --s_nAlive; }
};
int RecordingDispatch::s_nAlive = 0;

const Variant O = Variant::Missing();
const Variant I4(qint32(1)), I2(1, VT_I2), S(QStringLiteral("a.xls"));

template <typename T> T Wrap(Dispatch* p)
{
    p->AddRef();
    return T(p);
}

struct WrapperRow
{
    const char* pszName;
    std::function<void(Dispatch*)> call;
    int nDispId;
    int nFlags;
    const char* pszTypes;
};

const int GET = DISPATCH_PROPERTYGET, PUT = DISPATCH_PROPERTYPUT, METHOD = DISPATCH_METHOD;

// Every wrapper member as the report calls it, against the numbers the
// server knows it by.
const QVector<WrapperRow> WRAPPER_ROWS = {
    {"App.Workbooks", [](Dispatch* p) { (void)Wrap<ExcelApplication>(p).GetWorkbooks(); }, 0x23C, GET, ""},
    {"App.AlertBeforeOverwriting", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetAlertBeforeOverwriting(false); },
     0x3A2, PUT, "b"},
    {"App.DisplayAlerts", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetDisplayAlerts(false); }, 0x157, PUT, "b"},
    {"App.Quit", [](Dispatch* p) { Wrap<ExcelApplication>(p).Quit(); }, 0x12E, METHOD, ""},
    {"App.UserControl", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetUserControl(true); }, 0x4BA, PUT, "b"},
    {"App.Visible", [](Dispatch* p) { Wrap<ExcelApplication>(p).SetVisible(false); }, 0x22E, PUT, "b"},
    {"Books.Add", [](Dispatch* p) { (void)Wrap<ExcelWorkbooks>(p).Add(O); }, 0xB5, METHOD, "-"},
    {"Books.Close", [](Dispatch* p) { Wrap<ExcelWorkbooks>(p).Close(); }, 0x115, METHOD, ""},
    {"Books.Open",
     [](Dispatch* p) { (void)Wrap<ExcelWorkbooks>(p).Open(S.String(), O, O, O, O, O, O, O, O, O, O, O, O, O, O); },
     0x783, METHOD, "s - - - - - - - - - - - - - -"},
    {"Book.ActiveSheet", [](Dispatch* p) { (void)Wrap<ExcelWorkbook>(p).GetActiveSheet(); }, 0x133, GET, ""},
    {"Book.Close", [](Dispatch* p) { Wrap<ExcelWorkbook>(p).Close(I4, S, O); }, 0x115, METHOD, "i4 s -"},
    {"Book.SaveAs", [](Dispatch* p) { Wrap<ExcelWorkbook>(p).SaveAs(S, O, O, O, O, O, 0, O, O, O, O, O); }, 0x785,
     METHOD, "s - - - - - i4 - - - - -"},
    {"Sheet.Cells", [](Dispatch* p) { (void)Wrap<ExcelWorksheet>(p).GetCells(); }, 0xEE, GET, ""},
    {"Sheet.Range", [](Dispatch* p) { (void)Wrap<ExcelWorksheet>(p).GetRange(S, S); }, 0xC5, GET, "s s"},
    {"Sheet.UsedRange", [](Dispatch* p) { (void)Wrap<ExcelWorksheet>(p).GetUsedRange(); }, 0x19C, GET, ""},
    {"Range.ColumnWidth", [](Dispatch* p) { Wrap<ExcelRange>(p).SetColumnWidth(I2); }, 0xF2, PUT, "i2"},
    {"Range.Count", [](Dispatch* p) { QCOMPARE(Wrap<ExcelRange>(p).GetCount(), 5); }, 0x76, GET, ""},
    {"Range.Font", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetFont(); }, 0x92, GET, ""},
    {"Range.HorizontalAlignment", [](Dispatch* p) { Wrap<ExcelRange>(p).SetHorizontalAlignment(I4); }, 0x88, PUT, "i4"},
    {"Range.Interior", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetInterior(); }, 0x81, GET, ""},
    {"Range.Item get", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetItem(I4, I4); }, 0xAA, GET, "i4 i4"},
    {"Range.Item put", [](Dispatch* p) { Wrap<ExcelRange>(p).SetItem(I4, I4, S); }, 0xAA, PUT, "i4 i4 s"},
    {"Range.Merge", [](Dispatch* p) { Wrap<ExcelRange>(p).Merge(I2); }, 0x234, METHOD, "i2"},
    {"Range.NumberFormatLocal", [](Dispatch* p) { Wrap<ExcelRange>(p).SetNumberFormatLocal(S); }, 0x449, PUT, "s"},
    {"Range.Rows", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetRows(); }, 0x102, GET, ""},
    {"Range.Value2 get", [](Dispatch* p) { (void)Wrap<ExcelRange>(p).GetValue2(); }, 0x56C, GET, ""},
    {"Range.Value2 put", [](Dispatch* p) { Wrap<ExcelRange>(p).SetValue2(S); }, 0x56C, PUT, "s"},
    {"Range.VerticalAlignment", [](Dispatch* p) { Wrap<ExcelRange>(p).SetVerticalAlignment(I2); }, 0x89, PUT, "i2"},
    {"Font.Bold", [](Dispatch* p) { Wrap<ExcelFont>(p).SetBold(I4); }, 0x60, PUT, "i4"},
    {"Interior.ColorIndex", [](Dispatch* p) { Wrap<ExcelInterior>(p).SetColorIndex(I2); }, 0x61, PUT, "i2"},
};
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
        for (int i = 0; i < WRAPPER_ROWS.size(); ++i)
            QTest::newRow(WRAPPER_ROWS[i].pszName) << i;
    }
    void WrapperMembers()
    {
        QFETCH(int, nRow);
        const WrapperRow& row = WRAPPER_ROWS[nRow];
        auto* pServer = new RecordingDispatch;
        if (row.nDispId == 0x76)
            pServer->m_result = Variant(qint32(5));
        row.call(pServer);
        const QString strCall = pServer->m_strCall;
        pServer->Release();
        QCOMPARE(strCall, QStringLiteral("%1/%2/%3").arg(row.nDispId, 0, 16).arg(row.nFlags).arg(row.pszTypes));
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
        book.Close(I4, S, O);
        range.SetItem(I4, I4, S);
        QCOMPARE(range.GetCount(), 0);
        QVERIFY(range.GetValue2().IsEmpty());
        QVERIFY(app.GetWorkbooks() == nullptr);
    }

    // Failed calls raise COleException with the SCODE, a server exception
    // COleDispatchException with its code and text. A value that does not
    // fit its parameter type, or a list of the wrong length, fails before
    // the server is called.
    void FailuresBecomeExceptions_data()
    {
        QTest::addColumn<quint32>("sc");
        QTest::addColumn<int>("nArgs"); // 0: one BSTR, 1: I2 70000, 2: one value for "I4 I4"
        QTest::addColumn<QString>("strText");
        const QString strOle = QStringLiteral("COleException.   SCODE:   %1.");
        QTest::newRow("member not found") << quint32(DISP_E_MEMBERNOTFOUND) << 0 << strOle.arg("80020003");
        QTest::newRow("disconnected") << quint32(RPC_E_DISCONNECTED) << 0 << strOle.arg("80010108");
        QTest::newRow("server exception")
            << quint32(DISP_E_EXCEPTION) << 0
            << QStringLiteral("COleDispatchException.   SCODE:   000003ec,   Description:   \"cannot do \"that\"\".");
        QTest::newRow("I2 out of range") << quint32(S_OK) << 1 << strOle.arg("80020005");
        QTest::newRow("too few arguments") << quint32(S_OK) << 2 << strOle.arg("8002000e");
    }
    void FailuresBecomeExceptions()
    {
        QFETCH(quint32, sc);
        QFETCH(int, nArgs);
        QFETCH(QString, strText);
        auto* pServer = new RecordingDispatch;
        pServer->m_scAnswer = sc;
        DispatchDriver driver(pServer);
        QString strGot;
        try
        {
            if (nArgs == 0)
                driver.InvokeHelper(0x56C, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BSTR, QStringLiteral("x"));
            else if (nArgs == 1)
                driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I2, 70000);
            else
                driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I4 VTS_I4, 1);
        }
        catch (const OleException& e)
        {
            strGot = OleExceptionText(e.m_sc);
        }
        catch (const OleDispatchException& e)
        {
            strGot = OleDispatchExceptionText(e.m_wCode, e.m_strDescription);
        }
        QCOMPARE(strGot, strText);
        QCOMPARE(pServer->m_strCall.isEmpty(), nArgs != 0); // refused before the call
    }

    // Attach, release, copy, assignment, and an object taken out of a
    // VARIANT: every reference is given back exactly once (the object count
    // returns to zero; ASan sees any double release).
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

            // Item (get) hands back a VARIANT holding the cell's object.
            auto* pCell = new RecordingDispatch;
            pB->m_result = Variant(pCell, false);
            Variant item = third.GetItem(I4, I4);
            ExcelRange cell;
            cell.AttachDispatch(item.DetachDispatch());
            QVERIFY(item.IsEmpty() && cell.m_lpDispatch == pCell);
            pB->m_result.Clear();
        }
        QCOMPARE(RecordingDispatch::s_nAlive, 1);
        pB->Release();
    }

    // Small codes are padded to eight digits; the text for anything else.
    void ExceptionTexts()
    {
        QCOMPARE(OleExceptionText(0x5), QStringLiteral("COleException.   SCODE:   00000005."));
        QCOMPARE(QString::fromLatin1(EXCEPTION_TEXT_GENERAL), QStringLiteral("General   Exception   caught."));
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
        QVERIFY2(utf8.size() <= EXCEPTION_TEXT_BUFFER - 1 && utf8.size() > EXCEPTION_TEXT_BUFFER - 5,
                 QByteArray::number(utf8.size()));
        QCOMPARE(QString::fromUtf8(utf8), strText); // no broken character
        const QString strHead = QStringLiteral("COleDispatchException.   SCODE:   000003ec,   Description:   \"");
        QVERIFY(strText.startsWith(strHead) && strText.endsWith(QStringLiteral("\".")));
        QVERIFY(strDescription.startsWith(strText.mid(strHead.size(), strText.size() - strHead.size() - 2)));
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
