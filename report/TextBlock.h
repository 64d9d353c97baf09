// Many short texts in few allocations. Reading a report or a record CSV
// makes hundreds of thousands of short texts ("1550nm", "-12.34dBm"); made
// one by one, each would be a heap block of its own with a header and
// malloc's overhead, several times the size of its characters. A TextBlock
// writes them one after the other into blocks (32K characters at first,
// each next one twice as large up to 2M characters) and hands
// each out as an ordinary QString that points into its block and shares
// the block's reference count, as a QString made by Qt with room in front
// does. Such a string behaves like any other: copies share it, a change
// detaches it, and the block is freed with the last string that uses it.
//
// Every text is followed by a zero in the block, so that utf16() is
// zero-terminated as for any QString. Keeping one text of a block keeps the
// whole block; for the rows of a report, which live and die together, that
// costs nothing.
//
// Not for sharing between threads while texts are being added.
#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>

class TextBlock
{
public:
    TextBlock() = default;
    ~TextBlock() { Seal(); }
    TextBlock(const TextBlock&) = delete;
    TextBlock& operator=(const TextBlock&) = delete;

    // Room for one text of at most nMaxChars characters: write them at the
    // pointer returned, then Take how many were written.
    char16_t* Reserve(qsizetype nMaxChars)
    {
        if (m_pEnd - m_pNext <= nMaxChars)
            NewBlock(nMaxChars);
        return m_pNext;
    }
    // The nChars characters written since Reserve as a QString (a null
    // QString for none: nothing of the block is used then).
    QString Take(qsizetype nChars)
    {
        if (nChars <= 0)
            return QString();
        char16_t* pText = m_pNext;
        pText[nChars] = 0;
        m_pNext += nChars + 1;
        --m_nUnused;
        return QString(QString::DataPointer(m_pBlock, pText, nChars));
    }

    QString Copy(QStringView str)
    {
        char16_t* p = Reserve(str.size());
        std::copy(str.utf16(), str.utf16() + str.size(), p);
        return Take(str.size());
    }
    // One byte per character, as Latin-1.
    QString FromLatin1(const char* pData, qsizetype nChars)
    {
        char16_t* p = Reserve(nChars);
        for (qsizetype i = 0; i < nChars; ++i)
            p[i] = uchar(pData[i]);
        return Take(nChars);
    }

    // Characters of the first block and of the largest; a longer text gets
    // a block of its own size.
    static constexpr qsizetype BLOCK_CHARS = 32 * 1024;
    static constexpr qsizetype LARGEST_BLOCK_CHARS = 2 * 1024 * 1024;

private:
    void NewBlock(qsizetype nMinChars);
    // Gives back the references of the current block that no text took.
    void Seal();

    QTypedArrayData<char16_t>* m_pBlock = nullptr;
    char16_t* m_pNext = nullptr;
    char16_t* m_pEnd = nullptr;
    qsizetype m_nBlockChars = BLOCK_CHARS; // of the next block
    // The block is made with a reference for each text it can hold (each
    // takes at least its zero), so that handing out a text counts nothing;
    // the ones not taken are given back at once when the block is sealed.
    int m_nUnused = 0;
};
