#pragma once

#include <cstdint>

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

// Which part of a triangle a nearest point lies on.
enum class MeshFeature { Face, Edge, Corner };

struct MeshNearest {
    double distance = 0;  // +infinity when no triangle counts
    std::int32_t triangle = -1;
    DoublePoint point{0, 0, 0};
    MeshFeature feature = MeshFeature::Face;
};

// The nearest point itself, as distanceToMesh finds it, with its triangle (the
// first one found among equally near ones) and the feature it lies on.
MeshNearest nearestOnMesh(const CollisionMesh& scene, const DoublePoint& point);

// The same for one triangle (valid vertex indices assumed); +infinity for an
// index outside the scene's triangles.
MeshNearest nearestOnTriangle(const CollisionMesh& scene, std::int32_t triangle,
                              const DoublePoint& point);
