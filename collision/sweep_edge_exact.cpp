#include "collision/sweep_edge_exact.h"

#include <cmath>


namespace sweepview {

std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Segment& edge, float& time, float& edgeFraction) {
    return sweepHitsEdgeExact(sphere, setup, edge.start, edge.end, time, edgeFraction);
}

std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Vec3& start, const Vec3& end, float& time,
                                float& edgeFraction, bool* lineMissed) {
    const Vec3 edgeVector = end - start;
    return sweepHitsEdgeExact(sphere, setup, start, end, 1.0f / dot(edgeVector, edgeVector), time,
                              edgeFraction, lineMissed);
}

std::int32_t sweepHitsEdgeExact(const SweptSphere& sphere, const SweepSetup& setup,
                                const Vec3& start, const Vec3& end, float inverseSquared,
                                float& time, float& edgeFraction, bool* lineMissed) {
    bool missed = false;
    if (lineMissed == nullptr) {
        lineMissed = &missed;
    }
    *lineMissed = false;
    // Positions along the edge as fractions of it: no square root needed.
    const Vec3 edgeVector = end - start;
    const Vec3 w = sphere.position - start;
    const Vec3& d = sphere.displacement;
    // The start offset and the motion at right angles to the line.
    const Vec3 wAcross = w - edgeVector * (dot(w, edgeVector) * inverseSquared);
    const Vec3 dAcross = d - edgeVector * (dot(d, edgeVector) * inverseSquared);
    const float b = 2.0f * dot(wAcross, dAcross);
    const float c = dot(wAcross, wAcross) - setup.radiusSquared;
    if (!(c >= 0.0f && b < 0.0f)) {
        // Overlapping at the start, not approaching the line, or non-numbers;
        // only in the second case is the line out of reach.
        *lineMissed = c >= 0.0f && b >= 0.0f;
        if (c < 0.0f && b < 0.0f) {
            // Already within the radius and moving deeper: stopped at once,
            // where the line's nearest point lies on the edge, rather than
            // let through to the inside.
            const float startFraction = dot(w, edgeVector) * inverseSquared;
            if (startFraction >= 0.0f && startFraction <= 1.0f) {
                time = 0.0f;
                edgeFraction = startFraction;
                return 1;
            }
        }
        return 0;
    }
    const float a = dot(dAcross, dAcross);
    const float disc = b * b - 4.0f * a * c;
    if (!(disc >= 0.0f)) {
        *lineMissed = disc < 0.0f;
        return 0;
    }
    // The smaller root as 2c / (-b + sqrt(disc)): no cancellation, and no
    // division by a, which is tiny for motion nearly along the edge.
    const float t = (2.0f * c) / (std::sqrt(disc) - b);
    if (!(t <= 1.0f)) {
        *lineMissed = t > 1.0f;
        return 0;
    }
    const float fraction = dot(w + d * t, edgeVector) * inverseSquared;
    if (!(fraction >= 0.0f && fraction <= 1.0f)) {
        return 0;
    }
    const float stepLength = setup.stepLength;
    const float stoppedShort = (t * stepLength - setup.tolerance) / stepLength;
    time = stoppedShort > 0.0f ? stoppedShort : t;
    edgeFraction = fraction;
    return 1;
}

}  // namespace sweepview
