#pragma once

#include <cstdint>
#include <vector>

#include "scene/collision_mesh.h"

namespace sweepview {

// What a collision mesh's edges say about it, found in one pass over its
// edges after welding positions that are bit for bit identical.
struct MeshChecks {
    std::vector<std::int32_t> welded;  // per vertex, the index of its first identical position
    // Per edge (welded corner pair): the triangles using it, in index order.
    struct Edge {
        std::int32_t a, b;  // welded vertex indices, a < b
        std::vector<std::int32_t> triangles;
        bool windingConflict = false;  // two triangles use it in the same direction
    };
    std::vector<Edge> edges;
    std::vector<std::vector<std::int32_t>> vertexTriangles;  // per welded vertex
    std::vector<std::int32_t> boundaryEdges;      // used by one triangle: a hole's rim
    std::vector<std::int32_t> nonManifoldEdges;   // used by three or more
    std::vector<std::int32_t> windingConflicts;   // neighbours whose windings disagree
    std::vector<std::int32_t> degenerateTriangles;  // without area, or corners welded together
    std::vector<std::int32_t> duplicateTriangles;   // the same welded corners as an earlier one
    // The edge of triangle t from corner i to corner i+1, as an index into edges.
    std::vector<std::int32_t> triangleEdges;  // 3 per triangle
};

// Checks scene's triangles (vertex indices valid, as the reader ensures).
MeshChecks checkMesh(const CollisionMesh& scene);

}  // namespace sweepview
