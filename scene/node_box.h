#pragma once

#include <cstdint>

#include "../geometry/vec3.h"

namespace sweepview {

// An axis-aligned box stored as centre and half-extents (as the file holds it and
// the drawing uses it), with its min and max corners cached on first use.
class NodeBox {
public:
    Vec3 centre;
    Vec3 halfExtents;
    Vec3 boundsMin;  // centre - halfExtents, valid while boundsValid is 1
    Vec3 boundsMax;  // centre + halfExtents, valid while boundsValid is 1
    std::int32_t boundsValid = 0;

    NodeBox(const Vec3& centre_, const Vec3& halfExtents_)
        : centre(centre_), halfExtents(halfExtents_) {}
    NodeBox(const NodeBox&) = default;
    NodeBox& operator=(const NodeBox&) = default;  // copies boundsValid too
    virtual ~NodeBox() = default;

    // Fills boundsMin and boundsMax from centre and half-extents, component by
    // component in float, and sets boundsValid to 1.
    void updateBounds();
};

}  // namespace sweepview
