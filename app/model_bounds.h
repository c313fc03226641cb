#pragma once

#include <vector>

#include "geometry/vec3.h"
#include "scene/collision_mesh.h"

namespace sweepview {

// An axis-aligned box by its corners; empty while min exceeds max.
struct Bounds {
    Vec3 min{INFINITY, INFINITY, INFINITY};
    Vec3 max{-INFINITY, -INFINITY, -INFINITY};
};

// What the viewer frames and shades apart: the enclosing room, when the mesh
// has one, and the model inside it.
struct ModelParts {
    std::vector<bool> inRoom;  // per triangle
    Bounds scene;              // every vertex a triangle uses
    Bounds model;              // the triangles outside the room; the scene's when there is no room
    bool hasRoom = false;
};

// Finds an enclosing room: the triangles lying in a face plane of the scene's
// bounds and facing inwards, when all six faces have some (a closed box such
// as `dorn build --room` adds). Anything else, a terrain's flat rim say, is
// model. Non-number coordinates are left out of the bounds.
ModelParts findModelParts(const CollisionMesh& scene);

// The centre of a box and the radius of the sphere through its corners (at
// least `smallest`, so a point or a flat model still has a size to frame).
Vec3 boundsCentre(const Bounds& bounds);
float boundsRadius(const Bounds& bounds, float smallest);

}  // namespace sweepview
