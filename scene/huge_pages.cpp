#include "scene/huge_pages.h"

#include <cstdint>
#include <new>

#include "scene/huge_page_allocator.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sweepview {

void adviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t(1) << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(HUGE_PAGE - 1);
    if (end > begin) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void* allocateHugePageBlock(std::size_t bytes, std::size_t alignment) {
    void* block = ::operator new(bytes, std::align_val_t(alignment));
    adviseHugePages(block, bytes);
    return block;
}

}  // namespace sweepview
