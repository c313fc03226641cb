#pragma once

#include <cstdint>

#include "scene/collision_mesh.h"

namespace sweepview {

// A point or vector in double precision, for measuring how the float
// collision did.
struct DoublePoint {
    double x;
    double y;
    double z;
};

inline DoublePoint toDouble(const Vec3& v) { return DoublePoint{v.x, v.y, v.z}; }
inline DoublePoint operator+(const DoublePoint& a, const DoublePoint& b) {
    return DoublePoint{a.x + b.x, a.y + b.y, a.z + b.z};
}
inline DoublePoint operator-(const DoublePoint& a, const DoublePoint& b) {
    return DoublePoint{a.x - b.x, a.y - b.y, a.z - b.z};
}
inline DoublePoint operator*(const DoublePoint& a, double s) {
    return DoublePoint{a.x * s, a.y * s, a.z * s};
}
inline double dotP(const DoublePoint& a, const DoublePoint& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline DoublePoint crossP(const DoublePoint& a, const DoublePoint& b) {
    return DoublePoint{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The box of the scene's vertices (all zero without vertices); what the
// simulator and the audit call leaving the scene.
void sceneBounds(const CollisionMesh& scene, Vec3& min, Vec3& max);

// The distance, in double precision, from point to the triangle of scene
// that the library's closestPoint finds nearest to point rounded to float
// (through the compiled tree, or over every triangle without one), measured
// again in double: the true nearest distance, or, where another triangle is
// as near to within float's rounding, above it by at most that rounding.
// Triangles with non-number corners or invalid vertex indices are left out;
// +infinity when no triangle counts, or for a point beyond float's range.
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
// smallest index among ones equally near in float) and the feature it lies on.
MeshNearest nearestOnMesh(const CollisionMesh& scene, const DoublePoint& point);

// The same for one triangle (valid vertex indices assumed); +infinity for an
// index outside the scene's triangles.
MeshNearest nearestOnTriangle(const CollisionMesh& scene, std::int32_t triangle,
                              const DoublePoint& point);

}  // namespace sweepview
