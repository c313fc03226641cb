#pragma once

#include <cstddef>
#include <new>

namespace sweepview {

// Asks the kernel for huge pages behind the 2 MB-aligned interior of a large
// buffer that has not been touched yet: faulting in hundreds of megabytes page
// by page costs more than filling them on a virtual machine. Only advice:
// small buffers, other systems and refusals change nothing.
void adviseHugePages(void* data, std::size_t bytes);

// An allocator that gives the advice above for every block it hands out, for
// containers that are made at their final size and filled at once.
template <typename T>
struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(std::size_t count) {
        void* block = ::operator new(count * sizeof(T));
        adviseHugePages(block, count * sizeof(T));
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t) { ::operator delete(block); }

    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
};

}  // namespace sweepview
