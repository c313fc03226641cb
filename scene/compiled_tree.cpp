#include "scene/compiled_tree.h"

#include "scene/collision_mesh.h"
#include "scene/node_stack.h"

namespace {

bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

}  // namespace

std::unique_ptr<CompiledTree> compileTree(const CollisionMesh& scene) {
    if (scene.root == nullptr) {
        return nullptr;
    }
    auto tree = std::make_unique<CompiledTree>();
    const std::size_t vertexCount = scene.vertices.size();
    tree->triangles.resize(scene.triangles.size());
    std::vector<bool> valid(scene.triangles.size());
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        const MeshTriangle& t = scene.triangles[i];
        valid[i] = validIndex(t.vertex0, vertexCount) && validIndex(t.vertex1, vertexCount) &&
                   validIndex(t.vertex2, vertexCount);
        if (valid[i]) {
            Triangle& triangle = tree->triangles[i];
            triangle.init(scene.vertices[t.vertex0], scene.vertices[t.vertex1], scene.vertices[t.vertex2]);
            triangle.normal();  // cached: the query's tests only read it
        }
    }
    // Pre-order, first child before second, as the query walks: each node
    // waits on the stack with the index of its parent, whose second child
    // it is (or the root's marker).
    struct Pending {
        const VolumeNode* node;
        std::size_t parent;
    };
    constexpr std::size_t NONE = ~std::size_t(0);
    std::vector<Pending> pending{{scene.root, NONE}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        for (const VolumeNode* node = next.node; node != nullptr; node = node->left) {
            if (node == next.node && next.parent != NONE) {
                tree->nodes[next.parent].secondChild = static_cast<std::uint32_t>(tree->nodes.size());
            }
            NodeBox box = node->box;
            box.updateBounds();
            std::int32_t triangle = COMPILED_INNER;
            if (node->left == nullptr) {
                triangle = validIndex(node->triangle, valid.size()) && valid[node->triangle]
                               ? node->triangle
                               : COMPILED_SKIPPED;
            }
            tree->nodes.push_back({box.boundsMin, 0, box.boundsMax, triangle});
            if (node->left != nullptr && node->right != nullptr) {
                pending.push_back({node->right, tree->nodes.size() - 1});
            }
        }
    }
    return tree;
}

void compileScene(CollisionMesh& scene) { scene.compiled = compileTree(scene); }
