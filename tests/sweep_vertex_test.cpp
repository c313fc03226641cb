#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "collision/sweep_vertex.h"
#include "support/test_scenes.h"

namespace {

// Radius 1, the point at the origin, moving (10, 0, 0) unless stated.
class SweepHitsVertexTest : public ::testing::Test {
protected:
    void SetUp() override { useViewerEpsilon(); }
    std::int32_t sweep(Vec3 centre, Vec3 displacement = Vec3(10, 0, 0)) {
        time = -1;
        return sweepHitsVertex(SweptSphere(centre, displacement, 1.0f), Vec3(), time);
    }
    float time = -1;
};

TEST_F(SweepHitsVertexTest, HeadOnStopsEpsilonShortAlongThePath) {
    ASSERT_EQ(sweep(Vec3(-5, 0, 0)), 1);
    // a = 100, b = -100, c = 24, disc = 400; root (100 - 20) * (1 / 200).
    const float root = (100.0f - 20.0f) * (1.0f / 200.0f);
    EXPECT_EQ(time, (root * 10.0f - 0.001f) / 10.0f);
    EXPECT_NEAR(time, 0.3999f, 1e-7f);
    ASSERT_EQ(sweep(Vec3(-5, 0.5f, 0)), 1);
    EXPECT_NEAR(time, 0.41330f, 1e-5f);
}

TEST_F(SweepHitsVertexTest, GrazingAtExactlyTheRadius) {
    ASSERT_EQ(sweep(Vec3(-5, 1, 0)), 1);  // disc = 0: the double root 0.5
    EXPECT_EQ(time, (0.5f * 10.0f - 0.001f) / 10.0f);
    EXPECT_EQ(sweep(Vec3(-5, 1.5f, 0)), 0);
    EXPECT_EQ(time, -1.0f);
}

TEST_F(SweepHitsVertexTest, ContactExactlyAtTheEndOfTheStep) {
    ASSERT_EQ(sweep(Vec3(-11, 0, 0)), 1);
    EXPECT_EQ(time, (10.0f - 0.001f) / 10.0f);
    EXPECT_EQ(sweep(Vec3(-11.5f, 0, 0)), 0);
}

TEST_F(SweepHitsVertexTest, StartingInOrNearContact) {
    EXPECT_EQ(sweep(Vec3(-0.5f, 0, 0)), 0);     // overlapping: the later root is ignored
    ASSERT_EQ(sweep(Vec3(-1.0005f, 0, 0)), 1);  // closer than epsilon: not moved back
    EXPECT_NEAR(time, 0.00005f, 1e-7f);
    ASSERT_EQ(sweep(Vec3(-1, 0, 0)), 1);  // touching at the start
    EXPECT_EQ(time, 0.0f);
}

TEST_F(SweepHitsVertexTest, DegenerateAndNonNumberInputs) {
    EXPECT_EQ(sweep(Vec3(-0.5f, 0, 0), Vec3()), 0);  // no motion: roots not numbers
    EXPECT_EQ(sweep(Vec3(-5, 0, 0), Vec3()), 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(sweep(Vec3(nan, 0, 0)), 0);
    EXPECT_EQ(sweep(Vec3(-5, 0, 0), Vec3(inf, 0, 0)), 0);
    EXPECT_EQ(time, -1.0f);
}

// The analytic first touch, moved back epsilon along the path.
TEST_F(SweepHitsVertexTest, TimeMatchesTheAnalyticRootMinusTheStopDistance) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int checked = 0;
    for (int i = 0; i < 5000; ++i) {
        const Vec3 o(unit(random) * 6, unit(random) * 6, unit(random) * 6);
        const Vec3 d(unit(random) * 12, unit(random) * 12, unit(random) * 12);
        if (sweepHitsVertex(SweptSphere(o, d, 2.5f), Vec3(), time) == 0) {
            continue;
        }
        const double a = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
        const double b = 2 * (double(d.x) * o.x + double(d.y) * o.y + double(d.z) * o.z);
        const double c = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z - 6.25;
        const double root = (-b - std::sqrt(b * b - 4 * a * c)) / (2 * a);
        const double expected = root * std::sqrt(a) > 0.001 ? root - 0.001 / std::sqrt(a) : root;
        EXPECT_NEAR(time, expected, 2e-5) << i;
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

// Pins the arithmetic: c is V.V + O.(O - 2V) - r^2; the algebraically equal
// |O - V|^2 - r^2 rounds differently here and gives t = 0x1.be29aap-3.
TEST_F(SweepHitsVertexTest, ConstantTermKeepsItsOrderOfOperations) {
    const Vec3 point(0x1.2467fap+6f, 0x1.3f9d06p+4f, -0x1.7e6f04p+4f);
    const SweptSphere sphere(Vec3(0x1.20f7e8p+6f, 0x1.44f714p+4f, -0x1.be0f66p+4f),
                             Vec3(-0x1.1c475p-3f, 0x1.f1aa12p+1f, 0x1.1ff5dcp+3f), 2.5f);
    ASSERT_EQ(sweepHitsVertex(sphere, point, time), 1);
    EXPECT_EQ(time, 0x1.be24b4p-3f);
}

}  // namespace
