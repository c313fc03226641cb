#pragma once

#include <cstdint>

#include "collision/contact_state.h"
#include "scene/collision_mesh.h"

namespace sweepview {

// The display list that holds the mesh, and whether it is complete. Made once
// by the window set-up; until it is ready, drawScene sends the mesh itself.
extern std::uint32_t sceneList;
extern bool sceneListReady;

// The viewer's sweep results: the frame step records into it, the drawing
// highlights its hitTriangles.
extern ContactState contactState;

// Box draw modes: 0 nothing, 1 corner points, 2 edge lines, 3 face quads,
// 4 the matrix push, translation and pop of each box with nothing drawn.
// Any other non-zero mode behaves as 4.

// Draws the triangles listed in contactState.hitTriangles in translucent red
// (entries -1, or outside the scene's arrays, are skipped; duplicates are drawn
// again), then the display list when it is ready, then the tree with drawTree.
// Every batch is begun and ended even when empty.
void drawScene(const CollisionMesh& scene, int mode);

// Walks the subtree of node in pre-order, first child before second: before
// the display list is ready, each leaf's triangle in translucent blue (its own
// batch); in every mode but 0, each node's box through drawNodeBox. Walks
// without recursion, so a tree of any depth is safe.
void drawTree(const CollisionMesh& scene, int mode, const VolumeNode& node);

// Draws box in the given mode as the unit box scaled per axis by the
// half-extents and moved to the centre, between a matrix push and pop.
void drawNodeBox(const NodeBox& box, int mode);

}  // namespace sweepview
