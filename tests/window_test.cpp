#include <gtest/gtest.h>

#include <GL/gl.h>

#include "app/window.h"
#include "support/gl_recorder.h"

namespace {

using Args = std::vector<double>;

TEST(Window, ReshapeTakesZeroSizesAsOneAndAFloatingAspect) {
    const std::pair<int, int> sizes[] = {{640, 333}, {800, 0}, {0, 600}, {0, 0}};
    const Args viewports[] = {{0, 0, 640, 333}, {0, 0, 800, 1}, {0, 0, 1, 600}, {0, 0, 1, 1}};
    const double aspects[] = {640.0 / 333.0, 800.0, 1.0 / 600.0, 1.0};
    for (int i = 0; i < 4; ++i) {
        glCalls.clear();
        reshapeWindow(sizes[i].first, sizes[i].second);
        EXPECT_EQ(callsNamed("glViewport")[0].args, viewports[i]);
        EXPECT_EQ(callsNamed("gluPerspective")[0].args[1], aspects[i]);
    }
    EXPECT_EQ(glCalls[1].args, Args{GL_PROJECTION});
    EXPECT_EQ(glCalls[4].args, Args{GL_MODELVIEW});
}

}  // namespace
