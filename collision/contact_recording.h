#pragma once

// How the sweep queries build a leaf's triangle and record a contact: for the
// queries' own translation units (internal linkage, so their walks inline
// them).
#include <cstdint>

#include "collision/contact_state.h"
#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "geometry/triangle.h"
#include "scene/collision_mesh.h"

namespace sweepview {
namespace {

inline bool validIndex(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// Builds the leaf's triangle; false when the scene's indices do not allow it.
inline bool leafTriangle(const CollisionMesh& scene, std::int32_t index, Triangle& triangle) {
    if (!validIndex(index, scene.triangles.size())) {
        return false;
    }
    const MeshTriangle& t = scene.triangles[static_cast<std::size_t>(index)];
    const std::size_t vertexCount = scene.vertices.size();
    if (!validIndex(t.vertex0, vertexCount) || !validIndex(t.vertex1, vertexCount) ||
        !validIndex(t.vertex2, vertexCount)) {
        return false;
    }
    triangle.init(scene.vertices[static_cast<std::size_t>(t.vertex0)],
                  scene.vertices[static_cast<std::size_t>(t.vertex1)],
                  scene.vertices[static_cast<std::size_t>(t.vertex2)]);
    return true;
}

inline void recordContact(ContactState& state, std::int32_t triangleIndex, const Vec3& normal, float time,
                   const TriangleContact& where) {
    const ContactRecord record{triangleIndex, time, normal, where.point, where.feature};
    if (state.found == 0) {
        state.nearestTime = time;
        state.contactNormal = normal;
        state.found = 1;
        state.hitTriangles.push_back(triangleIndex);
        state.contacts.push_back(record);
        return;
    }
    const float difference = time - state.nearestTime;
    if (-SIMULTANEOUS_HIT_TOLERANCE < difference && difference < SIMULTANEOUS_HIT_TOLERANCE) {
        state.contactNormal += normal;
        state.hitTriangles.push_back(triangleIndex);
        state.contacts.push_back(record);
    } else if (time < state.nearestTime) {
        state.nearestTime = time;
        state.contactNormal = normal;
        state.hitTriangles.clear();
        state.hitTriangles.push_back(triangleIndex);
        state.contacts.clear();
        state.contacts.push_back(record);
    }
}

}  // namespace
}  // namespace sweepview
