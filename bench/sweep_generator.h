#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace sweepview {

// One straight sweep of a sphere's centre.
struct BenchSweep {
    Vec3 from;
    Vec3 displacement;
};

// count sweeps of the given length, drawn from std::mt19937 seeded with seed:
// per sweep, the start's x, y and z uniform in [min, max] (one draw each, in
// that order, from std::uniform_real_distribution<float>), then a direction
// from three std::normal_distribution<float> draws (x, y, z), normalised and
// scaled to length. A direction shorter than 0.001 is drawn again, so every
// sweep has the length asked for. The same seed gives the same sweeps, bit for
// bit, with the same C++ library; a different seed, different ones.
std::vector<BenchSweep> makeSweeps(const Vec3& min, const Vec3& max, float length, int count,
                                   std::uint32_t seed = 12345);

}  // namespace sweepview
