#pragma once

#include <cstdint>

#include "collision/sweep_setup.h"
#include "geometry/line.h"
#include "geometry/prepared_triangle.h"
#include "geometry/segment.h"
#include "geometry/swept_sphere.h"

namespace sweepview {

// Lines whose directions' cross product has a squared length below this count
// as parallel (with unit directions: less than about 5.7 degrees apart).
inline constexpr float PARALLEL_LIMIT = 0.01f;

// Parameters of the points of closest approach of two lines,
// first.point + tau * first.direction and second.point + sigma * second.direction.
// Returns 1 when the lines count as parallel (tau = sigma = 0), else 0; tau and
// sigma are always written. Non-number directions count as parallel.
std::int32_t closestLineParams(const Line& first, const Line& second, float& tau, float& sigma);

// 1 when the moving sphere reaches the edge during the step. On 1, time receives
// the fraction of the displacement at which the sphere stops the tolerance
// (collisionEpsilon here, setup.tolerance with a setup) short along the path
// (unshortened when the contact lies closer than that to the start), and
// edgeFraction the position of the contact from start (0) to
// end (1); neither is written on 0. Exact for motion at right angles to the
// edge; at other angles the centre ends nearer the edge than the radius.
// Motion within about 5.7 degrees of the edge, a zero displacement or a
// zero-length edge gives 0: the corner tests cover those contacts. A sphere
// already overlapping the edge's line at the start gives 0.
std::int32_t sweepHitsEdge(const SweptSphere& sphere, const Segment& edge, float& time,
                           float& edgeFraction);

// The same test with the sweep's setup computed once by the caller; setup must
// be prepareSweep(sphere).
std::int32_t sweepHitsEdge(const SweptSphere& sphere, const SweepSetup& setup, const Segment& edge,
                           float& time, float& edgeFraction);

// The same test on an edge given by its start and its frame (edgeFrame of its
// start and end, as a prepared triangle keeps it): the same operations, so the
// same result.
std::int32_t sweepHitsEdge(const SweptSphere& sphere, const SweepSetup& setup, const Vec3& start,
                           const EdgeFrame& frame, float& time, float& edgeFraction);

}  // namespace sweepview
