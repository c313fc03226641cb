#include "collision/triangle_closest_point.h"

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
    const float t = dot(p - from, edge) / dot(edge, edge);
    TrianglePoint result;
    result.feature = ContactFeature::Corner;
    if (!(t > 0.0f)) {
        result.point = from;
    } else if (t >= 1.0f) {
        result.point = to;
    } else {
        result.point = from + edge * t;
        result.feature = ContactFeature::Edge;
    }
    result.distanceSquared = lengthSquared(p - result.point);
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
    if (normalSquared > FLAT_TRIANGLE_SINE_SQUARED) {
        bool inside = true;
        for (int i = 0; i < 3; ++i) {
            outside[i] = !(dot(cross(e[i].direction, point - c[i]), normal) > 0.0f);
            inside = inside && !outside[i];
        }
        if (inside) {
            TrianglePoint face;
            face.point = point - normal * (dot(normal, point - c[k]) / normalSquared);
            face.distanceSquared = lengthSquared(point - face.point) + finite;
            return face;
        }
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
