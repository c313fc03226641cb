#pragma once

#include <string>

#include "tools/dorn/mesh_data.h"

namespace sweepview {

// Reads the triangles of a mesh file in any format Assimp reads (OBJ, PLY,
// STL, OFF, glTF 2.0, 3DS, COLLADA and more), with the file's node transforms
// applied, polygons triangulated and the corners' normals (the file's own, or
// smooth ones computed where it has none). Points and lines are left out.
// Appends to mesh; returns false, with the reason in *why ("PATH: reason"),
// when the file cannot be read or holds no triangles: in the words of its
// content when they tell more than the importer ("already a dorn scene",
// "not an OBJ file (it looks like a PNG image)").
[[nodiscard]] bool importMesh(const std::string& path, MeshData& mesh, std::string* why);

// Whether path can be opened for reading as a regular file; false with
// "PATH: reason" in *why (the reader's words: "cannot open: ...", "is a
// directory", "not a regular file").
[[nodiscard]] bool checkMeshInput(const std::string& path, std::string* why);

// The mesh format a file name's ending claims ("PLY" for x.ply), or null.
const char* formatNamedBy(const std::string& path);

}  // namespace sweepview
