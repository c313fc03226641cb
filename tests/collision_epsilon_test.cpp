#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometry/collision_epsilon.h"

namespace {

// One sequence from the process's initial state: the tolerance is a global.
TEST(CollisionEpsilon, AcceptsFromTheSmallestValueAndRefusesTheRest) {
    EXPECT_EQ(collisionEpsilon, 0.1f);
    EXPECT_EQ(setCollisionEpsilon(0.001f), 0.1f);
    EXPECT_EQ(collisionEpsilon, 0.001f);

    EXPECT_EQ(setCollisionEpsilon(0.000001f), 0.001f);  // below the smallest: refused
    EXPECT_EQ(collisionEpsilon, 0.001f);
    EXPECT_EQ(setCollisionEpsilon(-1.0f), 0.001f);
    EXPECT_EQ(setCollisionEpsilon(std::numeric_limits<float>::quiet_NaN()), 0.001f);
    EXPECT_EQ(setCollisionEpsilon(-std::numeric_limits<float>::infinity()), 0.001f);
    EXPECT_EQ(setCollisionEpsilon(std::nextafter(0.00001f, 0.0f)), 0.001f);
    EXPECT_EQ(collisionEpsilon, 0.001f);

    EXPECT_EQ(setCollisionEpsilon(0.00001f), 0.001f);  // the smallest itself is accepted
    EXPECT_EQ(collisionEpsilon, 0.00001f);
    EXPECT_EQ(setCollisionEpsilon(0.001f), 0.00001f);
}

}  // namespace
