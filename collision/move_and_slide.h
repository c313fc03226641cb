#pragma once

#include <cstdint>
#include <vector>

#include "../geometry/vec3.h"
#include "../scene/collision_mesh.h"
#include "sweep_setup.h"

namespace sweepview {

struct QueryCounters;

// How a character's sphere meets the mesh when it moves and slides.
// skin: the gap kept between the sphere and every surface it touches (also the
// sweeps' tolerance, at least MIN_COLLISION_EPSILON). iterations: the most
// sweeps one move makes before it gives up the rest of the motion. A face or
// contact whose normal lies within maxSlopeDegrees of up is a floor, a steeper
// one a wall. stepHeight: how high a blocked move on a floor may step up.
// floorSnap: how far a sphere that stood on a floor is pulled down to stay on
// it. up: unit, against gravity. stats: as SweepOptions::stats, for every sweep.
struct SlideSettings {
    float skin = 0.001f;
    int iterations = 5;
    float maxSlopeDegrees = 45.0f;
    float stepHeight = 0.0f;
    float floorSnap = 0.0f;
    Vec3 up{0.0f, 1.0f, 0.0f};
    EdgeRule edges = EdgeRule::Exact;
    FaceSides faces = FaceSides::One;
    QueryCounters* stats = nullptr;
};

// Where one move of the sphere ended and what it stands on.
struct SlideResult {
    Vec3 position;               // the centre at the end
    bool onFloor = false;        // a short probe down meets a floor
    Vec3 floorNormal;            // that floor's normal (as contacts are answered); zero off a floor
    int contacts = 0;            // contacts met by the move's sweeps, push-outs included
    int iterations = 0;          // sweeps of the slide itself (at most settings.iterations)
    std::vector<std::int32_t> triangles;  // the triangles met, in order, duplicates kept
};

// Moves a sphere of radius from position by displacement through scene,
// sliding along what it meets. A start overlapping the mesh is first pushed
// out along the nearest point's normal to radius + skin; one whose centre lies
// behind a face it overlaps (inside a closed solid, under a floor) is pushed
// through to that face's front unless faces are two-sided. Each contact puts the
// centre radius + skin from the contact point along the contact normal (an
// edge or corner that holds the sphere back with a normal leaning up pushes it
// out level instead, so it is not lifted off its floor); the rest of the
// motion then loses its part into the contact: on a floor the horizontal part
// goes on along the floor and the vertical part is dropped; on a wall
// horizontal motion into it is clipped against its horizontal normal, never
// turned back against the move's horizontal heading (it stops instead, as in
// an obtuse corner), and only downward motion slides along it; against two
// contacts the motion follows their crease, against three it stops.
//
// An edge or corner met more than stepHeight (plus the skin) above the
// sphere's lowest point, on top of a face too steep to stand on that faces
// the sphere, is a ledge: a wall whatever its contact normal, so the rounded
// bottom does not roll up stairs higher than stepHeight. Edges between faces
// that can be stood on (crests, ridges, seams) stay floors.
//
// With onFloorBefore (the previous move ended on a floor) downward motion on
// that floor is dropped before the move, so a standing sphere does not creep
// down a slope; a move a wall blocks may step up to stepHeight (rise, walk the
// horizontal motion, come down on a floor; a stair edge too steep to stand on
// is walked over by as little as puts it within the slope below the centre,
// else up to a radius further, taken only when it lands higher);
// a move that walked off the floor is snapped down by up to floorSnap onto a
// floor below; a standing sphere that ends a hair above its floor is put down
// on it where nothing else is in the way. A contact normal within about 6 degrees of its triangle's is
// answered with the triangle's, so the seams of a flat floor neither lift nor
// tilt the motion (an edge's contact still leaves the centre radius + skin
// from the edge, not from the triangle's plane). A move that met something
// and ends less than a tenth of the skin from its start, or within the skin
// of it and less than that tenth further along its motion, stays at its start
// (unless the start overlapped the mesh), so a sphere pushed into a corner or
// wedged between slopes is still. Every sweep goes through sweepFirst, so
// results are the same bits on every run. A non-number or infinite position,
// displacement or radius returns position unmoved.
SlideResult moveAndSlide(const CollisionMesh& scene, Vec3 position, float radius, Vec3 displacement,
                         bool onFloorBefore, const SlideSettings& settings = {});

}  // namespace sweepview
