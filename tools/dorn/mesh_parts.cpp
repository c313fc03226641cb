#include "tools/dorn/mesh_parts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace sweepview {

namespace {

using P = DoublePoint;

std::int32_t root(std::vector<std::int32_t>& up, std::int32_t i) {
    while (up[i] != i) {
        up[i] = up[up[i]];
        i = up[i];
    }
    return i;
}

bool collapsed(const CollisionMesh& scene, const MeshChecks& checks, std::size_t t) {
    const MeshTriangle& m = scene.triangles[t];
    const std::int32_t a = checks.welded[m.vertex0], b = checks.welded[m.vertex1],
                       c = checks.welded[m.vertex2];
    return a == b || b == c || c == a;
}

// Directions with no zero component (so the box test never divides by zero),
// far from each other and from the axes along which meshes tend to line up.
constexpr std::array<P, 4> RAYS = {P{0.5390, 0.6262, 0.5634}, P{-0.7071, 0.3162, 0.6325},
                                   P{0.2673, -0.8018, 0.5345}, P{-0.4472, -0.5477, -0.7071}};
constexpr double GRAZE = 1e-9;  // of a barycentric coordinate, or of a distance per unit of edge

enum class Crossing { Miss, Hit, Graze };

// Whether the ray from o along d (unit) crosses triangle abc, by Moller and
// Trumbore's test; Graze when it passes within the tolerance of an edge, a
// corner or the triangle's plane, where rounding could decide either way.
Crossing cross(const P& o, const P& d, const P& a, const P& b, const P& c) {
    const P e1 = b - a, e2 = c - a;
    const P p = crossP(d, e2);
    const double det = dotP(e1, p);
    const double scale = std::sqrt(dotP(e1, e1) * dotP(e2, e2));
    const P s = o - a;
    if (!(std::fabs(det) > GRAZE * scale)) {  // parallel, no area, or not a number
        const P n = crossP(e1, e2);
        const double along = dotP(s, n);
        return std::isfinite(along) && std::fabs(along) <= GRAZE * scale * std::sqrt(scale)
                   ? Crossing::Graze
                   : Crossing::Miss;
    }
    const double u = dotP(s, p) / det;
    const P q = crossP(s, e1);
    const double v = dotP(d, q) / det;
    const double t = dotP(e2, q) / det;
    const double tNear = GRAZE * std::sqrt(scale);
    if (u < -GRAZE || v < -GRAZE || u + v > 1 + GRAZE || t < -tNear) {
        return Crossing::Miss;
    }
    return u < GRAZE || v < GRAZE || u + v > 1 - GRAZE || t < tNear ? Crossing::Graze
                                                                    : Crossing::Hit;
}

// Whether the ray may meet the box; a box with non-numbers is never passed by.
bool mayMeet(const NodeBox& box, const P& o, const P& d) {
    const double c[3] = {box.centre.x, box.centre.y, box.centre.z};
    const double h[3] = {box.halfExtents.x, box.halfExtents.y, box.halfExtents.z};
    const double from[3] = {o.x, o.y, o.z};
    const double along[3] = {d.x, d.y, d.z};
    double nearT = 0;
    double farT = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        // Grown a little: the float box holds its triangles only as the query rounds.
        const double half = h[axis] * (1 + 1e-6) + 1e-30;
        const double t0 = (c[axis] - half - from[axis]) / along[axis];
        const double t1 = (c[axis] + half - from[axis]) / along[axis];
        nearT = std::fmax(nearT, std::fmin(t0, t1));
        farT = std::fmin(farT, std::fmax(t0, t1));
    }
    return !(nearT > farT);
}

// Flips parity[part] for each closed part's triangle the ray crosses; false
// when one is grazed (and grazes count unless strict).
bool castRay(const CollisionMesh& scene, const MeshParts& parts, const P& o, const P& d,
             bool strict, std::vector<std::uint8_t>& parity) {
    const auto visit = [&](std::size_t t) {
        const std::int32_t part = t < parts.partOf.size() ? parts.partOf[t] : -1;
        if (part < 0 || !parts.parts[part].closed) {
            return true;
        }
        const MeshTriangle& m = scene.triangles[t];
        const Crossing crossing =
            cross(o, d, toDouble(scene.vertices[m.vertex0]), toDouble(scene.vertices[m.vertex1]),
                  toDouble(scene.vertices[m.vertex2]));
        if (crossing == Crossing::Graze && strict) {
            return false;
        }
        parity[part] ^= crossing == Crossing::Miss ? 0 : 1;
        return true;
    };
    if (scene.root == nullptr) {
        for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
            if (!visit(t)) {
                return false;
            }
        }
        return true;
    }
    std::vector<const VolumeNode*> pending{scene.root};
    while (!pending.empty()) {
        const VolumeNode* node = pending.back();
        pending.pop_back();
        if (!mayMeet(node->box, o, d)) {
            continue;
        }
        if (node->left != nullptr) {
            pending.push_back(node->left);
            if (node->right != nullptr) {
                pending.push_back(node->right);
            }
        } else if (node->triangle >= 0 &&
                   static_cast<std::size_t>(node->triangle) < scene.triangles.size() &&
                   !visit(static_cast<std::size_t>(node->triangle))) {
            return false;
        }
    }
    return true;
}

}  // namespace

MeshParts findMeshParts(const CollisionMesh& scene, const MeshChecks& checks) {
    const std::size_t count = scene.triangles.size();
    std::vector<std::int32_t> up(count);
    std::iota(up.begin(), up.end(), 0);
    std::vector<std::uint8_t> skip(count);
    for (std::size_t t = 0; t < count; ++t) {
        skip[t] = collapsed(scene, checks, t) ? 1 : 0;
    }
    for (const MeshChecks::Edge& edge : checks.edges) {
        std::int32_t first = -1;
        for (std::int32_t t : edge.triangles) {
            if (skip[t]) {
                continue;
            }
            if (first < 0) {
                first = t;
            } else {
                up[root(up, t)] = root(up, first);
            }
        }
    }
    MeshParts result;
    result.partOf.assign(count, -1);
    std::vector<std::int32_t> origin;  // per part, a corner to measure volume from
    std::vector<std::array<double, 6>> box;
    for (std::size_t t = 0; t < count; ++t) {
        if (skip[t]) {
            continue;
        }
        const std::int32_t r = root(up, static_cast<std::int32_t>(t));
        if (result.partOf[r] < 0) {
            result.partOf[r] = static_cast<std::int32_t>(result.parts.size());
            result.parts.push_back({true, 0});
            origin.push_back(scene.triangles[t].vertex0);
            box.push_back({INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY});
        }
        result.partOf[t] = result.partOf[r];
    }
    for (std::size_t t = 0; t < count; ++t) {
        const std::int32_t part = result.partOf[t];
        if (part < 0) {
            continue;
        }
        MeshPart& p = result.parts[part];
        for (int i = 0; i < 3; ++i) {
            const MeshChecks::Edge& edge = checks.edges[checks.triangleEdges[3 * t + i]];
            int users = 0;
            for (std::int32_t other : edge.triangles) {
                users += skip[other] ? 0 : 1;
            }
            p.closed = p.closed && users == 2 && !edge.windingConflict;
        }
        const MeshTriangle& m = scene.triangles[t];
        const P o = toDouble(scene.vertices[origin[part]]);
        const P a = toDouble(scene.vertices[m.vertex0]) - o;
        const P b = toDouble(scene.vertices[m.vertex1]) - o;
        const P c = toDouble(scene.vertices[m.vertex2]) - o;
        p.volume += dotP(a, crossP(b, c)) / 6;
        for (const P& v : {a, b, c}) {
            const double xyz[3] = {v.x, v.y, v.z};
            for (int axis = 0; axis < 3; ++axis) {
                box[part][axis] = std::fmin(box[part][axis], xyz[axis]);
                box[part][axis + 3] = std::fmax(box[part][axis + 3], xyz[axis]);
            }
        }
    }
    for (std::size_t i = 0; i < result.parts.size(); ++i) {
        MeshPart& p = result.parts[i];
        const double extent = std::fmax(std::fmax(box[i][3] - box[i][0], box[i][4] - box[i][1]),
                                        box[i][5] - box[i][2]);
        // Two sheets back to back close a part without enclosing anything: no side is solid.
        p.closed = p.closed && std::isfinite(p.volume) &&
                   std::fabs(p.volume) > 1e-9 * extent * extent * extent;
        if (!p.closed) {
            p.volume = 0;
            ++result.open;
        } else {
            ++(p.volume > 0 ? result.solidInside : result.solidOutside);
        }
    }
    return result;
}

std::int32_t solidPartAt(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point) {
    if (parts.solidInside + parts.solidOutside == 0) {
        return -1;
    }
    std::vector<std::uint8_t> parity(parts.parts.size());
    for (std::size_t i = 0; i < RAYS.size(); ++i) {
        std::fill(parity.begin(), parity.end(), 0);
        if (castRay(scene, parts, point, RAYS[i], i + 1 < RAYS.size(), parity)) {
            break;
        }
    }
    for (std::size_t i = 0; i < parts.parts.size(); ++i) {
        const MeshPart& p = parts.parts[i];
        if (p.closed && (p.volume > 0) == (parity[i] == 1)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool inSolid(const CollisionMesh& scene, const MeshParts& parts, const DoublePoint& point) {
    return solidPartAt(scene, parts, point) >= 0;
}

}  // namespace sweepview
