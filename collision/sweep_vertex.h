#pragma once

#include <cstdint>

#include "collision/sweep_setup.h"
#include "geometry/swept_sphere.h"

namespace sweepview {

// 1 when the moving sphere's surface reaches point during the step (the earlier
// root of |O + tD - V| = r lies in [0, 1]). On 1, time receives that root moved
// the tolerance back along the path (collisionEpsilon here, setup.tolerance
// with a setup), or the root itself when the contact lies
// closer than that to the start; time is written only on 1. A sphere that already
// overlaps the point at the start, a zero displacement, or a non-number gives 0.
std::int32_t sweepHitsVertex(const SweptSphere& sphere, const Vec3& point, float& time);

// The same test with the sweep's setup computed once by the caller; setup must
// be prepareSweep(sphere).
std::int32_t sweepHitsVertex(const SweptSphere& sphere, const SweepSetup& setup, const Vec3& point,
                             float& time);

}  // namespace sweepview
