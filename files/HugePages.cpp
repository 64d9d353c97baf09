// Large buffers in huge pages (madvise where the system has it).
#include "files/HugePages.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace {
constexpr uintptr_t HUGE_PAGE = HUGE_PAGE_BYTES;

uintptr_t RoundUp(uintptr_t n)
{
    return (n + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
}

// The whole 2 MB pages inside [pData, pData + nBytes) ask for huge pages,
// the rest is left as it is.
void AdviseHugePages(const void* pData, size_t nBytes)
{
#ifdef MADV_HUGEPAGE
    const uintptr_t nFirst = RoundUp(uintptr_t(pData));
    const uintptr_t nEnd = (uintptr_t(pData) + nBytes) & ~(HUGE_PAGE - 1);
    // Only a hint: a system without huge pages refuses it, and nothing changes.
    if (nEnd > nFirst)
        ::madvise(reinterpret_cast<void*>(nFirst), nEnd - nFirst, MADV_HUGEPAGE);
#else
    (void)pData;
    (void)nBytes;
#endif
}
} // namespace

void* AllocateLarge(size_t nBytes)
{
    if (nBytes < LARGE_BYTES)
        return ::operator new(nBytes);
    if (nBytes > SIZE_MAX / 2)
        throw std::bad_alloc();
    // One huge page more than needed, so that an aligned start lies inside;
    // what lies before and after the aligned pages is given back at once.
    const size_t nSize = RoundUp(nBytes);
    void* pMap = ::mmap(nullptr, nSize + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMap == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t nMap = uintptr_t(pMap);
    const uintptr_t nStart = RoundUp(nMap);
    if (nStart > nMap)
        ::munmap(pMap, nStart - nMap);
    ::munmap(reinterpret_cast<void*>(nStart + nSize), nMap + HUGE_PAGE - nStart);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(nStart), nSize, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(nStart);
}

void FreeLarge(void* pData, size_t nBytes) noexcept
{
    if (pData == nullptr)
        return;
    if (nBytes < LARGE_BYTES)
    {
        ::operator delete(pData);
        return;
    }
    ::munmap(pData, RoundUp(nBytes));
}

void* HugeAlignedStart(void* pRoom, size_t nBytes)
{
    const uintptr_t nStart = RoundUp(uintptr_t(pRoom));
    AdviseHugePages(reinterpret_cast<void*>(nStart), RoundUp(nBytes));
    return reinterpret_cast<void*>(nStart);
}
