#include "scene/compiled_tree.h"

#include <cmath>

#include "scene/collision_mesh.h"
#include "scene/node_stack.h"

namespace {

bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

CompiledNode compileNode(const VolumeNode& node, const std::vector<bool>& valid) {
    NodeBox box = node.box;
    box.updateBounds();
    std::int32_t triangle = COMPILED_INNER;
    if (node.left == nullptr) {
        triangle = validIndex(node.triangle, valid.size()) &&
                           valid[static_cast<std::size_t>(node.triangle)]
                       ? node.triangle
                       : COMPILED_SKIPPED;
    }
    return {box.boundsMin, 0, box.boundsMax, triangle};
}

// Whether the pool holds the tree in walk order: each inner node's first child
// right after it (the reader's and the builder's layout).
bool poolInWalkOrder(const CollisionMesh& scene) {
    const NodePool& pool = scene.nodePool;
    if (pool.empty() || scene.root != &pool[0]) {
        return false;
    }
    for (std::size_t i = 0; i < pool.size(); ++i) {
        const VolumeNode& node = pool[i];
        if (node.left != nullptr &&
            (node.left != &pool[i + 1] || node.right == nullptr || node.right < &pool[0] ||
             node.right >= &pool[0] + pool.size())) {
            return false;
        }
    }
    return true;
}

// Each leaf's prepared triangle, stored in walk order (the leaf keeps its
// index where an inner node keeps its second child), so the leaves a sweep
// reaches together find their triangles together in memory.
void prepareLeafTriangles(const CollisionMesh& scene, CompiledTree& tree) {
    std::size_t leaves = 0;
    for (const CompiledNode& node : tree.nodes) {
        leaves += node.triangle >= 0 ? 1 : 0;
    }
    tree.triangles.reserve(leaves);
    for (CompiledNode& node : tree.nodes) {
        if (node.triangle < 0) {
            continue;
        }
        const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(node.triangle)];
        Triangle triangle;
        triangle.init(scene.vertices[static_cast<std::size_t>(t.vertex0)],
                      scene.vertices[static_cast<std::size_t>(t.vertex1)],
                      scene.vertices[static_cast<std::size_t>(t.vertex2)]);
        node.secondChild = static_cast<std::uint32_t>(tree.triangles.size());
        tree.triangles.push_back(prepareTriangle(triangle));
        for (const Vec3& corner : triangle.corners) {
            // Written so that a non-number is kept (std::max would drop it).
            for (const float value :
                 {std::fabs(corner.x), std::fabs(corner.y), std::fabs(corner.z)}) {
                tree.largestCoordinate = value > tree.largestCoordinate || value != value
                                             ? value
                                             : tree.largestCoordinate;
            }
        }
    }
}

}  // namespace

std::unique_ptr<CompiledTree> compileTree(const CollisionMesh& scene) {
    if (scene.root == nullptr) {
        return nullptr;
    }
    auto tree = std::make_unique<CompiledTree>();
    const std::size_t vertexCount = scene.vertices.size();
    std::vector<bool> valid(scene.triangles.size());
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        const MeshTriangle& t = scene.triangles[i];
        valid[i] = validIndex(t.vertex0, vertexCount) && validIndex(t.vertex1, vertexCount) &&
                   validIndex(t.vertex2, vertexCount);
    }
    if (poolInWalkOrder(scene)) {
        const NodePool& pool = scene.nodePool;
        tree->nodes.reserve(pool.size());
        for (const VolumeNode& node : pool) {
            tree->nodes.push_back(compileNode(node, valid));
            if (node.left != nullptr) {
                tree->nodes.back().secondChild = static_cast<std::uint32_t>(node.right - &pool[0]);
            }
        }
        prepareLeafTriangles(scene, *tree);
        return tree;
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
                tree->nodes[next.parent].secondChild =
                    static_cast<std::uint32_t>(tree->nodes.size());
            }
            tree->nodes.push_back(compileNode(*node, valid));
            if (node->left != nullptr && node->right != nullptr) {
                pending.push_back({node->right, tree->nodes.size() - 1});
            }
        }
    }
    prepareLeafTriangles(scene, *tree);
    return tree;
}

void compileScene(CollisionMesh& scene) { scene.compiled = compileTree(scene); }
