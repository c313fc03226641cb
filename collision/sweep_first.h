#pragma once

#include <cstdint>
#include <span>

#include "../geometry/swept_sphere.h"
#include "../scene/collision_mesh.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// The first contact of a swept sphere, as an engine's character or
// projectile asks for it.
struct SweepHit {
    bool found = false;  // the sphere meets the mesh during the motion
    // Fraction of the displacement at the contact, stopped the tolerance
    // short as the triangle tests give it; 1 when nothing is met.
    float time = 1.0f;
    // Unit, from the mesh towards the sphere: the contact's normal; for a
    // sphere that starts inside (startsInside), found or not, the way out of
    // that overlap instead, as engines report a start in penetration.
    Vec3 normal;
    Vec3 point;                 // where the sphere touches the triangle
    std::int32_t triangle = -1;  // the scene's index of that triangle
    ContactFeature feature = ContactFeature::Face;
    bool backFace = false;  // the triangle's normal points along the motion
    // The start centre lies closer than the radius to a triangle that may
    // stop the sphere (any triangle with FaceSides::Two; with One or Cull one
    // whose plane the centre lies on or in front of, and any triangle without
    // area); depth is the radius less that distance. Reported whether or not
    // the motion meets anything: moving out of an overlap is free; moving
    // further into an edge or a corner it overlaps is met at time 0 with the
    // exact edge rule. A face is met only from in front of the plane the
    // sphere's nearest point starts on, so a sphere already through a face's
    // inside and moving deeper is not stopped by that face: startsInside is
    // what reports it. An infinite radius overlaps every such triangle, with
    // an infinite depth.
    bool startsInside = false;
    float depth = 0.0f;
};

// The earliest contact of sphere with scene's triangles under options (edge
// rule, face sides, tolerance; options.stats counts the walk's work): time,
// triangle, normal, point and feature of the triangle test with the smallest
// time (the normal the way out when the sphere starts inside, see SweepHit),
// ties going to the smallest triangle index, so the result does not depend
// on the tree's layout: found, time and triangle are those of a test of
// every triangle the tree names, bit for bit (for coordinates, radius and
// motion within about 1e4, where no product of the tests overflows). Only
// reads scene; a scene without a tree finds nothing. A non-number in the
// sphere finds what the triangle tests find (usually nothing); so does an
// infinite displacement, which meets what it meets at time 0 with a point
// or normal that may be non-numbers: check the motion is finite before
// trusting such a hit. A negative radius, too, gets what the triangle tests
// give it (a face is met by a leading point on the far side of the centre):
// pass its magnitude.
SweepHit sweepFirst(const CollisionMesh& scene, const SweptSphere& sphere, SweepOptions options = {});

// sweepFirst for every sphere, on up to `threads` threads (0 or less: one per
// core; the calling thread among them): hits[i] receives exactly
// sweepFirst(scene, spheres[i], options), whatever the thread count. hits must
// be as long as spheres (checked in debug builds; otherwise only the shorter
// length is swept). With options.stats set each thread counts its own work,
// added to the record before the call returns.
void sweepFirstBatch(const CollisionMesh& scene, std::span<const SweptSphere> spheres,
                     std::span<SweepHit> hits, int threads, SweepOptions options = {});

}  // namespace sweepview
