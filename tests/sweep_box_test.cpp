#include <gtest/gtest.h>

#include <limits>

#include "collision/sweep_box.h"

namespace {

// The unit box grown by radius 1: lo = (-2, -2, -2), hi = (2, 2, 2).
struct BoxCase {
    NodeBox box{Vec3(0, 0, 0), Vec3(1, 1, 1)};
    std::int32_t hits(Vec3 position, Vec3 displacement) {
        return sweepHitsBox(SweptSphere(position, displacement, 1.0f), box);
    }
    std::pair<std::int32_t, std::int32_t> codes(Vec3 position, Vec3 displacement) {
        std::int32_t s = -1;
        std::int32_t e = -1;
        boxOutcodes(SweptSphere(position, displacement, 1.0f), box, s, e);
        return {s, e};
    }
};

TEST(BoxOutcodes, UseTheDesignedBitsStrictly) {
    EXPECT_EQ(OUT_X_MIN, 1);
    EXPECT_EQ(OUT_X_MAX, 2);
    EXPECT_EQ(OUT_Y_MAX, 4);
    EXPECT_EQ(OUT_Y_MIN, 8);
    EXPECT_EQ(OUT_Z_MIN, 16);
    EXPECT_EQ(OUT_Z_MAX, 32);
    BoxCase c;
    EXPECT_EQ(c.codes(Vec3(-3, 3, -3), Vec3(6, -6, 6)), std::make_pair(1 | 4 | 16, 2 | 8 | 32));
    // On the grown surface counts as inside.
    EXPECT_EQ(c.codes(Vec3(-2, 2, -2), Vec3(4, -4, 4)), std::make_pair(0, 0));
    EXPECT_EQ(c.codes(Vec3(std::nextafter(-2.0f, -3.0f), 0, 0), Vec3()),
              std::make_pair(OUT_X_MIN, OUT_X_MIN));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(c.codes(Vec3(nan, nan, nan), Vec3()), std::make_pair(0, 0));
}

TEST(BoxOutcodes, FillTheBoundsCacheOnFirstUse) {
    BoxCase c;
    EXPECT_EQ(c.box.boundsValid, 0);
    EXPECT_EQ(c.hits(Vec3(50, 50, 50), Vec3(1, 0, 0)), 0);
    EXPECT_EQ(c.box.boundsValid, 1);
    EXPECT_EQ(c.box.boundsMin, Vec3(-1, -1, -1));
    EXPECT_EQ(c.box.boundsMax, Vec3(1, 1, 1));
    // A valid cache is trusted, not recomputed: the box test sees the cached bounds.
    c.box.centre = Vec3(100, 0, 0);
    EXPECT_EQ(c.hits(Vec3(0, 0, 0), Vec3()), 1);
}

TEST(SweepHitsBox, TrivialAcceptAndReject) {
    BoxCase c;
    EXPECT_EQ(c.hits(Vec3(-3, 3, 0), Vec3(6, 0, 0)), 0);          // both above
    EXPECT_EQ(c.hits(Vec3(0.5f, 0.5f, 0.5f), Vec3(1, 1, 1)), 1);  // both inside
    EXPECT_EQ(c.hits(Vec3(2, 0, 0), Vec3(0, 1, 0)), 1);           // on the face plane
    EXPECT_EQ(c.hits(Vec3(-2, -2, -2), Vec3()), 1);               // resting on a corner
    EXPECT_EQ(c.hits(Vec3(-2.5f, 0, 0), Vec3()), 0);              // resting outside
}

TEST(SweepHitsBox, CrossingAFace) {
    BoxCase c;
    EXPECT_EQ(c.codes(Vec3(-10, 0, 0), Vec3(20, 0, 0)), std::make_pair(1, 2));
    EXPECT_EQ(c.hits(Vec3(-10, 0, 0), Vec3(20, 0, 0)), 1);
    EXPECT_EQ(c.hits(Vec3(-3, 0.5f, 0), Vec3(3.5f, 2.5f, 0)), 1);  // x = -2 at y ~ 1.21
    EXPECT_EQ(c.hits(Vec3(0, -10, 0), Vec3(0, 20, 0)), 1);         // y faces
    EXPECT_EQ(c.hits(Vec3(0, 0, 10), Vec3(0, 0, -20)), 1);         // z faces
    // Only the end code has bits: found from the far side.
    EXPECT_EQ(c.hits(Vec3(0, 0, 0), Vec3(0, 0, 10)), 1);
}

TEST(SweepHitsBox, PassingBeyondACorner) {
    BoxCase c;
    // x = -2 is crossed at y = 2.25, y = 2 at x = -2.2: both outside.
    EXPECT_EQ(c.codes(Vec3(-3, 1, 0), Vec3(2, 2.5f, 0)), std::make_pair(1, 4));
    EXPECT_EQ(c.hits(Vec3(-3, 1, 0), Vec3(2, 2.5f, 0)), 0);
}

TEST(SweepHitsBox, GrazingTheGrownSurfaceIsRejected) {
    BoxCase c;
    // Runs in the face plane x = 2: its crossings have x = 2, not strictly inside.
    EXPECT_EQ(c.codes(Vec3(2, -5, 0), Vec3(0, 10, 0)), std::make_pair(8, 4));
    EXPECT_EQ(c.hits(Vec3(2, -5, 0), Vec3(0, 10, 0)), 0);
    // Through the grown box's edge exactly.
    EXPECT_EQ(c.hits(Vec3(-3, 3, 0), Vec3(2, -2, 0)), 0);
}

TEST(SweepHitsBox, NonNumbersNeverCrash) {
    BoxCase c;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // No bits set at all: accepted, and the exact tests below decide.
    EXPECT_EQ(c.hits(Vec3(nan, 0, 0), Vec3(1, 0, 0)), 1);
    EXPECT_EQ(c.hits(Vec3(-10, 0, 0), Vec3(inf, 0, 0)), 1);   // crossing at t = 0: accepted
    EXPECT_EQ(c.hits(Vec3(-inf, 0, 0), Vec3(inf, 0, 0)), 0);  // crossing time not a number
}

}  // namespace
