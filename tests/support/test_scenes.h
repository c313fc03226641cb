#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "collision/contact_state.h"
#include "collision/sweep_setup.h"
#include "geometry/prepared_triangle.h"
#include "geometry/swept_sphere.h"
#include "scene/collision_mesh.h"

namespace sweepview {

// Raw little-endian bytes of a dorn file, value by value, for files the writer
// would never produce (truncated, hostile, odd flags).
struct DornBytes {
    std::string str;
    DornBytes& int32(std::int32_t value);
    DornBytes& float32(float value);
    DornBytes& byte(std::uint8_t value) { return str.push_back(char(value)), *this; }
    DornBytes& vec3(float x, float y, float z) { return float32(x).float32(y).float32(z); }
};

// Three vertices, no auxiliary vectors, triangle (0, 1, 2, 7, 8, 9) and one
// leaf with centre (1, 2, 3) and half-extents (4, 5, 6): 101 bytes.
std::string singleLeafFile();

// A file in the temporary folder holding bytes, removed on destruction.
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

MeshTriangle meshTriangle(std::int32_t v0, std::int32_t v1, std::int32_t v2);

// A scene with the project's tree builder, each box grown by margin.
std::unique_ptr<CollisionMesh> buildScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles, float margin = 0.0f);

// Adds margin to every box's half-extents (and refreshes the cached bounds and
// the compiled tree).
void growBoxes(CollisionMesh& scene, const Vec3& margin);

// count random triangles, corners up to maxEdge apart per axis, in [-extent, extent]^3.
std::unique_ptr<CollisionMesh> randomScene(std::uint32_t seed, int count, float extent,
                                           float maxEdge, float margin = 0.0f);

// A closed cube room from -half to +half, faces pointing inwards.
std::unique_ptr<CollisionMesh> roomScene(float half = 40.0f);

// A chain of inner nodes, each with a leaf as first child, the leaves naming
// the given triangles in order; every node has the given box.
std::unique_ptr<CollisionMesh> chainScene(std::vector<Vec3> vertices,
                                          std::vector<MeshTriangle> triangles,
                                          const std::vector<std::int32_t>& leaves, const NodeBox& box);

// A chain of depth inner nodes whose depth + 1 leaves all name the one
// triangle (0,0,0), (10,0,0), (0,10,0).
std::unique_ptr<CollisionMesh> chainScene(int depth);

// The oracle for the query: every leaf in pre-order, no box tests, the same
// recording rules written out independently. With testBoxes, the plain walk
// instead: every node's box tested by the stand-alone box test, every test
// computing all it needs for itself, as the query did before it was tuned.
std::int32_t sweepAllLeaves(CollisionMesh& scene, const SweptSphere& sphere, ContactState& state,
                            bool testBoxes = false, SweepOptions rule = {});

// Sets the viewer's tolerance 0.001, which the tests' numbers assume.
void useViewerEpsilon();

// The three-lane edge and corner tests of prepared against the scalar tests,
// bit for bit: what differs first ("" when nothing does), and how many edges
// of each rule and corners the scalar tests found met, and lines out of reach.
struct LaneComparison {
    std::string difference;
    int designHits = 0;
    int exactHits = 0;
    int cornerHits = 0;
    int missedLines = 0;
};
LaneComparison compareLanesWithScalar(const SweptSphere& sphere, const PreparedTriangle& prepared);

}  // namespace sweepview
