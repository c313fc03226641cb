#include "collision/sweep_setup.h"

#include <cmath>

namespace sweepview {

SweepSetup prepareSweep(const SweptSphere& sphere, EdgeRule edgeRule) {
    const Vec3& d = sphere.displacement;
    SweepSetup setup;
    setup.end = sphere.position + d;
    setup.stepSquared = dot(d, d);
    setup.stepLength = std::sqrt(setup.stepSquared);
    setup.motionDir = d * (1.0f / setup.stepLength);
    setup.radiusSquared = sphere.radius * sphere.radius;
    setup.vertexRootScale = 1.0f / (2.0f * setup.stepSquared);
    setup.edgeRule = edgeRule;
    return setup;
}

}  // namespace sweepview
