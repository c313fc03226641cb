// Random spheres, displacements and triangles, with non-numbers, infinities,
// huge, tiny and degenerate values among them, through the triangle test and
// the query. Checks what must hold for any input: no crash, a contact time in
// [0, 1], a unit contact normal for well-posed input, and the query equal to a
// walk over all leaves without box tests.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <iterator>
#include <vector>

#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "support/test_scenes.h"

namespace {

// Takes values from the front of the fuzzer's bytes; zeros once they run out.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return used_ < size_ ? data_[used_++] : 0; }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(byte()) << shift;
        }
        return value;
    }
    int choice(int count) { return byte() % count; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

float pickFloat(ByteReader& input) {
    constexpr float special[] = {0.0f,
                                 -0.0f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::min(),
                                 std::numeric_limits<float>::denorm_min(),
                                 1e-30f,
                                 1e30f,
                                 0.001f,
                                 2.5f};
    switch (input.choice(4)) {
        case 0:
            return std::bit_cast<float>(input.word());
        case 1:
            return special[input.choice(std::size(special))];
        default:  // mostly small values on a grid, where contacts happen
            return static_cast<float>(static_cast<std::int8_t>(input.byte())) * 0.25f;
    }
}

Vec3 pickVec3(ByteReader& input) {
    const float x = pickFloat(input);
    const float y = pickFloat(input);
    return Vec3(x, y, pickFloat(input));
}

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Inside this range no product or sum of the tests overflows or loses the
// tolerance to rounding, so a contact's normal must be a unit vector.
bool wellPosed(const Vec3& v) {
    return finite(v) && std::fabs(v.x) <= 1e4f && std::fabs(v.y) <= 1e4f && std::fabs(v.z) <= 1e4f;
}

void printVec3(const char* name, const Vec3& v) {
    std::fprintf(stderr, "  %s (%.9g, %.9g, %.9g)\n", name, v.x, v.y, v.z);
}

void fail(const char* what, const SweptSphere& sphere, const std::vector<Vec3>& vertices) {
    std::fprintf(stderr, "sweep_fuzz: %s\n  radius %.9g\n", what, sphere.radius);
    printVec3("position", sphere.position);
    printVec3("displacement", sphere.displacement);
    for (const Vec3& vertex : vertices) {
        printVec3("vertex", vertex);
    }
    std::abort();
}

bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

bool sameState(const ContactState& a, const ContactState& b) {
    return a.found == b.found && sameBits(a.nearestTime, b.nearestTime) &&
           (a.found == 0 || (sameBits(a.contactNormal.x, b.contactNormal.x) &&
                             sameBits(a.contactNormal.y, b.contactNormal.y) &&
                             sameBits(a.contactNormal.z, b.contactNormal.z) &&
                             a.hitTriangles == b.hitTriangles));
}

std::vector<VolumeNode*> allNodes(CollisionMesh& scene) {
    std::vector<VolumeNode*> nodes{scene.root};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i]->left != nullptr) {
            nodes.push_back(nodes[i]->left);
            nodes.push_back(nodes[i]->right);
        }
    }
    return nodes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setCollisionEpsilon(0.001f);
    ByteReader input(data, size);
    const Vec3 position = pickVec3(input);
    const Vec3 displacement = pickVec3(input);
    const float radius = pickFloat(input);
    const SweptSphere sphere(position, displacement, radius);
    const bool sphereWellPosed = wellPosed(position) && wellPosed(displacement) &&
                                 std::isfinite(radius) && radius >= 0.01f && radius <= 1e4f;

    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    const int count = 1 + input.choice(8);
    for (int i = 0; i < count; ++i) {
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.push_back(pickVec3(input));
        // Shared corners and zero-length edges are worth a choice of their own.
        vertices.push_back(input.choice(2) == 0 ? vertices[base] : pickVec3(input));
        vertices.push_back(pickVec3(input));
        triangles.push_back(meshTriangle(base, base + 1, base + 2));

        Triangle triangle;
        triangle.init(vertices[base], vertices[base + 1], vertices[base + 2]);
        Vec3 normal(7.0f, 7.0f, 7.0f);
        float time = -1.0f;
        if (sweepHitsTriangle(sphere, triangle, normal, time) == 0) {
            continue;
        }
        if (!(time >= 0.0f && time <= 1.0f)) {
            fail("contact time outside [0, 1]", sphere, vertices);
        }
        const bool triangleWellPosed = wellPosed(vertices[base]) &&
                                       wellPosed(vertices[base + 1]) &&
                                       wellPosed(vertices[base + 2]) && finite(triangle.normal());
        if (sphereWellPosed && triangleWellPosed &&
            !(std::fabs(dot(normal, normal) - 1.0f) <= 1e-4f)) {
            fail("contact normal is not a unit vector", sphere, vertices);
        }
    }

    // The box test may reject a path that only grazes the grown box or crosses
    // it exactly at an edge or corner, and the edge rule at a slant reports
    // contacts up to 10 radii from the edge: both are the algorithm's own. Boxes
    // grown by 12 radii and a share of the scene's scale, by a different amount
    // per axis so that grid-aligned paths do not meet their edges, keep clear of
    // both, so that pruning by box may not change any result.
    float scale = 1.0f;
    for (const Vec3& v : {position, displacement}) {
        scale = std::fmax(scale, std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z))));
    }
    for (const Vec3& v : vertices) {
        scale = std::fmax(scale, std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z))));
    }
    const float margin = 12.0f * std::fabs(radius) + scale * 0.001f;
    auto scene = buildScene(vertices, triangles, 0.0f);
    for (VolumeNode* node : allNodes(*scene)) {
        node->box.halfExtents += Vec3(margin, margin * 1.2345f, margin * 1.4321f);
    }
    ContactState viaTree;
    ContactState viaLeaves;
    const std::int32_t treeResult = sweepQuery(*scene, sphere, viaTree);
    const std::int32_t leavesResult = sweepAllLeaves(*scene, sphere, viaLeaves);
    // Beyond the well-posed range the triangle test's products overflow or lose
    // the tolerance, and it can report contacts (with zero or non-number
    // normals) that no box, rightly, lets through: there only no crash counts.
    bool allWellPosed = sphereWellPosed;
    for (const Vec3& v : vertices) {
        allWellPosed = allWellPosed && wellPosed(v);
    }
    if (allWellPosed && (treeResult != leavesResult || !sameState(viaTree, viaLeaves))) {
        for (const ContactState* state : {&viaTree, &viaLeaves}) {
            std::fprintf(stderr, "found %d at %.9g, %zu hits\n", state->found, state->nearestTime,
                         state->hitTriangles.size());
            printVec3("normal", state->contactNormal);
        }
        fail("the query differs from the walk over all leaves", sphere, vertices);
    }
    return 0;
}
