#pragma once
// Big zeroed blocks straight from the kernel, with their pages mapped at once.
#include <cstddef>

namespace tandrel::platform {

// A zeroed block of bytes whose pages are all mapped in one call, so filling
// it costs no page fault per 4 KB (a scan fills hundreds of MB). Throws
// std::bad_alloc when no memory is left.
void* AllocatePrefaulted(std::size_t bytes);
// Returns a block of AllocatePrefaulted; bytes as allocated.
void FreePrefaulted(void* block, std::size_t bytes) noexcept;

// Fixes the allocator's thresholds for a program that scans: blocks of 256 KB
// and more are mapped on their own and freed memory above that is given
// back. Left to itself the allocator raises both after the first big block
// is freed, and the listing threads' heaps then keep megabytes of freed
// listings for the whole scan. Call once, first thing in main.
void TuneAllocatorForScans() noexcept;

}  // namespace tandrel::platform
