#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "collision/contact_state.h"
#include "geometry/swept_sphere.h"
#include "scene/collision_mesh.h"

// Raw little-endian bytes of a dorn file, written value by value, for files the
// writer would never produce (truncated, hostile, odd flags).
class DornBytes {
public:
    DornBytes& int32(std::int32_t value);
    DornBytes& float32(float value);
    DornBytes& byte(std::uint8_t value);
    DornBytes& vec3(float x, float y, float z);
    DornBytes& box(float cx, float cy, float cz, float hx, float hy, float hz);
    const std::string& str() const { return bytes_; }

private:
    std::string bytes_;
};

// The smallest scene: three vertices, no auxiliary vectors, one triangle
// (0, 1, 2, 7, 8, 9) and a single leaf with box centre (1, 2, 3), half-extents
// (4, 5, 6). 101 bytes.
std::string singleLeafFile();

// A file in the test's temporary folder holding bytes; removed on destruction.
class TempFile {
public:
    explicit TempFile(const std::string& bytes, const std::string& suffix = ".dorn");
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readFileBytes(const std::string& path);

// A scene over the given triangles with the project's tree builder, each box
// grown by margin on every side.
std::unique_ptr<CollisionMesh> buildScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles, float margin = 0.0f);

// count random triangles with corners up to maxEdge apart per axis, in the cube
// [-extent, extent]^3, in a tree whose boxes are grown by margin.
std::unique_ptr<CollisionMesh> randomScene(std::uint32_t seed, int count, float extent,
                                           float maxEdge, float margin = 0.0f);

// A closed cube room from -half to +half on every axis, its faces pointing
// inwards, around a box obstacle (faces outwards) centred at (20, -30, 20) with
// half-size 10 and a ramp: enough for the viewer's sphere to bounce on faces,
// edges and corners without ever leaving.
std::unique_ptr<CollisionMesh> roomScene(float half = 40.0f);

// A chain-shaped tree: every inner node has a leaf as first child and the rest
// of the chain as second child, depth levels deep; all leaves name triangle 0.
std::unique_ptr<CollisionMesh> chainScene(int depth);

// The oracle for the query: every leaf in pre-order, no box tests, the same
// recording rules written out independently.
std::int32_t sweepAllLeaves(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state);

MeshTriangle meshTriangle(std::int32_t v0, std::int32_t v1, std::int32_t v2);

// Sets the viewer's tolerance 0.001 for the tests that rely on it.
void useViewerEpsilon();
