#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/model_bounds.h"
#include "app/step_clock.h"
#include "support/test_scenes.h"

namespace sweepview {
namespace {

TEST(StepClock, StepsFallDueAtTheRateFromTheStartAndABacklogIsDropped) {
    StepClock clock{30.0};
    restartClock(clock, 10.0);
    EXPECT_EQ(takeDueSteps(clock, 10.0), 1);  // the first step at once
    EXPECT_EQ(takeDueSteps(clock, 10.0), 0);
    EXPECT_EQ(takeDueSteps(clock, 10.5), 15);  // steps 0 to 15 due by half a second
    EXPECT_NEAR(secondsToNextStep(clock, 10.5), 1.0 / 30.0, 1e-9);  // step 16
    EXPECT_EQ(secondsToNextStep(clock, 11.0), 0.0);
    EXPECT_EQ(takeDueSteps(clock, 9.0), 0);   // a time before the start
    EXPECT_EQ(takeDueSteps(clock, 20.0), 30);  // ten seconds late: one second's steps
    EXPECT_EQ(takeDueSteps(clock, 20.0), 0);
    EXPECT_EQ(takeDueSteps(clock, NAN), 0);

    StepClock perFrame{0.0};
    restartClock(perFrame, 0.0);
    EXPECT_EQ(takeDueSteps(perFrame, 5.0), 0);
    EXPECT_EQ(secondsToNextStep(perFrame, 5.0), 0.0);
}

TEST(ViewerCommandLine, WindowSizeIsTakenOnlyWhole) {
    int width = 1;
    int height = 2;
    EXPECT_TRUE(parseWindowSize("800x600", width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_TRUE(parseWindowSize("64X8192", width, height));
    for (const char* bad : {"63x600", "800x", "x600", "8193x64", "800x600x2", "-800x600", "800*600", "", "99999x1"}) {
        width = 1;
        height = 2;
        EXPECT_FALSE(parseWindowSize(bad, width, height)) << bad;
        EXPECT_EQ(width, 1) << bad;
        EXPECT_EQ(height, 2) << bad;
    }
}

ParsedCommandLine parse(std::vector<std::string> words) {
    words.insert(words.begin(), "sweepview");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(ViewerCommandLine, WalkOptionsAreTakenOnlyWithWalk) {
    const ParsedCommandLine walk = parse({"a.dorn", "--walk", "--step-height", "0.5", "--max-slope", "30"});
    ASSERT_FALSE(walk.exitStatus);
    EXPECT_TRUE(walk.options.walk);
    EXPECT_EQ(walk.options.stepHeight, 0.5f);
    EXPECT_EQ(walk.options.maxSlope, 30.0f);
    EXPECT_FALSE(walk.options.walkSpeed);  // scaled by the radius when unset
    EXPECT_FALSE(parse({"a.dorn"}).options.walk);
    EXPECT_EQ(parse({"a.dorn", "--step-height", "1"}).exitStatus, 2);
    EXPECT_EQ(parse({"a.dorn", "--walk", "--max-slope", "91"}).exitStatus, 2);
}

// The room's twelve triangles, and a unit cube's twelve standing on its floor
// (facing outwards, so its bottom, in the floor's plane, faces away from the
// room's inside).
std::unique_ptr<CollisionMesh> roomWithCube(bool closedRoom, bool roomFacesInwards) {
    auto room = roomScene(10.0f);
    std::vector<Vec3> vertices = room->vertices;
    std::vector<MeshTriangle> triangles;
    for (std::size_t i = 0; i < room->triangles.size(); ++i) {
        MeshTriangle t = room->triangles[i];
        if (!roomFacesInwards) {
            std::swap(t.vertex1, t.vertex2);
        }
        if (closedRoom || i >= 2) {
            triangles.push_back(t);
        }
    }
    const auto base = static_cast<std::int32_t>(vertices.size());
    for (const Vec3& corner : room->vertices) {
        vertices.push_back(Vec3(corner.x > 0 ? 2.0f : 1.0f, corner.y > 0 ? -9.0f : -10.0f, corner.z > 0 ? 4.0f : 3.0f));
    }
    for (const MeshTriangle& t : room->triangles) {  // wound outwards
        triangles.push_back(meshTriangle(base + t.vertex0, base + t.vertex2, base + t.vertex1));
    }
    return buildScene(std::move(vertices), std::move(triangles));
}

TEST(ModelParts, AnEnclosingRoomIsToldFromTheModel) {
    const auto scene = roomWithCube(true, true);
    const ModelParts parts = findModelParts(*scene);
    ASSERT_TRUE(parts.hasRoom);
    EXPECT_EQ(std::count(parts.inRoom.begin(), parts.inRoom.end(), true), 12);
    EXPECT_EQ(parts.model.min, Vec3(1, -10, 3));
    EXPECT_EQ(parts.model.max, Vec3(2, -9, 4));
    EXPECT_EQ(parts.scene.min, Vec3(-10, -10, -10));
    EXPECT_EQ(boundsCentre(parts.model), Vec3(1.5f, -9.5f, 3.5f));
    EXPECT_FLOAT_EQ(boundsRadius(parts.model, 0.0f), 0.5f * std::sqrt(3.0f));
    EXPECT_EQ(boundsRadius(parts.model, 5.0f), 5.0f);
}

TEST(ModelParts, WithoutAClosedInwardRoomTheWholeSceneIsTheModel) {
    for (const bool closed : {false, true}) {
        const auto scene = roomWithCube(closed, !closed);  // one side open, or facing out
        const ModelParts parts = findModelParts(*scene);
        EXPECT_FALSE(parts.hasRoom) << closed;
        EXPECT_EQ(std::count(parts.inRoom.begin(), parts.inRoom.end(), true), 0) << closed;
        EXPECT_EQ(parts.model.min, parts.scene.min) << closed;
        EXPECT_EQ(parts.model.max, parts.scene.max) << closed;
    }
    const CollisionMesh empty;
    const ModelParts none = findModelParts(empty);
    EXPECT_FALSE(none.hasRoom);
    EXPECT_EQ(boundsCentre(none.model), Vec3());
    EXPECT_EQ(boundsRadius(none.model, 2.0f), 2.0f);
}

}  // namespace
}  // namespace sweepview
