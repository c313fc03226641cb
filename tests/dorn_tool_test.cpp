#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "geometry/triangle.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"
#include "tools/dorn/info_command.h"
#include "tools/dorn/mesh_edit.h"
#include "tools/dorn/mesh_import.h"

namespace {

Vec3 normalOf(const MeshData& mesh, const MeshTriangle& t) {
    Triangle shape;
    shape.init(mesh.positions[t.vertex0], mesh.positions[t.vertex1], mesh.positions[t.vertex2]);
    return shape.normal();
}

// One unit square in the plane z = 0, two triangles facing +z, in each format.
struct FormatCase {
    const char* extension;
    std::string content;
};

const char* const COLLADA =
    R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<library_geometries><geometry id="g"><mesh>
<source id="p"><float_array id="pa" count="12">0 0 0 1 0 0 1 1 0 0 1 0</float_array>
<technique_common><accessor source="#pa" count="4" stride="3"><param name="X" type="float"/>
<param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
<triangles count="2"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2 0 2 3</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="s"><node id="n"><instance_geometry url="#g"/></node>
</visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>)";

// 4 positions (48 bytes) then 6 unsigned short indices (12 bytes).
std::string gltfBuffer() {
    const float positions[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::string bytes(60, '\0');
    std::memcpy(bytes.data(), positions, 48);
    std::memcpy(bytes.data() + 48, indices, 12);
    return bytes;
}

const char* const GLTF = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],
"buffers":[{"uri":"square.bin","byteLength":60}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":12}],
"accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
{"bufferView":1,"componentType":5123,"count":6,"type":"SCALAR"}]})";

TEST(MeshImport, EveryFormatGivesTheSquareFacingUp) {
    const std::vector<FormatCase> cases = {
        {".obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"},
        {".ply",
         "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
         "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
         "end_header\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"},
        {".stl",
         "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\n"
         "endloop\nendfacet\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 1 0\n"
         "vertex 0 1 0\nendloop\nendfacet\nendsolid s\n"},
        {".off", "OFF\n4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"},
        {".dae", COLLADA},
        {".gltf", GLTF},
    };
    // A folder of its own: the glTF file names its buffer file beside it.
    char pattern[] = "/tmp/sweepimportXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path folder(pattern);
    std::ofstream(folder / "square.bin", std::ios::binary) << gltfBuffer();
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.extension);
        const std::string path = (folder / "square").string() + c.extension;
        std::ofstream(path, std::ios::binary) << c.content;
        MeshData mesh;
        std::string why;
        ASSERT_TRUE(importMesh(path, mesh, &why)) << why;
        weldVertices(mesh);
        EXPECT_EQ(mesh.triangles.size(), 2u);
        EXPECT_EQ(mesh.positions.size(), 4u);
        for (const MeshTriangle& t : mesh.triangles) {
            EXPECT_NEAR(normalOf(mesh, t).z, 1.0f, 1e-6f);
            ASSERT_GE(t.aux0, 0);  // corner normals, computed where the file has none
            EXPECT_NEAR(mesh.normals[t.aux0].z, 1.0f, 1e-6f);
        }
    }
    std::filesystem::remove_all(folder);
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

TEST(MeshEdit, PlacementAndWinding) {
    MeshData mesh = square();
    centerMesh(mesh);
    EXPECT_EQ(mesh.positions[0], Vec3(-1, -2, 0));
    fitMesh(mesh, 10);
    EXPECT_EQ(mesh.positions[2], Vec3(2.5f, 5, 0));
    moveMesh(mesh, Vec3(0, 0, 3));
    EXPECT_EQ(mesh.positions[2], Vec3(2.5f, 5, 3));
    flipMesh(mesh);
    EXPECT_NEAR(normalOf(mesh, mesh.triangles[0]).z, -1.0f, 1e-6f);
    EXPECT_EQ(mesh.normals[0], Vec3(0, 0, -1));
}

TEST(MeshEdit, RoomFacesPointInwardsAndDegenerateTrianglesGo) {
    MeshData mesh = square();
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
    // Two copies of the mesh share their corners once welded.
    MeshData twice = square();
    const MeshData copy = square();
    for (MeshTriangle t : copy.triangles) {
        t.vertex0 += 4, t.vertex1 += 4, t.vertex2 += 4;
        twice.triangles.push_back(t);
    }
    twice.positions.insert(twice.positions.end(), copy.positions.begin(), copy.positions.end());
    weldVertices(twice);
    EXPECT_EQ(twice.positions.size(), 4u);
    EXPECT_EQ(twice.triangles[2].vertex1, twice.triangles[0].vertex1);
}

TEST(DornInfo, ReportsAndChecksTheTree) {
    auto scene = randomScene(3, 100, 10.0f, 1.0f);
    TempFile good("");
    ASSERT_EQ(saveDornFile(*scene, good.path()), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(runInfo(good.path(), true), 0);
    const std::string report = testing::internal::GetCapturedStdout();
    EXPECT_NE(report.find("triangles: 100\n"), std::string::npos);
    EXPECT_NE(report.find("nodes: 199 (99 inner, 100 leaves)\n"), std::string::npos);
    EXPECT_NE(report.find("boxes not enclosing their subtree: 0\n"), std::string::npos);

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

}  // namespace
