#include "collision/sweep_face.h"

#include <cmath>

#include "geometry/collision_epsilon.h"
#include "geometry/projection_axes.h"

namespace sweepview {

std::int32_t segmentCrossesPlane(const Plane& plane, const Segment& segment, float& time) {
    return segmentCrossesPlane(plane, segment, collisionEpsilon, time);
}

std::int32_t segmentCrossesPlane(const Plane& plane, const Segment& segment, float tolerance,
                                 float& time) {
    const Vec3& n = plane.normal;
    const Vec3 pointOnPlane = n * plane.offset;
    const float startDistance = dot(segment.start - pointOnPlane, n);
    if (!(startDistance >= 0.0f)) {
        return 0;  // starts behind the plane
    }
    const float descent = -dot(n, segment.end - segment.start);
    if (!(descent >= startDistance)) {
        return 0;  // ends still in front of the plane
    }
    if (startDistance == 0.0f) {
        time = 0.0f;
        return 1;
    }
    const float stoppedShort = startDistance - tolerance;
    if (stoppedShort > 0.0f) {
        time = stoppedShort / descent;
    } else {
        time = startDistance / descent;  // never move back behind the start
    }
    return 1;
}

std::int32_t sweepHitsFace(Triangle& triangle, const Segment& path, float& time) {
    return sweepHitsFace(triangle.corners, triangle.normal(), path, collisionEpsilon, time);
}

std::int32_t sweepHitsFace(const Vec3 (&corners)[3], const Vec3& n, const Segment& path,
                           float tolerance, float& time) {
    const Vec3 d = path.end - path.start;
    const Vec3& v0 = corners[0];
    const Plane plane(n, dot(n, v0));
    if (segmentCrossesPlane(plane, path, tolerance, time) == 0) {
        return 0;
    }
    const Vec3 x = path.start + d * time;

    // Project onto the coordinate plane where the triangle has the largest area.
    const ProjectionAxes axes = projectionAxes(n);
    const int a = axes.first;
    const int b = axes.second;

    const Vec3 e1 = corners[1] - v0;
    const Vec3 e2 = corners[2] - v0;
    const Vec3 w = x - v0;
    const float det = component(e1, a) * component(e2, b) - component(e1, b) * component(e2, a);
    const float inv = 1.0f / det;
    const float u = (component(w, a) * component(e2, b) - component(w, b) * component(e2, a)) * inv;
    if (!(u >= 0.0f && u < 1.0f)) {
        return 0;
    }
    const float v = (component(e1, a) * component(w, b) - component(e1, b) * component(w, a)) * inv;
    const float uv = u + v;
    if (!(v >= 0.0f && uv < 1.0f)) {
        return 0;
    }
    return 1;
}

}  // namespace sweepview
