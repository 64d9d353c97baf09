// Blocks of texts that share one allocation (see TextBlock.h).
#include "report/TextBlock.h"

#include <algorithm>

void TextBlock::NewBlock(qsizetype nMinChars)
{
    Seal();
    // Each block twice the one before, up to LARGEST_BLOCK_CHARS: a few
    // texts take little room, half a million take few blocks. (No huge
    // pages here: a block lives as long as the rows that use it, and its
    // last huge page would be mostly empty.)
    const qsizetype nCapacity = std::max(m_nBlockChars, nMinChars + 1);
    m_nBlockChars = std::min(2 * m_nBlockChars, LARGEST_BLOCK_CHARS);
    auto [pBlock, pData] = QTypedArrayData<char16_t>::allocate(nCapacity);
    Q_CHECK_PTR(pBlock);
    m_pBlock = pBlock;
    m_pNext = pData;
    m_pEnd = pData + nCapacity;
    // allocate() gave the block one reference; it gets one per text it can
    // hold (see m_nUnused).
    m_nUnused = int(std::min<qsizetype>(nCapacity, 1 << 30));
    m_pBlock->ref_.fetchAndAddRelaxed(m_nUnused - 1);
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
