#pragma once

#include <cstdint>
#include <string>

namespace sweepview {

// The mesh format a file that is not a scene seems to be in, judged by its
// first bytes: "OBJ", "PLY", "STL", "OFF", "glTF" or "COLLADA"; null when it
// looks like none of them. bytes holds the file's first size bytes (or
// fewer); fileSize is the whole file's, for binary STL's own count.
const char* meshFormatOf(const unsigned char* bytes, std::size_t size, std::uint64_t fileSize);

// format with its article: "an OBJ", "a PLY".
std::string withArticle(const char* format);

// Another kind of file, judged by its first bytes: "a PNG image", "a JPEG
// image", "a GIF image", "a PDF document", "a ZIP archive", "a gzip archive",
// "an ELF program" or "a text file"; null when it looks like none of them.
const char* fileKindOf(const unsigned char* bytes, std::size_t size);

// For a file refused as a scene at its first value: why it is not one, when
// its first bytes (read from fd at offset 0, which is left where it was) tell:
//   "not a dorn scene file; it looks like a FORMAT mesh: convert it with dorn build"
//   "not a dorn scene file (it looks like a PNG image)"
//   "not a dorn scene file (it is empty)"
// Empty when they tell nothing.
std::string notASceneReason(int fd, std::uint64_t fileSize);

// For a file refused as a scene further in, which a mesh without a signature
// (binary STL) can be: "it may be an STL mesh: convert it with dorn build"
// when its first bytes look like one, else empty.
std::string mayBeMeshHint(int fd, std::uint64_t fileSize);

}  // namespace sweepview
