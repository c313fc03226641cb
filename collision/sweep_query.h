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
// contactNormal and hitTriangles are as they were. Fills the boxes' cached
// bounds, the only change to the scene. Walks without recursion, so trees of
// any depth are safe; a scene without a root finds nothing, and a leaf whose
// triangle or vertex indices lie outside the scene's arrays is skipped.
//
// A scene with a compiled tree (CollisionMesh::compiled: one from the reader or
// the scene builder) is walked in that form, with the same results bit for
// bit and without touching the boxes' caches.
//
// Threads: queries on one scene may run on several threads at once, each with
// its own state, while queryCounters is null and the tolerance does not
// change, when the scene has a compiled tree or every box's cache is filled
// (fillBoundsCaches: for a scene built by hand, before the threads start).
// They then only read the scene and give the same results as on one thread.
//
// options choose the edge test and the sides faces stop from (see EdgeRule,
// FaceSides); the default is the viewer's rule with one-sided faces, and an
// EdgeRule alone keeps faces one-sided. The compiled walk leaves untested a
// subtree whose box holds its triangles' contacts, and a leaf's triangle, when
// every contact in it would come after the nearest contact found plus
// SIMULTANEOUS_HIT_TOLERANCE (one recordContact would ignore), so the result
// is the same: when the sweep enters the box grown by how far a contact can
// place the centre from its triangle (the radius with the exact rule, twelve
// with the viewer's) only after that time, or when the box lies wholly ahead
// of the centre at that time by more than the radius along the path (with
// either rule: the viewer's slanted edge contacts lie far sideways, never
// further back), or, with the exact rule, lies further from the start than
// the centre travels by then plus the radius. Such a box is also left
// untested, from the first box on, when it lies wholly behind the plane
// through the start square to the step: every edge, corner and face test
// meets only points the sphere moves towards, so no contact lies there. With
// queryCounters set it tests them all, as they count.
std::int32_t sweepQuery(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                        SweepOptions options = {});

// The same query, recording into the program's contactState (one thread only).
std::int32_t sweepQuery(CollisionMesh& scene, const SweptSphere& sphere);

// The walk of sweepQuery from node (not null) down, without the reset: returns
// nonzero when a leaf test below node reported contact.
std::int32_t sweepNode(CollisionMesh& scene, VolumeNode& node, const SweptSphere& sphere,
                       ContactState& state, SweepOptions options = {});

}  // namespace sweepview
