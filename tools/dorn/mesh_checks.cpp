#include "tools/dorn/mesh_checks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>

#include "geometry/triangle.h"

namespace sweepview {

namespace {

std::array<std::uint32_t, 3> bitsOf(const Vec3& v) {
    return {std::bit_cast<std::uint32_t>(v.x), std::bit_cast<std::uint32_t>(v.y), std::bit_cast<std::uint32_t>(v.z)};
}

// Per vertex, the index of the first vertex with the same position bits.
// Sorting, not hashing: a mesh of millions of triangles is checked in seconds.
std::vector<std::int32_t> weld(const std::vector<Vec3>& vertices) {
    std::vector<std::int32_t> order(vertices.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        const auto ka = bitsOf(vertices[a]), kb = bitsOf(vertices[b]);
        return ka != kb ? ka < kb : a < b;
    });
    std::vector<std::int32_t> welded(vertices.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool same = i > 0 && bitsOf(vertices[order[i]]) == bitsOf(vertices[order[i - 1]]);
        welded[order[i]] = same ? welded[order[i - 1]] : order[i];
    }
    return welded;
}

struct HalfEdge {
    std::uint64_t key;  // the welded corner pair, lower first
    std::uint32_t id;   // 3 * triangle + corner
    bool operator<(const HalfEdge& o) const { return key != o.key ? key < o.key : id < o.id; }
};

}  // namespace

MeshChecks checkMesh(const CollisionMesh& scene) {
    MeshChecks checks;
    checks.welded = weld(scene.vertices);
    checks.vertexTriangles.resize(scene.vertices.size());
    const std::size_t count = scene.triangles.size();
    std::vector<std::array<std::int32_t, 3>> corners(count);
    std::vector<std::pair<std::array<std::int32_t, 3>, std::int32_t>> sortedCorners(count);
    std::vector<HalfEdge> halves(3 * count);
    for (std::size_t t = 0; t < count; ++t) {
        const MeshTriangle& m = scene.triangles[t];
        auto& v = corners[t];
        v = {checks.welded[m.vertex0], checks.welded[m.vertex1], checks.welded[m.vertex2]};
        const auto ti = static_cast<std::int32_t>(t);
        Triangle shape;
        shape.init(scene.vertices[m.vertex0], scene.vertices[m.vertex1], scene.vertices[m.vertex2]);
        const Vec3 n = shape.normal();
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0] ||
            !(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z))) {
            checks.degenerateTriangles.push_back(ti);
        }
        sortedCorners[t] = {v, ti};
        std::sort(sortedCorners[t].first.begin(), sortedCorners[t].first.end());
        for (int i = 0; i < 3; ++i) {
            if (i == 0 || v[i] != v[i - 1]) {
                checks.vertexTriangles[v[i]].push_back(ti);
            }
            const std::int32_t from = v[i], to = v[(i + 1) % 3];
            halves[3 * t + i] = {(std::uint64_t(std::min(from, to)) << 32) | std::uint32_t(std::max(from, to)),
                                 static_cast<std::uint32_t>(3 * t + i)};
        }
    }
    // A duplicate has the same welded corners as an earlier triangle.
    std::sort(sortedCorners.begin(), sortedCorners.end());
    for (std::size_t i = 1; i < count; ++i) {
        if (sortedCorners[i].first == sortedCorners[i - 1].first) {
            checks.duplicateTriangles.push_back(sortedCorners[i].second);
        }
    }
    std::sort(checks.duplicateTriangles.begin(), checks.duplicateTriangles.end());
    // Edges numbered in the order their first use appears.
    std::sort(halves.begin(), halves.end());
    std::vector<std::pair<std::uint32_t, std::size_t>> firstUse;  // first id, start in halves
    for (std::size_t i = 0; i < halves.size(); ++i) {
        if (i == 0 || halves[i].key != halves[i - 1].key) {
            firstUse.emplace_back(halves[i].id, i);
        }
    }
    std::sort(firstUse.begin(), firstUse.end());
    checks.edges.resize(firstUse.size());
    checks.triangleEdges.resize(3 * count);
    for (std::size_t e = 0; e < firstUse.size(); ++e) {
        MeshChecks::Edge& edge = checks.edges[e];
        const std::uint64_t key = halves[firstUse[e].second].key;
        edge.a = static_cast<std::int32_t>(key >> 32);
        edge.b = static_cast<std::int32_t>(key & 0xFFFFFFFFu);
        std::size_t end = firstUse[e].second;
        while (end < halves.size() && halves[end].key == key) {
            ++end;
        }
        edge.triangles.reserve(end - firstUse[e].second);
        int forward = 0, backward = 0;  // uses from a to b, and from b to a (or a to a)
        for (std::size_t h = firstUse[e].second; h < end; ++h) {
            const std::uint32_t id = halves[h].id;
            edge.triangles.push_back(static_cast<std::int32_t>(id / 3));
            checks.triangleEdges[id] = static_cast<std::int32_t>(e);
            ++(corners[id / 3][id % 3] == edge.a && edge.a != edge.b ? forward : backward);
        }
        edge.windingConflict = forward > 1 || backward > 1;
    }
    for (std::size_t e = 0; e < checks.edges.size(); ++e) {
        const MeshChecks::Edge& edge = checks.edges[e];
        const auto ei = static_cast<std::int32_t>(e);
        if (edge.a == edge.b) {
            continue;  // a collapsed corner pair of a degenerate triangle
        }
        if (edge.triangles.size() == 1) {
            checks.boundaryEdges.push_back(ei);
        } else if (edge.triangles.size() >= 3) {
            checks.nonManifoldEdges.push_back(ei);
        }
        if (edge.windingConflict && edge.triangles.size() == 2) {
            checks.windingConflicts.push_back(ei);
        }
    }
    return checks;
}

}  // namespace sweepview
