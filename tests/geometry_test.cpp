#include <gtest/gtest.h>

#include <cmath>

#include "geometry/line.h"
#include "geometry/plane.h"
#include "geometry/segment.h"
#include "geometry/swept_sphere.h"
#include "geometry/triangle.h"
#include "geometry/vec3.h"

namespace {

void expectVec(const Vec3& actual, float x, float y, float z) {
    EXPECT_EQ(actual.x, x);
    EXPECT_EQ(actual.y, y);
    EXPECT_EQ(actual.z, z);
}

TEST(Vec3Operations, ArithmeticIsComponentWise) {
    const Vec3 a(1, 2, 3);
    const Vec3 b(4, -5, 6);
    expectVec(Vec3(), 0, 0, 0);
    expectVec(a + b, 5, -3, 9);
    expectVec(a - b, -3, 7, -3);
    expectVec(a * 2.0f, 2, 4, 6);
    expectVec(componentProduct(a, b), 4, -10, 18);
    EXPECT_EQ(dot(a, b), 12.0f);
    EXPECT_EQ(lengthSquared(a), 14.0f);
    EXPECT_EQ(length(Vec3(3, 4, 12)), 13.0f);
    Vec3 c = a;
    c += b;
    expectVec(c, 5, -3, 9);
}

TEST(Vec3Operations, CrossProductIsRightHanded) {
    expectVec(cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), 0, 0, 1);
    expectVec(cross(Vec3(0, 1, 0), Vec3(1, 0, 0)), 0, 0, -1);
    expectVec(cross(Vec3(1, 2, 3), Vec3(4, 5, 6)), -3, 6, -3);
}

TEST(Vec3Operations, NormaliseMultipliesByTheRoundedReciprocal) {
    // For (3, 1, 1), 3 times the rounded factor 1/sqrt(11) is 0x1.cf1f16p-1;
    // dividing 3 by the length would give 0x1.cf1f14p-1.
    Vec3 v(3, 1, 1);
    Vec3& same = v.normalize();
    EXPECT_EQ(&same, &v);
    expectVec(v, 0x1.cf1f16p-1f, 0x1.34bf64p-2f, 0x1.34bf64p-2f);
    const Vec3 source(3, 0, 4);
    expectVec(normalized(source), 0.6f, 0.0f, 0.8f);
    expectVec(source, 3, 0, 4);
}

TEST(Vec3Operations, NormalisingZeroGivesNonNumbers) {
    const Vec3 n = normalized(zeroVector);
    EXPECT_TRUE(std::isnan(n.x) && std::isnan(n.y) && std::isnan(n.z));
}

TEST(TriangleNormal, FollowsTheRightHandRuleOfTheCornerOrder) {
    Triangle t;
    t.init(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    expectVec(t.normal(), 0, 0, 1);
    Triangle flipped;
    flipped.init(Vec3(0, 0, 0), Vec3(0, 1, 0), Vec3(1, 0, 0));
    expectVec(flipped.normal(), 0, 0, -1);
    Triangle upward;
    upward.init(Vec3(0, 0, 0), Vec3(0, 0, 2), Vec3(2, 0, 0));
    expectVec(upward.normal(), 0, 1, 0);
}

TEST(TriangleNormal, StartsEmptyAndIsCachedUntilInit) {
    Triangle t;
    EXPECT_EQ(t.normalValid, 0);
    expectVec(t.cachedNormal, 0, 0, 0);
    for (const Vec3& corner : t.corners) {
        expectVec(corner, 0, 0, 0);
    }
    t.init(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(t.normalValid, 0);
    expectVec(t.normal(), 0, 0, 1);
    EXPECT_EQ(t.normalValid, 1);
    t.corners[2] = Vec3(0, 0, 1);  // changed behind the cache's back: not seen
    expectVec(t.normal(), 0, 0, 1);
    t.init(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 0, 1));
    EXPECT_EQ(t.normalValid, 0);
    expectVec(t.normal(), 0, -1, 0);
}

TEST(TriangleNormal, IsNewellsSumNotTheCrossProduct) {
    // Newell's sum and the cross product of two edges round differently away
    // from the origin; the exact bits pin the method.
    Triangle t;
    t.init(Vec3(100.1f, 3.3f, -7.7f), Vec3(101.3f, 4.9f, -6.1f), Vec3(99.7f, 5.2f, -5.3f));
    const Vec3 n = t.normal();
    Vec3 viaCross = normalized(cross(t.corners[1] - t.corners[0], t.corners[2] - t.corners[0]));
    EXPECT_NEAR(n.x, viaCross.x, 1e-4f);
    EXPECT_NEAR(n.y, viaCross.y, 1e-4f);
    EXPECT_NEAR(n.z, viaCross.z, 1e-4f);
    expectVec(n, 0x1.60e0b2p-3f, -0x1.842b4p-1f, 0x1.4200dep-1f);
}

TEST(TriangleNormal, WithoutAreaIsNotANumber) {
    Triangle collinear;
    collinear.init(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2));
    EXPECT_TRUE(std::isnan(collinear.normal().x));
    Triangle point;
    point.init(Vec3(5, 5, 5), Vec3(5, 5, 5), Vec3(5, 5, 5));
    EXPECT_TRUE(std::isnan(point.normal().z));
}

TEST(Shapes, HoldTheirFields) {
    Segment s(Vec3(1, 2, 3), Vec3(4, 6, 8));
    expectVec(s.direction(), 3, 4, 5);
    Line line;
    line.init(Vec3(1, 1, 1), Vec3(0, 2, 0));
    expectVec(line.point, 1, 1, 1);
    expectVec(line.direction, 0, 2, 0);  // kept, not normalised
    const Plane plane(Vec3(0, 0, 1), 2.5f);
    EXPECT_EQ(plane.offset, 2.5f);
    const SweptSphere sphere(Vec3(1, 2, 3), Vec3(0, 0, -1), 2.5f);
    EXPECT_EQ(sphere.radius, 2.5f);
    expectVec(zeroVector, 0, 0, 0);
}

}  // namespace
