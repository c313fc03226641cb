#pragma once

namespace sweepview {

// How far short of a contact the feature tests stop the sphere, so that after a
// bounce it starts just clear of the surface. Initially 0.1; the viewer sets
// 0.001 at start-up. Change it only through setCollisionEpsilon.
extern float collisionEpsilon;

// The smallest tolerance accepted.
inline constexpr float MIN_COLLISION_EPSILON = 0.00001f;

// Stores value and returns the tolerance it replaced. A value below
// MIN_COLLISION_EPSILON, or a non-number, is refused: nothing changes and the
// current tolerance is returned.
float setCollisionEpsilon(float value);

}  // namespace sweepview
