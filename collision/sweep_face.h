#pragma once

#include <cstdint>

#include "geometry/plane.h"
#include "geometry/segment.h"
#include "geometry/triangle.h"

namespace sweepview {

// 1 when the segment, starting on or in front of the plane (the side its normal
// points to), reaches the plane within its length; 0 when it starts behind the
// plane or ends still in front of it. On 1, time receives the fraction of the
// segment at which the moving point is collisionEpsilon short of the plane
// along the normal, or the exact crossing fraction when it starts closer than
// that (0 when it starts on the plane). time is written only on 1. A non-number
// anywhere gives 0.
std::int32_t segmentCrossesPlane(const Plane& plane, const Segment& segment, float& time);

// The same test stopping tolerance short instead of collisionEpsilon.
std::int32_t segmentCrossesPlane(const Plane& plane, const Segment& segment, float tolerance,
                                 float& time);

// 1 when path (the sphere's leading point during the step) meets the inside of
// the triangle's face coming from the front; the edges V0V1 and V0V2 count as
// inside, the edge V1V2 as outside. On 1, time holds the stopped-short time of
// segmentCrossesPlane. time is also written when the plane is crossed outside
// the triangle (result 0). A triangle without area gives 0.
std::int32_t sweepHitsFace(Triangle& triangle, const Segment& path, float& time);

// The same test on a triangle's corners and its normal as Triangle::normal
// gives it (a prepared triangle's), stopping tolerance short instead of
// collisionEpsilon: with that tolerance, the same operations and result.
std::int32_t sweepHitsFace(const Vec3 (&corners)[3], const Vec3& normal, const Segment& path,
                           float tolerance, float& time);

}  // namespace sweepview
