#pragma once

#include <cstdint>
#include <vector>

#include "../geometry/vec3.h"

namespace sweepview {

// Result of a sweep query: the earliest contact time and the contacts recorded
// at that time. The program keeps one, contactState, shared by the query (which
// writes it), the frame step and the drawing (which read it).
struct ContactState {
    float nearestTime = 0.0f;  // +infinity after a query that found nothing
    std::int32_t found = 0;    // 1 once the current query has recorded a contact
    Vec3 contactNormal;        // sum of the normals recorded at nearestTime, not normalised
    std::vector<std::int32_t> hitTriangles;  // triangle indices, in order found, duplicates kept
};

extern ContactState contactState;

}  // namespace sweepview
