// Large arrays in mappings of their own (files/HugePages.h): an array that
// grows from heap blocks into mapped ones keeps every element, its large
// blocks start on a 2 MB boundary (huge pages could not back them
// otherwise), and blocks given back leave the rest of the memory whole.
#include "files/HugePages.h"

#include <QtTest>

#include <cstdint>
#include <vector>

class TestLargeMemory : public QObject
{
    Q_OBJECT
private slots:
    void ArraysGrowThroughLargeBlocks()
    {
        using Values = std::vector<quint64, LargeAllocator<quint64>>;
        Values values;
        int nLargeBlocks = 0;
        const quint64* pLast = nullptr;
        for (quint64 i = 0; i < 3 * LARGE_BYTES / sizeof(quint64); ++i)
        {
            values.push_back(i * 7 + 1);
            if (values.data() != pLast && values.capacity() * sizeof(quint64) >= LARGE_BYTES)
            {
                QCOMPARE(uintptr_t(values.data()) % (uintptr_t(2) << 20), uintptr_t(0));
                ++nLargeBlocks;
            }
            pLast = values.data();
        }
        QVERIFY(nLargeBlocks >= 2); // moved from one mapping into another
        Values copy = values;
        values.clear();
        values.shrink_to_fit(); // its mapping goes; the copy's stays
        values.assign(LARGE_BYTES / sizeof(quint64), 5);
        qsizetype nWrong = 0;
        for (quint64 i = 0; i < copy.size(); ++i)
            nWrong += copy[i] != i * 7 + 1;
        QCOMPARE(nWrong, 0);
        QCOMPARE(values.back(), quint64(5));
    }
};

QTEST_GUILESS_MAIN(TestLargeMemory)
#include "tst_largememory.moc"
