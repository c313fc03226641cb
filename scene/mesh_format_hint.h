#pragma once

#include <cstdint>
#include <string>

namespace sweepview {

// The mesh format a file that is not a scene seems to be in, judged by its
// first bytes: "OBJ", "PLY", "STL", "OFF", "glTF" or "COLLADA"; null when it
// looks like none of them. bytes holds the file's first size bytes (or
// fewer); fileSize is the whole file's, for binary STL's own count.
const char* meshFormatOf(const unsigned char* bytes, std::size_t size, std::uint64_t fileSize);

// For a refused scene file: "; it looks like a FORMAT mesh: convert it with
// dorn build" when its first bytes (read from fd at offset 0, which is left
// where it was) look like a mesh format, else empty.
std::string meshFormatHint(int fd, std::uint64_t fileSize);

}  // namespace sweepview
