#pragma once

#include <cstdint>

#include "collision/sweep_setup.h"
#include "geometry/swept_sphere.h"
#include "scene/node_box.h"

namespace sweepview {

// Region code bits: on which outer side of the box, grown by the sphere's
// radius, a point lies. On y the bit for above is the lower value.
inline constexpr std::int32_t OUT_X_MIN = 1;
inline constexpr std::int32_t OUT_X_MAX = 2;
inline constexpr std::int32_t OUT_Y_MAX = 4;
inline constexpr std::int32_t OUT_Y_MIN = 8;
inline constexpr std::int32_t OUT_Z_MIN = 16;
inline constexpr std::int32_t OUT_Z_MAX = 32;

// Writes the region codes of the centre's start and end point against box grown
// by the radius. Comparisons are strict, so a point on the grown box's surface is
// inside; a non-number coordinate sets no bit. Fills the box's cached bounds
// when they are not valid yet.
void boxOutcodes(const SweptSphere& sphere, NodeBox& box, std::int32_t& startCode,
                 std::int32_t& endCode);

// 1 when the centre's path can reach box grown by the radius, 0 when it cannot.
// Conservative: it never rejects a box the sphere really touches, except for
// paths that only graze the grown box's surface or cross it exactly on one of
// its edges or corners. Fills the box's cached bounds when they are not valid.
std::int32_t sweepHitsBox(const SweptSphere& sphere, NodeBox& box);

// The same test with the sweep's setup computed once by the caller; setup must
// be prepareSweep(sphere).
std::int32_t sweepHitsBox(const SweptSphere& sphere, const SweepSetup& setup, NodeBox& box);

// The same test on bounds kept apart from a NodeBox, as updateBounds computes
// them: the very same operations, so the same result. Reads only.
std::int32_t sweepHitsBounds(const SweptSphere& sphere, const SweepSetup& setup,
                             const Vec3& boundsMin, const Vec3& boundsMax);

}  // namespace sweepview
