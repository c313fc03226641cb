#pragma once

#include <cstdint>

#include "scene/collision_mesh.h"
#include "tools/dorn/mesh_parts.h"

namespace sweepview {

// The viewer's sphere before it first moves.
inline constexpr Vec3 VIEWER_START{0.0f, 12.5f, 0.0f};
inline constexpr float VIEWER_RADIUS = 2.5f;

// How a point stands to the mesh: its distance in double precision, the
// triangle that distance is to, and the closed part whose solid holds it.
struct Clearance {
    double distance = 0;         // +infinity without triangles
    std::int32_t triangle = -1;  // the nearest triangle; -1 without one
    std::int32_t solidPart = -1;  // an index into MeshParts::parts; -1 outside every solid
    bool solid() const { return solidPart >= 0; }
    // Room for a sphere of radius here: far enough from the mesh, not in its solid.
    bool clearFor(double radius) const { return distance >= radius && !solid(); }
};

// The clearance of point in scene, as nearestOnMesh measures it (through the
// compiled tree when scene has one, over every triangle otherwise: cheap for
// a point or two, and spares building a tree). Only reads scene.
Clearance clearanceAt(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point);

}  // namespace sweepview
