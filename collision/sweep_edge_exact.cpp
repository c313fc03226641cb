#include "collision/sweep_edge_exact.h"

#include <cmath>

#include "geometry/collision_epsilon.h"

std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Segment& edge, float& time, float& edgeFraction) {
    const Vec3 edgeVector = edge.end - edge.start;
    const float edgeLength = std::sqrt(dot(edgeVector, edgeVector));
    const Vec3 e = edgeVector * (1.0f / edgeLength);
    const Vec3 w = sphere.position - edge.start;
    const Vec3& d = sphere.displacement;
    // The start offset and the motion at right angles to the line.
    const Vec3 wAcross = w - e * dot(w, e);
    const Vec3 dAcross = d - e * dot(d, e);
    const float a = dot(dAcross, dAcross);
    const float b = 2.0f * dot(wAcross, dAcross);
    const float c = dot(wAcross, wAcross) - setup.radiusSquared;
    if (!(c >= 0.0f && b < 0.0f)) {
        return 0;  // overlapping at the start, not approaching the line, or non-numbers
    }
    const float disc = b * b - 4.0f * a * c;
    if (!(disc >= 0.0f)) {
        return 0;
    }
    // The smaller root as 2c / (-b + sqrt(disc)): no cancellation, and no
    // division by a, which is tiny for motion nearly along the edge.
    const float t = (2.0f * c) / (std::sqrt(disc) - b);
    if (!(t <= 1.0f)) {
        return 0;
    }
    const float along = dot(w + d * t, e);
    if (!(along >= 0.0f && along <= edgeLength)) {
        return 0;
    }
    const float stepLength = setup.stepLength;
    const float stoppedShort = (t * stepLength - collisionEpsilon) / stepLength;
    time = stoppedShort > 0.0f ? stoppedShort : t;
    edgeFraction = along / edgeLength;
    return 1;
}
