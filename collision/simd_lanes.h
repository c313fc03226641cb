#pragma once

// Whether the query builds its SSE lane paths (the box tests of one and of
// four boxes, the three edges or corners of a triangle at once, the wide
// walk): on processors with SSE2, unless the build asks for the scalar paths
// alone (SWEEP_SCALAR_ONLY, to test them). Every lane path gives the scalar
// path's results bit for bit; this is the one place that chooses.
#if defined(__SSE2__) && !defined(SWEEP_SCALAR_ONLY)
#define SWEEP_SSE_LANES 1
#include <immintrin.h>
#else
#define SWEEP_SSE_LANES 0
#endif
