#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "collision/contact_state.h"
#include "geometry/swept_sphere.h"
#include "scene/collision_mesh.h"
#include "geometry/vec3.h"

namespace sweepview {

// The run control and the sphere's step of one frame, without drawing:
// when a step was requested, or the animation runs, counts the step, writes its
// number and a line end to out (flushed), moves the sphere through the current
// scene with advanceSphere (recording into contactState), and, after a
// requested step, pauses. Returns true when a step was taken.
bool stepIfDue(std::ostream& out);

// sweepQuery recording into the viewer's contactState (one thread only).
std::int32_t sweepQuery(const CollisionMesh& scene, const SweptSphere& sphere);

// One contact of a step, as the step met it: the centre there, the unit normal
// reflected about, the triangle and the time of the sweep (a fraction of the
// motion that sweep had left).
struct StepContact {
    Vec3 centre;
    Vec3 normal;
    std::int32_t triangle = -1;
    float time = 0.0f;
    ContactFeature feature = ContactFeature::Face;
    Vec3 point;  // where the sphere touched the triangle
};

// The contact advanceSphere reports (centre, normal, triangle) with the time,
// feature and point of the last contact state recorded, which it is.
StepContact noteContact(const ContactState& state, const Vec3& centre, const Vec3& normal,
                        std::int32_t triangle);

// Called after every step taken by stepIfDue with the step's contacts, when
// set; the on-screen facts and the trail listen here. Unset, a step does
// nothing beyond what it always did.
extern std::function<void(const std::vector<StepContact>& contacts)> stepListener;

// When set, moves the sphere in a step instead of advanceSphere (walk mode);
// the listener then hears of no contacts.
extern std::function<void()> stepMotion;

}  // namespace sweepview
