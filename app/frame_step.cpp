#include "app/frame_step.h"

#include "collision/sphere_motion.h"
#include "app/viewer_state.h"
#include "collision/contact_state.h"

namespace sweepview {

bool stepIfDue(std::ostream& out) {
    if (stepRequested) {
        animationRunning = true;
    } else if (!animationRunning) {
        return false;
    }
    ++frameCounter;
    out << frameCounter << '\n' << std::flush;
    advanceSphere(*currentScene, sphereRadius, spherePosition, sphereVelocity, contactState);
    if (stepRequested) {
        stepRequested = false;
        animationRunning = false;
    }
    return true;
}

}  // namespace sweepview
