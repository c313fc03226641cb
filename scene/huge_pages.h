#pragma once

#include <cstddef>

namespace sweepview {

// Asks the kernel for huge pages behind the 2 MB-aligned interior of a large
// buffer that has not been touched yet: faulting in hundreds of megabytes page
// by page costs more than filling them on a virtual machine. Only advice:
// small buffers, other systems and refusals change nothing.
void adviseHugePages(void* data, std::size_t bytes);

}  // namespace sweepview
