#include "tools/dorn/start_clearance.h"

#include <cmath>

namespace sweepview {

Clearance clearanceAt(const CollisionMesh& scene, const MeshParts& parts,
                      const DoublePoint& point) {
    Clearance clearance;
    if (scene.root != nullptr) {
        clearance.distance = distanceToMesh(scene, point);
    } else {
        clearance.distance = INFINITY;
        for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
            // A triangle with non-numbers gives a non-number, which never wins.
            clearance.distance =
                std::fmin(clearance.distance,
                          nearestOnTriangle(scene, static_cast<std::int32_t>(t), point).distance);
        }
    }
    clearance.solid = inSolid(scene, parts, point);
    return clearance;
}

}  // namespace sweepview
