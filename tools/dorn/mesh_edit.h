#pragma once

#include <cstddef>

#include "tools/dorn/mesh_data.h"

namespace sweepview {

// Edits applied by `dorn build`, in the order listed there.

// Merges positions, and normals, that are bit for bit identical, so that
// triangles from several meshes share their corners.
void weldVertices(MeshData& mesh);

// Multiplies every position by factor (positive), about the origin.
void scaleMesh(MeshData& mesh, float factor);

// The box around the positions the triangles use; false when there are none.
[[nodiscard]] bool meshBounds(const MeshData& mesh, Vec3& min, Vec3& max);

// Moves the mesh so that the centre of its box lies at the origin.
void centerMesh(MeshData& mesh);

// Scales about the origin so that the largest extent of the mesh's box is size.
void fitMesh(MeshData& mesh, float size);

// Adds offset to every position.
void moveMesh(MeshData& mesh, const Vec3& offset);

// Reverses every triangle's winding (and so the side its face is met from).
void flipMesh(MeshData& mesh);

// Turns triangles (reverses their winding) so that the two triangles of every
// manifold edge (two triangles, welded corners) use it in opposite directions.
// Per part connected through such edges, the winding that most of the part's
// area already has is kept: a closed surface whose faces mostly point out
// keeps pointing out, a room mostly facing in keeps facing in. A part that
// cannot agree everywhere (a one-sided surface such as a Moebius strip) keeps
// the conflicts the walk across it leaves. Triangles without area weigh
// nothing; vertex normals are left as they are. Returns how many turned.
std::size_t orientMesh(MeshData& mesh);

// Removes the triangles without area (their normal is not a number, so only
// their edges and corners could ever be met). Returns how many went.
std::size_t dropDegenerate(MeshData& mesh);

// Adds a closed cube from -size to +size on every axis, two triangles a side,
// whose faces point inwards, with matching normals when the mesh has normals.
void addRoom(MeshData& mesh, float size);

}  // namespace sweepview
