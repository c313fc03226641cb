#pragma once

#include <string>

#include "tools/dorn/mesh_data.h"

namespace sweepview {

// Reads the triangles of a mesh file in any format Assimp reads (OBJ, PLY,
// STL, OFF, glTF 2.0, 3DS, COLLADA and more), with the file's node transforms
// applied, polygons triangulated and the corners' normals (the file's own, or
// smooth ones computed where it has none). Points and lines are left out.
// Appends to mesh; returns false, with the reason in *why, when the file cannot
// be read or holds no triangles.
[[nodiscard]] bool importMesh(const std::string& path, MeshData& mesh, std::string* why);

}  // namespace sweepview
