#include "scene/tree_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "geometry/triangle.h"

namespace sweepview {

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();

struct Bounds {
    Vec3 min{INF, INF, INF};
    Vec3 max{-INF, -INF, -INF};
    // std::min and std::max keep the first argument against a non-number.
    void grow(const Vec3& p) {
        min = Vec3(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = Vec3(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    }
    void grow(const Bounds& b) {
        grow(b.min);
        grow(b.max);
    }
};

double boxArea(const PreorderNode& node) {
    const double x = 2.0 * node.halfExtents.x;
    const double y = 2.0 * node.halfExtents.y;
    const double z = 2.0 * node.halfExtents.z;
    return 2.0 * (x * y + y * z + z * x);
}

// Written so that a non-number fails.
bool encloses(const PreorderNode& node, const Bounds& inside) {
    const Vec3 min = node.centre - node.halfExtents;
    const Vec3 max = node.centre + node.halfExtents;
    return min.x <= inside.min.x && min.y <= inside.min.y && min.z <= inside.min.z &&
           max.x >= inside.max.x && max.y >= inside.max.y && max.z >= inside.max.z;
}

}  // namespace

TreeStats measureTree(const std::vector<Vec3>& vertices, const std::vector<MeshTriangle>& triangles,
                      const std::vector<PreorderNode>& tree) {
    TreeStats stats;
    const std::vector<std::uint32_t> second = secondChildren(tree);
    if (second.empty()) {
        return stats;
    }
    stats.nodes = tree.size();

    std::vector<Bounds> triangleBounds(triangles.size());
    Bounds all;
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const MeshTriangle& t = triangles[i];
        Triangle shape;
        shape.init(vertices[t.vertex0], vertices[t.vertex1], vertices[t.vertex2]);
        for (const Vec3& corner : shape.corners) {
            triangleBounds[i].grow(corner);
        }
        all.grow(triangleBounds[i]);
        const Vec3 n = shape.normal();
        stats.degenerateTriangles +=
            std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z) ? 0 : 1;
    }
    stats.boundsMin = triangles.empty() ? Vec3() : all.min;
    stats.boundsMax = triangles.empty() ? Vec3() : all.max;

    // Depth forwards (children come after their parent), subtree bounds
    // backwards (children are done before their parent).
    std::vector<std::uint32_t> depth(tree.size(), 1);
    std::vector<std::uint32_t> namedBy(triangles.size(), 0);
    const double rootArea = boxArea(tree[0]);
    for (std::size_t i = 0; i < tree.size(); ++i) {
        stats.depth = std::max<std::size_t>(stats.depth, depth[i]);
        const double relative = rootArea > 0.0 ? boxArea(tree[i]) / rootArea : 1.0;
        stats.sahCost += std::isfinite(relative) ? relative : 1.0;
        if (tree[i].triangle == NO_TRIANGLE) {
            depth[i + 1] = depth[i] + 1;
            depth[second[i]] = depth[i] + 1;
        } else {
            ++stats.leaves;
            ++namedBy[static_cast<std::size_t>(tree[i].triangle)];
        }
    }
    std::vector<Bounds> below(tree.size());
    for (std::size_t i = tree.size(); i-- > 0;) {
        if (tree[i].triangle == NO_TRIANGLE) {
            below[i] = below[i + 1];
            below[i].grow(below[second[i]]);
        } else {
            below[i] = triangleBounds[static_cast<std::size_t>(tree[i].triangle)];
        }
        stats.nonEnclosingBoxes += encloses(tree[i], below[i]) ? 0 : 1;
    }
    for (std::uint32_t count : namedBy) {
        stats.unnamedTriangles += count == 0 ? 1 : 0;
        stats.multiplyNamedTriangles += count > 1 ? 1 : 0;
    }
    return stats;
}

}  // namespace sweepview
