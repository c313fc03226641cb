#pragma once

#include "geometry/vec3.h"

namespace sweepview {

// The unit box, corners at plus or minus 1. Corners 0 to 3 form the face
// x = +1 and 4 to 7 the face x = -1, each going round its face in the order
// (y, z) = (1, 1), (1, -1), (-1, -1), (-1, 1).
inline constexpr Vec3 BOX_CORNERS[8] = {
    {1, 1, 1},  {1, 1, -1},  {1, -1, -1},  {1, -1, 1},
    {-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1},
};

// Round the face x = +1, round the face x = -1, then the four joining edges.
inline constexpr int BOX_EDGES[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

// Faces x = +1, z = -1, x = -1, z = +1, y = +1, y = -1, each corner list going
// round its face.
inline constexpr int BOX_FACES[6][4] = {
    {0, 1, 2, 3}, {1, 5, 6, 2}, {5, 4, 7, 6}, {4, 0, 3, 7}, {4, 5, 1, 0}, {3, 2, 6, 7},
};

}  // namespace sweepview
