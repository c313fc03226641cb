#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/audit_command.h"
#include "tools/dorn/mesh_parts.h"

using namespace sweepview;

namespace {

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Closed cubes from -half to +half: their faces look outward (solid inside),
// and with a room of 40 around, whose faces look inward (solid outside).
std::unique_ptr<CollisionMesh> cube(float half, bool inRoom = false) {
    auto outward = roomScene(half);
    std::vector<Vec3> vertices = outward->vertices;
    std::vector<MeshTriangle> triangles;
    for (const MeshTriangle& t : outward->triangles) {
        triangles.push_back(meshTriangle(t.vertex0, t.vertex2, t.vertex1));
    }
    if (inRoom) {
        auto room = roomScene(40);
        for (const MeshTriangle& t : room->triangles) {
            triangles.push_back(meshTriangle(t.vertex0 + 8, t.vertex1 + 8, t.vertex2 + 8));
        }
        vertices.insert(vertices.end(), room->vertices.begin(), room->vertices.end());
    }
    return buildScene(std::move(vertices), std::move(triangles));
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
    testing::internal::CaptureStderr();
    for (int threads : {1, 2}) {
        options.report = reports[threads - 1].path();
        options.threads = threads;
        EXPECT_EQ(runAudit(options), AUDIT_FINDINGS_FAILED);
    }
    const std::string failed = testing::internal::GetCapturedStderr();
    EXPECT_NE(failed.find(" escape, 3 boundary\n"), std::string::npos) << failed;  // every finding named
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

// Which side of a closed part is solid, by its faces; a part missing a
// triangle is open, and its solid unknown.
TEST(DornAudit, ClosedPartsTellTheirSolid) {
    auto holed = roomScene(40);
    holed->triangles.pop_back();
    const struct {
        std::unique_ptr<CollisionMesh> scene;
        int inside, outside, open;
        std::vector<std::pair<Vec3, bool>> solid;
    } cases[] = {
        {cube(10), 1, 0, 0, {{{0, 0, 0}, true}, {{9.9f, -9.9f, 9.9f}, true}, {{10.1f, 0, 0}, false}}},
        {roomScene(40), 0, 1, 0, {{{0, 0, 0}, false}, {{0, 41, 0}, true}}},
        {cube(10, true), 1, 1, 0, {{{0, 0, 0}, true}, {{25, 0, 0}, false}, {{45, 0, 0}, true}}},
        {buildScene(holed->vertices, holed->triangles), 0, 0, 1, {{{0, 0, 0}, false}, {{0, 41, 0}, false}}},
    };
    for (const auto& c : cases) {
        const MeshParts parts = findMeshParts(*c.scene, checkMesh(*c.scene));
        EXPECT_EQ(parts.solidInside, c.inside);
        EXPECT_EQ(parts.solidOutside, c.outside);
        EXPECT_EQ(parts.open, c.open);
        for (const auto& [point, solid] : c.solid) {
            EXPECT_EQ(inSolid(*c.scene, parts, toDouble(point)), solid) << point.x << " " << point.y;
        }
    }
}

// A lone cube: starts drawn around it, never inside, so the exact rule finds
// no overlap, and every flight flies off without an escape. A radius that
// fits nowhere flies no step, and the audit fails (a --fail-on finding first).
// A report in a folder of its own names the scene from there, and absolutely.
TEST(DornAudit, StartsAreClearOrTheAuditFails) {
    TempFile file("");
    TempFile report("", ".json");
    ASSERT_EQ(saveDornFile(*cube(10), file.path()), 1);
    AuditOptions options;
    options.scene = file.path();
    options.starts = 40;
    options.steps = 500;
    options.exactEdges = true;
    const std::filesystem::path folder = report.path() + ".d";
    std::filesystem::create_directory(folder);
    options.report = (folder / "r.json").string();
    options.failOn = {"overlap", "escape"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(runAudit(options), 0);
    std::string json = readFile(options.report);
    const std::filesystem::path scene = std::filesystem::canonical(file.path());
    EXPECT_NE(json.find("\"scene_relative_to_report\": \"../" + scene.filename().string() +
                        "\",\n  \"scene_absolute\": \"" + scene.string() + "\""),
              std::string::npos) << json;
    for (const char* text : {"\"closed_solid_inside\": 1, \"closed_solid_outside\": 0, \"open\": 0, \"region\": "
                             "\"bounds grown by a quarter\", \"min\": [-15, -15, -15], \"max\": [15, 15, 15]",
                             "\"starts_skipped\": 0, \"flew_off\": 40}", "\"overlap\": {\"count\": 0,",
                             "\"escape\": {\"count\": 0,"}) {
        EXPECT_NE(json.find(text), std::string::npos) << text << "\n" << json;
    }
    options.radius = 20;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runAudit(options), AUDIT_TOO_FEW_STEPS);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("dorn audit: 40 of 40 starts skipped (no clear point "
                                                           "found): 0 of 20000 steps flown\n", 0), 0u);
    EXPECT_NE(readFile(options.report).find("\"steps\": 0, \"contacts\": 0, \"starts_skipped\": 40"),
              std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
