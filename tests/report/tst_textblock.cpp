// Texts that share a block (report/TextBlock.h): they must behave as any
// QString does, whatever happens to the block, the other texts and the
// TextBlock that made them. Run under ASan, a reference counted wrong shows
// as a use after free or a leak.
#include "report/TextBlock.h"

#include <QtTest>

class TestTextBlock : public QObject
{
    Q_OBJECT
private slots:
    // Texts outlive their TextBlock, each reads as itself and ends in a
    // zero (utf16() is what C interfaces get); a change to one, or an
    // equal text made elsewhere, leaves the others as they were; the last
    // text left of a block may grow in place over the dropped ones.
    void TextsBehaveAsOwnStrings_data()
    {
        QTest::addColumn<int>("nTexts");
        QTest::addColumn<int>("nLength");
        QTest::newRow("over many blocks") << 20000 << 11;
        QTest::newRow("longer than a block") << 2 << int(TextBlock::BLOCK_CHARS) + 7;
    }
    void TextsBehaveAsOwnStrings()
    {
        QFETCH(int, nTexts);
        QFETCH(int, nLength);
        const auto expected = [nLength](int i) {
            return QString::number(i).rightJustified(nLength, i % 2 ? QChar(0x4E2D) : QLatin1Char('x'));
        };
        QList<QString> texts;
        {
            TextBlock block;
            for (int i = 0; i < nTexts; ++i)
            {
                const QString strWant = expected(i);
                if (i % 3 == 0)
                    texts << block.Copy(strWant);
                else if (i % 3 == 1 && i % 2 == 0) // Latin-1 only
                    texts << block.FromLatin1(strWant.toLatin1().constData(), strWant.size());
                else
                {
                    char16_t* p = block.Reserve(strWant.size() + 3); // more room than used
                    std::copy(strWant.utf16(), strWant.utf16() + strWant.size(), p);
                    texts << block.Take(strWant.size());
                }
            }
            QVERIFY(block.Take(0).isNull()); // nothing taken: no text
        }
        for (int i = 0; i < nTexts; ++i)
        {
            QCOMPARE(texts[i], expected(i));
            QCOMPARE(texts[i].utf16()[nLength], u'\0');
        }
        QString strChanged = texts[0];
        strChanged += QStringLiteral("!"); // shared: detaches
        strChanged[0] = QLatin1Char('#');
        QCOMPARE(texts[0], expected(0));
        // Drop all but the last text of the last block, then grow it.
        QString strLast = texts.takeLast();
        texts.clear();
        strLast += QString(70, QLatin1Char('y'));
        strLast.prepend(QLatin1Char('<'));
        QCOMPARE(strLast, QLatin1Char('<') + expected(nTexts - 1) + QString(70, QLatin1Char('y')));
    }
};

QTEST_GUILESS_MAIN(TestTextBlock)
#include "tst_textblock.moc"
