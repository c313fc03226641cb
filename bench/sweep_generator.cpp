#include "bench/sweep_generator.h"

#include <random>

namespace sweepview {

std::vector<BenchSweep> makeSweeps(const Vec3& min, const Vec3& max, float length, int count,
                                   std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<BenchSweep> sweeps;
    sweeps.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    while (static_cast<int>(sweeps.size()) < count) {
        // Separate statements: the order of the draws is part of the contract.
        const float x = min.x + (max.x - min.x) * unit(random);
        const float y = min.y + (max.y - min.y) * unit(random);
        const float z = min.z + (max.z - min.z) * unit(random);
        const float dx = gauss(random);
        const float dy = gauss(random);
        const float dz = gauss(random);
        const Vec3 direction(dx, dy, dz);
        if (lengthSquared(direction) > 1e-6f) {
            sweeps.push_back({Vec3(x, y, z), normalized(direction) * length});
        }
    }
    return sweeps;
}

}  // namespace sweepview
