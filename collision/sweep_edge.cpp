#include "collision/sweep_edge.h"

#include <cmath>

#include "geometry/collision_epsilon.h"

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
    return sweepHitsEdge(sphere, prepareSweep(sphere), edge, time, edgeFraction);
}

std::int32_t sweepHitsEdge(const SweptSphere& sphere, const SweepSetup& setup, const Segment& edge,
                           float& time, float& edgeFraction) {
    const Vec3& o = sphere.position;
    const Vec3 edgeVector = edge.end - edge.start;
    const float stepLength = setup.stepLength;
    const float edgeLength = std::sqrt(dot(edgeVector, edgeVector));
    const Vec3& motionDir = setup.motionDir;
    const Vec3 edgeDir = edgeVector * (1.0f / edgeLength);

    const Vec3 n = cross(motionDir, edgeDir);
    if (!(dot(n, n) >= PARALLEL_LIMIT)) {
        return 0;  // parallel, or no direction at all: left to the corner tests
    }
    const float h = dot(n, o - edge.start);
    const float clearance = setup.radiusSquared - h * h;
    if (!(clearance >= 0.0f)) {
        return 0;  // the path passes the edge's line further off than the radius
    }
    const float k = std::sqrt(clearance);

    // Shift the centre's path onto the plane through the edge along the motion,
    // and forward by k, then meet it with the edge's line.
    Line motion;
    motion.init((o - n * h) + motionDir * k, motionDir);
    Line edgeLine;
    edgeLine.init(edge.start, edgeDir);
    float tau = 0.0f;
    float sigma = 0.0f;
    closestLineParams(motion, edgeLine, tau, sigma);
    if (!(tau >= 0.0f && tau <= stepLength && sigma >= 0.0f && sigma <= edgeLength)) {
        return 0;
    }
    const float stoppedShort = tau - collisionEpsilon;
    if (stoppedShort > 0.0f) {
        tau = stoppedShort;
    }
    time = tau / stepLength;
    edgeFraction = sigma / edgeLength;
    return 1;
}
