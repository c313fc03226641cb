#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "collision/move_and_slide.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

constexpr float SKIN = 0.001f;
constexpr float DEGREE = 3.14159265f / 180.0f;
const Vec3 UP(0, 1, 0);

// Quads as two triangles (a, b, c) and (a, c, d), facing cross(b - a, c - a).
struct Quads {
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;

    Quads& quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
        const auto first = static_cast<std::int32_t>(vertices.size());
        vertices.insert(vertices.end(), {a, b, c, d});
        triangles.push_back(meshTriangle(first, first + 1, first + 2));
        triangles.push_back(meshTriangle(first, first + 2, first + 3));
        return *this;
    }
    // Level, facing up, from x0 to x1 at height y.
    Quads& floor(float x0, float x1, float y, float z = 50) {
        return quad({x0, y, -z}, {x0, y, z}, {x1, y, z}, {x1, y, -z});
    }
    // Upright from p0 to p1 (p0.y = p1.y = 0), facing cross(up, p1 - p0).
    Quads& wall(Vec3 p0, Vec3 p1, float height = 50) {
        return quad(p0 + UP * -height, p0 + UP * height, p1 + UP * height, p1 + UP * -height);
    }
    std::unique_ptr<CollisionMesh> build() { return buildScene(vertices, triangles); }
};

// Runs steps moves of displacement, each told whether the last ended on a floor.
template <typename Visit>
Vec3 walk(const CollisionMesh& scene, Vec3 position, float radius, Vec3 displacement, int steps,
          const SlideSettings& settings, Visit visit) {
    bool onFloor = false;
    for (int step = 1; step <= steps; ++step) {
        const SlideResult result = moveAndSlide(scene, position, radius, displacement, onFloor, settings);
        EXPECT_LE(result.iterations, settings.iterations);
        visit(step, position, result);
        position = result.position;
        onFloor = result.onFloor;
    }
    return position;
}

TEST(MoveAndSlide, SlidesAlongAWallMetAt45Degrees) {
    auto scene = Quads().wall({0, 0, -50}, {0, 0, 50}).build();  // x = 0, facing +x
    const SlideResult result = moveAndSlide(*scene, {3, 0, 0}, 1.0f, {-5, 0, 5}, false);
    EXPECT_NEAR(result.position.x, 1.0f + SKIN, 1e-5f);
    EXPECT_NEAR(result.position.z, 5.0f, 1e-4f);
    EXPECT_EQ(result.position.y, 0.0f);
    EXPECT_EQ(result.contacts, 1);
    EXPECT_FALSE(result.onFloor);
}

TEST(MoveAndSlide, WalksATessellatedFloorWithoutSeamsLiftingIt) {
    Quads grid;
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            const float x = 2.0f * i, z = 2.0f * j;
            grid.quad({x, 0, z}, {x, 0, z + 2}, {x + 2, 0, z + 2}, {x + 2, 0, z});
        }
    }
    auto scene = grid.build();
    const float radius = 0.5f;
    const float rest = radius + SKIN;
    float worst = 0, worstRise = 0;
    for (const Vec3 gravity : {Vec3(0, -0.05f, 0), Vec3(0.002f, -0.2f, -0.003f), Vec3(0, -3, 0)}) {
        for (const float heading : {0.0f, 30.0f, 45.0f, 100.0f, 213.0f}) {
            const Vec3 stride(0.025f * std::cos(heading * DEGREE), 0, 0.025f * std::sin(heading * DEGREE));
            walk(*scene, {64, rest, 64}, radius, stride + gravity, 2000, {},
                 [&](int, Vec3 before, const SlideResult& r) {
                     worst = std::max(worst, std::fabs(r.position.y - rest));
                     worstRise = std::max(worstRise, std::fabs(r.position.y - before.y));
                     EXPECT_TRUE(r.onFloor) << heading;
                 });
        }
    }
    EXPECT_LE(worst, SKIN);
    EXPECT_LE(worstRise, 1e-4f);
}

TEST(MoveAndSlide, StandsOnWalkableSlopesAndSlidesDownSteeperOnes) {
    const float radius = 0.5f;
    const Vec3 gravity(0, -0.05f, 0);
    for (int degrees = 10; degrees <= 80; degrees += 10) {
        SCOPED_TRACE(degrees);
        const float a = degrees * DEGREE;
        const Vec3 along = Vec3(std::cos(a), std::sin(a), 0) * 50.0f, across(0, 0, 50);
        const Vec3 normal(-std::sin(a), std::cos(a), 0);
        auto scene = Quads().quad(along * -1 - across, across - along, along + across, along - across).build();
        const Vec3 start = normal * (radius + SKIN);
        Vec3 afterFirst;
        const Vec3 end = walk(*scene, start, radius, gravity, 100, {}, [&](int step, Vec3, const SlideResult& r) {
            afterFirst = step == 1 ? r.position : afterFirst;
            EXPECT_EQ(r.onFloor, degrees < 45);
        });
        if (degrees < 45) {
            EXPECT_EQ(end, afterFirst);  // not a bit of creep after landing
            EXPECT_NEAR(end.y, start.y, SKIN);
        } else {
            const float freeDrop = 100 * 0.05f * std::sin(a) * std::sin(a);
            EXPECT_LT(end.y - start.y, -0.9f * freeDrop);
        }
    }
}

TEST(MoveAndSlide, StepsUpStairsUpToTheStepHeight) {
    // A stair above the step height blocks even where the sphere's rounded
    // bottom meets its edge with a walkable normal (below r (1 - cos 45)),
    // and a step up that fails does not carry the sphere along the riser.
    const struct {
        float stair, stepHeight, radius;
        bool climbs;
    } cases[] = {{0.1f, 0, 0.5f, false},     {0.3f, 0, 2, false},         {0.3f, 0.1f, 2, false},
                 {0.05f, 0.1f, 0.5f, true},  {0.25f, 0.35f, 0.5f, true},  {0.7f, 0.35f, 0.5f, false},
                 {0.4f, 0.5f, 2, true},      {0.5f, 0.3f, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stair << " with step height " << c.stepHeight << ", radius " << c.radius);
        auto scene = Quads().floor(-50, 5, 0).quad({5, 0, -50}, {5, 0, 50}, {5, c.stair, 50}, {5, c.stair, -50})
                         .floor(5, 50, c.stair).build();
        SlideSettings settings;
        settings.stepHeight = c.stepHeight;
        const float rest = c.radius + SKIN;
        int offFloor = 0;
        float stride = 0;
        const Vec3 end = walk(*scene, {3 - c.radius, rest, 0}, c.radius, {0.04f, -0.05f, 0.03f}, 200, settings,
                              [&](int, Vec3 before, const SlideResult& r) {
                                  offFloor += r.onFloor ? 0 : 1;
                                  stride = std::max(stride, std::hypot(r.position.x - before.x, r.position.z - before.z));
                              });
        if (c.climbs) {
            EXPECT_GT(end.x, 7.0f);
            EXPECT_NEAR(end.y, c.stair + rest, SKIN);
        } else {
            EXPECT_LT(end.x, 5.0f);
            EXPECT_NEAR(end.y, rest, SKIN);
            EXPECT_EQ(offFloor, 0);  // held at the ledge, not lifted off the floor
            EXPECT_LE(stride, 0.0501f);
        }
    }
}

TEST(MoveAndSlide, WalksOverCrestsWithoutAStepHeight) {
    // Edges between faces that can be stood on are no stairs: the top of a
    // 30 degree slope, and a 20 degree hill, kept to with the floor snap by a
    // large sphere too.
    const float up30 = std::tan(30 * DEGREE) * 5, up20 = std::tan(20 * DEGREE) * 5;
    const struct {
        std::unique_ptr<CollisionMesh> scene;
        float endY;
    } cases[] = {
        {Quads().floor(-50, 0, 0).quad({0, 0, -50}, {0, 0, 50}, {5, up30, 50}, {5, up30, -50}).floor(5, 50, up30).build(),
         up30},
        {Quads().floor(-50, 0, 0).quad({0, 0, -50}, {0, 0, 50}, {5, up20, 50}, {5, up20, -50}).floor(5, 8, up20)
             .quad({8, up20, -50}, {8, up20, 50}, {13, 0, 50}, {13, 0, -50}).floor(13, 50, 0).build(),
         0}};
    for (const float radius : {0.25f, 2.0f}) {
        for (const auto& c : cases) {
            SlideSettings settings;
            settings.floorSnap = radius;
            int offFloor = 0;
            const Vec3 end = walk(*c.scene, {-3, radius + SKIN, 0}, radius, {0.1f, -0.05f, 0}, 200, settings,
                                  [&](int, Vec3, const SlideResult& r) { offFloor += r.onFloor ? 0 : 1; });
            EXPECT_EQ(offFloor, 0) << radius;
            EXPECT_GT(end.x, 14.0f) << radius;
            EXPECT_NEAR(end.y, c.endY + radius + SKIN, SKIN) << radius;
        }
    }
}

TEST(MoveAndSlide, SnapsToTheFloorWalkingDownASlope) {
    const float radius = 0.5f;
    auto scene = Quads().floor(-50, 0, 0).quad({0, 0, -50}, {0, 0, 50}, {50, -25, 50}, {50, -25, -50}).build();
    for (const float snap : {0.0f, 0.5f}) {
        SlideSettings settings;
        settings.floorSnap = snap;
        int offFloor = 0;
        walk(*scene, {-3, radius + SKIN, 0}, radius, {0.1f, -0.01f, 0}, 100, settings,
             [&](int, Vec3, const SlideResult& r) { offFloor += r.onFloor ? 0 : 1; });
        EXPECT_EQ(offFloor == 0, snap > 0) << snap;
    }
}

TEST(MoveAndSlide, StopsStillInCorners) {
    const float radius = 0.5f;
    for (const float angle : {90.0f, 60.0f, 30.0f, 120.0f}) {
        SCOPED_TRACE(angle);
        const float half = 0.5f * angle * DEGREE;
        const Vec3 side1(std::cos(half) * 50, 0, std::sin(half) * 50), side2(side1.x, 0, -side1.z);
        auto scene = Quads().floor(-50, 50, 0).wall({0, 0, 0}, side1).wall(side2, {0, 0, 0}).build();
        Vec3 at20;
        walk(*scene, {8, radius + SKIN, 0.3f}, radius, {-0.5f, -0.05f, 0.02f}, 200, {},
             [&](int step, Vec3, const SlideResult& r) {
                 at20 = step == 20 ? r.position : at20;
                 if (step > 20) {
                     EXPECT_EQ(r.position, at20) << step;
                 }
             });
        EXPECT_NEAR(at20.x, (radius + SKIN) / std::sin(half), SKIN / std::sin(half));  // within the skin of each wall
        EXPECT_NEAR(at20.y, radius + SKIN, SKIN);
    }
}

TEST(MoveAndSlide, RandomMovesStayInAClosedRoom) {
    auto room = roomScene(40);
    const float radius = 1.0f;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-50.0f, 50.0f);
    Vec3 position(0, 0, 0);
    bool onFloor = false;
    float deepest = 1e9f;
    for (int move = 0; move < 20000; ++move) {
        const Vec3 displacement(spread(random), spread(random), spread(random));
        const SlideResult r = moveAndSlide(*room, position, radius, displacement, onFloor);
        position = r.position;
        onFloor = r.onFloor;
        for (int axis = 0; axis < 3; ++axis) {
            deepest = std::min(deepest, 40.0f - std::fabs(component(position, axis)) - radius);
        }
    }
    EXPECT_GE(deepest, -SKIN);  // also fails on a non-number
}

TEST(MoveAndSlide, PushesAStartInsideAWallOut) {
    auto room = roomScene(40);
    const float out = 40.0f - 1.0f - SKIN;
    const struct {
        Vec3 start, end;
    } cases[] = {{{39.5f, 0, 0}, {out, 0, 0}},
                 {{39.5f, -39.2f, 0}, {out, -out, 0}},
                 {{40.3f, 0, 0}, {out, 0, 0}},  // the centre behind the wall
                 {{40.2f, -40.4f, 0}, {out, -out, 0}}};
    for (const auto& c : cases) {
        const SlideResult r = moveAndSlide(*room, c.start, 1.0f, {}, false);
        EXPECT_NEAR(r.position.x, c.end.x, 1e-5f);
        EXPECT_NEAR(r.position.y, c.end.y, 1e-5f);
        EXPECT_NEAR(r.position.z, c.end.z, 1e-5f);
        EXPECT_GE(r.contacts, 1);
    }
}

}  // namespace
