#include "collision/triangle_closest_point.h"

#include <cmath>
#include <utility>

namespace sweepview {

namespace {

// Whether a comes before b, coordinate by coordinate: the order an edge's
// ends are taken in, so that the edge's point does not depend on which of
// its triangles asks.
bool before(const Vec3& a, const Vec3& b) {
    if (a.x != b.x) {
        return a.x < b.x;
    }
    if (a.y != b.y) {
        return a.y < b.y;
    }
    return a.z < b.z;
}

// The point of the segment from-to nearest to p. A zero-length segment
// (whose parameter is a non-number) gives its end as a corner.
TrianglePoint closestOnEdge(Vec3 from, Vec3 to, const Vec3& p) {
    if (before(to, from)) {
        std::swap(from, to);
    }
    const Vec3 edge = to - from;
    const Vec3 offset = p - from;
    const float t = dot(offset, edge) / dot(edge, edge);
    TrianglePoint result;
    result.feature = ContactFeature::Corner;
    if (!(t > 0.0f)) {
        result.point = from;
        result.distanceSquared = lengthSquared(offset);
    } else if (t >= 1.0f) {
        result.point = to;
        result.distanceSquared = lengthSquared(p - to);
    } else {
        result.point = from + edge * t;
        result.feature = ContactFeature::Edge;
        // From the offsets, not the rounded point: far from the origin that
        // point is off by half a unit in the last place of its coordinates,
        // more than the distance's own rounding.
        result.distanceSquared = lengthSquared(offset - edge * t);
    }
    return result;
}

// Keeps the nearer of best and candidate, best on a tie; a non-number, once
// met, stays.
void keepNearer(TrianglePoint& best, const TrianglePoint& candidate) {
    if (candidate.distanceSquared < best.distanceSquared ||
        candidate.distanceSquared != candidate.distanceSquared) {
        best = candidate;
    }
}

// Whether point lies strictly inside the three edges' half-planes, seen
// along normal (the two shortest edges' cross product, of squared length
// normalSquared); writes which edges it lies outside of or on, and, inside,
// its projection on the plane as face.
bool insideFace(const PreparedTriangle& triangle, int k, const Vec3& normal, float normalSquared,
                const Vec3& point, bool (&outside)[3], TrianglePoint& face) {
    const Vec3* c = triangle.corners;
    const EdgeFrame* e = triangle.edges;
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        outside[i] = !(dot(cross(e[i].direction, point - c[i]), normal) > 0.0f);
        inside = inside && !outside[i];
    }
    if (inside) {
        // Along the unit normal, each component divided by the length: a
        // plane square to an axis then has a normal of exactly 1 on that
        // axis, and a point at height h over it has distance h, its nearest
        // point lying exactly on the plane. The height comes from the
        // offset, not the rounded point, as on an edge.
        const float length = std::sqrt(normalSquared);
        const Vec3 unit(normal.x / length, normal.y / length, normal.z / length);
        const float height = dot(unit, point - c[k]);
        face.point = point - unit * height;
        face.distanceSquared = height * height;
    }
    return inside;
}

struct Double3 {
    double x, y, z;
};

Double3 toDouble(const Vec3& v) { return {v.x, v.y, v.z}; }
Double3 minus(const Double3& a, const Double3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dotD(const Double3& a, const Double3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Double3 crossD(const Double3& a, const Double3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// insideFace for a thin triangle, in double: the corners' differences and
// their cross product are all but exact there, so the plane keeps the
// triangle's own tilt. A triangle flatter than FLAT_TRIANGLE_SINE_SQUARED has
// no inside; every edge counts.
bool insideThinFace(const PreparedTriangle& triangle, int k, const Vec3& point, bool (&outside)[3],
                    TrianglePoint& face) {
    const Double3 c[3] = {toDouble(triangle.corners[0]), toDouble(triangle.corners[1]),
                          toDouble(triangle.corners[2])};
    const Double3 a = minus(c[(k + 1) % 3], c[k]);
    const Double3 b = minus(c[(k + 2) % 3], c[k]);
    const Double3 normal = crossD(a, b);
    const double normalSquared = dotD(normal, normal);
    if (!(normalSquared > FLAT_TRIANGLE_SINE_SQUARED * dotD(a, a) * dotD(b, b))) {
        return false;
    }
    const Double3 p = toDouble(point);
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        const Double3 edge = minus(c[(i + 1) % 3], c[i]);
        outside[i] = !(dotD(crossD(edge, minus(p, c[i])), normal) > 0.0);
        inside = inside && !outside[i];
    }
    if (inside) {
        const double height = dotD(normal, minus(p, c[k])) / normalSquared;
        const Double3 onPlane = {p.x - normal.x * height, p.y - normal.y * height, p.z - normal.z * height};
        face.point = Vec3(static_cast<float>(onPlane.x), static_cast<float>(onPlane.y),
                          static_cast<float>(onPlane.z));
        const Double3 gap = minus(p, onPlane);
        face.distanceSquared = static_cast<float>(dotD(gap, gap));
    }
    return inside;
}

}  // namespace

TrianglePoint closestPointOnTriangle(const PreparedTriangle& triangle, const Vec3& point) {
    const Vec3* c = triangle.corners;
    const EdgeFrame* e = triangle.edges;
    // 0 for finite input, a non-number otherwise (infinity times 0 is one),
    // added to the result so that such a triangle or point never counts.
    const float finite = (point.x + point.y + point.z + c[0].x + c[0].y + c[0].z + c[1].x + c[1].y +
                          c[1].z + c[2].x + c[2].y + c[2].z) *
                         0.0f;
    // The corner opposite the longest edge, where the two shortest meet: the
    // largest angle, whose sine says how flat the triangle is, and the most
    // precise normal (cross products of long, nearly parallel edges lose it).
    int longest = 0;
    if (e[1].length > e[longest].length) {
        longest = 1;
    }
    if (e[2].length > e[longest].length) {
        longest = 2;
    }
    const int k = (longest + 2) % 3;
    const Vec3 normal = cross(e[(k + 2) % 3].direction, e[k].direction);
    const float normalSquared = dot(normal, normal);
    bool outside[3] = {true, true, true};
    TrianglePoint face;
    const bool inside = normalSquared > THIN_TRIANGLE_SINE_SQUARED
                            ? insideFace(triangle, k, normal, normalSquared, point, outside, face)
                            : insideThinFace(triangle, k, point, outside, face);
    if (inside) {
        face.distanceSquared += finite;
        return face;
    }
    // Outside the face (or no face to speak of): the nearest point lies on an
    // edge the point is outside of.
    TrianglePoint best;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (!outside[i]) {
            continue;
        }
        const TrianglePoint candidate = closestOnEdge(c[i], c[(i + 1) % 3], point);
        if (any) {
            keepNearer(best, candidate);
        } else {
            best = candidate;
            any = true;
        }
    }
    best.distanceSquared += finite;
    return best;
}

}  // namespace sweepview
