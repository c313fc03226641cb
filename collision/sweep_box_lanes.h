#pragma once

// The box test of sweepHitsBounds with the three axes in the lanes of one SSE
// register. Every lane does the very IEEE single operations the scalar test
// does on its axis (a subtraction and an addition to grow the box, strict
// comparisons, a division, a product and a sum per face crossing), so it
// gives the same answer bit for bit, non-numbers included; it only spares the
// branches and the per-axis code. Used by the compiled walk where SSE lanes are
// built (collision/simd_lanes.h); elsewhere it keeps the scalar test.
#include "collision/simd_lanes.h"

#if SWEEP_SSE_LANES

#include <cstddef>
#include <cstdint>

#include "geometry/assert.h"
#include "geometry/swept_sphere.h"
#include "scene/compiled_tree.h"

namespace sweepview {

// The sweep's values, once per query, in lanes x, y, z (the fourth unused).
struct SweepLanes {
    __m128 start;
    __m128 end;
    __m128 displacement;
    __m128 radius;
};

inline __m128 vectorLanes(const Vec3& v) { return _mm_setr_ps(v.x, v.y, v.z, 0.0f); }

// end must be position + displacement as the sweep's setup computes it.
inline SweepLanes sweepLanes(const SweptSphere& sphere, const Vec3& end) {
    SWEEP_ASSERT(sameBits(end, sphere.position + sphere.displacement));
    return {vectorLanes(sphere.position), vectorLanes(end), vectorLanes(sphere.displacement),
            _mm_set1_ps(sphere.radius)};
}

// Lanes x, y, z of the node's bound at offset (boundsMin's or boundsMax's):
// 16 bytes, the fourth lane the node's field after the bound, never used.
// CompiledNode's static_asserts keep the 16 bytes inside the node.
inline __m128 loadBoundLanes(const CompiledNode& node, std::size_t offset) {
    const char* bound = reinterpret_cast<const char*>(&node) + offset;
    return _mm_loadu_ps(reinterpret_cast<const float*>(bound));
}

// 1 when the path can reach the node's bounds grown by the radius, as
// sweepHitsBounds.
inline std::int32_t sweepHitsBoundsLanes(const SweepLanes& sweep, const CompiledNode& node) {
    constexpr int AXES = 7;
    const __m128 lo =
        _mm_sub_ps(loadBoundLanes(node, offsetof(CompiledNode, boundsMin)), sweep.radius);
    const __m128 hi =
        _mm_add_ps(loadBoundLanes(node, offsetof(CompiledNode, boundsMax)), sweep.radius);
    const int startBelow = _mm_movemask_ps(_mm_cmplt_ps(sweep.start, lo)) & AXES;
    const int startAbove = _mm_movemask_ps(_mm_cmpgt_ps(sweep.start, hi)) & AXES & ~startBelow;
    const int endBelow = _mm_movemask_ps(_mm_cmplt_ps(sweep.end, lo)) & AXES;
    const int endAbove = _mm_movemask_ps(_mm_cmpgt_ps(sweep.end, hi)) & AXES & ~endBelow;
    if (((startBelow & endBelow) | (startAbove & endAbove)) != 0) {
        return 0;  // both ends beyond the same face plane
    }
    if ((startBelow | startAbove) == 0 || (endBelow | endAbove) == 0) {
        return 1;  // an end inside, as sweepHitsBounds
    }
    // Each face plane crossed: where the path meets it, strictly inside the
    // face on the other two axes (its own axis's lane is left out). All six
    // are computed, the ones not crossed masked out afterwards: which faces a
    // path crosses varies from box to box, and branching on it mispredicts.
    const int belowCrossed = startBelow | endBelow;
    const int aboveCrossed = startAbove | endAbove;
    const __m128 tBelow = _mm_div_ps(_mm_sub_ps(lo, sweep.start), sweep.displacement);
    const __m128 tAbove = _mm_div_ps(_mm_sub_ps(hi, sweep.start), sweep.displacement);
    const auto insideFace = [&](__m128 t) {
        const __m128 crossing = _mm_add_ps(sweep.start, _mm_mul_ps(sweep.displacement, t));
        return _mm_movemask_ps(_mm_and_ps(_mm_cmplt_ps(lo, crossing), _mm_cmplt_ps(crossing, hi)));
    };
    const auto through = [](int inside, int axis) {
        return ((inside | (1 << axis)) & AXES) == AXES ? 1 << axis : 0;
    };
    const int belowThrough =
        through(insideFace(_mm_shuffle_ps(tBelow, tBelow, _MM_SHUFFLE(0, 0, 0, 0))), 0) |
        through(insideFace(_mm_shuffle_ps(tBelow, tBelow, _MM_SHUFFLE(1, 1, 1, 1))), 1) |
        through(insideFace(_mm_shuffle_ps(tBelow, tBelow, _MM_SHUFFLE(2, 2, 2, 2))), 2);
    const int aboveThrough =
        through(insideFace(_mm_shuffle_ps(tAbove, tAbove, _MM_SHUFFLE(0, 0, 0, 0))), 0) |
        through(insideFace(_mm_shuffle_ps(tAbove, tAbove, _MM_SHUFFLE(1, 1, 1, 1))), 1) |
        through(insideFace(_mm_shuffle_ps(tAbove, tAbove, _MM_SHUFFLE(2, 2, 2, 2))), 2);
    return ((belowCrossed & belowThrough) | (aboveCrossed & aboveThrough)) != 0 ? 1 : 0;
}

}  // namespace sweepview

#endif
