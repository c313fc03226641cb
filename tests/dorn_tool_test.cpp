#include <gtest/gtest.h>

#include "geometry/triangle.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/build_command.h"
#include "tools/dorn/info_command.h"
#include "tools/dorn/mesh_edit.h"
#include "tools/dorn/mesh_import.h"
#include "tools/dorn/wording.h"

using namespace sweepview;

namespace {

Vec3 normalOf(const MeshData& mesh, const MeshTriangle& t) {
    Triangle shape;
    shape.init(mesh.positions[t.vertex0], mesh.positions[t.vertex1], mesh.positions[t.vertex2]);
    return shape.normal();
}

TEST(MeshImport, IndexedAndUnindexedFormatsGiveTheSquareFacingUp) {
    // One unit square in the plane z = 0, two triangles facing +z, in each format.
    const std::pair<std::string, std::string> cases[] = {
        {".obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"},
        {".stl",  // a corner per triangle, joined by welding
         "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\n"
         "endloop\nendfacet\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 1 0\n"
         "vertex 0 1 0\nendloop\nendfacet\nendsolid s\n"},
    };
    for (const auto& [extension, content] : cases) {
        SCOPED_TRACE(extension);
        TempFile file(content, extension);
        MeshData mesh;
        std::string why;
        ASSERT_TRUE(importMesh(file.path(), mesh, &why)) << why;
        weldVertices(mesh);
        EXPECT_EQ(mesh.triangles.size(), 2u);
        EXPECT_EQ(mesh.positions.size(), 4u);
        for (const MeshTriangle& t : mesh.triangles) {
            EXPECT_NEAR(normalOf(mesh, t).z, 1.0f, 1e-6f);
            ASSERT_GE(t.aux0, 0);  // corner normals, computed where the file has none
            EXPECT_NEAR(mesh.normals[t.aux0].z, 1.0f, 1e-6f);
        }
    }
    MeshData mesh;
    std::string why;
    EXPECT_FALSE(importMesh("/nonexistent.obj", mesh, &why));
    TempFile lines("v 0 0 0\nv 1 0 0\nl 1 2\n", ".obj");
    EXPECT_FALSE(importMesh(lines.path(), mesh, &why));
    EXPECT_EQ(why.rfind(lines.path(), 0), 0u);  // the reason names the file
}

MeshData square() {
    MeshData mesh;
    mesh.positions = {Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(2, 4, 0), Vec3(0, 4, 0)};
    mesh.normals = {Vec3(0, 0, 1)};
    mesh.triangles = {{0, 1, 2, 0, 0, 0}, {0, 2, 3, 0, 0, 0}};
    return mesh;
}

// Placement in the order dorn build applies it, winding, the room's inward
// faces and normals, slivers dropped, and two copies of a mesh welded into one.
TEST(MeshEdit, PlacementWindingRoomAndWelding) {
    MeshData mesh = square();
    centerMesh(mesh);
    EXPECT_EQ(mesh.positions[0], Vec3(-1, -2, 0));
    fitMesh(mesh, 10);
    moveMesh(mesh, Vec3(0, 0, 3));
    EXPECT_EQ(mesh.positions[2], Vec3(2.5f, 5, 3));
    flipMesh(mesh);
    EXPECT_NEAR(normalOf(mesh, mesh.triangles[0]).z, -1.0f, 1e-6f);
    EXPECT_EQ(mesh.normals[0], Vec3(0, 0, -1));
    mesh.triangles.push_back({0, 0, 1, 0, 0, 0});  // a zero-area sliver
    EXPECT_EQ(dropDegenerate(mesh), 1u);
    addRoom(mesh, 50);
    ASSERT_EQ(mesh.triangles.size(), 14u);
    for (std::size_t i = 2; i < 14; ++i) {
        const MeshTriangle& t = mesh.triangles[i];
        const Vec3 inward = mesh.positions[t.vertex0] * -1.0f;
        EXPECT_GT(dot(normalOf(mesh, t), inward), 0.0f) << i;
        EXPECT_GT(dot(mesh.normals[t.aux0], inward), 0.0f) << i;
    }
    MeshData twice = square();
    for (MeshTriangle t : square().triangles) {
        twice.triangles.push_back({t.vertex0 + 4, t.vertex1 + 4, t.vertex2 + 4, 0, 0, 0});
    }
    const std::vector<Vec3> corners = twice.positions;
    twice.positions.insert(twice.positions.end(), corners.begin(), corners.end());
    weldVertices(twice);
    EXPECT_EQ(twice.positions.size(), 4u);
    EXPECT_EQ(twice.triangles[2].vertex1, twice.triangles[0].vertex1);
}

// A cube with two of its six sides turned keeps facing out and a room with
// one side turned keeps facing in; an open strip agrees with its majority.
TEST(MeshEdit, OrientTurnsTheFewTowardsTheMany) {
    for (const bool room : {false, true}) {
        MeshData mesh;
        addRoom(mesh, 1);
        if (!room) {
            flipMesh(mesh);
        }
        const std::size_t sides = room ? 1 : 2;
        for (std::size_t i = 0; i < 2 * sides; ++i) {
            std::swap(mesh.triangles[i].vertex1, mesh.triangles[i].vertex2);
        }
        EXPECT_EQ(orientMesh(mesh), 2 * sides);
        for (const MeshTriangle& t : mesh.triangles) {
            const float out = dot(normalOf(mesh, t), mesh.positions[t.vertex0]);
            EXPECT_TRUE(room ? out < 0.0f : out > 0.0f);
        }
    }
    MeshData strip;
    strip.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 2, 0}, {1, 2, 0}};
    strip.triangles = {{0, 1, 2, -1, -1, -1}, {1, 2, 3, -1, -1, -1}, {2, 3, 4, -1, -1, -1},
                       {3, 5, 4, -1, -1, -1}};  // the second faces down
    strip.triangles.push_back({4, 5, 5, -1, -1, -1});  // without area, left alone
    EXPECT_EQ(orientMesh(strip), 1u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_GT(normalOf(strip, strip.triangles[i]).z, 0.0f) << i;
    }
}

TEST(DornInfo, ReportsAndChecksTheTree) {
    auto scene = randomScene(3, 100, 10.0f, 1.0f);
    TempFile good("");
    ASSERT_EQ(saveDornFile(*scene, good.path()), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(runInfo(good.path(), true), 0);
    const std::string report = testing::internal::GetCapturedStdout();
    for (const char* line : {"triangles: 100\n", "nodes: 199 (99 inner, 100 leaves)\n",
                             "boxes not enclosing their subtree: 0\n"}) {
        EXPECT_NE(report.find(line), std::string::npos) << report;
    }

    scene->root->left->box.halfExtents = Vec3(0.01f, 0.01f, 0.01f);
    TempFile shrunk("");
    ASSERT_EQ(saveDornFile(*scene, shrunk.path()), 1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runInfo(shrunk.path(), false), 0);
    EXPECT_EQ(runInfo(shrunk.path(), true), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("can miss contacts"), std::string::npos);

    TempFile broken(singleLeafFile().substr(0, 60));
    testing::internal::CaptureStderr();
    EXPECT_EQ(runInfo(broken.path(), false), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ends in the triangle section"),
              std::string::npos);
}

// dorn build sums up the static checks and warns when the viewer's start lies
// in a closed box (y from 5 to 25), suggesting the shorter move along y that
// clears it and keeps the box in the room; built so moved, it is quiet.
TEST(DornBuild, WarnsWhenTheViewersStartIsNotClear) {
    TempFile box("v -10 5 -10\nv 10 5 -10\nv 10 25 -10\nv -10 25 -10\nv -10 5 10\nv 10 5 10\nv 10 25 10\n"
                 "v -10 25 10\nf 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n",
                 ".obj");
    TempFile out("");
    BuildOptions options;
    options.inputs = {box.path()};
    options.output = out.path();
    const std::string warning = "dorn build: warning: the viewer's start (0, 12.5, 0) with radius 2.5 ";
    const std::pair<float, std::string> cases[] = {
        {50, "lies in the mesh's solid; --move 0,11,0 clears it\n"},   // the box's bottom to 16
        {30, "lies in the mesh's solid; --move 0,-16,0 clears it\n"},  // up leaves the room
        {14, "lies in the mesh's solid; no --move 0,DY,0 clears it (see --fit, --room and --flip)\n"},
    };
    for (const auto& [room, expected] : cases) {
        options.room = room;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(runBuild(options), 0);
        EXPECT_NE(testing::internal::GetCapturedStdout().find(
                      "Checks: 0 boundary, 0 non-manifold, 0 winding conflicts, 0 degenerate, 0 duplicate"),
                  std::string::npos);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(warning + expected), std::string::npos) << said;
    }
    options.room = 50;
    options.move = Vec3(0, 11, 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runBuild(options), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Durations to three figures without exponents or a zero that hides the
// time; counts with the noun in their number.
TEST(Wording, DurationsAndCounts) {
    const std::pair<double, const char*> durations[] = {
        {0.0, "under 0.01 ms"}, {4.12e-4, "0.412 ms"}, {0.0123, "12.3 ms"},
        {0.9996, "1 s"},        {12.34, "12.3 s"},     {1234.5, "1234 s"},
    };
    for (const auto& [seconds, text] : durations) {
        EXPECT_EQ(durationText(seconds), text);
    }
    EXPECT_EQ(countOf(1, "leaf", "leaves"), "1 leaf");
    EXPECT_EQ(countOf(0, "leaf", "leaves"), "0 leaves");
}

}  // namespace
