#include "collision/sweep_vertex.h"

#include <cmath>

namespace sweepview {

std::int32_t sweepHitsVertex(const SweptSphere& sphere, const Vec3& point, float& time) {
    return sweepHitsVertex(sphere, prepareSweep(sphere, withProcessTolerance()), point, time);
}

std::int32_t sweepHitsVertex(const SweptSphere& sphere, const SweepSetup& setup, const Vec3& point,
                             float& time) {
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const Vec3 m = o - point;
    const float a = setup.stepSquared;
    const float b = 2.0f * dot(d, m);
    // |m|^2 - r^2, in the form whose rounding the trajectories are built on.
    const float c = dot(point, point) + dot(o, o - point * 2.0f) - setup.radiusSquared;
    const float disc = b * b - 4.0f * a * c;
    if (!(disc >= 0.0f)) {
        return 0;
    }
    const float f = setup.vertexRootScale;  // 1 / (2 * a)
    const float root = std::sqrt(disc);
    const float t1 = (-b - root) * f;
    const float t2 = (root - b) * f;
    float t = t1;
    if (t1 >= t2) {
        t = t2;
    }
    if (!(t >= 0.0f && t <= 1.0f)) {
        return 0;
    }
    const float stepLength = setup.stepLength;
    const float stoppedShort = (t * stepLength - setup.tolerance) / stepLength;
    time = stoppedShort > 0.0f ? stoppedShort : t;
    return 1;
}

}  // namespace sweepview
