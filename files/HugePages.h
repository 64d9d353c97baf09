// Large buffers in huge pages. The buffers of a report run to megabytes,
// and the kernel maps fresh memory 4 KB at a time, with a page fault for
// each page as it is first written: some 2,000 faults for an 8 MB file,
// which on a virtual machine take longer than reading the file. Memory in
// whole 2 MB pages that asked for huge pages is mapped at one fault a page
// where the system offers transparent huge pages (its "madvise" and
// "always" modes); elsewhere nothing changes.
#pragma once

#include <QArrayDataPointer>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

// Memory for a large array: from LARGE_BYTES on, whole 2 MB pages of a
// mapping of their own that ask for huge pages; below, the usual heap.
// FreeLarge takes the size given to AllocateLarge.
constexpr size_t LARGE_BYTES = size_t(1) << 20;
void* AllocateLarge(size_t nBytes);
void FreeLarge(void* pData, size_t nBytes) noexcept;

// An allocator for std::vector and its kind that takes its large blocks
// from AllocateLarge.
template <typename T> struct LargeAllocator
{
    using value_type = T;
    LargeAllocator() = default;
    template <typename U> LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }
    template <typename U> bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const LargeAllocator<U>&) const noexcept { return false; }
};

// For arrays of plain values that start out as zeros (a hash table's
// slots): every block comes zeroed, and a new element is not written
// again. A large block is a fresh mapping, zero without a pass over it;
// writing the zeros would touch every page once more.
template <typename T> struct ZeroedAllocator : LargeAllocator<T>
{
    static_assert(std::is_trivial_v<T>, "for plain values only");
    template <typename U> struct rebind
    {
        using other = ZeroedAllocator<U>;
    };
    ZeroedAllocator() = default;
    template <typename U> ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
    T* allocate(size_t n)
    {
        T* p = LargeAllocator<T>::allocate(n);
        if (n * sizeof(T) < LARGE_BYTES)
            std::memset(static_cast<void*>(p), 0, n * sizeof(T));
        return p;
    }
    // A new element keeps the zero its block came with.
    template <typename U> void construct(U*) noexcept {}
};

// The start of a huge-page-aligned array of nBytes inside a heap block that
// has HUGE_PAGE_BYTES more room than the array's whole pages need (see
// LargeArrayData); the array's pages ask for huge pages.
constexpr size_t HUGE_PAGE_BYTES = size_t(2) << 20;
void* HugeAlignedStart(void* pRoom, size_t nBytes);

// An empty Qt array (for QByteArray, QString, QList) with room for
// nCapacity elements. From LARGE_BYTES on its first element lies on a 2 MB
// boundary and its pages ask for huge pages: a buffer Qt allocates on its
// own starts wherever the heap puts it, and the part before the first
// boundary and after the last one is then mapped a 4 KB page at a time.
// The room before the start is never written (only the block's header
// page is), so it costs address space, not memory.
template <typename T> QArrayDataPointer<T> LargeArrayData(qsizetype nCapacity)
{
    const size_t nBytes = size_t(std::max<qsizetype>(nCapacity, 0)) * sizeof(T);
    if (nBytes < LARGE_BYTES)
    {
        auto [pHeader, pData] = QTypedArrayData<T>::allocate(nCapacity);
        return QArrayDataPointer<T>(pHeader, pData, 0);
    }
    const size_t nRoom = (nBytes + 2 * HUGE_PAGE_BYTES - 1) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES;
    auto [pHeader, pData] = QTypedArrayData<T>::allocate(qsizetype(nRoom / sizeof(T)));
    Q_CHECK_PTR(pHeader);
    return QArrayDataPointer<T>(pHeader, static_cast<T*>(HugeAlignedStart(pData, nBytes)), 0);
}
