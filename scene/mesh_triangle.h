#pragma once

#include <cstdint>

namespace sweepview {

// One triangle of the mesh: three indices into the scene's vertices, in winding
// order, and three auxiliary indices carried from the file and otherwise unused.
// No constructor: the reader overwrites every field.
struct MeshTriangle {
    std::int32_t vertex0;
    std::int32_t vertex1;
    std::int32_t vertex2;
    std::int32_t aux0;
    std::int32_t aux1;
    std::int32_t aux2;
};

}  // namespace sweepview
