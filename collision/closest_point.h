#pragma once

#include <cstdint>

#include "../geometry/vec3.h"
#include "../scene/collision_mesh.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// The point of a mesh nearest to a query point.
struct ClosestPoint {
    bool found = false;          // a triangle lies within maxDistance
    Vec3 point;                  // the nearest point of the mesh
    std::int32_t triangle = -1;  // its triangle (the smallest index among equally near ones)
    ContactFeature feature = ContactFeature::Face;  // the part of the triangle point lies on
    float distance = 0.0f;                          // from the query point to point
};

// The point of scene's triangles nearest to point, when one lies within
// maxDistance (distance <= maxDistance: exactly maxDistance is found);
// otherwise found is false and the other fields keep their defaults.
// Nearness is the squared distance computed in float, each triangle's point
// as closestPointOnTriangle gives it (collision/triangle_closest_point.h: a
// triangle without area counts as its edges and corners); among equally near
// triangles the smallest index wins, so the result does not depend on the
// tree's shape, and is the one trying every triangle would give, bit for bit.
// A non-number maxDistance, a negative one, or a point with a non-number or
// infinite coordinate finds nothing; an infinite maxDistance searches the
// whole mesh (a distance whose square overflows float, beyond about 1e19,
// comes out infinite). Triangles with invalid vertex indices, and with non-number or
// infinite corners, are skipped. A compiled scene (scene.compiled) is
// searched through its tree, boxes further than the nearest triangle so far
// skipped (loose boxes never); a scene without one by trying every triangle
// of scene.triangles. Only reads the scene: safe on several threads at once.
ClosestPoint closestPoint(const CollisionMesh& scene, Vec3 point, float maxDistance);

// The same among the triangles that could stop a sphere centred at point:
// with FaceSides::Two every triangle; with any other value only those whose
// plane point lies on or in front of (on the side their normal points to:
// dot(normal, point - first corner) >= 0 for the normal the sweep uses); a
// triangle without area, whose normal is not a number, always counts.
ClosestPoint closestPoint(const CollisionMesh& scene, Vec3 point, float maxDistance,
                          FaceSides sides);

}  // namespace sweepview
