#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "collision/sweep_edge.h"
#include "collision/sweep_edge_exact.h"
#include "collision/sweep_triangle_lanes.h"
#include "collision/sweep_vertex.h"

namespace {

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The three-lane forms against three calls of the scalar tests, bit for bit,
// on random sweeps that hit, miss, start overlapping and stand still, and on
// triangles with a repeated corner (a zero-length edge).
TEST(SweepTriangleLanes, GiveTheScalarTestsBits) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
    const auto point = [&] { return Vec3(coordinate(random), coordinate(random), coordinate(random)); };
    int hits[3] = {0, 0, 0};
    int missedLines = 0;
    for (int i = 0; i < 20000; ++i) {
        Triangle triangle;
        const Vec3 a = point();
        triangle.init(a, i % 50 == 0 ? a : point(), point());
        const PreparedTriangle prepared = prepareTriangle(triangle);
        const Vec3 step = i % 97 == 0 ? Vec3() : point() * 0.5f;
        const SweptSphere sphere(point(), step, 0.05f + 0.5f * std::fabs(coordinate(random)));
        const SweepSetup setup = prepareSweep(sphere, EdgeRule::Exact);
        TriangleEdgeHits design;
        TriangleEdgeHits exact;
        TriangleCornerHits corners;
        sweepHitsEdges(sphere, setup, prepared, design);
        sweepHitsEdgesExact(sphere, setup, prepared, exact);
        sweepHitsCorners(sphere, setup, prepared, corners);
        for (int e = 0; e < 3; ++e) {
            const Vec3& start = prepared.corners[e];
            const Vec3& end = prepared.corners[(e + 1) % 3];
            float time = -1.0f;
            float fraction = -1.0f;
            const bool designHit = sweepHitsEdge(sphere, setup, Segment(start, end), time, fraction) != 0;
            ASSERT_EQ(((design.hit >> e & 1) != 0), designHit) << i << " edge " << e;
            if (designHit) {
                ASSERT_EQ(bits(design.time[e]), bits(time)) << i;
                ASSERT_EQ(bits(design.fraction[e]), bits(fraction)) << i;
            }
            bool lineMissed = true;
            const bool exactHit =
                sweepHitsEdgeExact(sphere, setup, start, end, time, fraction, &lineMissed) != 0;
            ASSERT_EQ(((exact.hit >> e & 1) != 0), exactHit) << i << " edge " << e;
            ASSERT_EQ(((exact.lineMissed >> e & 1) != 0), lineMissed) << i << " edge " << e;
            if (exactHit) {
                ASSERT_EQ(bits(exact.time[e]), bits(time)) << i;
                ASSERT_EQ(bits(exact.fraction[e]), bits(fraction)) << i;
            }
            const Vec3 m = sphere.position - start;
            ASSERT_EQ((corners.awayUntouched >> e & 1) != 0,
                      dot(sphere.displacement, m) >= 0.0f && dot(m, m) > setup.radiusSquared);
            const bool cornerHit = sweepHitsVertex(sphere, setup, start, time) != 0;
            ASSERT_EQ(((corners.hit >> e & 1) != 0), cornerHit) << i << " corner " << e;
            if (cornerHit) {
                ASSERT_EQ(bits(corners.time[e]), bits(time)) << i;
            }
            hits[0] += designHit ? 1 : 0;
            hits[1] += exactHit ? 1 : 0;
            hits[2] += cornerHit ? 1 : 0;
            missedLines += lineMissed ? 1 : 0;
        }
    }
    EXPECT_GT(hits[0], 1000);
    EXPECT_GT(hits[1], 1000);
    EXPECT_GT(hits[2], 500);
    EXPECT_GT(missedLines, 2000);
}

}  // namespace
