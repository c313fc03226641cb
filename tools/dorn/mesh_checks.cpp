#include "tools/dorn/mesh_checks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <unordered_map>

#include "geometry/triangle.h"

namespace sweepview {

namespace {

struct BitsHash {
    std::size_t operator()(const std::array<std::uint32_t, 3>& k) const {
        return (std::size_t(k[0]) * 0x9E3779B97F4A7C15ull) ^ (std::size_t(k[1]) * 0xC2B2AE3D27D4EB4Full) ^
               (std::size_t(k[2]) * 0x165667B19E3779F9ull);
    }
};

}  // namespace

MeshChecks checkMesh(const CollisionMesh& scene) {
    MeshChecks checks;
    std::unordered_map<std::array<std::uint32_t, 3>, std::int32_t, BitsHash> positions;
    for (std::size_t i = 0; i < scene.vertices.size(); ++i) {
        const Vec3& v = scene.vertices[i];
        const std::array<std::uint32_t, 3> bits{std::bit_cast<std::uint32_t>(v.x),
                                               std::bit_cast<std::uint32_t>(v.y),
                                               std::bit_cast<std::uint32_t>(v.z)};
        checks.welded.push_back(positions.try_emplace(bits, static_cast<std::int32_t>(i)).first->second);
    }
    checks.vertexTriangles.resize(scene.vertices.size());
    std::unordered_map<std::uint64_t, std::int32_t> edgeIndex;
    std::unordered_map<std::uint64_t, std::int32_t> firstDirected;  // directed edge -> triangle
    std::unordered_map<std::array<std::uint32_t, 3>, std::int32_t, BitsHash> seen;
    for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
        const MeshTriangle& m = scene.triangles[t];
        const std::int32_t v[3] = {checks.welded[m.vertex0], checks.welded[m.vertex1],
                                   checks.welded[m.vertex2]};
        const auto ti = static_cast<std::int32_t>(t);
        Triangle shape;
        shape.init(scene.vertices[m.vertex0], scene.vertices[m.vertex1], scene.vertices[m.vertex2]);
        const Vec3 n = shape.normal();
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0] ||
            !(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z))) {
            checks.degenerateTriangles.push_back(ti);
        }
        std::array<std::uint32_t, 3> sorted{std::uint32_t(v[0]), std::uint32_t(v[1]), std::uint32_t(v[2])};
        std::sort(sorted.begin(), sorted.end());
        if (!seen.try_emplace(sorted, ti).second) {
            checks.duplicateTriangles.push_back(ti);
        }
        for (int i = 0; i < 3; ++i) {
            if (i == 0 || v[i] != v[i - 1]) {
                checks.vertexTriangles[v[i]].push_back(ti);
            }
            const std::int32_t from = v[i], to = v[(i + 1) % 3];
            const std::uint64_t key = (std::uint64_t(std::min(from, to)) << 32) | std::uint32_t(std::max(from, to));
            const auto [slot, added] = edgeIndex.try_emplace(key, static_cast<std::int32_t>(checks.edges.size()));
            if (added) {
                checks.edges.push_back({std::min(from, to), std::max(from, to), {}, false});
            }
            MeshChecks::Edge& edge = checks.edges[slot->second];
            edge.triangles.push_back(ti);
            const std::uint64_t directed = (std::uint64_t(std::uint32_t(from)) << 32) | std::uint32_t(to);
            edge.windingConflict = edge.windingConflict || !firstDirected.try_emplace(directed, ti).second;
            checks.triangleEdges.push_back(slot->second);
        }
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
