#pragma once

#include <cstdint>

#include "collision/sweep_setup.h"
#include "geometry/segment.h"
#include "geometry/swept_sphere.h"

namespace sweepview {

// The exact alternative to sweepHitsEdge (EdgeRule::Exact). 1 when the sphere's
// centre, moving along the step, comes within the radius of the edge's line at
// a point between the edge's ends: the moving point against the infinite
// cylinder round the line, whose entry is the smaller root of a quadratic in
// t, accepted when 0 <= t <= 1 and the line's nearest point then lies within
// the segment. On 1, time receives that root stopped setup.tolerance short
// along the path, as the corner test stops (unshortened when the contact lies
// closer than that to the start), and edgeFraction the contact's position from
// start (0) to end (1); neither is written on 0. A sphere already closer than
// the radius to the line at the start gives 1 at time 0 (edgeFraction the
// nearest point's) when that point lies within the segment and the motion
// approaches the line, else 0. Motion that does not approach the line
// (parallel to the edge, or no motion), a zero-length edge and non-number
// input give 0; the corner tests cover the ends. setup must be
// prepareSweep(sphere).
std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Segment& edge, float& time, float& edgeFraction);

// The same test on the edge from start to end, for callers that hold the
// corners without a Segment. When lineMissed is not null it receives whether
// the sphere, outside the cylinder at the start, cannot come within the
// radius of the edge's line during the step (so neither end can be met).
std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Vec3& start, const Vec3& end, float& time,
                                float& edgeFraction, bool* lineMissed = nullptr);

// The same test with the edge's 1 / |end - start|^2 given (a prepared
// triangle's EdgeFrame::inverseSquaredLength): the same result.
std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Vec3& start, const Vec3& end, float inverseSquared,
                                float& time, float& edgeFraction, bool* lineMissed);

}  // namespace sweepview
