#include "collision/sweep_edge.h"

#include <cmath>

namespace sweepview {

std::int32_t closestLineParams(const Line& first, const Line& second, float& tau, float& sigma) {
    const Vec3 normal = cross(first.direction, second.direction);
    const float normalSquared = dot(normal, normal);
    if (!(normalSquared >= PARALLEL_LIMIT)) {
        tau = 0.0f;
        sigma = 0.0f;
        return 1;
    }
    const Vec3 delta = second.point - first.point;
    tau = dot(cross(delta, second.direction), normal) / normalSquared;
    sigma = dot(cross(delta, first.direction), normal) / normalSquared;
    return 0;
}

std::int32_t sweepHitsEdge(const SweptSphere& sphere, const Segment& edge, float& time,
                           float& edgeFraction) {
    return sweepHitsEdge(sphere, prepareSweep(sphere, withProcessTolerance()), edge, time, edgeFraction);
}

std::int32_t sweepHitsEdge(const SweptSphere& sphere, const SweepSetup& setup, const Segment& edge,
                           float& time, float& edgeFraction) {
    return sweepHitsEdge(sphere, setup, edge.start, edgeFrame(edge.start, edge.end), time,
                         edgeFraction);
}

std::int32_t sweepHitsEdge(const SweptSphere& sphere, const SweepSetup& setup, const Vec3& start,
                           const EdgeFrame& frame, float& time, float& edgeFraction) {
    const Vec3& o = sphere.position;
    const float stepLength = setup.stepLength;
    const float edgeLength = frame.length;
    const Vec3& motionDir = setup.motionDir;
    const Vec3& edgeDir = frame.direction;

    const Vec3 n = cross(motionDir, edgeDir);
    const float normalSquared = dot(n, n);
    if (!(normalSquared >= PARALLEL_LIMIT)) {
        return 0;  // parallel, or no direction at all: left to the corner tests
    }
    const float h = dot(n, o - start);
    const float clearance = setup.radiusSquared - h * h;
    if (!(clearance >= 0.0f)) {
        return 0;  // the path passes the edge's line further off than the radius
    }
    const float k = std::sqrt(clearance);

    // Shift the centre's path onto the plane through the edge along the motion,
    // and forward by k, then meet it with the edge's line: closestLineParams
    // for these two lines, whose cross product is n, already known not parallel.
    const Vec3 motionPoint = (o - n * h) + motionDir * k;
    const Vec3 delta = start - motionPoint;
    float tau = dot(cross(delta, edgeDir), n) / normalSquared;
    const float sigma = dot(cross(delta, motionDir), n) / normalSquared;
    if (!(tau >= 0.0f && tau <= stepLength && sigma >= 0.0f && sigma <= edgeLength)) {
        return 0;
    }
    const float stoppedShort = tau - setup.tolerance;
    if (stoppedShort > 0.0f) {
        tau = stoppedShort;
    }
    time = tau / stepLength;
    edgeFraction = sigma / edgeLength;
    return 1;
}

}  // namespace sweepview
