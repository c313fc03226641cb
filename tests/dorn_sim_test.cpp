#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>

#include "collision/move_and_slide.h"
#include "collision/sphere_motion.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/mesh_distance.h"
#include "tools/dorn/sim_command.h"

using namespace sweepview;

namespace {

struct SimRun {
    int status;
    std::string out;
    std::string err;
};

SimRun simulate(const CollisionMesh& scene, SimOptions options) {
    TempFile file("");
    EXPECT_EQ(saveDornFile(scene, file.path()), 1);
    options.scene = file.path();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = runSim(options);
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

// The simulator's lines are the viewer's own step, printed with %.9g.
TEST(DornSim, PrintsTheViewersStepsInTheContractFormat) {
    auto room = roomScene(40);
    SimOptions options;
    options.steps = 3000;
    const SimRun run = simulate(*room, options);
    ASSERT_EQ(run.status, 0);
    std::istringstream printed(run.out);
    std::string line;
    std::getline(printed, line);
    EXPECT_EQ(line, "step,px,py,pz,vx,vy,vz,contacts,hits");
    useViewerEpsilon();
    ContactState state;
    Vec3 position(0, 12.5f, 0);
    Vec3 velocity(1, -1, 1);
    int withHits = 0;
    for (int step = 1; step <= 3000; ++step) {
        const StepOutcome outcome = advanceSphere(*room, 2.5f, position, velocity, state);
        char expected[512];
        int length = std::snprintf(
            expected, sizeof expected, "%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d,", step, position.x,
            position.y, position.z, velocity.x, velocity.y, velocity.z, outcome.contacts);
        for (std::size_t i = 0; i < state.hitTriangles.size(); ++i) {
            length += std::snprintf(expected + length, sizeof expected - length, i ? " %d" : "%d",
                                    state.hitTriangles[i]);
        }
        ASSERT_TRUE(std::getline(printed, line));
        ASSERT_EQ(line, expected);
        withHits += state.hitTriangles.size() > 1 ? 1 : 0;
    }
    EXPECT_FALSE(std::getline(printed, line));
    EXPECT_GT(withHits, 0);  // some steps list several triangles, space-separated
    EXPECT_EQ(run.err, "");
}

// A closed room: nothing found. A floor the sphere starts inside of, moving
// along it: overlapping from step 1. Rising through the floor from below:
// faces stop spheres from the front only, so the sphere passes, and the
// overlap is told apart as such. A closed cube the sphere starts in, clear of
// its faces: said before any step, and the overlap it leads to counted apart.
TEST(DornSim, CheckFindsAConstructedOverlapAndNoneInAClosedRoom) {
    auto floor =
        buildScene({Vec3(-50, 0, -50), Vec3(-50, 0, 50), Vec3(50, 0, 50)}, {meshTriangle(0, 1, 2)});
    const auto room = roomScene(40);
    std::vector<MeshTriangle> outwards = roomScene(10)->triangles;
    for (MeshTriangle& t : outwards) {
        std::swap(t.vertex1, t.vertex2);
    }
    auto cube = buildScene(roomScene(10)->vertices, outwards);
    const struct {
        CollisionMesh* scene;
        long steps;
        Vec3 position, velocity;
        std::vector<std::string> reported;
    } cases[] = {
        {room.get(), 2000, {0, 12.5f, 0}, {1, -1, 1},
         {"start: clear (distance 27.5 from the mesh, outside every solid)\n",
          "steps ending overlapping the mesh: 0 of 2000", "left the scene's bounds: never",
          "contacts: 100.0% face, 0.0% edge, 0.0% corner"}},
        {floor.get(), 3, {-20, 1, 20}, {1, 0, 0},
         {"start: the sphere starts touching the mesh (triangle 0, distance 1 < radius 2.5)\n",
          "smallest clearance: -1.5 at step 1", "steps ending overlapping the mesh: 3 of 3",
          "overlaps begun: 1 at the start, 0 during the flight (0 from inside a solid)"}},
        {floor.get(), 3, {-20, -4, 20}, {0, 2, 0},
         {"overlaps begun: 0 at the start, 1 during the flight (0 from inside a solid)\n  on straight "
          "steps, first touching: 1 a face from behind, 0 an edge, 0 a corner, 0 a face from the front\n"}},
        {cube.get(), 4, {0, 5, -5}, {2, 0, 0},  // clear of the faces' diagonals
         {"start: the sphere starts inside the solid of part 0 (distance 5 from the mesh)\n",
          "overlaps begun: 0 at the start, 1 during the flight (1 from inside a solid)"}},
    };
    for (const auto& c : cases) {
        SimOptions options;
        options.steps = c.steps;
        options.position = c.position;
        options.velocity = c.velocity;
        options.check = options.stats = true;
        const SimRun run = simulate(*c.scene, options);
        EXPECT_EQ(run.err.rfind("start: ", 0), 0u) << run.err;  // before the steps' figures
        for (const std::string& part : c.reported) {
            EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
        }
    }
}

// Sliding, every line is moveAndSlide's step with the falling speed added,
// and the sphere soon stands on the room's floor.
TEST(DornSim, SlidesAsMoveAndSlideDoesWithAnOnFloorColumn) {
    auto room = roomScene(40);
    SimOptions options;
    options.steps = 500;
    options.response = SimResponse::Slide;
    options.velocity = Vec3(0.3f, 0, 0.2f);
    options.stats = true;
    const SimRun run = simulate(*room, options);
    ASSERT_EQ(run.status, 0);
    std::istringstream printed(run.out);
    std::string line;
    std::getline(printed, line);
    EXPECT_EQ(line, "step,px,py,pz,vx,vy,vz,contacts,hits,on_floor");
    Vec3 position = options.position, fall;
    bool onFloor = false;
    for (int step = 1; step <= 500; ++step) {
        fall += options.gravity;
        const Vec3 velocity = options.velocity + fall;
        const SlideResult r = moveAndSlide(*room, position, options.radius, velocity, onFloor);
        position = r.position;
        onFloor = r.onFloor;
        fall = onFloor ? Vec3() : fall;
        char expected[256];
        int length = std::snprintf(expected, sizeof expected, "%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d,",
                                   step, position.x, position.y, position.z, velocity.x, velocity.y,
                                   velocity.z, r.contacts);
        for (std::size_t i = 0; i < r.triangles.size(); ++i) {
            length += std::snprintf(expected + length, sizeof expected - length, i ? " %d" : "%d",
                                    r.triangles[i]);
        }
        std::snprintf(expected + length, sizeof expected - length, ",%d", onFloor ? 1 : 0);
        ASSERT_TRUE(std::getline(printed, line));
        ASSERT_EQ(line, expected);
    }
    EXPECT_TRUE(onFloor);
    EXPECT_NEAR(position.y, -40 + options.radius + 0.001f, 0.001f);
    EXPECT_NE(run.err.find("steps ending on a floor: "), std::string::npos) << run.err;
}

TEST(MeshDistance, ThroughTheTreeMatchesAWalkThatPrunesNothing) {
    const auto one =
        buildScene({Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0)}, {meshTriangle(0, 1, 2)});
    EXPECT_DOUBLE_EQ(distanceToMesh(*one, {3, 3, 2}), std::sqrt(6.0));  // nearest: (2, 2, 0)
    EXPECT_DOUBLE_EQ(distanceToMesh(*one, {1, 1, -3}), 3.0);            // inside the face
    EXPECT_EQ(distanceToMesh(CollisionMesh(), {0, 0, 0}), std::numeric_limits<double>::infinity());

    auto tight = randomScene(8, 500, 20.0f, 3.0f);
    auto loose = randomScene(8, 500, 20.0f, 3.0f, 1000.0f);  // boxes too big to prune anything
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(-30.0, 30.0);
    for (int i = 0; i < 300; ++i) {
        const DoublePoint p{unit(random), unit(random), unit(random)};
        ASSERT_EQ(distanceToMesh(*tight, p), distanceToMesh(*loose, p)) << i;
    }
}

}  // namespace
