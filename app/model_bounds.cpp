#include "app/model_bounds.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sweepview {

namespace {

void include(Bounds& bounds, const Vec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        return;
    }
    bounds.min = Vec3(std::min(bounds.min.x, p.x), std::min(bounds.min.y, p.y), std::min(bounds.min.z, p.z));
    bounds.max = Vec3(std::max(bounds.max.x, p.x), std::max(bounds.max.y, p.y), std::max(bounds.max.z, p.z));
}

bool isEmpty(const Bounds& bounds) {
    return !(bounds.min.x <= bounds.max.x);
}

std::array<Vec3, 3> corners(const CollisionMesh& scene, const MeshTriangle& t) {
    return {scene.vertices[static_cast<std::size_t>(t.vertex0)], scene.vertices[static_cast<std::size_t>(t.vertex1)],
            scene.vertices[static_cast<std::size_t>(t.vertex2)]};
}

bool validTriangle(const CollisionMesh& scene, const MeshTriangle& t) {
    const auto valid = [&](std::int32_t v) { return v >= 0 && static_cast<std::size_t>(v) < scene.vertices.size(); };
    return valid(t.vertex0) && valid(t.vertex1) && valid(t.vertex2);
}

// The face of the bounds a triangle lies in and faces away from (0 to 5:
// min x, max x, min y, ...), or -1. "Lies in" allows a millionth of the
// scene's size, for coordinates written through a transform.
int roomFace(const std::array<Vec3, 3>& p, const Bounds& bounds, float slack) {
    const Vec3 normal = cross(p[1] - p[0], p[2] - p[0]);
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const float plane = component(side == 0 ? bounds.min : bounds.max, axis);
            const bool inPlane = std::all_of(p.begin(), p.end(),
                                             [&](const Vec3& v) { return std::fabs(component(v, axis) - plane) <= slack; });
            const float inwards = side == 0 ? component(normal, axis) : -component(normal, axis);
            if (inPlane && inwards > 0.0f) {
                return 2 * axis + side;
            }
        }
    }
    return -1;
}

}  // namespace

ModelParts findModelParts(const CollisionMesh& scene) {
    ModelParts parts;
    parts.inRoom.assign(scene.triangles.size(), false);
    for (const MeshTriangle& t : scene.triangles) {
        if (validTriangle(scene, t)) {
            for (const Vec3& p : corners(scene, t)) {
                include(parts.scene, p);
            }
        }
    }
    if (isEmpty(parts.scene)) {
        return parts;
    }
    const float slack = 1e-6f * std::max(1.0f, boundsRadius(parts.scene, 1.0f));
    std::array<bool, 6> faceSeen{};
    std::vector<int> face(scene.triangles.size(), -1);
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        if (validTriangle(scene, scene.triangles[i])) {
            face[i] = roomFace(corners(scene, scene.triangles[i]), parts.scene, slack);
            if (face[i] >= 0) {
                faceSeen[static_cast<std::size_t>(face[i])] = true;
            }
        }
    }
    parts.hasRoom = std::all_of(faceSeen.begin(), faceSeen.end(), [](bool seen) { return seen; });
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        parts.inRoom[i] = parts.hasRoom && face[i] >= 0;
        if (!parts.inRoom[i] && validTriangle(scene, scene.triangles[i])) {
            for (const Vec3& p : corners(scene, scene.triangles[i])) {
                include(parts.model, p);
            }
        }
    }
    if (isEmpty(parts.model)) {
        parts.model = parts.scene;
    }
    return parts;
}

Vec3 boundsCentre(const Bounds& bounds) {
    if (isEmpty(bounds)) {
        return Vec3();
    }
    return (bounds.min + bounds.max) * 0.5f;
}

float boundsRadius(const Bounds& bounds, float smallest) {
    if (isEmpty(bounds)) {
        return smallest;
    }
    return std::max(0.5f * length(bounds.max - bounds.min), smallest);
}

}  // namespace sweepview
