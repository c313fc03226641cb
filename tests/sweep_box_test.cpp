#include <gtest/gtest.h>

#include <limits>

#include "collision/sweep_box.h"

using namespace sweepview;

namespace {

// The box centre (0,0,0), half-extents (1,1,1), grown by radius 1: [-2, 2]^3.
struct BoxCase {
    Vec3 position;
    Vec3 displacement;
    std::int32_t startCode;
    std::int32_t endCode;
    std::int32_t hits;
};

TEST(SweepHitsBox, DesignedCases) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const BoxCase cases[] = {
        {{-10, 0, 0}, {20, 0, 0}, 1, 2, 1},         // through, crossing x = -2 at t = 0.4
        {{-3, 3, 0}, {6, 0, 0}, 1 | 4, 2 | 4, 0},   // both above: trivial reject
        {{0.5f, 0.5f, 0.5f}, {1, 1, 1}, 0, 0, 1},   // both inside: trivial accept
        {{-3, 1, 0}, {2, 2.5f, 0}, 1, 4, 0},        // past the corner: crossings outside
        {{3, 1, 0}, {-2, 2.5f, 0}, 2, 4, 0},        // the same past each other face
        {{0, -3, 1}, {0, 2, 2.5f}, 8, 32, 0},
        {{-1, 0, -3}, {-2.5f, 0, 2}, 16, 1, 0},
        {{0, -1, 3}, {0, -2.5f, -2}, 32, 8, 0},
        // In through x = -2 at y = 0, out exactly through the edge x = y = 2,
        // and back: only the crossing of x = -2 lies strictly inside a face.
        {{-3, -0.5f, 0}, {8, 4, 0}, 1, 2 | 4, 1},
        {{5, 3.5f, 0}, {-8, -4, 0}, 2 | 4, 1, 1},
        {{-3, 0.5f, 0}, {3.5f, 2.5f, 0}, 1, 4, 1},  // x = -2 crossed at y ~ 1.21
        {{2, -5, 0}, {0, 10, 0}, 8, 4, 0},          // along the face plane x = 2: grazing
        {{2, 0, 0}, {0, 1, 0}, 0, 0, 1},            // on the face plane: inside
        {{-3, 3, 0}, {2, -2, 0}, 1 | 4, 0, 1},      // in through the grown box's edge exactly
        {{3, 3, 3}, {-1.5f, -1.5f, -1.5f}, 2 | 4 | 32, 0, 1},  // in through its corner
        {{0, 0, 0}, {0, 0, 10}, 0, 32, 1},          // found from the end's side
        {{-2, -2, -2}, {0, 0, 0}, 0, 0, 1},         // resting on a corner
        {{-2.5f, 0, 0}, {0, 0, 0}, 1, 1, 0},        // resting outside
        {{-3, 3, -3}, {6, -6, 6}, 1 | 4 | 16, 2 | 8 | 32, 0},  // in and out through corners
        {{nan, nan, nan}, {0, 0, 0}, 0, 0, 1},  // sets no bit: the exact tests decide
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.position.x << "," << c.position.y);
        NodeBox box(Vec3(0, 0, 0), Vec3(1, 1, 1));
        const SweptSphere sphere(c.position, c.displacement, 1.0f);
        std::int32_t start = -1;
        std::int32_t end = -1;
        boxOutcodes(sphere, box, start, end);
        EXPECT_EQ(start, c.startCode);
        EXPECT_EQ(end, c.endCode);
        EXPECT_EQ(sweepHitsBox(sphere, box), c.hits);
    }
}

}  // namespace
