#include "support/test_scenes.h"

#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>

#include "collision/sweep_box.h"
#include "collision/sweep_edge.h"
#include "collision/sweep_edge_exact.h"
#include "collision/sweep_triangle.h"
#include "collision/sweep_triangle_lanes.h"
#include "collision/sweep_vertex.h"
#include "geometry/collision_epsilon.h"
#include "geometry/triangle.h"
#include "scene/scene_builder.h"

namespace sweepview {

DornBytes& DornBytes::int32(std::int32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        str.push_back(static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xff));
    }
    return *this;
}

DornBytes& DornBytes::float32(float value) { return int32(std::bit_cast<std::int32_t>(value)); }

std::string singleLeafFile() {
    DornBytes b;
    b.int32(3).vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0).int32(0);
    b.int32(1).int32(0).int32(1).int32(2).int32(7).int32(8).int32(9);
    return b.byte(0).vec3(1, 2, 3).vec3(4, 5, 6).int32(0).str;
}

TempFile::TempFile(const std::string& bytes, const std::string& suffix) {
    std::string name = "/tmp/sweeptestXXXXXX" + suffix;
    const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        throw std::runtime_error("cannot create a temporary file");
    }
    ::close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << bytes;
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

MeshTriangle meshTriangle(std::int32_t v0, std::int32_t v1, std::int32_t v2) {
    return MeshTriangle{v0, v1, v2, -1, -1, -1};
}

std::unique_ptr<CollisionMesh> buildScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles, float margin) {
    auto scene = buildCollisionMesh(std::move(vertices), std::move(triangles));
    growBoxes(*scene, Vec3(margin, margin, margin));
    return scene;
}

void growBoxes(CollisionMesh& scene, const Vec3& margin) {
    for (VolumeNode& node : scene.nodePool) {
        node.box.halfExtents += margin;
        node.box.updateBounds();
    }
    compileScene(scene);
    std::string why;
    if (!checkCompiledTree(*scene.compiled, scene.triangles.size(), &why)) {
        std::fprintf(stderr, "compiled tree: %s\n", why.c_str());
        std::abort();
    }
}

std::unique_ptr<CollisionMesh> randomScene(std::uint32_t seed, int count, float extent,
                                           float maxEdge, float margin) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    for (int i = 0; i < count; ++i) {
        const Vec3 a(unit(random) * extent, unit(random) * extent, unit(random) * extent);
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.push_back(a);
        vertices.push_back(a + Vec3(unit(random), unit(random), unit(random)) * maxEdge);
        vertices.push_back(a + Vec3(unit(random), unit(random), unit(random)) * maxEdge);
        triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    return buildScene(std::move(vertices), std::move(triangles), margin);
}

std::unique_ptr<CollisionMesh> roomScene(float half) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i) {
        corners.push_back(Vec3(i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half));
    }
    // Each side round its four corners, wound to face the centre.
    const int sides[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    std::vector<MeshTriangle> triangles;
    for (const auto& s : sides) {
        triangles.push_back(meshTriangle(s[0], s[1], s[2]));
        triangles.push_back(meshTriangle(s[0], s[2], s[3]));
    }
    return buildScene(std::move(corners), std::move(triangles));
}

std::unique_ptr<CollisionMesh> chainScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles,
                                          const std::vector<std::int32_t>& leaves,
                                          const NodeBox& box) {
    auto scene = std::make_unique<CollisionMesh>();
    scene->vertices = std::move(vertices);
    scene->triangles = std::move(triangles);
    VolumeNode** slot = &scene->root;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        auto* leaf = new VolumeNode();
        leaf->box = box;
        leaf->triangle = leaves[i];
        if (i + 1 == leaves.size()) {
            *slot = leaf;
            break;
        }
        *slot = new VolumeNode();
        (*slot)->box = box;
        (*slot)->left = leaf;
        slot = &(*slot)->right;
    }
    return scene;
}

std::unique_ptr<CollisionMesh> chainScene(int depth) {
    return chainScene({Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0)}, {meshTriangle(0, 1, 2)},
                      std::vector<std::int32_t>(depth + 1, 0),
                      NodeBox(Vec3(5, 5, 0), Vec3(5, 5, 0)));
}

std::int32_t sweepAllLeaves(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                            bool testBoxes, SweepOptions rule) {
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    std::int32_t result = 0;
    std::vector<VolumeNode*> pending{scene.root};
    while (!pending.empty()) {
        VolumeNode* node = pending.back();
        pending.pop_back();
        if (testBoxes && sweepHitsBox(sphere, node->box) == 0) {
            continue;
        }
        if (node->left != nullptr) {
            pending.push_back(node->right);
            pending.push_back(node->left);
            continue;
        }
        const MeshTriangle& t = scene.triangles[node->triangle];
        Triangle triangle;
        triangle.init(scene.vertices[t.vertex0], scene.vertices[t.vertex1],
                      scene.vertices[t.vertex2]);
        Vec3 normal;
        float time = 0.0f;
        if (sweepHitsTriangle(sphere, prepareSweep(sphere, rule), triangle, normal, time) == 0) {
            continue;
        }
        result = 1;
        const float gap = time - state.nearestTime;
        if (state.found == 0 || (gap <= -0.0001f)) {  // first, or earlier beyond the band
            state.hitTriangles.resize(state.found == 0 ? state.hitTriangles.size() : 0);
            state.found = 1;
            state.nearestTime = time;
            state.contactNormal = normal;
            state.hitTriangles.push_back(node->triangle);
        } else if (gap < 0.0001f) {  // within the band
            state.contactNormal += normal;
            state.hitTriangles.push_back(node->triangle);
        }
    }
    return result;
}

void useViewerEpsilon() { setCollisionEpsilon(0.001f); }

LaneComparison compareLanesWithScalar(const SweptSphere& sphere, const PreparedTriangle& prepared) {
    const auto same = [](float a, float b) {
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    };
    const SweepSetup setup = prepareSweep(sphere);
    TriangleEdgeHits design;
    TriangleEdgeHits exact;
    TriangleCornerHits corners;
    sweepHitsEdges(sphere, setup, prepared, design);
    sweepHitsEdgesExact(sphere, setup, prepared, exact);
    sweepHitsCorners(sphere, setup, prepared, corners);
    LaneComparison result;
    for (int e = 0; e < 3 && result.difference.empty(); ++e) {
        const auto bit = [e](int mask) { return (mask >> e & 1) != 0; };
        const Vec3& start = prepared.corners[e];
        const Vec3& end = prepared.corners[(e + 1) % 3];
        float time = 0.0f;
        float fraction = 0.0f;
        bool missed = false;
        const bool designHit =
            sweepHitsEdge(sphere, setup, Segment(start, end), time, fraction) != 0;
        if (designHit != bit(design.hit) ||
            (designHit && !(same(time, design.time[e]) && same(fraction, design.fraction[e])))) {
            result.difference = "the design's edge test, edge " + std::to_string(e);
        }
        const bool exactHit =
            sweepHitsEdgeExact(sphere, setup, start, end, time, fraction, &missed) != 0;
        if (exactHit != bit(exact.hit) || missed != bit(exact.lineMissed) ||
            (exactHit && !(same(time, exact.time[e]) && same(fraction, exact.fraction[e])))) {
            result.difference = "the exact edge test, edge " + std::to_string(e);
        }
        const bool cornerHit = sweepHitsVertex(sphere, setup, start, time) != 0;
        const Vec3 m = sphere.position - start;
        const bool away = dot(sphere.displacement, m) >= 0.0f && dot(m, m) > setup.radiusSquared;
        const bool in = dot(sphere.displacement, m) < 0.0f && dot(m, m) < setup.radiusSquared;
        if (cornerHit != bit(corners.hit) || away != bit(corners.awayUntouched) ||
            in != bit(corners.wayIn) || (cornerHit && !same(time, corners.time[e]))) {
            result.difference = "the corner test, corner " + std::to_string(e);
        }
        result.designHits += designHit;
        result.exactHits += exactHit;
        result.cornerHits += cornerHit;
        result.missedLines += missed;
    }
    return result;
}

}  // namespace sweepview
