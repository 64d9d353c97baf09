// Large buffers in huge pages. The buffers of a report run to megabytes,
// and the kernel maps fresh memory 4 KB at a time, with a page fault for
// each page as it is first written: some 2,000 faults for an 8 MB file,
// which on a virtual machine take longer than reading the file. Asked
// before the buffer is written, the kernel maps the whole 2 MB pages inside
// it at one fault each where it offers transparent huge pages (the
// "madvise" and "always" modes); elsewhere nothing changes.
#pragma once

#include <cstddef>

// For the buffer [pData, pData + nBytes), best before it is written; the
// parts outside whole 2 MB pages are left as they are.
void AdviseHugePages(const void* pData, size_t nBytes);
