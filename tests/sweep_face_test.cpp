#include <gtest/gtest.h>

#include <limits>

#include "collision/sweep_face.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Against the plane z = 0 facing +z; the time is written only on contact.
TEST(SegmentCrossesPlane, StopsEpsilonShortAlongTheNormal) {
    useViewerEpsilon();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        Vec3 from, to;
        std::int32_t hits;
        float time;
    } cases[] = {
        {{0, 0, 2}, {0, 0, 0}, 1, (2.0f - 0.001f) / 2.0f},   // ends exactly on the plane
        {{3, 4, 2}, {9, -1, -2}, 1, (2.0f - 0.001f) / 4.0f},  // slanted: measured along the normal
        {{0, 0, 0}, {5, 0, 0}, 1, 0.0f},                      // starts on it, runs along it
        {{0, 0, 0.0005f}, {0, 0, -1}, 1, 0.0005f / 1.0005f},  // within epsilon: not moved back
        {{0, 0, 0.001f}, {0, 0, -1}, 1, 0.001f / 1.001f},     // d0 - eps = 0 is not above 0
        {{0, 0, 2}, {0, 0, 0.5f}, 0, 42},                     // ends in front
        {{0, 0, -2}, {0, 0, 5}, 0, 42},                       // starts behind
        {{0, 0, nan}, {0, 0, -1}, 0, 42},
    };
    for (const auto& c : cases) {
        float t = 42;
        EXPECT_EQ(segmentCrossesPlane(Plane(Vec3(0, 0, 1), 0), Segment(c.from, c.to), t), c.hits);
        EXPECT_EQ(t, c.time) << c.from.z;
    }
}

// The triangle (0,0,0), (8,0,0), (0,8,0), vertical drops from z = 3 to -7:
// inside and on the edges from V0, but not on (V1, V2) nor outside. The
// crossing time stays written when the point is outside.
TEST(SweepHitsFace, InsideAndOnTheEdgesFromV0ButNotOnV1V2) {
    useViewerEpsilon();
    Triangle triangle;
    triangle.init(Vec3(0, 0, 0), Vec3(8, 0, 0), Vec3(0, 8, 0));
    const struct {
        float x, y;
        std::int32_t hits;
    } cases[] = {{2, 2, 1},    {4, 0, 1}, {0, 4, 1}, {0, 0, 1},       {4, 4, 0},
                 {8, 0, 0}, {0, 8, 0}, {-0.01f, 2, 0}};
    for (const auto& c : cases) {
        float t = -1;
        EXPECT_EQ(sweepHitsFace(triangle, Segment(Vec3(c.x, c.y, 3), Vec3(c.x, c.y, -7)), t),
                  c.hits)
            << c.x << "," << c.y;
        EXPECT_EQ(t, (3.0f - 0.001f) / 10.0f);
    }
    float t = -1;
    Triangle steep;  // facing mostly +x: projected onto y and z
    steep.init(Vec3(0, 0, 0), Vec3(1, 8, 0), Vec3(1, 0, 8));
    EXPECT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 2, 2), Vec3(-5, 2, 2)), t), 1);
    EXPECT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 6, 6), Vec3(-5, 6, 6)), t), 0);
    Triangle hair;  // a floor tilted by a hair along x: still projected onto x and y
    hair.init(Vec3(0, 0, 0), Vec3(8, 0, 1e-6f), Vec3(0, 8, 0));
    EXPECT_EQ(sweepHitsFace(hair, Segment(Vec3(2, 2, 3), Vec3(2, 2, -7)), t), 1);
    EXPECT_EQ(sweepHitsFace(hair, Segment(Vec3(5, 5, 3), Vec3(5, 5, -7)), t), 0);
    // Normal (0, 1, 1) / sqrt 2: y and z tie and z is dropped. Two paths
    // through points within rounding of an edge, which the projection onto x
    // and y judges inside and outside, and that onto x and z the other way.
    Triangle tied;
    tied.init(Vec3(0, 0, 5), Vec3(4, 1, 4), Vec3(1, 3, 2));
    EXPECT_EQ(sweepHitsFace(tied, Segment(Vec3(0x1.1a022ep+1f, 0x1.686e6cp+0f, 0x1.539b1p+2f),
                                          Vec3(0x1.1a022ep+1f, -0x1.cd7d9cp-2f, 0x1.b94f34p+1f)), t),
              1);
    EXPECT_EQ(sweepHitsFace(tied, Segment(Vec3(0x1.7aeb4cp+0f, 0x1.00434cp+2f, 0x1.d278c6p+1f),
                                          Vec3(0x1.7aeb4cp+0f, 0x1.41106cp+1f, 0x1.13029cp+1f)), t),
              0);
    Triangle flat;  // no area
    flat.init(Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(8, 0, 0));
    EXPECT_EQ(sweepHitsFace(flat, Segment(Vec3(2, 0, 3), Vec3(2, 0, -7)), t), 0);
}

}  // namespace
