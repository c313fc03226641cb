#pragma once

#include <cmath>

#include "triangle.h"
#include "vec3.h"

namespace sweepview {

// What the edge tests derive from an edge alone, computed as they compute it
// (the length as sqrt of the squared length, the direction as the edge times
// the length's reciprocal; the exact rule's reciprocal of the squared length),
// so a stored copy gives the same bits. A zero-length edge gives a zero length
// and non-numbers or infinities for the rest.
struct EdgeFrame {
    Vec3 direction;
    float length = 0.0f;
    float inverseSquaredLength = 0.0f;
};

inline EdgeFrame edgeFrame(const Vec3& start, const Vec3& end) {
    const Vec3 edge = end - start;
    const float squared = dot(edge, edge);
    const float length = std::sqrt(squared);
    return {edge * (1.0f / length), length, 1.0f / squared};
}

// A triangle with everything the sweep tests derive from its corners alone:
// the Newell normal of Triangle::normal and the frames of the edges V0V1,
// V1V2, V2V0. Prepared once (a compiled scene keeps one per triangle), it
// spares every test of the triangle those square roots and divisions.
struct PreparedTriangle {
    Vec3 corners[3];
    Vec3 normal;
    EdgeFrame edges[3];
};

// Packed floats, no padding: 108 bytes (a compiled tree keeps each with its
// scene index in 128, see CompiledTriangle).
static_assert(sizeof(EdgeFrame) == 5 * sizeof(float));
static_assert(sizeof(PreparedTriangle) == 27 * sizeof(float));

// triangle's prepared form; fills its normal cache. A triangle without area
// gets a normal of non-numbers, as Triangle::normal gives it.
inline PreparedTriangle prepareTriangle(Triangle& triangle) {
    PreparedTriangle prepared;
    for (int i = 0; i < 3; ++i) {
        prepared.corners[i] = triangle.corners[i];
        prepared.edges[i] = edgeFrame(triangle.corners[i], triangle.corners[(i + 1) % 3]);
    }
    prepared.normal = triangle.normal();
    return prepared;
}

}  // namespace sweepview
