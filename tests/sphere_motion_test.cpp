#include <gtest/gtest.h>

#include <cmath>

#include "collision/sphere_motion.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Radius 2.5 above a floor at y = 0 (triangles 0 and 1), under a ceiling at
// y = 5 (triangles 2 and 3) when asked for.
class SphereMotionTest : public ::testing::Test {
protected:
    void SetUp() override { useViewerEpsilon(); }

    StepOutcome step(Vec3 from, Vec3 velocityBefore, bool ceiling = false) {
        std::vector<Vec3> vertices{{-50, 0, -50}, {-50, 0, 50}, {50, 0, 50}, {50, 0, -50},
                                   {-50, 5, -50}, {-50, 5, 50}, {50, 5, 50}, {50, 5, -50}};
        std::vector<MeshTriangle> triangles{meshTriangle(0, 1, 2), meshTriangle(0, 2, 3)};
        if (ceiling) {
            triangles.push_back(meshTriangle(4, 6, 5));
            triangles.push_back(meshTriangle(4, 7, 6));
        }
        scene = buildScene(vertices, triangles);
        position = from;
        velocity = velocityBefore;
        state.hitTriangles = {99};
        return advanceSphere(*scene, 2.5f, position, velocity, state);
    }

    std::unique_ptr<CollisionMesh> scene;
    ContactState state;
    Vec3 position;
    Vec3 velocity;
};

TEST_F(SphereMotionTest, AContactStopsTheSphereAndReflectsItWithTheOldSpeed) {
    EXPECT_EQ(step({0, 3.5f, 0}, {1, -2, 0}).contacts, 1);
    EXPECT_EQ(position, Vec3(0, 3.5f, 0) + Vec3(1, -2, 0) * ((1.0f - 0.001f) / 2.0f));
    EXPECT_NEAR(velocity.x, 1.0f, 1e-6f);
    EXPECT_NEAR(velocity.y, 2.0f, 1e-6f);
    EXPECT_EQ(state.contactNormal, Vec3(0, 1, 0));  // normalised in place
    EXPECT_EQ(state.hitTriangles.size(), 1u);

    step({3, 4.5f, 3}, {0, -3, 0});  // head on: reversed
    EXPECT_EQ(velocity, Vec3(0, 3, 0));
    step({1, 2.5f, 1}, {1, -1, 0});  // contact at time 0: only turned
    EXPECT_EQ(position, Vec3(1, 2.5f, 1));
    EXPECT_NEAR(velocity.y, 1.0f, 1e-6f);
}

TEST_F(SphereMotionTest, TwoWallsMetTogetherReflectAboutTheirSummedNormal) {
    auto room = roomScene(40);
    position = Vec3(-36.5f, -36.5f, 0);  // 1 from the floor and from the wall x = -40
    velocity = Vec3(-2, -2, 0);
    advanceSphere(*room, 2.5f, position, velocity, state);
    EXPECT_GE(state.hitTriangles.size(), 2u);
    EXPECT_NEAR(state.contactNormal.x, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(velocity.x, 2.0f, 1e-5f);
    EXPECT_NEAR(velocity.y, 2.0f, 1e-5f);
    position = Vec3(0, 0, -36.5f);  // a normal along z alone: mirrored, not sent back
    velocity = Vec3(1, 0, -2);
    advanceSphere(*room, 2.5f, position, velocity, state);
    EXPECT_NEAR(velocity.x, 1.0f, 1e-5f);
    EXPECT_NEAR(velocity.z, 2.0f, 1e-5f);
}

// The contact falls at exactly t = 1 (starting within epsilon of the floor and
// ending on it): no motion is left to take the direction from, so the
// reflected motion gives it, and the step ends there.
TEST_F(SphereMotionTest, ContactExactlyAtTheEndOfTheStepKeepsAFiniteVelocity) {
    const float height = (2.5f + 0.0005f) - 2.5f;
    EXPECT_EQ(step({0, 2.5f + 0.0005f, 0}, {1, -height, 0}).contacts, 1);
    EXPECT_EQ(state.nearestTime, 1.0f);
    EXPECT_EQ(position, Vec3(1, 2.5f, 0));
    EXPECT_NEAR(velocity.y, height, 1e-6f);
    EXPECT_EQ(length(velocity), length(Vec3(1, -height, 0)));

    EXPECT_EQ(step({0, 2.5f, 0}, {0, 0, 0}).contacts, 1);  // resting, not moving: stays
    EXPECT_EQ(velocity, Vec3());
}

// Wedged between floor and ceiling and moving along them: both are met at
// t = 0 with opposite normals, whose sum has no direction. The motion is
// reversed, the same happens again, and the step ends at the contact bound.
TEST_F(SphereMotionTest, CancellingNormalsAndTheContactBoundStayFinite) {
    const StepOutcome outcome = step({10, 2.5f, 0}, {1, 0, 0.5f}, true);
    EXPECT_EQ(outcome.contacts, MAX_CONTACTS_PER_STEP);
    EXPECT_TRUE(outcome.reachedBound);
    EXPECT_EQ(position, Vec3(10, 2.5f, 0));
    ASSERT_TRUE(std::isfinite(dot(velocity, velocity) + dot(state.contactNormal, state.contactNormal)));
    EXPECT_EQ(length(velocity), length(Vec3(1, 0, 0.5f)));
    EXPECT_EQ(state.hitTriangles.size(), 2u * MAX_CONTACTS_PER_STEP);  // each sweep appends two
}

}  // namespace
