#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometry/collision_epsilon.h"
#include "geometry/triangle.h"

using namespace sweepview;

namespace {

// The factor 1/length is rounded to float before it multiplies: for (3, 1, 1)
// that gives 0x1.cf1f16p-1 where dividing by the length would give ...14p-1.
TEST(Vec3Operations, NormaliseMultipliesByTheRoundedReciprocal) {
    Vec3 v(3, 1, 1);
    EXPECT_EQ(&v.normalize(), &v);
    EXPECT_EQ(v, Vec3(0x1.cf1f16p-1f, 0x1.34bf64p-2f, 0x1.34bf64p-2f));
    EXPECT_EQ(normalized(Vec3(3, 0, 4)), Vec3(0.6f, 0.0f, 0.8f));
    EXPECT_TRUE(std::isnan(normalized(zeroVector).x));
    EXPECT_EQ(cross(Vec3(1, 2, 3), Vec3(4, 5, 6)), Vec3(-3, 6, -3));  // right-handed
}

// Newell's sum over the corner order, cached until init. Away from the origin
// it rounds differently from the cross product of two edges: the bits pin it.
TEST(TriangleNormal, NewellsSumOverTheCornerOrderCachedUntilInit) {
    Triangle t;
    t.init(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(t.normal(), Vec3(0, 0, 1));
    t.corners[2] = Vec3(0, 0, 1);  // changed behind the cache's back: not seen
    EXPECT_EQ(t.normal(), Vec3(0, 0, 1));
    t.init(Vec3(0, 0, 0), Vec3(0, 0, 2), Vec3(2, 0, 0));
    EXPECT_EQ(t.normal(), Vec3(0, 1, 0));
    t.init(Vec3(100.1f, 3.3f, -7.7f), Vec3(101.3f, 4.9f, -6.1f), Vec3(99.7f, 5.2f, -5.3f));
    EXPECT_EQ(t.normal(), Vec3(0x1.60e0b2p-3f, -0x1.842b4p-1f, 0x1.4200dep-1f));
    t.init(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2));  // no area
    EXPECT_TRUE(std::isnan(t.normal().x));
}

// One sequence from the process's initial state: the tolerance is a global.
TEST(CollisionEpsilon, AcceptsFromTheSmallestValueAndRefusesTheRest) {
    EXPECT_EQ(collisionEpsilon, 0.1f);
    EXPECT_EQ(setCollisionEpsilon(0.001f), 0.1f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float refused : {0.000001f, -1.0f, nan, -inf, std::nextafter(0.00001f, 0.0f)}) {
        EXPECT_EQ(setCollisionEpsilon(refused), 0.001f) << refused;
    }
    EXPECT_EQ(setCollisionEpsilon(0.00001f), 0.001f);  // the smallest itself is accepted
    EXPECT_EQ(collisionEpsilon, 0.00001f);
}

}  // namespace
