// The automation layer on the client side: arguments refused before the
// call, references held by wrappers and by a server, and exception box texts.
// The members' ids, kinds and arguments are checked by the report jobs run
// through the built-in server, which refuses a wrong kind or count.
#include "report/ExcelWrappers.h"
#include "report/ReportJob.h"

#include <QtTest>

namespace {
// Counts its calls and keeps the arguments of the last one, as a server
// keeps them; counts the objects alive so every reference is seen given back.
class RecordingDispatch : public Dispatch
{
public:
    static int s_nAlive;
    RecordingDispatch() { ++s_nAlive; }

    SCode Invoke(DispId /*dispid*/, quint16 /*wFlags*/, const Variant* pArgs, int nArgs, Variant* pResult,
                 ExcepInfo* /*pExcepInfo*/) override
    {
        ++m_nCalls;
        m_kept = QVector<Variant>(pArgs, pArgs + nArgs);
        if (pResult != nullptr)
            *pResult = m_result;
        return S_OK;
    }

    int m_nCalls = 0;
    Variant m_result;
    QVector<Variant> m_kept;

protected:
    ~RecordingDispatch() override { --s_nAlive; }
};
int RecordingDispatch::s_nAlive = 0;
} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT
private slots:
    void init() { QCOMPARE(RecordingDispatch::s_nAlive, 0); }
    void cleanup() { QCOMPARE(RecordingDispatch::s_nAlive, 0); }

    // A value that does not fit its parameter type, or a list of the wrong
    // length, fails before the server is called.
    void ArgumentsRefusedBeforeCall()
    {
        auto* pServer = new RecordingDispatch;
        DispatchDriver driver(pServer);
        QStringList texts;
        for (const bool bTooFew : {false, true})
        {
            try
            {
                if (bTooFew)
                    driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I4 VTS_I4, 1);
                else
                    driver.InvokeHelper(0x60, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I2, 70000);
            }
            catch (const OleException& e)
            {
                texts << OleExceptionText(e.m_sc);
            }
        }
        // The I2 out of range, then the list one argument short.
        QCOMPARE(texts, QStringList({"COleException.   SCODE:   80020005.", "COleException.   SCODE:   8002000e."}));
        QCOMPARE(pServer->m_nCalls, 0);
    }

    // Attach, release, copy, assignment, and an object taken out of a VARIANT:
    // every reference is given back exactly once (ASan sees a double release).
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
            QCOMPARE(RecordingDispatch::s_nAlive, 2);
            second.AttachDispatch(nullptr); // last reference to pA
            QCOMPARE(RecordingDispatch::s_nAlive, 1);
            ExcelRange borrowed;
            borrowed.AttachDispatch(pB, false); // not released by borrowed
            // Item (get) hands back a VARIANT holding the cell's object.
            auto* pCell = new RecordingDispatch;
            pB->m_result = Variant(pCell, false);
            Variant item = third.GetItem(Variant(qint32(1)), Variant(qint32(1)));
            ExcelRange cell;
            cell.AttachDispatch(item.DetachDispatch());
            QVERIFY(item.IsEmpty() && cell.m_lpDispatch == pCell);
            pB->m_result.Clear();
        }
        QCOMPARE(RecordingDispatch::s_nAlive, 1);
        pB->Release();
    }

    // Arguments reach the server without copies, but what a server keeps of
    // them is its own: a text and an object stay valid, and the object
    // counted, after the caller's values are gone (ASan sees a text that
    // was not copied, the counts an object that was not referenced).
    void ArgumentsKeptByServerAreOwned()
    {
        auto* pServer = new RecordingDispatch;
        auto* pObject = new RecordingDispatch;
        {
            ExcelRange range(pServer);
            {
                const Variant text(QString(40, QLatin1Char('t')));
                const Variant object(pObject, true);
                range.SetItem(Variant(qint32(3)), text, object);
            }
            pObject->Release(); // the server's copy keeps it alive
            QCOMPARE(RecordingDispatch::s_nAlive, 2);
            QCOMPARE(pServer->m_kept.size(), 3);
            QCOMPARE(pServer->m_kept[1].String(), QString(40, QLatin1Char('t')));
            QCOMPARE(pServer->m_kept[2].DispatchPtr(), static_cast<Dispatch*>(pObject));
            Variant moved = std::move(pServer->m_kept[2]); // an owned value moves as it is
            QVERIFY(pServer->m_kept[2].IsEmpty());
            pServer->AddRef();
        }
        pServer->m_kept.clear();
        QCOMPARE(RecordingDispatch::s_nAlive, 1);
        pServer->Release();
    }

    // Small codes are padded to eight digits.
    void ExceptionTexts() { QCOMPARE(OleExceptionText(0x5), QStringLiteral("COleException.   SCODE:   00000005.")); }

    // A long description is cut so that the whole text fits the 1024-byte
    // buffer, never inside a character, and the text keeps its closing quote.
    void LongDescriptionCut_data()
    {
        QTest::addColumn<QString>("strDescription");
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
