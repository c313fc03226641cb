#include "tools/dorn/overlap_cause.h"

namespace sweepview {

namespace {

DoublePoint along(const Vec3& from, const Vec3& to, double t) {
    return toDouble(from) + (toDouble(to) - toDouble(from)) * t;
}

// The mesh point the sphere first touched moving straight from `from` (clear)
// to `to` (overlapping): the first of 256 samples that overlaps, then halving.
MeshNearest firstTouch(const CollisionMesh& scene, const Vec3& from, const Vec3& to, double radius,
                       DoublePoint& centre) {
    double clear = 0.0;
    double touching = 1.0;
    for (int k = 1; k <= 256; ++k) {
        if (distanceToMesh(scene, along(from, to, k / 256.0)) < radius) {
            touching = k / 256.0;
            break;
        }
        clear = k / 256.0;
    }
    for (int i = 0; i < 40; ++i) {
        const double middle = 0.5 * (clear + touching);
        (distanceToMesh(scene, along(from, to, middle)) < radius ? touching : clear) = middle;
    }
    centre = along(from, to, touching);
    return nearestOnMesh(scene, centre);
}

OverlapFeature featureOf(const CollisionMesh& scene, const MeshNearest& nearest,
                         const DoublePoint& centre) {
    if (nearest.feature != MeshFeature::Face) {
        return nearest.feature == MeshFeature::Edge ? OverlapFeature::Edge : OverlapFeature::Corner;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(nearest.triangle)];
    const DoublePoint a = toDouble(scene.vertices[static_cast<std::size_t>(t.vertex0)]);
    const DoublePoint b = toDouble(scene.vertices[static_cast<std::size_t>(t.vertex1)]);
    const DoublePoint c = toDouble(scene.vertices[static_cast<std::size_t>(t.vertex2)]);
    return dotP(crossP(b - a, c - a), centre - a) > 0 ? OverlapFeature::FaceFromFront
                                                      : OverlapFeature::FaceFromBehind;
}

}  // namespace

OverlapStart overlapStart(const CollisionMesh& scene, const Vec3& before, const Vec3& after,
                          bool hadContacts, double radius) {
    OverlapStart start;
    if (distanceToMesh(scene, toDouble(before)) < radius) {
        start.fromStart = true;
        return start;
    }
    start.atContact = hadContacts;
    DoublePoint centre = toDouble(after);
    start.nearest = hadContacts ? nearestOnMesh(scene, centre)
                                : firstTouch(scene, before, after, radius, centre);
    if (start.nearest.triangle >= 0) {
        start.feature = featureOf(scene, start.nearest, centre);
    }
    return start;
}

const char* overlapFeatureName(OverlapFeature feature) {
    constexpr const char* NAMES[] = {"face from behind", "edge", "corner", "face from the front"};
    return NAMES[static_cast<int>(feature)];
}

}  // namespace sweepview
