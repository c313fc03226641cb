#pragma once

#include <cstddef>
#include <new>

namespace sweepview {

// A block of bytes from operator new, with the kernel advised to back its
// 2 MB-aligned interior with huge pages: faulting in hundreds of megabytes
// page by page costs more than filling them on a virtual machine, aligned to
// alignment. Free it with operator delete and the same alignment.
void* allocateHugePageBlock(std::size_t bytes, std::size_t alignment);

// An allocator that gives the advice above for every block it hands out, for
// containers that are made at their final size and filled at once.
template <typename T>
struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(std::size_t count) {
        return static_cast<T*>(allocateHugePageBlock(count * sizeof(T), alignof(T)));
    }
    void deallocate(T* block, std::size_t) {
        ::operator delete(block, std::align_val_t(alignof(T)));
    }

    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
};

}  // namespace sweepview
