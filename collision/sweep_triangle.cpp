#include "collision/sweep_triangle.h"

#include "collision/sweep_face.h"
#include "collision/sweep_triangle_lanes.h"
#include "geometry/assert.h"
#include "geometry/segment.h"

namespace sweepview {

namespace {

// The exact rule's edges and corners: the earliest contact wins (the first
// in the design's order on a tie), since with exact edges an edge found first
// can be later than another edge or a corner. A corner is tried only when
// both its edges missed and neither kept its line out of reach (an edge that
// reaches the sphere does so no later than its ends, and a corner lies within
// both lines' cylinders), and not when the sphere moves away from it. An
// edge or corner the sphere starts in and moves deeper into gives time 0.
std::int32_t earliestEdgeOrCorner(const SweptSphere& sphere, const SweepSetup& setup,
                                  const PreparedTriangle& triangle, Vec3& normalOut,
                                  float& timeOut, TriangleContact* contactOut) {
    TriangleEdgeHits edges;
    sweepHitsEdgesExact(sphere, setup, triangle, edges);
    // Corner i lies on edges i and i - 1: the masks rotated by one give each
    // corner its edge before it.
    const auto withBefore = [](int mask) { return mask | ((mask << 1) & 7) | (mask >> 2); };
    const int cornersLeft = 7 & ~withBefore(edges.hit | edges.lineMissed);
    TriangleCornerHits corners{};
    if (cornersLeft != 0) {
        sweepHitsCorners(sphere, setup, triangle, corners);
    }
    const int cornerCandidates =
        (corners.hit | corners.wayIn) & cornersLeft & ~corners.awayUntouched;
    if ((edges.hit | cornerCandidates) == 0) {
        return 0;
    }
    float best = 0.0f;
    int bestFeature = -1;  // 0..2 the edge from that corner, 3..5 the corner
    for (int i = 0; i < 3; ++i) {
        if ((edges.hit >> i & 1) != 0 && (bestFeature < 0 || edges.time[i] < best)) {
            best = edges.time[i];
            bestFeature = i;
        }
    }
    for (int i = 0; i < 3; ++i) {
        // A corner the sphere starts in and moves deeper into stops it at once.
        const float time = (corners.wayIn >> i & 1) != 0 ? 0.0f : corners.time[i];
        if ((cornerCandidates >> i & 1) != 0 && (bestFeature < 0 || time < best)) {
            best = time;
            bestFeature = 3 + i;
        }
    }
    timeOut = best;
    const Vec3* c = triangle.corners;
    const Vec3& a = c[bestFeature % 3];
    const Vec3 contact =
        bestFeature < 3 ? a + (c[(bestFeature + 1) % 3] - a) * edges.fraction[bestFeature] : a;
    normalOut = normalized(sphere.position + sphere.displacement * best - contact);
    if (contactOut != nullptr) {
        *contactOut = {bestFeature < 3 ? ContactFeature::Edge : ContactFeature::Corner, contact};
    }
    return 1;
}

// The normal the face is met by: with two sides, turned towards the side the
// centre starts on, so that the face test (which stops only from the front)
// and the plane's reach below see the triangle as if wound that way. Negating
// is exact, so the turned normal has the same magnitudes.
Vec3 facingNormal(const PreparedTriangle& triangle, const Vec3& centre, FaceSides sides) {
    const Vec3& n = triangle.normal;
    if (sides == FaceSides::Two && dot(n, centre - triangle.corners[0]) < 0.0f) {
        return n * -1.0f;
    }
    return n;
}

}  // namespace

std::int32_t sweepHitsTriangle(const SweptSphere& sphere, Triangle& triangle, Vec3& normalOut,
                               float& timeOut) {
    return sweepHitsTriangle(sphere, prepareSweep(sphere, withProcessTolerance()), triangle, normalOut, timeOut);
}

std::int32_t sweepHitsTriangle(const SweptSphere& sphere, const SweepSetup& setup,
                               Triangle& triangle, Vec3& normalOut, float& timeOut) {
    return sweepHitsTriangle(sphere, setup, prepareTriangle(triangle), normalOut, timeOut);
}

std::int32_t sweepHitsTriangle(const SweptSphere& sphere, const SweepSetup& setup,
                               const PreparedTriangle& triangle, Vec3& normalOut, float& timeOut,
                               TriangleContact* contactOut) {
    SWEEP_ASSERT(isSetupOf(setup, sphere));
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    if (setup.faceSides == FaceSides::Cull && dot(triangle.normal, d) > 0.0f) {
        return 0;
    }
    const Vec3 n = facingNormal(triangle, o, setup.faceSides);
    const Vec3 leadingPoint = o - n * sphere.radius;
    const Segment path(leadingPoint, leadingPoint + d);
    if (sweepHitsFace(triangle.corners, n, path, setup.tolerance, timeOut) != 0) {
        normalOut = n;
        if (contactOut != nullptr) {
            const Vec3 centre = o + d * timeOut;
            *contactOut = {ContactFeature::Face, centre - n * dot(n, centre - triangle.corners[0])};
        }
        return 1;
    }

    // Spare the six edge and corner tests when the leading point ends the step
    // clear of the plane. Written so that a non-number (a triangle without area)
    // does not reject.
    const Vec3& v0 = triangle.corners[0];
    const float endDistance = dot(n, path.end - v0);
    if (setup.edgeRule == EdgeRule::Exact) {
        // Only a sphere clear of the plane on one side for the whole step
        // can skip the edges: one that crosses it from behind can meet them.
        const float startDistance = dot(n, path.start - v0);
        const float farEnd = endDistance + 2.0f * sphere.radius;
        const float farStart = startDistance + 2.0f * sphere.radius;
        if ((startDistance > PLANE_REACH_TOLERANCE && endDistance > PLANE_REACH_TOLERANCE) ||
            (farStart < -PLANE_REACH_TOLERANCE && farEnd < -PLANE_REACH_TOLERANCE)) {
            return 0;
        }
        return earliestEdgeOrCorner(sphere, setup, triangle, normalOut, timeOut, contactOut);
    }
    if (endDistance > PLANE_REACH_TOLERANCE) {
        return 0;
    }

    // The first edge, then the first corner, that reports contact decides.
    TriangleEdgeHits edges;
    sweepHitsEdges(sphere, setup, triangle, edges);
    for (int i = 0; edges.hit != 0 && i < 3; ++i) {
        if ((edges.hit >> i & 1) != 0) {
            const Vec3& a = triangle.corners[i];
            const Vec3& b = triangle.corners[(i + 1) % 3];
            timeOut = edges.time[i];
            const Vec3 centre = o + d * timeOut;
            const Vec3 contact = a + (b - a) * edges.fraction[i];
            normalOut = normalized(centre - contact);
            if (contactOut != nullptr) {
                *contactOut = {ContactFeature::Edge, contact};
            }
            return 1;
        }
    }
    TriangleCornerHits corners;
    sweepHitsCorners(sphere, setup, triangle, corners);
    for (int i = 0; corners.hit != 0 && i < 3; ++i) {
        if ((corners.hit >> i & 1) != 0) {
            timeOut = corners.time[i];
            normalOut = normalized(o + d * timeOut - triangle.corners[i]);
            if (contactOut != nullptr) {
                *contactOut = {ContactFeature::Corner, triangle.corners[i]};
            }
            return 1;
        }
    }
    return 0;
}

}  // namespace sweepview
