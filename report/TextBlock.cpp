// Blocks of texts that share one allocation (see TextBlock.h).
#include "report/TextBlock.h"

#include "files/HugePages.h"

#include <algorithm>

void TextBlock::NewBlock(qsizetype nMinChars)
{
    Seal();
    // Each block twice the one before, up to LARGEST_BLOCK_CHARS: a few
    // texts take little room, half a million take few blocks. A large
    // block starts on a huge page (see LargeArrayData): its texts are
    // written one after the other, so only the last huge page of the last
    // block is ever partly used, at most 2 MB kept for nothing.
    const qsizetype nCapacity = std::max(m_nBlockChars, nMinChars + 1);
    m_nBlockChars = std::min(2 * m_nBlockChars, LARGEST_BLOCK_CHARS);
    QArrayDataPointer<char16_t> block = LargeArrayData<char16_t>(nCapacity);
    Q_CHECK_PTR(block.d_ptr());
    m_pBlock = block.d_ptr();
    m_pNext = block.data();
    m_pEnd = m_pNext + nCapacity;
    // The block gets one reference per text it can hold (see m_nUnused);
    // the one it was made with goes with `block`.
    m_nUnused = int(std::min<qsizetype>(nCapacity, 1 << 30));
    m_pBlock->ref_.fetchAndAddRelaxed(m_nUnused);
}

void TextBlock::Seal()
{
    if (m_pBlock == nullptr)
        return;
    // The block goes when no text took it.
    if (m_pBlock->ref_.fetchAndSubOrdered(m_nUnused) == m_nUnused)
        QTypedArrayData<char16_t>::deallocate(m_pBlock);
    m_pBlock = nullptr;
    m_pNext = m_pEnd = nullptr;
    m_nUnused = 0;
}
