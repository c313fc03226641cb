#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/audit_command.h"

namespace {

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// A closed room, and the same room with one floor triangle (y = -40, x < z)
// removed: its three boundary edges found, and spheres escaping through it,
// located at it. The report is the same bits on one thread and on two.
TEST(DornAudit, AClosedRoomHoldsAndAHoleInItsFloorIsFound) {
    TempFile closed("");
    TempFile holed("");
    TempFile report1("", ".json");
    TempFile report2("", ".json");
    auto room = roomScene(40);
    ASSERT_EQ(saveDornFile(*room, closed.path()), 1);
    room->triangles.erase(room->triangles.begin() + 4);  // the floor's half where x < z
    ASSERT_EQ(saveDornFile(*buildScene(room->vertices, room->triangles), holed.path()), 1);
    AuditOptions options;
    options.starts = 50;
    options.failOn = {"escape", "boundary"};
    testing::internal::CaptureStdout();
    options.scene = closed.path();
    EXPECT_EQ(runAudit(options), 0);
    options.scene = holed.path();
    options.report = report1.path();
    options.threads = 1;
    EXPECT_EQ(runAudit(options), AUDIT_FINDINGS_FAILED);
    options.report = report2.path();
    options.threads = 2;
    EXPECT_EQ(runAudit(options), AUDIT_FINDINGS_FAILED);
    options.scene = "/nonexistent.dorn";
    EXPECT_EQ(runAudit(options), 1);
    const std::string summary = testing::internal::GetCapturedStdout();
    EXPECT_NE(summary.find("| escape | 0 | 0 | - |"), std::string::npos) << summary;
    const std::string report = readFile(report1.path());
    EXPECT_EQ(report, readFile(report2.path()));
    EXPECT_NE(report.find("\"boundary\": {\"count\": 3,"), std::string::npos) << report;
    const auto escapes = report.find("\"escape\": {\"count\": ");
    ASSERT_NE(escapes, std::string::npos);
    EXPECT_GT(std::stoi(report.substr(escapes + 20)), 0);
    // Each escape starts its last step in the hole: x < z (within a radius), low.
    std::istringstream events(report.substr(escapes, report.find("\"overlap\"") - escapes));
    int located = 0;
    for (std::string line; std::getline(events, line);) {
        float x = 0, y = 0, z = 0;
        if (std::sscanf(line.c_str(), " {\"start\": %*d, \"step\": %*d, \"position\": [%f, %f, %f]", &x, &y, &z) == 3) {
            EXPECT_TRUE(x - z < 2.5f && y < -35.0f) << line;
            ++located;
        }
    }
    EXPECT_GT(located, 0);
}

}  // namespace
