#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/audit_command.h"

using namespace sweepview;

namespace {

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// A closed room, and the same room with one floor triangle (y = -40, x < z)
// removed: its three boundary edges found, and spheres escaping through it,
// each from a last position low over the hole. The report is the same bits on
// one thread and on two; --fail-on gates; a missing scene is refused.
TEST(DornAudit, AClosedRoomHoldsAndAHoleInItsFloorIsFound) {
    TempFile closed("");
    TempFile holed("");
    TempFile reports[2] = {TempFile("", ".json"), TempFile("", ".json")};
    auto room = roomScene(40);
    ASSERT_EQ(saveDornFile(*room, closed.path()), 1);
    room->triangles.erase(room->triangles.begin() + 4);
    ASSERT_EQ(saveDornFile(*buildScene(room->vertices, room->triangles), holed.path()), 1);
    AuditOptions options;
    options.starts = 50;
    options.failOn = {"escape", "boundary"};
    testing::internal::CaptureStdout();
    options.scene = closed.path();
    EXPECT_EQ(runAudit(options), 0);
    options.scene = holed.path();
    for (int threads : {1, 2}) {
        options.report = reports[threads - 1].path();
        options.threads = threads;
        EXPECT_EQ(runAudit(options), AUDIT_FINDINGS_FAILED);
    }
    options.scene = "/nonexistent.dorn";
    EXPECT_EQ(runAudit(options), 1);
    testing::internal::GetCapturedStdout();
    const std::string report = readFile(reports[0].path());
    EXPECT_EQ(report, readFile(reports[1].path()));
    EXPECT_NE(report.find("\"boundary\": {\"count\": 3,"), std::string::npos) << report;
    const std::size_t escapes = report.find("\"escape\": {\"count\": ");
    std::istringstream events(report.substr(escapes, report.find("\"overlap\"") - escapes));
    int located = 0;
    for (std::string line; std::getline(events, line);) {
        float x = 0, y = 0, z = 0;
        if (std::sscanf(line.c_str(), " {\"start\": %*d, \"step\": %*d, \"position\": [%f, %f, %f]", &x, &y, &z) == 3) {
            EXPECT_TRUE(x - z < 2.5f && y < -35.0f) << line;  // over the hole, within a radius
            ++located;
        }
    }
    EXPECT_GT(located, 5);
}

}  // namespace
