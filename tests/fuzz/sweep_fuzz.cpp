// Random spheres, displacements and triangles, with non-numbers, infinities,
// huge, tiny and degenerate values among them, through the triangle test and
// the query. Checks what must hold for any input: no crash, a contact time in
// [0, 1], a unit contact normal for well-posed input, and the query equal to a
// walk over all leaves without box tests, and the first-contact sweep equal
// to a test of every triangle.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "collision/sweep_first.h"
#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Takes values from the front of the fuzzer's bytes; zeros once they run out.
struct ByteReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t used = 0;
    std::uint8_t byte() { return used < size ? data[used++] : 0; }
    int choice(int count) { return byte() % count; }
    float number() {
        constexpr float inf = std::numeric_limits<float>::infinity();
        constexpr float special[] = {0.0f,
                                     -0.0f,
                                     inf,
                                     -inf,
                                     std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::min(),
                                     std::numeric_limits<float>::denorm_min(),
                                     1e-30f,
                                     1e30f,
                                     0.001f,
                                     2.5f};
        switch (choice(4)) {
            case 0: {
                std::uint32_t bits = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    bits |= static_cast<std::uint32_t>(byte()) << shift;
                }
                return std::bit_cast<float>(bits);
            }
            case 1:
                return special[choice(std::size(special))];
            default:  // mostly small values on a grid, where contacts happen
                return static_cast<float>(static_cast<std::int8_t>(byte())) * 0.25f;
        }
    }
    Vec3 vec3() {
        const float x = number();
        const float y = number();
        return Vec3(x, y, number());
    }
};

// Inside this range no product or sum of the tests overflows or loses the
// tolerance to rounding, so a contact's normal must be a unit vector.
bool wellPosed(const Vec3& v) {
    return std::fabs(v.x) <= 1e4f && std::fabs(v.y) <= 1e4f && std::fabs(v.z) <= 1e4f;
}

float largest(const Vec3& v) {
    return std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
}

void fail(const char* what, const SweptSphere& sphere, const std::vector<Vec3>& vertices) {
    std::fprintf(stderr, "sweep_fuzz: %s\n  radius %.9g\n", what, sphere.radius);
    std::vector<Vec3> points{sphere.position, sphere.displacement};
    points.insert(points.end(), vertices.begin(), vertices.end());
    for (const Vec3& v : points) {  // position, displacement, then the vertices
        std::fprintf(stderr, "  (%.9g, %.9g, %.9g)\n", v.x, v.y, v.z);
    }
    std::abort();
}

bool sameState(const ContactState& a, const ContactState& b) {
    const auto bits = [](float f) { return std::bit_cast<std::uint32_t>(f); };
    return a.found == b.found && bits(a.nearestTime) == bits(b.nearestTime) &&
           (a.found == 0 || (bits(a.contactNormal.x) == bits(b.contactNormal.x) &&
                             bits(a.contactNormal.y) == bits(b.contactNormal.y) &&
                             bits(a.contactNormal.z) == bits(b.contactNormal.z) &&
                             a.hitTriangles == b.hitTriangles));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setCollisionEpsilon(0.001f);
    ByteReader input{data, size};
    const Vec3 position = input.vec3();
    const Vec3 displacement = input.vec3();
    const float radius = input.number();
    const SweptSphere sphere(position, displacement, radius);
    const bool sphereWellPosed =
        wellPosed(position) && wellPosed(displacement) && radius >= 0.01f && radius <= 1e4f;

    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    bool allWellPosed = sphereWellPosed;
    const int count = 1 + input.choice(8);
    for (int i = 0; i < count; ++i) {
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.push_back(input.vec3());
        // Shared corners and zero-length edges are worth a choice of their own.
        vertices.push_back(input.choice(2) == 0 ? vertices[base] : input.vec3());
        vertices.push_back(input.vec3());
        triangles.push_back(meshTriangle(base, base + 1, base + 2));

        Triangle triangle;
        triangle.init(vertices[base], vertices[base + 1], vertices[base + 2]);
        const bool triangleWellPosed = wellPosed(vertices[base]) && wellPosed(vertices[base + 1]) &&
                                       wellPosed(vertices[base + 2]);
        allWellPosed = allWellPosed && triangleWellPosed;
        // The lanes give the scalar tests' bits for any input: non-numbers,
        // infinities and denormals go through the same IEEE operations.
        const LaneComparison lanes = compareLanesWithScalar(sphere, prepareTriangle(triangle));
        if (!lanes.difference.empty()) {
            fail(("lanes differ from the scalar test: " + lanes.difference).c_str(), sphere,
                 vertices);
        }
        Vec3 normal(7.0f, 7.0f, 7.0f);
        float time = -1.0f;
        if (sweepHitsTriangle(sphere, triangle, normal, time) == 0) {
            continue;
        }
        if (!(time >= 0.0f && time <= 1.0f)) {
            fail("contact time outside [0, 1]", sphere, vertices);
        }
        if (sphereWellPosed && triangleWellPosed && wellPosed(triangle.normal()) &&
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
    for (const Vec3& v : vertices) {
        scale = std::fmax(scale, largest(v));
    }
    scale = std::fmax(scale, std::fmax(largest(position), largest(displacement)));
    const float margin = 12.0f * std::fabs(radius) + scale * 0.001f;
    auto scene = buildScene(vertices, triangles);
    growBoxes(*scene, Vec3(margin, margin * 1.2345f, margin * 1.4321f));
    // Both edge rules, and the exact one with two-sided faces: the exact one
    // also prunes triangles by the nearest time.
    for (const SweepOptions rule : {SweepOptions(EdgeRule::Design), SweepOptions(EdgeRule::Exact),
                                    SweepOptions(EdgeRule::Exact, FaceSides::Two)}) {
        ContactState viaTree;
        ContactState viaLeaves;
        const std::int32_t treeResult = sweepQuery(*scene, sphere, viaTree, rule);
        const std::int32_t leavesResult = sweepAllLeaves(*scene, sphere, viaLeaves, false, rule);
        // Beyond the well-posed range the triangle test's products overflow or
        // lose the tolerance, and it can report contacts (with zero or
        // non-number normals) that no box, rightly, lets through: there only no
        // crash counts.
        if (allWellPosed && (treeResult != leavesResult || !sameState(viaTree, viaLeaves))) {
            fail("the query differs from the walk over all leaves", sphere, vertices);
        }
    }
    // The first contact needs no grown boxes: on the scene's own tree, the
    // time and triangle of testing every triangle.
    const auto ownTree = buildScene(vertices, triangles);
    for (const EdgeRule edges : {EdgeRule::Design, EdgeRule::Exact}) {
        for (const FaceSides faces : {FaceSides::One, FaceSides::Two, FaceSides::Cull}) {
            const SweepOptions options(edges, faces);
            const SweepSetup setup = prepareSweep(sphere, options);
            float best = 0.0f;
            std::int32_t bestTriangle = -1;
            for (std::size_t i = 0; i < triangles.size(); ++i) {
                Triangle triangle;
                triangle.init(vertices[3 * i], vertices[3 * i + 1], vertices[3 * i + 2]);
                Vec3 normal;
                float time = 0.0f;
                if (sweepHitsTriangle(sphere, setup, prepareTriangle(triangle), normal, time) != 0 &&
                    (bestTriangle < 0 || time < best)) {
                    best = time;
                    bestTriangle = static_cast<std::int32_t>(i);
                }
            }
            const SweepHit hit = sweepFirst(*ownTree, sphere, options);
            // As for the query above: beyond the well-posed range only no crash counts.
            if (allWellPosed && (hit.triangle != bestTriangle ||
                                 (hit.found && std::bit_cast<std::uint32_t>(hit.time) !=
                                                   std::bit_cast<std::uint32_t>(best)))) {
                fail("the first contact differs from testing every triangle", sphere, vertices);
            }
        }
    }
    return 0;
}
