#pragma once

// How far from its path the corner test can meet a corner, its rounding
// included, worked out for one sweep rather than for the whole scene.
#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/swept_sphere.h"

namespace sweepview {

// The largest distance from the path (start to start + step) of a corner
// that sweepHitsVertex can report, or a non-number where this bound does not
// hold. nearPath: a distance from the start beyond which the bound is to
// show that no corner is met (any at least the step plus 1.2e-4 times the
// start's largest coordinate will do, such as the step plus the reach of
// contactReach).
//
// The test expands |m|^2 - r^2 (m = start o - corner p) as |p|^2 + o.(o - 2p)
// - r^2. With u = 2^-24 and L >= |m|, that value's rounding stays below
// 7.02u|o|^2 + 14.04u|o|L + 6.02uL^2 + ur^2; a and b (the step squared, twice
// the step along m, m itself rounded) and the discriminant's two products
// add 4.05u|d|^2 + 8.05u|d|L + 2.03uL^2. So a reported corner lies within
// sqrt(r^2 + D) of the centre at a root of the computed quadratic, D that sum
// (taken 1.1 times, for the products of roundings and this bound's own), and
// that root lies within e of the time reported, with e|d| at most
// 0.5 sqrt(2.01u(8.05L^2 + 4.02r^2 + 4.02D)) + 3uL + 4u|d| (the square root of
// a discriminant that cancels is what moves it most); m's own rounding adds
// uL. The bound grows far more slowly than L, so once it falls below
// L - |d| at L = nearPath, no corner farther from the start is reported.
inline float cornerTestReach(const SweptSphere& sphere, float nearPath) {
    constexpr float u = 0x1p-24f;
    const Vec3& o = sphere.position;
    const Vec3& d = sphere.displacement;
    const float r = std::fabs(sphere.radius);
    const float start = std::sqrt(dot(o, o));
    const float step = std::sqrt(dot(d, d));
    const float far = nearPath;
    const float rounding = 1.1f * u *
                           (7.02f * start * start + 14.04f * start * far + 8.05f * far * far + r * r +
                            4.05f * step * step + 8.05f * step * far);
    const float along = 0.5f * std::sqrt(2.01f * u * (8.05f * far * far + 4.02f * r * r + 4.02f * rounding)) +
                        3.0f * u * far + 4.0f * u * step;
    // sqrt(r^2 + D) - r is below both D / 2r and sqrt(D); a radius of 0 gives
    // an infinity on the left.
    const float beyond = std::min(rounding / (2.0f * r), std::sqrt(rounding));
    const float reach = (r + beyond + u * far + along) * 1.00001f;
    return reach < far - step ? reach : std::numeric_limits<float>::quiet_NaN();
}

}  // namespace sweepview
