#include "scene/collision_mesh.h"

namespace sweepview {

CollisionMesh::~CollisionMesh() {
    if (nodePool.empty()) {
        destroyTree(root);
        return;
    }
    // Pooled nodes must not free one another: cut their links, and the pool
    // goes at once.
    for (VolumeNode& node : nodePool) {
        node.left = nullptr;
        node.right = nullptr;
    }
}

}  // namespace sweepview
