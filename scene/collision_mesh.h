#pragma once

#include <memory>
#include <vector>

#include "../geometry/vec3.h"
#include "compiled_tree.h"
#include "mesh_triangle.h"
#include "volume_node.h"

namespace sweepview {

// The scene: a triangle mesh and the volume tree over its triangles. A new
// mesh is empty (no root, no arrays). A loaded one keeps these invariants, on
// which the query and the drawing rely: the root exists; every node is an
// inner node with two children and NO_TRIANGLE or a leaf with none and a valid
// triangle index; every vertex index is valid; each box encloses its subtree.
class CollisionMesh {
public:
    VolumeNode* root = nullptr;  // owning
    std::vector<Vec3> vertices;
    std::vector<Vec3> auxVectors;  // carried from the file, read by nobody
    std::vector<MeshTriangle> triangles;
    // When set, every node of the tree lives here, in pre-order (root first),
    // allocated at once: the reader's layout, which a walk reads in order.
    // When empty, the nodes were allocated one by one and root owns them.
    NodePool nodePool;
    // The tree as the query walks it, when set (the reader and the scene
    // builder set it): queries then only read the scene. Whoever changes the
    // scene afterwards compiles it again (compileScene) or clears this.
    std::unique_ptr<CompiledTree> compiled;

    CollisionMesh() = default;
    CollisionMesh(const CollisionMesh&) = delete;
    CollisionMesh& operator=(const CollisionMesh&) = delete;

    // Frees the tree (children before parents, or the pool at once), then
    // triangles, auxVectors and vertices.
    ~CollisionMesh();
};

}  // namespace sweepview
