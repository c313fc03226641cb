#include "tools/dorn/start_clearance.h"

namespace sweepview {

Clearance clearanceAt(const CollisionMesh& scene, const MeshParts& parts,
                      const DoublePoint& point) {
    const MeshNearest nearest = nearestOnMesh(scene, point);
    Clearance clearance;
    clearance.distance = nearest.distance;
    clearance.triangle = nearest.triangle;
    clearance.solidPart = solidPartAt(scene, parts, point);
    return clearance;
}

}  // namespace sweepview
