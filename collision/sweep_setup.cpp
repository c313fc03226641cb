#include "collision/sweep_setup.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "geometry/collision_epsilon.h"

namespace sweepview {

float sweepTolerance(const SweepOptions& options) {
    return options.tolerance >= MIN_COLLISION_EPSILON ? options.tolerance : DEFAULT_SWEEP_TOLERANCE;
}

SweepOptions withProcessTolerance(SweepOptions options) {
    options.tolerance = collisionEpsilon;
    return options;
}

SweepSetup prepareSweep(const SweptSphere& sphere, SweepOptions options) {
    const Vec3& d = sphere.displacement;
    SweepSetup setup;
    setup.end = sphere.position + d;
    setup.stepSquared = dot(d, d);
    setup.stepLength = std::sqrt(setup.stepSquared);
    setup.motionDir = d * (1.0f / setup.stepLength);
    setup.radiusSquared = sphere.radius * sphere.radius;
    setup.vertexRootScale = 1.0f / (2.0f * setup.stepSquared);
    setup.edgeRule = options.edges;
    setup.faceSides = options.faces;
    setup.tolerance = sweepTolerance(options);
    return setup;
}

namespace {

bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

}  // namespace

bool sameBits(const Vec3& a, const Vec3& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

bool isSetupOf(const SweepSetup& setup, const SweptSphere& sphere) {
    const SweepSetup expected = prepareSweep(sphere);
    return sameBits(setup.end, expected.end) && sameBits(setup.stepSquared, expected.stepSquared) &&
           sameBits(setup.stepLength, expected.stepLength) &&
           sameBits(setup.motionDir, expected.motionDir) &&
           sameBits(setup.radiusSquared, expected.radiusSquared) &&
           sameBits(setup.vertexRootScale, expected.vertexRootScale);
}

}  // namespace sweepview
