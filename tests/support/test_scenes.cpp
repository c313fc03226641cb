#include "support/test_scenes.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "geometry/triangle.h"
#include "scene/tree_builder.h"

DornBytes& DornBytes::int32(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<char>((bits >> shift) & 0xff));
    }
    return *this;
}

DornBytes& DornBytes::float32(float value) {
    std::int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return int32(bits);
}

DornBytes& DornBytes::byte(std::uint8_t value) {
    bytes_.push_back(static_cast<char>(value));
    return *this;
}

DornBytes& DornBytes::vec3(float x, float y, float z) {
    return float32(x).float32(y).float32(z);
}

DornBytes& DornBytes::box(float cx, float cy, float cz, float hx, float hy, float hz) {
    return vec3(cx, cy, cz).vec3(hx, hy, hz);
}

std::string singleLeafFile() {
    DornBytes b;
    b.int32(3).vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0);
    b.int32(0);
    b.int32(1).int32(0).int32(1).int32(2).int32(7).int32(8).int32(9);
    b.byte(0).box(1, 2, 3, 4, 5, 6).int32(0);
    return b.str();
}

TempFile::TempFile(const std::string& bytes, const std::string& suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr ? dir : "/tmp") + "/sweeptestXXXXXX" + suffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        throw std::runtime_error("cannot create a temporary file");
    }
    ::close(fd);
    path_ = name.data();
    std::ofstream(path_, std::ios::binary) << bytes;
}

TempFile::~TempFile() {
    std::remove(path_.c_str());
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

MeshTriangle meshTriangle(std::int32_t v0, std::int32_t v1, std::int32_t v2) {
    return MeshTriangle{v0, v1, v2, -1, -1, -1};
}

std::unique_ptr<CollisionMesh> buildScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles, float margin) {
    auto scene = std::make_unique<CollisionMesh>();
    scene->vertices = std::move(vertices);
    scene->triangles = std::move(triangles);
    std::vector<PreorderNode> tree = buildVolumeTree(scene->vertices, scene->triangles);
    for (PreorderNode& node : tree) {
        node.halfExtents = node.halfExtents + Vec3(margin, margin, margin);
    }
    scene->root = linkTree(tree);
    return scene;
}

std::unique_ptr<CollisionMesh> randomScene(std::uint32_t seed, int count, float extent,
                                           float maxEdge, float margin) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> position(-extent, extent);
    std::uniform_real_distribution<float> offset(-maxEdge, maxEdge);
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    for (int i = 0; i < count; ++i) {
        const Vec3 a(position(random), position(random), position(random));
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.push_back(a);
        vertices.push_back(a + Vec3(offset(random), offset(random), offset(random)));
        vertices.push_back(a + Vec3(offset(random), offset(random), offset(random)));
        triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    return buildScene(std::move(vertices), std::move(triangles), margin);
}

namespace {

// Appends the axis-aligned box [centre - half, centre + half] as 12 triangles
// whose normals point outwards (inwards when `inwards`).
void appendBox(std::vector<Vec3>& vertices, std::vector<MeshTriangle>& triangles, Vec3 centre,
               float half, bool inwards) {
    for (int axis = 0; axis < 3; ++axis) {
        for (float side : {-1.0f, 1.0f}) {
            Vec3 outward;
            (axis == 0 ? outward.x : axis == 1 ? outward.y : outward.z) = side;
            const Vec3 facing = inwards ? outward * -1.0f : outward;
            const Vec3 u = axis == 0 ? Vec3(0, 1, 0) : Vec3(1, 0, 0);
            const Vec3 v = cross(outward, u);
            const Vec3 faceCentre = centre + outward * half;
            const Vec3 corners[4] = {faceCentre + (u + v) * half, faceCentre + (u - v) * half,
                                     faceCentre + (u * -1.0f - v) * half,
                                     faceCentre + (v - u) * half};
            for (const auto& tri : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
                Vec3 a = corners[tri[0]];
                Vec3 b = corners[tri[1]];
                Vec3 c = corners[tri[2]];
                if (dot(cross(b - a, c - a), facing) < 0) {
                    std::swap(b, c);
                }
                const auto base = static_cast<std::int32_t>(vertices.size());
                vertices.insert(vertices.end(), {a, b, c});
                triangles.push_back(meshTriangle(base, base + 1, base + 2));
            }
        }
    }
}

}  // namespace

std::unique_ptr<CollisionMesh> roomScene(float half) {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    appendBox(vertices, triangles, Vec3(), half, true);
    appendBox(vertices, triangles, Vec3(20, -30, 20), 10.0f, false);
    // A ramp across the far corner, facing the room's centre.
    const auto base = static_cast<std::int32_t>(vertices.size());
    vertices.insert(vertices.end(), {Vec3(-half, -half, half - 40), Vec3(-half + 40, -half, half),
                                     Vec3(-half, -half + 40, half)});
    triangles.push_back(meshTriangle(base, base + 1, base + 2));
    Triangle ramp;
    ramp.init(vertices[base], vertices[base + 1], vertices[base + 2]);
    if (dot(ramp.normal(), Vec3(1, 1, -1)) < 0) {
        std::swap(triangles.back().vertex1, triangles.back().vertex2);
    }
    return buildScene(std::move(vertices), std::move(triangles));
}

std::unique_ptr<CollisionMesh> chainScene(int depth) {
    auto scene = std::make_unique<CollisionMesh>();
    scene->vertices = {Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0)};
    scene->triangles = {meshTriangle(0, 1, 2)};
    const NodeBox box(Vec3(5, 5, 0), Vec3(5, 5, 0));
    VolumeNode** slot = &scene->root;
    for (int level = 0; level < depth; ++level) {
        auto* node = new VolumeNode();
        node->box = box;
        *slot = node;
        node->left = new VolumeNode();
        node->left->box = box;
        node->left->triangle = 0;
        slot = &node->right;
    }
    auto* last = new VolumeNode();
    last->box = box;
    last->triangle = 0;
    *slot = last;
    return scene;
}

std::int32_t sweepAllLeaves(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state) {
    state.nearestTime = std::numeric_limits<float>::infinity();
    state.found = 0;
    std::int32_t result = 0;
    std::vector<VolumeNode*> pending{scene.root};
    while (!pending.empty()) {
        VolumeNode* node = pending.back();
        pending.pop_back();
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
        if (sweepHitsTriangle(sphere, triangle, normal, time) == 0) {
            continue;
        }
        result = 1;
        const float gap = time - state.nearestTime;
        if (state.found == 0) {
            state.found = 1;
            state.nearestTime = time;
            state.contactNormal = normal;
            state.hitTriangles.push_back(node->triangle);
        } else if (gap > -0.0001f && gap < 0.0001f) {
            state.contactNormal += normal;
            state.hitTriangles.push_back(node->triangle);
        } else if (time < state.nearestTime) {
            state.nearestTime = time;
            state.contactNormal = normal;
            state.hitTriangles.assign(1, node->triangle);
        }
    }
    return result;
}

void useViewerEpsilon() {
    setCollisionEpsilon(0.001f);
}
