#pragma once

#include <cstdint>
#include <functional>

#include "../scene/collision_mesh.h"
#include "contact_state.h"
#include "sweep_setup.h"

namespace sweepview {

// Contacts one step may meet before it is cut short. A sphere wedged between
// surfaces can keep meeting contacts at time 0; the bound ends such a step.
inline constexpr std::int32_t MAX_CONTACTS_PER_STEP = 64;

struct StepOutcome {
    std::int32_t contacts = 0;  // sweeps of the step that reported a contact
    bool reachedBound = false;  // the step was cut short at MAX_CONTACTS_PER_STEP
};

// Moves a sphere of the given radius through one step of `velocity` in scene,
// without drawing anything: empties state.hitTriangles, then sweeps, stops at
// the earliest contact, reflects the rest of the motion about the normalised
// contact normal (stored back into state.contactNormal), shortens it by the part
// travelled, and sweeps again until a sweep finds nothing.
// - No contact: position += velocity; velocity unchanged.
// - Contacts: position becomes the point of the last contact (the remaining
//   motion is not travelled) and velocity the remaining motion's direction
//   times the old speed.
// Where the plain rule would divide by zero, the step stays finite:
// - normals that cancel at the same time (sum of length 0): the motion is
//   reversed, as for a head-on contact;
// - no motion left after a contact (it was at t = 1, or the sphere did not
//   move): the step ends there, and the direction of that contact's reflected
//   motion, before shortening, gives the new velocity.
// After MAX_CONTACTS_PER_STEP contacts the step ends where the last contact
// left the sphere, with the same rule for the velocity. options are handed to
// every sweep (the default is the viewer's edge rule with one-sided faces).
//
// onContact, when set, is called at each contact that gives a direction to
// reflect about, with the centre there, the unit normal reflected about and
// one triangle met (the last the sweep recorded); it changes nothing.
using ContactObserver =
    std::function<void(const Vec3& centre, const Vec3& normal, std::int32_t triangle)>;
StepOutcome advanceSphere(const CollisionMesh& scene, float radius, Vec3& position, Vec3& velocity,
                          ContactState& state, SweepOptions options = {},
                          const ContactObserver& onContact = {});

}  // namespace sweepview
