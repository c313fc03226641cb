#pragma once

#include <cstdint>

#include "../geometry/swept_sphere.h"
#include "../scene/collision_mesh.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// Two contact times closer than this (strictly) count as the same time.
inline constexpr float SIMULTANEOUS_HIT_TOLERANCE = 0.0001f;

// Sweeps sphere against scene: sets state.nearestTime to +infinity and
// state.found to 0, then walks the volume tree depth first, first child before
// second, skipping subtrees whose box the sphere cannot reach, and records each
// leaf's contact:
//   - the first one sets nearestTime and contactNormal and appends its triangle
//     to hitTriangles (which is not emptied first);
//   - one within SIMULTANEOUS_HIT_TOLERANCE of nearestTime adds its normal and
//     appends its triangle, nearestTime unchanged;
//   - an earlier one replaces nearestTime, contactNormal and the list;
//   - a later one changes nothing.
// Returns 1 when any leaf test reported contact, else 0, in which case
// contactNormal and hitTriangles are as they were. A scene without a root
// finds nothing; a leaf whose triangle or vertex indices lie outside the
// scene's arrays is skipped; trees of any depth are safe (no recursion).
//
// A scene with a compiled tree (from the reader or the scene builder) is
// walked in that form, which also skips boxes that can hold only contacts the
// records above would ignore, and, for a step longer than the sphere's
// diameter with hitTriangles empty, may walk nearer boxes first and record
// the contacts in the order above at the end: the same results bit for bit.
// Either way the query only reads the scene.
//
// state.contacts receives this query's contacts at nearestTime, in the order
// recorded, each with its feature and its point on the triangle.
//
// Queries on one scene may run on several threads at once, each with its own
// state (and stats record): the same results as on one thread.
//
// options choose the edge test, the sides faces stop from and the tolerance
// (see SweepOptions); the default is the viewer's rule with one-sided faces,
// stopping DEFAULT_SWEEP_TOLERANCE short. With options.stats set the walks
// that run count their work there (the nearer-first walk, and the ordered
// one after it on the rare sweep whose contacts it cannot order).
std::int32_t sweepQuery(const CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options = {});

// The walk of sweepQuery's linked tree from node (not null) down, without the
// reset, filling the boxes' cached bounds on first use: returns nonzero when a
// leaf test below node reported contact.
std::int32_t sweepNode(CollisionMesh& scene, VolumeNode& node, const SweptSphere& sphere,
                       ContactState& state, SweepOptions options = {});

}  // namespace sweepview
