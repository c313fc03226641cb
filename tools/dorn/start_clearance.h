#pragma once

#include "scene/collision_mesh.h"
#include "tools/dorn/mesh_parts.h"

namespace sweepview {

// The viewer's sphere before it first moves.
inline constexpr Vec3 VIEWER_START{0.0f, 12.5f, 0.0f};
inline constexpr float VIEWER_RADIUS = 2.5f;

// How a point stands to the mesh: its distance in double precision and
// whether it lies in a closed part's solid.
struct Clearance {
    double distance = 0;  // +infinity without triangles
    bool solid = false;
    // Room for a sphere of radius here: far enough from the mesh, not in its solid.
    bool clearFor(double radius) const { return distance >= radius && !solid; }
};

// The clearance of point in scene, through the volume tree when scene has
// one, over every triangle otherwise (cheap for a point or two, and spares
// building a tree). Only reads scene.
Clearance clearanceAt(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point);

}  // namespace sweepview
