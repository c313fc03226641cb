#include "collision/sphere_motion.h"

#include <cmath>

#include "collision/sweep_query.h"

namespace sweepview {

namespace {

// Whether normalising v yields numbers: its squared length is neither zero
// (nor so small that it rounds to zero) nor a non-number.
bool hasDirection(const Vec3& v) {
    const float factor = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return std::isfinite(factor);
}

}  // namespace

StepOutcome advanceSphere(const CollisionMesh& scene, float radius, Vec3& position, Vec3& velocity,
                          ContactState& state, SweepOptions options,
                          const ContactObserver& onContact) {
    StepOutcome outcome;
    state.hitTriangles.clear();
    Vec3 p = position;
    Vec3 d = velocity;
    Vec3 reflected = d;
    while (outcome.contacts < MAX_CONTACTS_PER_STEP) {
        const SweptSphere sphere(p, d, radius);
        if (sweepQuery(scene, sphere, state, options) == 0) {
            break;
        }
        ++outcome.contacts;
        const float t = state.nearestTime;
        p = p + d * t;
        if (!hasDirection(state.contactNormal)) {
            state.contactNormal = d * -1.0f;  // cancelled normals: straight back
        }
        if (hasDirection(state.contactNormal)) {
            const Vec3 n = state.contactNormal.normalize();
            reflected = d - n * (2.0f * dot(d, n));
            if (onContact) {
                onContact(p, n, state.hitTriangles.back());
            }
        } else {
            reflected = d;  // no motion and no normal: nothing to reflect
        }
        d = reflected * (1.0f - t);
        if (!hasDirection(d)) {
            // Nothing left to travel (the contact was at t = 1, or there was no
            // motion): another sweep could only find the contact the sphere
            // rests on again.
            break;
        }
    }
    outcome.reachedBound = outcome.contacts == MAX_CONTACTS_PER_STEP;

    if (outcome.contacts == 0) {
        position = position + velocity;
        return outcome;
    }
    position = p;
    const float speed = length(velocity);
    const Vec3& direction = hasDirection(d) ? d : reflected;
    if (hasDirection(direction)) {
        velocity = normalized(direction) * speed;
    }
    return outcome;
}

}  // namespace sweepview
