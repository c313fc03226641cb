#pragma once

#include <cstdint>

#include "../geometry/prepared_triangle.h"
#include "../geometry/swept_sphere.h"
#include "../geometry/triangle.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// How far in front of the triangle's plane the leading point may end its step
// and still be tested against the edges and corners.
inline constexpr float PLANE_REACH_TOLERANCE = 0.001f;

// 1 when the moving sphere touches the triangle during the step. Tries the face,
// then the edges V0V1, V1V2, V2V0, then the corners V0, V1, V2; the first
// feature that reports contact decides, even when a later one would be earlier.
// On 1, timeOut holds the stopped-short time of impact in [0, 1] and normalOut
// the unit contact normal, pointing from the triangle towards the sphere (the
// triangle's normal for a face contact). On 0, normalOut is untouched but
// timeOut may have been overwritten. A sphere whose leading point ends its step
// more than PLANE_REACH_TOLERANCE in front of the plane gets 0 without edge or
// corner tests. A triangle without area (non-number normal) is tested on its
// edges and corners only. Fills the triangle's normal cache.
//
// With setup.edgeRule Exact (the overload with a setup), the edges are met by
// sweepHitsEdgeExact and the earliest edge or corner contact decides; the
// edges and corners are skipped only for a sphere clear of the plane on one
// side for the whole step, so a sphere crossing it from behind meets them;
// an edge (its nearest point between its ends) or corner closer than the
// radius to the centre at the start, which the sphere moves deeper into
// (displacement . (centre - nearest point) < 0), gives contact at time 0 with
// the normal from that point towards the centre; one it moves away from is
// passed.
//
// With setup.faceSides Two the triangle is met as if wound towards the side
// the centre starts on (its normal negated when the centre lies behind): its
// face stops the sphere from either side, normalOut on a face contact being
// that turned normal, and the plane's reach is measured along it. With
// FaceSides::Cull a triangle whose normal points along the displacement gives
// 0 (one without area, a non-number normal, is tested as with One).
std::int32_t sweepHitsTriangle(const SweptSphere& sphere, Triangle& triangle, Vec3& normalOut,
                               float& timeOut);

// The same test with the sweep's setup computed once by the caller; setup must
// be prepareSweep(sphere, options), whose options choose the edge rule, the
// face sides and the tolerance (prepareSweep(sphere) gives the defaults).
std::int32_t sweepHitsTriangle(const SweptSphere& sphere, const SweepSetup& setup,
                               Triangle& triangle, Vec3& normalOut, float& timeOut);

// Where on its triangle a contact lies: the feature that decided and the
// touched point (on a face, the centre's projection on the plane at the time
// of impact; on an edge, the edge's point met; at a corner, the corner).
struct TriangleContact {
    ContactFeature feature = ContactFeature::Face;
    Vec3 point;
};

// The same test on a prepared triangle (prepareTriangle, or a compiled
// scene's copy): the same operations, so the same result. Reads only. On 1
// and with contactOut set, also writes where the contact lies.
std::int32_t sweepHitsTriangle(const SweptSphere& sphere, const SweepSetup& setup,
                               const PreparedTriangle& triangle, Vec3& normalOut, float& timeOut,
                               TriangleContact* contactOut = nullptr);

}  // namespace sweepview
