#include "geometry/collision_epsilon.h"

namespace sweepview {

float collisionEpsilon = 0.1f;

float setCollisionEpsilon(float value) {
    // Written as the condition to accept, so that a non-number is refused.
    if (!(value >= MIN_COLLISION_EPSILON)) {
        return collisionEpsilon;
    }
    const float previous = collisionEpsilon;
    collisionEpsilon = value;
    return previous;
}

}  // namespace sweepview
