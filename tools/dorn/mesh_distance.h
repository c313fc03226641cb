#pragma once

#include "scene/collision_mesh.h"

// A point in double precision, for measuring how the float collision did.
struct DoublePoint {
    double x;
    double y;
    double z;
};

// The distance, in double precision, from point to the nearest point of any
// triangle of scene, found through the volume tree (a box further away than
// the nearest triangle so far is skipped; the boxes must enclose their
// subtrees). Triangles with non-number corners are left out; +infinity when
// no triangle counts.
double distanceToMesh(const CollisionMesh& scene, const DoublePoint& point);
