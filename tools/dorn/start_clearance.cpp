#include "tools/dorn/start_clearance.h"

namespace sweepview {

namespace {

MeshNearest nearestByEveryTriangle(const CollisionMesh& scene, const DoublePoint& point) {
    MeshNearest nearest = nearestOnTriangle(scene, -1, point);  // +infinity, no triangle
    for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
        const MeshNearest candidate = nearestOnTriangle(scene, static_cast<std::int32_t>(t), point);
        if (candidate.distance < nearest.distance) {  // a non-number never wins
            nearest = candidate;
        }
    }
    return nearest;
}

}  // namespace

Clearance clearanceAt(const CollisionMesh& scene, const MeshParts& parts,
                      const DoublePoint& point) {
    const MeshNearest nearest =
        scene.root != nullptr ? nearestOnMesh(scene, point) : nearestByEveryTriangle(scene, point);
    Clearance clearance;
    clearance.distance = nearest.distance;
    clearance.triangle = nearest.triangle;
    clearance.solidPart = solidPartAt(scene, parts, point);
    return clearance;
}

}  // namespace sweepview
