#include "platform/memory_pages.h"

#include <malloc.h>
#include <sys/mman.h>

#include <new>

namespace tandrel::platform {

void* AllocatePrefaulted(std::size_t bytes) {
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return block;
}

void FreePrefaulted(void* block, std::size_t bytes) noexcept {
    if (block) munmap(block, bytes);
}

void TuneAllocatorForScans() noexcept {
    constexpr int kThreshold = 256 << 10;
    mallopt(M_MMAP_THRESHOLD, kThreshold);
    mallopt(M_TRIM_THRESHOLD, kThreshold);
}

}  // namespace tandrel::platform
