#pragma once

#include "tools/dorn/mesh_distance.h"

namespace sweepview {

// The mesh feature an overlap began at; a face by the side of its plane the
// centre was on.
enum class OverlapFeature { FaceFromBehind, Edge, Corner, FaceFromFront };

// How a step that ended overlapping the mesh (its centre closer than radius)
// came to: the sphere already overlapped at the step's start; or, on a
// straight step, the feature it first touched; or, on a step with contacts
// (which ends at its last contact), the feature nearest the centre at the end.
struct OverlapStart {
    bool fromStart = false;
    bool atContact = false;
    OverlapFeature feature = OverlapFeature::FaceFromFront;
    MeshNearest nearest;  // the mesh point involved (its triangle is -1 from the start)
};

// before and after: the centre at the step's start and end.
OverlapStart overlapStart(const CollisionMesh& scene, const Vec3& before, const Vec3& after,
                          bool hadContacts, double radius);

// "face from behind", "edge", "corner" or "face from the front".
const char* overlapFeatureName(OverlapFeature feature);

}  // namespace sweepview
