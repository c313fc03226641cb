#include "scene/compiled_tree.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "geometry/projection_axes.h"
#include "scene/collision_mesh.h"
#include "scene/node_stack.h"

namespace sweepview {

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
        tree.triangles.push_back({prepareTriangle(triangle), node.triangle});
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

// How far p lies outside the node's box along any axis: 0 inside, infinity
// for a non-number.
float outside(const CompiledNode& node, const Vec3& p) {
    const float gaps[] = {node.boundsMin.x - p.x, p.x - node.boundsMax.x, node.boundsMin.y - p.y,
                          p.y - node.boundsMax.y, node.boundsMin.z - p.z, p.z - node.boundsMax.z};
    float largest = 0.0f;
    for (const float gap : gaps) {
        largest = gap > largest || gap != gap ? gap : largest;
    }
    return largest == largest ? largest : std::numeric_limits<float>::infinity();
}

// While markLooseNodes runs, a decided inner node's triangle field holds its
// overhang, encoded below the marks (a float of 0 to infinity has the bits of
// a non-negative integer): kept in the node, it costs no memory of its own
// and no extra cache miss when the parent reads it.
constexpr std::int32_t OVERHANG_BASE = -16;

std::int32_t encodeOverhang(float overhang) {
    return OVERHANG_BASE - std::bit_cast<std::int32_t>(overhang);
}

float decodeOverhang(std::int32_t encoded) { return std::bit_cast<float>(OVERHANG_BASE - encoded); }

// How far beyond its corners a contact the sweep tests report on t can lie,
// beyond what the query's pruning margin covers: 0 when contactsStayNear, and
// for a triangle without a normal (its face test never passes; its edges and
// corners are met where they lie). Otherwise the face test's rounding decides:
// it projects the point of entry on the plane where the triangle has the most
// area (det, twice that area) and judges it inside by barycentric
// coordinates, whose rounding is a few float epsilons times L^2 / |det| (L the
// longest edge). That is about 4e-6 L^3 / |det| at worst beyond the edges,
// so 1e-5 of it is kept, plus twice the height of a corner off the plane
// through the first (the point of entry lies in that plane). Infinity for a
// normal not of unit length, or a triangle too thin (|det| below 1e-4 L^2)
// for that bound to hold.
float contactAllowance(const PreparedTriangle& t) {
    const Vec3& n = t.normal;
    if (n.x != n.x || n.y != n.y || n.z != n.z) {
        return 0.0f;
    }
    if (contactsStayNear(t)) {
        return 0.0f;
    }
    if (!(std::fabs(dot(n, n) - 1.0f) <= 1e-5f)) {
        return std::numeric_limits<float>::infinity();
    }
    // In double, so the bound itself does not round.
    const double e1[3] = {double(t.corners[1].x) - t.corners[0].x, double(t.corners[1].y) - t.corners[0].y,
                          double(t.corners[1].z) - t.corners[0].z};
    const double e2[3] = {double(t.corners[2].x) - t.corners[0].x, double(t.corners[2].y) - t.corners[0].y,
                          double(t.corners[2].z) - t.corners[0].z};
    const ProjectionAxes axes = projectionAxes(n);  // the face test's
    const int a = axes.first;
    const int b = axes.second;
    const double det = std::fabs(e1[a] * e2[b] - e1[b] * e2[a]);
    const double longest = std::max({t.edges[0].length, t.edges[1].length, t.edges[2].length});
    const double squared = longest * longest;
    if (!(det >= 1e-4 * squared)) {
        return std::numeric_limits<float>::infinity();
    }
    const double height = std::max(std::fabs(n.x * e1[0] + n.y * e1[1] + n.z * e1[2]),
                                   std::fabs(n.x * e2[0] + n.y * e2[1] + n.z * e2[2]));
    const double allowance = 1e-5 * longest * squared / det + 2.0 * height;
    // Rounded up, so the float never understates it.
    return std::nextafter(static_cast<float>(allowance), std::numeric_limits<float>::infinity());
}

// How far a contact with a triangle (its allowance from contactAllowance) can
// lie outside box.
float triangleOverhang(const CompiledNode& box, const PreparedTriangle& t, float allowance) {
    return std::max({outside(box, t.corners[0]), outside(box, t.corners[1]), outside(box, t.corners[2])}) +
           allowance;
}

// How far a contact with child's triangles can lie outside parent's box,
// beyond the contact tests' own rounding; allowances per prepared triangle.
float childOverhang(const CompiledTree& tree, const std::vector<float>& allowances,
                    const CompiledNode& parent, const CompiledNode& child) {
    if (child.triangle == COMPILED_SKIPPED) {
        return 0.0f;  // never tested
    }
    if (child.triangle >= 0) {
        return triangleOverhang(parent, tree.triangles[child.secondChild], allowances[child.secondChild]);
    }
    return std::max(outside(parent, child.boundsMin), outside(parent, child.boundsMax)) +
           decodeOverhang(child.triangle);
}

// Marks the leaves whose box holds their triangle's contacts, and the inner
// nodes by how far a contact under them can lie outside their box. Within a hundred-thousandth of the coordinates (a tenth of the
// margin the query grows boxes by) a node stays COMPILED_INNER: boxes kept
// as a centre and half-extents (as files keep them) can miss their corners by
// a rounding. Further, but by a finite distance, it is COMPILED_INNER_SLACK
// with that distance in tree.slack; without a bound, COMPILED_INNER_LOOSE.
// What a child sticks out is added to what lies outside the child, so the
// allowance does not grow with the depth. Children come after their parent in
// walk order, so one pass from the end decides each child before its parent;
// a second child before its parent (not a tree in walk order) makes the
// parent loose.
void markLooseNodes(CompiledTree& tree) {
    constexpr float NEVER = std::numeric_limits<float>::infinity();
    const std::size_t count = tree.nodes.size();
    std::vector<float> allowances(tree.triangles.size());
    for (std::size_t t = 0; t < allowances.size(); ++t) {
        allowances[t] = contactAllowance(tree.triangles[t]);
    }
    for (std::size_t i = count; i-- > 0;) {
        CompiledNode& node = tree.nodes[i];
        if (node.triangle != COMPILED_INNER) {
            continue;
        }
        const std::size_t second = node.secondChild;
        float overhang = i + 1 < count ? childOverhang(tree, allowances, node, tree.nodes[i + 1]) : NEVER;
        if (second != 0) {
            const bool ordered = second > i && second < count;
            overhang = std::max(overhang, ordered ? childOverhang(tree, allowances, node, tree.nodes[second])
                                                  : NEVER);
        }
        node.triangle = encodeOverhang(overhang);
    }
    const float slop = 1e-5f * tree.largestCoordinate;
    tree.boxedLeaves.assign(tree.triangles.size(), 0);
    for (const CompiledNode& leaf : tree.nodes) {
        if (leaf.triangle >= 0) {
            const float overhang =
                triangleOverhang(leaf, tree.triangles[leaf.secondChild], allowances[leaf.secondChild]);
            tree.boxedLeaves[leaf.secondChild] = overhang <= slop ? 1 : 0;
        }
    }
    tree.slack.clear();
    for (std::size_t i = 0; i < count; ++i) {
        CompiledNode& node = tree.nodes[i];
        if (node.triangle > OVERHANG_BASE) {
            continue;
        }
        const float overhang = decodeOverhang(node.triangle);
        if (overhang <= slop) {
            node.triangle = COMPILED_INNER;
        } else if (overhang < NEVER && slop == slop) {  // a non-number coordinate: loose
            node.triangle = COMPILED_INNER_SLACK;
            tree.slack.resize(count, 0.0f);
            tree.slack[i] = overhang;
        } else {
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
        buildWideNodes(*tree);
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
    buildWideNodes(*tree);
    return tree;
}

void compileScene(CollisionMesh& scene) { scene.compiled = compileTree(scene); }

std::size_t compiledTreeBytes(const CompiledTree& tree) {
    return tree.nodes.size() * sizeof(CompiledNode) +
           tree.triangles.size() * sizeof(CompiledTriangle) + tree.wide.size() * sizeof(WideNode) +
           tree.leafNodes.size() * sizeof(std::uint32_t) +
           tree.parents.size() * sizeof(std::uint32_t) + tree.slack.size() * sizeof(float) +
           tree.boxedLeaves.size();
}

namespace {

bool broken(std::string* why, std::size_t node, const char* what) {
    if (why != nullptr) {
        *why = "node " + std::to_string(node) + ": " + what;
    }
    return false;
}

}  // namespace

bool checkCompiledTree(const CompiledTree& tree, std::size_t sceneTriangles, std::string* why) {
    const std::size_t count = tree.nodes.size();
    const float slop = 1e-5f * tree.largestCoordinate;
    float largest = 0.0f;
    std::size_t prepared = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const CompiledNode& node = tree.nodes[i];
        if (node.triangle >= 0) {
            if (static_cast<std::size_t>(node.triangle) >= sceneTriangles) {
                return broken(why, i, "leaf triangle outside the scene");
            }
            if (node.secondChild != prepared || prepared >= tree.triangles.size()) {
                return broken(why, i, "leaf's prepared triangle not the next in walk order");
            }
            if (tree.triangles[prepared].sceneTriangle != node.triangle) {
                return broken(why, i, "leaf's prepared triangle names another scene triangle");
            }
            if (prepared < tree.boxedLeaves.size() && tree.boxedLeaves[prepared] != 0) {
                for (const Vec3& c : tree.triangles[prepared].corners) {
                    if (!(outside(node, c) <= slop)) {
                        return broken(why, i, "leaf marked as holding its triangle does not");
                    }
                }
            }
            for (const Vec3& c : tree.triangles[prepared].corners) {
                for (const float value : {std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)}) {
                    largest = value > largest || value != value ? value : largest;
                }
            }
            ++prepared;
            continue;
        }
        if (node.triangle == COMPILED_SKIPPED) {
            continue;
        }
        if (!isCompiledInner(node)) {
            return broken(why, i, "unknown mark");
        }
        if (i + 1 >= count || node.secondChild >= count) {
            return broken(why, i, "child outside the array");
        }
        if (node.triangle == COMPILED_INNER_LOOSE) {
            continue;  // its box promises nothing
        }
        const bool slack = node.triangle == COMPILED_INNER_SLACK;
        if (slack && (tree.slack.size() != count || !(tree.slack[i] > slop) ||
                      !(tree.slack[i] < std::numeric_limits<float>::infinity()))) {
            return broken(why, i, "slack missing or out of range");
        }
        const float allowed = slack ? tree.slack[i] : slop;
        if (node.secondChild != 0 && node.secondChild <= i) {
            return broken(why, i, "second child before its parent");
        }
        for (const std::size_t c : {i + 1, std::size_t{node.secondChild}}) {
            const CompiledNode& child = tree.nodes[c];
            if (c == 0 || child.triangle == COMPILED_SKIPPED) {
                continue;
            }
            const bool leaf = child.triangle >= 0;
            if (leaf && child.secondChild >= tree.triangles.size()) {
                return broken(why, c, "leaf's prepared triangle outside the array");
            }
            const PreparedTriangle* t = leaf ? &tree.triangles[child.secondChild] : nullptr;
            const float out =
                leaf ? std::max({outside(node, t->corners[0]), outside(node, t->corners[1]),
                                 outside(node, t->corners[2])})
                     : std::max(outside(node, child.boundsMin), outside(node, child.boundsMax));
            if (!(out <= allowed)) {
                return broken(why, i, "box does not hold a child");
            }
        }
    }
    if (tree.boxedLeaves.size() != tree.triangles.size()) {
        return broken(why, count, "boxedLeaves not one per prepared triangle");
    }
    if (prepared != tree.triangles.size()) {
        return broken(why, count, "prepared triangles no leaf uses");
    }
    if (!(largest == tree.largestCoordinate) &&
        !(largest != largest && tree.largestCoordinate != tree.largestCoordinate)) {
        return broken(why, count, "largestCoordinate not the corners' largest magnitude");
    }
    return true;
}

}  // namespace sweepview
