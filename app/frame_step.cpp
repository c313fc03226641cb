#include "app/frame_step.h"

#include <vector>

#include "app/viewer_state.h"
#include "collision/sweep_query.h"
#include "render/scene_drawing.h"
#include "collision/sphere_motion.h"

namespace sweepview {

std::function<void(const std::vector<StepContact>& contacts)> stepListener;
std::function<void()> stepMotion;

std::int32_t sweepQuery(const CollisionMesh& scene, const SweptSphere& sphere) {
    return sweepQuery(scene, sphere, contactState, viewerSweepOptions());
}

StepContact noteContact(const ContactState& state, const Vec3& centre, const Vec3& normal,
                        std::int32_t triangle) {
    StepContact contact;
    contact.centre = centre;
    contact.normal = normal;
    contact.triangle = triangle;
    contact.time = state.nearestTime;
    if (!state.contacts.empty()) {
        contact.feature = state.contacts.back().feature;
        contact.point = state.contacts.back().point;
    }
    return contact;
}

bool stepIfDue(std::ostream& out) {
    if (stepRequested) {
        animationRunning = true;
    } else if (!animationRunning) {
        return false;
    }
    ++frameCounter;
    out << frameCounter << '\n' << std::flush;
    if (stepMotion) {
        stepMotion();
        if (stepListener) {
            stepListener({});
        }
    } else if (stepListener) {
        // Only read: the contacts are noted, the motion is the same.
        static std::vector<StepContact> contacts;
        contacts.clear();
        advanceSphere(*currentScene, sphereRadius, spherePosition, sphereVelocity, contactState,
                      viewerSweepOptions(), [](const Vec3& centre, const Vec3& normal, std::int32_t triangle) {
                          contacts.push_back(noteContact(contactState, centre, normal, triangle));
                      });
        stepListener(contacts);
    } else {
        advanceSphere(*currentScene, sphereRadius, spherePosition, sphereVelocity, contactState,
                      viewerSweepOptions());
    }
    if (stepRequested) {
        stepRequested = false;
        animationRunning = false;
    }
    return true;
}

}  // namespace sweepview
