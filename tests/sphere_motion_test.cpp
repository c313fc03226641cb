#include <gtest/gtest.h>

#include <cmath>

#include "app/sphere_motion.h"
#include "support/test_scenes.h"

namespace {

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A floor at y = 0 facing up (triangles 0, 1) and, when asked, a ceiling at
// y = 5 facing down (triangles 2, 3).
std::unique_ptr<CollisionMesh> floorScene(bool withCeiling) {
    std::vector<Vec3> vertices{Vec3(-50, 0, -50), Vec3(-50, 0, 50), Vec3(50, 0, 50),
                               Vec3(50, 0, -50)};
    std::vector<MeshTriangle> triangles{meshTriangle(0, 1, 2), meshTriangle(0, 2, 3)};
    if (withCeiling) {
        for (Vec3 v : {Vec3(-50, 5, -50), Vec3(-50, 5, 50), Vec3(50, 5, 50), Vec3(50, 5, -50)}) {
            vertices.push_back(v);
        }
        triangles.push_back(meshTriangle(4, 6, 5));
        triangles.push_back(meshTriangle(4, 7, 6));
    }
    return buildScene(std::move(vertices), std::move(triangles));
}

class SphereMotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        state = ContactState{};
    }
    StepOutcome step(CollisionMesh& scene) {
        return advanceSphere(scene, 2.5f, position, velocity, state);
    }
    ContactState state;
    Vec3 position;
    Vec3 velocity;
};

TEST_F(SphereMotionTest, WithoutContactTheSphereMovesByItsVelocity) {
    auto scene = floorScene(false);
    position = Vec3(0, 12.5f, 0);
    velocity = Vec3(1, -1, 1);
    state.hitTriangles = {5};
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, 0);
    EXPECT_EQ(position, Vec3(1, 11.5f, 1));
    EXPECT_EQ(velocity, Vec3(1, -1, 1));
    EXPECT_TRUE(state.hitTriangles.empty());  // emptied at the start of every step
}

TEST_F(SphereMotionTest, OneContactStopsThereAndReflectsWithTheOldSpeed) {
    auto scene = floorScene(false);
    position = Vec3(0, 3.5f, 0);
    velocity = Vec3(1, -2, 0);
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, 1);
    EXPECT_FALSE(outcome.reachedBound);
    const float t = (1.0f - 0.001f) / 2.0f;  // the leading point stops 0.001 above
    EXPECT_EQ(position, Vec3(0, 3.5f, 0) + Vec3(1, -2, 0) * t);
    EXPECT_NEAR(velocity.x, 1.0f, 1e-6f);
    EXPECT_NEAR(velocity.y, 2.0f, 1e-6f);
    EXPECT_EQ(velocity.z, 0.0f);
    EXPECT_NEAR(length(velocity), std::sqrt(5.0f), 1e-6f);
    ASSERT_EQ(state.hitTriangles.size(), 1u);
    EXPECT_EQ(state.contactNormal, Vec3(0, 1, 0));
}

TEST_F(SphereMotionTest, HeadOnReversesTheVelocity) {
    auto scene = floorScene(false);
    position = Vec3(3, 4.5f, 3);
    velocity = Vec3(0, -3, 0);
    step(*scene);
    EXPECT_EQ(velocity, Vec3(0, 3, 0));
    EXPECT_NEAR(position.y, 2.501f, 1e-5f);
}

TEST_F(SphereMotionTest, ContactAtTimeZeroOnlyTurnsTheVelocity) {
    auto scene = floorScene(false);
    position = Vec3(1, 2.5f, 1);  // the leading point lies on the floor
    velocity = Vec3(1, -1, 0);
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, 1);
    EXPECT_EQ(position, Vec3(1, 2.5f, 1));
    EXPECT_NEAR(velocity.x, 1.0f, 1e-6f);
    EXPECT_NEAR(velocity.y, 1.0f, 1e-6f);
}

TEST_F(SphereMotionTest, TwoWallsAtTheSameTimeReflectAboutTheirSummedNormal) {
    auto room = roomScene();
    position = Vec3(-36.5f, -36.5f, 0);  // 1 from the floor and the wall x = -40
    velocity = Vec3(-2, -2, 0);
    step(*room);
    EXPECT_GE(state.hitTriangles.size(), 2u);
    EXPECT_NEAR(state.contactNormal.x, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(state.contactNormal.y, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(velocity.x, 2.0f, 1e-5f);
    EXPECT_NEAR(velocity.y, 2.0f, 1e-5f);
}

// The last contact falls at exactly t = 1 (the leading point starts closer
// than epsilon to the floor and ends on it): no motion is left to take the new
// direction from, so the reflected motion gives it.
TEST_F(SphereMotionTest, ContactExactlyAtTheEndOfTheStepKeepsAFiniteVelocity) {
    auto scene = floorScene(false);
    position = Vec3(0, 2.5f + 0.0005f, 0);
    const float height = position.y - 2.5f;  // exact
    velocity = Vec3(1, -height, 0);
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, 1);
    EXPECT_EQ(state.nearestTime, 1.0f);
    EXPECT_EQ(position, Vec3(1, 2.5f, 0));
    ASSERT_TRUE(finite(velocity));
    EXPECT_NEAR(velocity.x, 1.0f, 1e-6f);
    EXPECT_NEAR(velocity.y, height, 1e-6f);
    EXPECT_EQ(length(velocity), length(Vec3(1, -height, 0)));
}

// Wedged exactly between floor and ceiling and moving along them: both are met
// at t = 0 with opposite normals, whose sum has no direction. The motion is
// reversed, the same happens again, and the step ends at the contact bound.
TEST_F(SphereMotionTest, CancellingNormalsAndTheContactBoundStayFinite) {
    auto scene = floorScene(true);
    position = Vec3(10, 2.5f, 0);
    velocity = Vec3(1, 0, 0.5f);
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, MAX_CONTACTS_PER_STEP);
    EXPECT_TRUE(outcome.reachedBound);
    EXPECT_EQ(position, Vec3(10, 2.5f, 0));
    ASSERT_TRUE(finite(velocity));
    ASSERT_TRUE(finite(state.contactNormal));
    EXPECT_NEAR(length(velocity), length(Vec3(1, 0, 0.5f)), 1e-6f);
    // Every sweep of the step finds the same time, so each appends its floor and
    // ceiling triangle to the step's list.
    EXPECT_EQ(state.hitTriangles.size(), 2u * MAX_CONTACTS_PER_STEP);
}

TEST_F(SphereMotionTest, ZeroVelocityOnTheFloorStaysStill) {
    auto scene = floorScene(false);
    position = Vec3(0, 2.5f, 0);
    velocity = Vec3();
    const StepOutcome outcome = step(*scene);
    EXPECT_EQ(outcome.contacts, 1);  // no motion left after the contact: the step ends
    EXPECT_FALSE(outcome.reachedBound);
    EXPECT_EQ(position, Vec3(0, 2.5f, 0));
    EXPECT_EQ(velocity, Vec3());
}

// The viewer's start state in a closed room: the sphere bounces inside and
// never leaves, and its speed never drifts.
TEST_F(SphereMotionTest, TheViewersSphereStaysInsideAClosedRoom) {
    auto room = roomScene();
    position = Vec3(0, 12.5f, 0);
    velocity = Vec3(1, -1, 1);
    int contacts = 0;
    for (int i = 0; i < 20'000; ++i) {
        contacts += step(*room).contacts;
        ASSERT_TRUE(finite(position) && finite(velocity)) << i;
        ASSERT_LT(std::fabs(position.x), 40.0f - 2.4f) << i;
        ASSERT_LT(std::fabs(position.y), 40.0f - 2.4f) << i;
        ASSERT_LT(std::fabs(position.z), 40.0f - 2.4f) << i;
        ASSERT_NEAR(length(velocity), std::sqrt(3.0f), 1e-3f) << i;
    }
    EXPECT_GT(contacts, 100);
}

}  // namespace
