#pragma once

// A quick test of four boxes at once, one per SSE lane, kept as WideNode keeps
// them: whether the path, from start (time 0) to end (time 1), meets each box
// grown by the radius and a margin (the slab test). With the margin at least
// a ten-thousandth of the size of the coordinates, the radius and the tolerance,
// it never rejects a box sweepHitsBounds reaches, whose rounding (of the grown
// box, of where the path crosses a face plane) stays far smaller; it may
// reach boxes that test rejects, so what it finds needs that test to confirm.
#include "collision/simd_lanes.h"

#if SWEEP_SSE_LANES

#include <cmath>
#include <cstdint>

#include "geometry/swept_sphere.h"

namespace sweepview {

// The sweep's values for the slab test, each in all four lanes. Only for a
// sweep of finite numbers.
struct WideSweep {
    __m128 nearSide[3];  // start + radius + margin, per axis
    __m128 farSide[3];   // start - radius - margin
    __m128 inverse[3];   // 1 / displacement; a huge number of its sign where it is near 0
};

inline WideSweep wideSweep(const SweptSphere& sphere, float margin) {
    const Vec3& s = sphere.position;
    const Vec3& d = sphere.displacement;
    const __m128 start = _mm_setr_ps(s.x, s.y, s.z, 0.0f);
    const __m128 step = _mm_setr_ps(d.x, d.y, d.z, 1.0f);
    const __m128 grow = _mm_set1_ps(sphere.radius + margin);
    const __m128 nearSide = _mm_add_ps(start, grow);
    const __m128 farSide = _mm_sub_ps(start, grow);
    // A step this small moves the centre by far less than the margin: a
    // finite stand-in of its sign keeps the products free of non-numbers.
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 tiny = _mm_cmplt_ps(_mm_andnot_ps(signBit, step), _mm_set1_ps(1e-20f));
    const __m128 standIn = _mm_or_ps(_mm_set1_ps(1e20f), _mm_and_ps(signBit, step));
    const __m128 inverse = _mm_or_ps(_mm_and_ps(tiny, standIn),
                                     _mm_andnot_ps(tiny, _mm_div_ps(_mm_set1_ps(1.0f), step)));
    alignas(16) float nearLanes[4];
    alignas(16) float farLanes[4];
    alignas(16) float inverseLanes[4];
    _mm_store_ps(nearLanes, nearSide);
    _mm_store_ps(farLanes, farSide);
    _mm_store_ps(inverseLanes, inverse);
    WideSweep sweep;
    for (int axis = 0; axis < 3; ++axis) {
        sweep.nearSide[axis] = _mm_set1_ps(nearLanes[axis]);
        sweep.farSide[axis] = _mm_set1_ps(farLanes[axis]);
        sweep.inverse[axis] = _mm_set1_ps(inverseLanes[axis]);
    }
    return sweep;
}

// Bit i set when the path may reach box i (lanes min[axis], max[axis]). When
// entry is given, writes there per lane the time the path enters the grown
// box (0 for one holding the start; meaningless for a lane not reached).
inline int sweepMayReachBoxes(const WideSweep& sweep, const float (&min)[3][4],
                              const float (&max)[3][4], float* entry = nullptr) {
    __m128 enter = _mm_setzero_ps();
    __m128 leave = _mm_set1_ps(1.0f);
    for (int axis = 0; axis < 3; ++axis) {
        const __m128 a =
            _mm_mul_ps(_mm_sub_ps(_mm_load_ps(min[axis]), sweep.nearSide[axis]), sweep.inverse[axis]);
        const __m128 b =
            _mm_mul_ps(_mm_sub_ps(_mm_load_ps(max[axis]), sweep.farSide[axis]), sweep.inverse[axis]);
        enter = _mm_max_ps(enter, _mm_min_ps(a, b));
        leave = _mm_min_ps(leave, _mm_max_ps(a, b));
    }
    if (entry != nullptr) {
        _mm_storeu_ps(entry, enter);
    }
    return _mm_movemask_ps(_mm_cmple_ps(enter, leave));
}

// The lanes set in `entered`, in order of their entry times (as
// sweepMayReachBoxes writes them), lane order among equal times: as many as
// entered has bits, for a walk that goes into nearer boxes first.
inline void lanesByEntry(const float (&entry)[4], int entered, std::uint8_t (&lanes)[4]) {
    int count = 0;
    for (int rest = entered; rest != 0; rest &= rest - 1) {
        const auto lane = static_cast<std::uint8_t>(__builtin_ctz(static_cast<unsigned>(rest)));
        int at = count++;
        for (; at > 0 && entry[lane] < entry[lanes[at - 1]]; --at) {
            lanes[at] = lanes[at - 1];
        }
        lanes[at] = lane;
    }
}

}  // namespace sweepview

#endif
