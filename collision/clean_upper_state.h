#pragma once

// The queries' code is SSE code in its legacy encoding (the library builds for
// any x86-64 unless told otherwise). On a processor with AVX, legacy SSE
// instructions run while the YMM registers' upper halves are marked in use
// pay for merging with them, and a host built for AVX can leave them so.
// Measured on an AMD EPYC (Zen 4): one VEX.256 instruction before a run of
// first-contact sweeps made them 1.25 to 1.65 times slower; in a benchmark
// that runs an AVX2 engine's sphere cast in the same thread they ran 1.4 to
// 1.7 times slower, although XGETBV reported the halves clear. So the query
// entry points clear them first with VZEROUPPER: a cycle, and allowed, as
// the calling convention keeps nothing in them across a call. A build for
// AVX encodes its SSE code as AVX and needs none.
#if defined(__x86_64__) && !defined(__AVX__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace sweepview {

__attribute__((target("avx"))) inline void clearUpperHalves() { _mm256_zeroupper(); }

// Clears the YMM registers' upper halves where the processor has them.
inline void cleanUpperState() {
    if (__builtin_cpu_supports("avx")) {
        clearUpperHalves();
    }
}

}  // namespace sweepview

#else

namespace sweepview {

inline void cleanUpperState() {}

}  // namespace sweepview

#endif
