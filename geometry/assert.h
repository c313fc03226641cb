#pragma once

// SWEEP_ASSERT(cond): a precondition checked in debug and sanitizer builds
// (NDEBUG not defined, or SWEEP_ENABLE_ASSERTS, which CMake sets for them) and
// compiled out elsewhere. Compiled out, cond is not evaluated but still
// type-checked, so a release build's code and float results stay as without it.
#if !defined(NDEBUG) || defined(SWEEP_ENABLE_ASSERTS)

#include <cstdio>
#include <cstdlib>

namespace sweepview {

[[noreturn]] inline void assertionFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
    std::abort();
}

}  // namespace sweepview

#define SWEEP_ASSERT(cond) \
    ((cond) ? static_cast<void>(0) : ::sweepview::assertionFailed(#cond, __FILE__, __LINE__))

#else

#define SWEEP_ASSERT(cond) static_cast<void>(sizeof((cond) ? 1 : 0))

#endif
