#include "tools/dorn/mesh_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "geometry/triangle.h"

namespace {

struct BitsHash {
    std::size_t operator()(const Vec3& v) const {
        std::uint32_t bits[3];
        std::memcpy(bits, &v, sizeof bits);
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint32_t b : bits) {
            h = (h ^ b) * 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};

struct BitsEqual {
    bool operator()(const Vec3& a, const Vec3& b) const { return std::memcmp(&a, &b, sizeof a) == 0; }
};

// Keeps the first of each bit-identical vector; remap[i] is where vector i went.
std::vector<std::int32_t> weld(std::vector<Vec3>& vectors) {
    std::unordered_map<Vec3, std::int32_t, BitsHash, BitsEqual> firstIndex;
    firstIndex.reserve(vectors.size());
    std::vector<std::int32_t> remap(vectors.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < vectors.size(); ++i) {
        const auto [entry, added] = firstIndex.emplace(vectors[i], static_cast<std::int32_t>(kept));
        if (added) {
            vectors[kept++] = vectors[i];
        }
        remap[i] = entry->second;
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
        mesh.positions.push_back(Vec3(corner & 1 ? size : -size, corner & 2 ? size : -size,
                                      corner & 4 ? size : -size));
    }
    // Each side: its corners in order round the side, and the inward normal.
    struct Side {
        int corners[4];
        Vec3 inward;
    };
    const Side sides[6] = {
        {{0, 2, 6, 4}, Vec3(1, 0, 0)},  {{1, 5, 7, 3}, Vec3(-1, 0, 0)},
        {{0, 4, 5, 1}, Vec3(0, 1, 0)},  {{2, 3, 7, 6}, Vec3(0, -1, 0)},
        {{0, 1, 3, 2}, Vec3(0, 0, 1)},  {{4, 6, 7, 5}, Vec3(0, 0, -1)},
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
