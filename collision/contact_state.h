#pragma once

#include <cstdint>
#include <vector>

#include "../geometry/vec3.h"

namespace sweepview {

// Which part of a triangle a contact touched.
enum class ContactFeature : std::uint8_t { Face, Edge, Corner };

// One contact as its triangle test found it.
struct ContactRecord {
    std::int32_t triangle = -1;
    float time = 0.0f;  // stopped short, as the feature tests give it
    Vec3 normal;        // unit, from the triangle towards the sphere
    Vec3 point;         // on the triangle: where the sphere touches it
    ContactFeature feature = ContactFeature::Face;
};

// Result of a sweep query: the earliest contact time and the contacts recorded
// at that time. Each caller keeps its own (the viewer one, contactState, shared
// by its frame step and its drawing).
struct ContactState {
    float nearestTime = 0.0f;  // +infinity after a query that found nothing
    std::int32_t found = 0;    // 1 once the current query has recorded a contact
    Vec3 contactNormal;        // sum of the normals recorded at nearestTime, not normalised
    std::vector<std::int32_t> hitTriangles;  // triangle indices, in order found, duplicates kept
    // The current query's contacts at nearestTime, in the order recorded (the
    // query empties it; hitTriangles, which the query does not empty, may
    // also hold earlier queries' triangles).
    std::vector<ContactRecord> contacts;
};


}  // namespace sweepview
