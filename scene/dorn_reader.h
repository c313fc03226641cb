#pragma once

#include <memory>
#include <string>

#include "collision_mesh.h"

namespace sweepview {

// Reads the dorn scene file fileName (passed to the file system unchanged) in
// one buffered pass, front to back, little-endian on any host.
//
// Returns the new scene, which satisfies every invariant of CollisionMesh but
// the enclosing boxes (boxes are taken as they are), with its compiled tree
// (the boxes' own caches are left to be filled on first use). Returns null, having freed
// everything it built and closed the file, when the file:
//   - cannot be opened, or is not a regular file (a directory, a FIFO, a device);
//   - ends before a value it needs (trailing bytes after the tree are ignored);
//   - has a negative count, or a count the rest of the file cannot hold (checked
//     before the array is made, so a short file never causes a large allocation);
//   - has a triangle naming a vertex outside 0..Nv-1, or a leaf naming a triangle
//     outside 0..Nt-1;
//   - needs more memory than is available.
// Floats are taken as they are, non-numbers and infinities included. Trees of
// any depth are read without recursion.
//
// A name holding a NUL byte is refused: the system would read only its start.
//
// On null, *whyRefused (when not null) receives "<fileName>: <what is wrong>",
// naming the section, record and byte offset where that applies. A file
// refused at its first value (the vertex count) is said to be "not a dorn
// scene file" first: with what its first bytes look like instead (a mesh with
// "convert it with dorn build", an image, text, ...), or "or a damaged one"
// and the detail. Control bytes of the name are shown as \xNN and a name
// longer than 120 bytes is cut short, so that a hostile name cannot flood or
// drive a terminal.
[[nodiscard]] std::unique_ptr<CollisionMesh> loadDornFile(const std::string& fileName,
                                                          std::string* whyRefused = nullptr);

}  // namespace sweepview
