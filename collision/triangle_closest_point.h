#pragma once

#include "../geometry/prepared_triangle.h"
#include "../geometry/vec3.h"
#include "contact_state.h"

namespace sweepview {

// A triangle's point nearest to a query point, and the part of the triangle
// it lies on.
struct TrianglePoint {
    Vec3 point;
    // The squared distance from the query to the nearest point before that
    // point is rounded to floats, in float: from the query's offsets to the
    // corners, so it keeps its precision far from the origin.
    float distanceSquared = 0.0f;
    ContactFeature feature = ContactFeature::Face;
};

// A triangle whose largest angle has a sine squared below this (sine 0.03)
// is measured in double: float's unit edge directions give its normal an
// angle error of about epsilon / sine, which tilts the plane of a long sliver
// by more than its width.
inline constexpr float THIN_TRIANGLE_SINE_SQUARED = 1e-3f;

// A triangle whose largest angle has a sine squared at or below this (sine
// 1e-12) counts as its three edges: its face lies within 1e-12 of its longest
// edge of them.
inline constexpr double FLAT_TRIANGLE_SINE_SQUARED = 1e-24;

// The point of triangle nearest to point, by regions: strictly inside all
// three edges' half-planes (seen along the normal) the point's projection on
// the plane (Face); otherwise the nearest point of the edges it lies outside
// of or on, an edge's interior (Edge) or one of its ends (Corner). A triangle
// without area (collinear or coincident corners), or flatter than
// FLAT_TRIANGLE_SINE_SQUARED, counts as its three edges, a zero-length edge
// as a corner. An edge's point is computed from its ends in one order
// whichever triangle holds it, so triangles sharing an edge or a corner give
// the same bits there. The plane is taken from the two shortest edges (never
// Newell's normal, which is imprecise far from the origin), in double for a
// thin triangle (THIN_TRIANGLE_SINE_SQUARED). Non-numbers among point or the
// corners give a non-number distanceSquared.
TrianglePoint closestPointOnTriangle(const PreparedTriangle& triangle, const Vec3& point);

}  // namespace sweepview
