#include "tools/dorn/mesh_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "geometry/triangle.h"
#include "scene/collision_mesh.h"
#include "tools/dorn/mesh_checks.h"

namespace sweepview {

namespace {

// Keeps the first of each bit-identical vector, in order; remap[i] is where
// vector i went. Sorting indices needs far less memory than a hash map of
// vectors on meshes of millions of corners.
std::vector<std::int32_t> weld(std::vector<Vec3>& vectors) {
    const std::size_t count = vectors.size();
    auto bitsLess = [&](std::int32_t a, std::int32_t b) {
        return std::memcmp(&vectors[static_cast<std::size_t>(a)],
                           &vectors[static_cast<std::size_t>(b)], sizeof(Vec3)) < 0;
    };
    std::vector<std::int32_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), bitsLess);
    // First the representative of each vector (the earliest of its equals),
    // then the representative's place among the kept ones.
    std::vector<std::int32_t> remap(count);
    for (std::size_t i = 0; i < count; ++i) {
        const bool sameAsPrevious = i > 0 && !bitsLess(order[i - 1], order[i]);
        remap[static_cast<std::size_t>(order[i])] =
            sameAsPrevious ? remap[static_cast<std::size_t>(order[i - 1])] : order[i];
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (remap[i] == static_cast<std::int32_t>(i)) {
            vectors[kept] = vectors[i];
            remap[i] = static_cast<std::int32_t>(kept++);
        } else {
            remap[i] = remap[static_cast<std::size_t>(remap[i])];
        }
    }
    vectors.resize(kept);
    return remap;
}

}  // namespace

void weldVertices(MeshData& mesh) {
    const std::vector<std::int32_t> positions = weld(mesh.positions);
    const std::vector<std::int32_t> normals = weld(mesh.normals);
    for (MeshTriangle& t : mesh.triangles) {
        t.vertex0 = positions[static_cast<std::size_t>(t.vertex0)];
        t.vertex1 = positions[static_cast<std::size_t>(t.vertex1)];
        t.vertex2 = positions[static_cast<std::size_t>(t.vertex2)];
        for (std::int32_t* aux : {&t.aux0, &t.aux1, &t.aux2}) {
            if (*aux >= 0) {
                *aux = normals[static_cast<std::size_t>(*aux)];
            }
        }
    }
}

void scaleMesh(MeshData& mesh, float factor) {
    for (Vec3& p : mesh.positions) {
        p = p * factor;
    }
}

bool meshBounds(const MeshData& mesh, Vec3& min, Vec3& max) {
    bool any = false;
    for (const MeshTriangle& t : mesh.triangles) {
        for (std::int32_t index : {t.vertex0, t.vertex1, t.vertex2}) {
            const Vec3& p = mesh.positions[static_cast<std::size_t>(index)];
            if (!any) {
                min = max = p;
                any = true;
            }
            min = Vec3(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
            max = Vec3(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
        }
    }
    return any;
}

void centerMesh(MeshData& mesh) {
    Vec3 min;
    Vec3 max;
    if (!meshBounds(mesh, min, max)) {
        return;
    }
    const Vec3 centre = min * 0.5f + max * 0.5f;
    for (Vec3& p : mesh.positions) {
        p = p - centre;
    }
}

void fitMesh(MeshData& mesh, float size) {
    Vec3 min;
    Vec3 max;
    if (!meshBounds(mesh, min, max)) {
        return;
    }
    const Vec3 extent = max - min;
    const float largest = std::max({extent.x, extent.y, extent.z});
    if (largest > 0.0f && std::isfinite(largest)) {
        scaleMesh(mesh, size / largest);
    }
}

void moveMesh(MeshData& mesh, const Vec3& offset) {
    for (Vec3& p : mesh.positions) {
        p = p + offset;
    }
}

void flipMesh(MeshData& mesh) {
    for (MeshTriangle& t : mesh.triangles) {
        std::swap(t.vertex1, t.vertex2);
        std::swap(t.aux1, t.aux2);
    }
    for (Vec3& n : mesh.normals) {
        n = n * -1.0f;
    }
}

namespace {

double area(const MeshData& mesh, const MeshTriangle& t) {
    const Vec3& a = mesh.positions[static_cast<std::size_t>(t.vertex0)];
    const Vec3 u = mesh.positions[static_cast<std::size_t>(t.vertex1)] - a;
    const Vec3 v = mesh.positions[static_cast<std::size_t>(t.vertex2)] - a;
    const double x = double(u.y) * v.z - double(u.z) * v.y;
    const double y = double(u.z) * v.x - double(u.x) * v.z;
    const double z = double(u.x) * v.y - double(u.y) * v.x;
    const double twice = std::sqrt(x * x + y * y + z * z);
    return std::isfinite(twice) ? 0.5 * twice : 0.0;
}

}  // namespace

std::size_t orientMesh(MeshData& mesh) {
    CollisionMesh scene;
    scene.vertices = mesh.positions;
    scene.triangles = mesh.triangles;
    const MeshChecks checks = checkMesh(scene);
    const std::size_t count = mesh.triangles.size();
    // Whether triangle t goes along its edge from corner i from the edge's a to b.
    const auto alongAB = [&](std::size_t t, int i) {
        const MeshTriangle& m = mesh.triangles[t];
        const std::int32_t corner = i == 0 ? m.vertex0 : i == 1 ? m.vertex1 : m.vertex2;
        const auto e =
            static_cast<std::size_t>(checks.triangleEdges[3 * t + static_cast<std::size_t>(i)]);
        return checks.welded[static_cast<std::size_t>(corner)] == checks.edges[e].a;
    };
    // Per triangle: -1 not reached yet, else whether its winding differs from
    // its part's first triangle's once the part agrees.
    std::vector<std::int8_t> differs(count, -1);
    std::vector<std::size_t> part;
    std::size_t turned = 0;
    for (std::size_t seed = 0; seed < count; ++seed) {
        if (differs[seed] >= 0) {
            continue;
        }
        differs[seed] = 0;
        part.assign(1, seed);
        double areaAsSeed = 0.0;
        double areaDiffering = 0.0;
        for (std::size_t k = 0; k < part.size(); ++k) {
            const std::size_t t = part[k];
            (differs[t] != 0 ? areaDiffering : areaAsSeed) += area(mesh, mesh.triangles[t]);
            for (int i = 0; i < 3; ++i) {
                const auto e = static_cast<std::size_t>(
                    checks.triangleEdges[3 * t + static_cast<std::size_t>(i)]);
                const MeshChecks::Edge& edge = checks.edges[e];
                if (edge.a == edge.b || edge.triangles.size() != 2) {
                    continue;
                }
                const auto u = static_cast<std::size_t>(
                    edge.triangles[0] == static_cast<std::int32_t>(t) ? edge.triangles[1]
                                                                      : edge.triangles[0]);
                if (differs[u] >= 0) {
                    continue;
                }
                for (int j = 0; j < 3; ++j) {
                    if (checks.triangleEdges[3 * u + static_cast<std::size_t>(j)] ==
                        static_cast<std::int32_t>(e)) {
                        // Neighbours agree when they go along the edge in
                        // opposite directions.
                        const bool sameWay = alongAB(u, j) == alongAB(t, i);
                        differs[u] = static_cast<std::int8_t>(differs[t] ^ (sameWay ? 1 : 0));
                        break;
                    }
                }
                part.push_back(u);
            }
        }
        // The part keeps the winding most of its area has (the first
        // triangle's on a tie).
        const std::int8_t turnWhere = areaDiffering > areaAsSeed ? 0 : 1;
        for (const std::size_t t : part) {
            if (differs[t] == turnWhere) {
                MeshTriangle& m = mesh.triangles[t];
                std::swap(m.vertex1, m.vertex2);
                std::swap(m.aux1, m.aux2);
                ++turned;
            }
        }
    }
    return turned;
}

std::size_t dropDegenerate(MeshData& mesh) {
    const std::size_t before = mesh.triangles.size();
    std::erase_if(mesh.triangles, [&](const MeshTriangle& t) {
        Triangle shape;
        shape.init(mesh.positions[static_cast<std::size_t>(t.vertex0)],
                   mesh.positions[static_cast<std::size_t>(t.vertex1)],
                   mesh.positions[static_cast<std::size_t>(t.vertex2)]);
        const Vec3 n = shape.normal();
        return !(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    });
    return before - mesh.triangles.size();
}

void addRoom(MeshData& mesh, float size) {
    const bool withNormals = !mesh.normals.empty();
    const auto base = static_cast<std::int32_t>(mesh.positions.size());
    for (int corner = 0; corner < 8; ++corner) {
        mesh.positions.push_back(
            Vec3(corner & 1 ? size : -size, corner & 2 ? size : -size, corner & 4 ? size : -size));
    }
    // Each side: its corners in order round the side, and the inward normal.
    struct Side {
        int corners[4];
        Vec3 inward;
    };
    const Side sides[6] = {
        {{0, 2, 6, 4}, Vec3(1, 0, 0)}, {{1, 5, 7, 3}, Vec3(-1, 0, 0)},
        {{0, 4, 5, 1}, Vec3(0, 1, 0)}, {{2, 3, 7, 6}, Vec3(0, -1, 0)},
        {{0, 1, 3, 2}, Vec3(0, 0, 1)}, {{4, 6, 7, 5}, Vec3(0, 0, -1)},
    };
    for (const Side& side : sides) {
        std::int32_t normal = -1;
        if (withNormals) {
            normal = static_cast<std::int32_t>(mesh.normals.size());
            mesh.normals.push_back(side.inward);
        }
        for (const auto& tri : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
            std::int32_t v[3];
            for (int k = 0; k < 3; ++k) {
                v[k] = base + side.corners[tri[k]];
            }
            Triangle shape;
            shape.init(mesh.positions[v[0]], mesh.positions[v[1]], mesh.positions[v[2]]);
            if (dot(shape.normal(), side.inward) < 0.0f) {
                std::swap(v[1], v[2]);
            }
            mesh.triangles.push_back(MeshTriangle{v[0], v[1], v[2], normal, normal, normal});
        }
    }
}

}  // namespace sweepview
