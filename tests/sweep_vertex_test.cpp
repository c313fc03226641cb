#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "collision/sweep_vertex.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Radius 1 against the origin, moving (10, 0, 0) unless stated.
TEST(SweepHitsVertex, DesignedCases) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vec3 along(10, 0, 0);
    // a = 100, b = -100, c = 24, disc = 400: the root (100 - 20) times 1/200.
    const float headOn = ((100.0f - 20.0f) * (1.0f / 200.0f) * 10.0f - 0.001f) / 10.0f;
    const struct {
        Vec3 centre;
        Vec3 displacement;
        std::int32_t hits;
        float time;
    } cases[] = {
        {{-5, 0, 0}, along, 1, headOn},
        {{-5, 1, 0}, along, 1, (0.5f * 10.0f - 0.001f) / 10.0f},  // grazing: disc = 0
        {{-5, 0.5f, 0}, along, 1, 0.41330f},
        {{-11, 0, 0}, along, 1, (10.0f - 0.001f) / 10.0f},  // exactly at the step's end
        {{-1.0005f, 0, 0}, along, 1, 0.00005f},             // closer than epsilon
        {{-1, 0, 0}, along, 1, 0.0f},                       // touching at the start
        {{-11.5f, 0, 0}, along, 0, 0},                      // after the step
        {{-0.5f, 0, 0}, along, 0, 0},                       // overlapping: later root ignored
        {{-5, 1.5f, 0}, along, 0, 0},                       // disc < 0
        {{-0.5f, 0, 0}, {0, 0, 0}, 0, 0},                   // no motion: roots not numbers
        {{nan, 0, 0}, along, 0, 0},
        {{-5, 0, 0}, {inf, 0, 0}, 0, 0},
    };
    useViewerEpsilon();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.x << "," << c.centre.y);
        float time = -1;
        ASSERT_EQ(sweepHitsVertex(SweptSphere(c.centre, c.displacement, 1.0f), Vec3(), time),
                  c.hits);
        if (c.hits) {
            EXPECT_NEAR(time, c.time, 1e-5f);
        } else {
            EXPECT_EQ(time, -1.0f);
        }
    }
}

// Pins the arithmetic: c is V.V + O.(O - 2V) - r^2; the algebraically equal
// |O - V|^2 - r^2 rounds differently here and gives t = 0x1.be29aap-3.
TEST(SweepHitsVertex, ConstantTermKeepsItsOrderOfOperations) {
    useViewerEpsilon();
    const SweptSphere sphere(Vec3(0x1.20f7e8p+6f, 0x1.44f714p+4f, -0x1.be0f66p+4f),
                             Vec3(-0x1.1c475p-3f, 0x1.f1aa12p+1f, 0x1.1ff5dcp+3f), 2.5f);
    float time = 0;
    ASSERT_EQ(sweepHitsVertex(sphere, Vec3(0x1.2467fap+6f, 0x1.3f9d06p+4f, -0x1.7e6f04p+4f), time),
              1);
    EXPECT_EQ(time, 0x1.be24b4p-3f);
}

}  // namespace
