#include "scene/compiled_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// Whether every contact the sweep tests can report on t lies within rounding
// of t, which the query's pruning margin (a ten-thousandth of the scene's
// coordinates) covers: a unit normal; corners off the plane through the first
// by no more than a hundred-thousandth of their coordinates (Newell's sums of
// coordinates leave the normal of a small triangle far from the origin that
// far off); and an area of at least 1/50 of the longest edge squared, so that
// the face test's barycentric coordinates, divided by the area in its
// projection (at least 1/sqrt(3) of it), keep their rounding as small. A
// sliver or a degenerate triangle can pass the face test far from its corners.
bool contactsStayNear(const PreparedTriangle& t) {
    const Vec3& n = t.normal;
    if (!(std::fabs(dot(n, n) - 1.0f) <= 1e-5f)) {
        return false;
    }
    float extent = std::max({t.edges[0].length, t.edges[1].length, t.edges[2].length});
    const float longest = extent;
    for (const Vec3& c : t.corners) {
        extent = std::max({extent, std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)});
    }
    const Vec3 e1 = t.corners[1] - t.corners[0];
    const Vec3 e2 = t.corners[2] - t.corners[0];
    const Vec3 area = cross(e1, e2);
    const float flatness = 1e-5f * extent;
    return dot(area, area) >= 4e-4f * longest * longest * longest * longest &&
           std::fabs(dot(n, e1)) <= flatness && std::fabs(dot(n, e2)) <= flatness;
}

// Whether the node's box holds p, give or take slop.
bool boundsHold(const CompiledNode& node, const Vec3& p, float slop) {
    return node.boundsMin.x - slop <= p.x && p.x <= node.boundsMax.x + slop &&
           node.boundsMin.y - slop <= p.y && p.y <= node.boundsMax.y + slop &&
           node.boundsMin.z - slop <= p.z && p.z <= node.boundsMax.z + slop;
}

// Whether parent's box holds child's and every contact under it (for a
// leaf: its corners, and its triangle is one whose contacts stay near it),
// give or take slop.
bool childHeld(const CompiledTree& tree, const CompiledNode& parent, const CompiledNode& child,
               float slop) {
    if (child.triangle == COMPILED_SKIPPED) {
        return true;  // never tested
    }
    if (child.triangle >= 0) {
        const PreparedTriangle& t = tree.triangles[child.secondChild];
        return contactsStayNear(t) && boundsHold(parent, t.corners[0], slop) &&
               boundsHold(parent, t.corners[1], slop) && boundsHold(parent, t.corners[2], slop);
    }
    return child.triangle == COMPILED_INNER && boundsHold(parent, child.boundsMin, slop) &&
           boundsHold(parent, child.boundsMax, slop);
}

// Marks COMPILED_INNER_LOOSE the inner nodes whose box may miss a contact
// under it. Boxes kept as a centre and half-extents (as files keep them) can
// miss their corners by a rounding, so a box may miss by a hundred-thousandth
// of the coordinates (a tenth of the margin the query grows them by). Children
// come after their parent in walk order, so one pass from the end decides
// each child before its parent; a second child before its parent (not a tree
// in walk order) makes the parent loose.
void markLooseNodes(CompiledTree& tree) {
    const float slop = 1e-5f * tree.largestCoordinate;
    const bool finite = slop <= std::numeric_limits<float>::max();
    for (std::size_t i = tree.nodes.size(); i-- > 0;) {
        CompiledNode& node = tree.nodes[i];
        if (node.triangle != COMPILED_INNER) {
            continue;
        }
        const std::size_t second = node.secondChild;
        const bool held = finite && i + 1 < tree.nodes.size() &&
                          childHeld(tree, node, tree.nodes[i + 1], slop) &&
                          (second == 0 || (second > i && second < tree.nodes.size() &&
                                           childHeld(tree, node, tree.nodes[second], slop)));
        if (!held) {
            node.triangle = COMPILED_INNER_LOOSE;
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
        markLooseNodes(*tree);
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
    markLooseNodes(*tree);
    return tree;
}

void compileScene(CollisionMesh& scene) { scene.compiled = compileTree(scene); }
