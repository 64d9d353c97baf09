// Large buffers in huge pages (madvise where the system has it).
#include "files/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseHugePages(const void* pData, size_t nBytes)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t HUGE_PAGE = uintptr_t(2) << 20;
    const uintptr_t nFirst = (uintptr_t(pData) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t nEnd = (uintptr_t(pData) + nBytes) & ~(HUGE_PAGE - 1);
    // Only a hint: a system without huge pages refuses it, and nothing changes.
    if (nEnd > nFirst)
        ::madvise(reinterpret_cast<void*>(nFirst), nEnd - nFirst, MADV_HUGEPAGE);
#else
    (void)pData;
    (void)nBytes;
#endif
}
