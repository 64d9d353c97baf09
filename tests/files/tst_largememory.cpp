// Large arrays in mappings of their own (files/HugePages.h): an array that
// grows from heap blocks into mapped ones keeps every element, its large
// blocks start on a 2 MB boundary (huge pages could not back them
// otherwise), and blocks given back leave the rest of the memory whole.
#include "files/HugePages.h"

#include <QtTest>

#include <algorithm>
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

    // A table of ZeroedAllocator starts as zeros, also in a heap block
    // that held something else just before.
    void ZeroedTablesStartAsZeros()
    {
        using Table = std::vector<quint64, ZeroedAllocator<quint64>>;
        for (const size_t nSlots : {size_t(512), 2 * LARGE_BYTES / sizeof(quint64)})
        {
            for (int nRound = 0; nRound < 2; ++nRound)
            {
                Table table(nSlots);
                QCOMPARE(size_t(std::count(table.begin(), table.end(), quint64(0))), nSlots);
                std::fill(table.begin(), table.end(), ~quint64(0));
            }
        }
    }

    // A Qt array made with LargeArrayData starts on a 2 MB boundary, fills
    // its room without moving and behaves as any other afterwards.
    void QtArraysStartOnHugePages()
    {
        const qsizetype nBytes = qsizetype(3 * LARGE_BYTES + 123);
        QByteArray bytes(LargeArrayData<char>(nBytes));
        QVERIFY(bytes.isEmpty());
        QCOMPARE(uintptr_t(bytes.constData()) % HUGE_PAGE_BYTES, uintptr_t(0));
        const char* pStart = bytes.constData();
        for (qsizetype i = 0; i < nBytes; ++i)
            bytes.append(char('a' + i % 26));
        QCOMPARE(bytes.constData(), pStart);
        QCOMPARE(bytes.size(), nBytes);
        QCOMPARE(*bytes.constEnd(), '\0'); // zero-terminated, as Qt's own
        QCOMPARE(bytes.at(nBytes - 1), char('a' + (nBytes - 1) % 26));
        QByteArray copy = bytes;
        copy[0] = 'X'; // detaches: the original stays
        QCOMPARE(bytes.at(0), 'a');
        bytes.append("tail"); // beyond the room: moved, nothing lost
        QVERIFY(bytes.endsWith("tail"));
        QCOMPARE(bytes.at(nBytes - 1), char('a' + (nBytes - 1) % 26));

        QByteArray small(LargeArrayData<char>(100)); // below LARGE_BYTES: the heap as usual
        small.append("abc");
        QCOMPARE(small, QByteArray("abc"));
    }
};

QTEST_GUILESS_MAIN(TestLargeMemory)
#include "tst_largememory.moc"
