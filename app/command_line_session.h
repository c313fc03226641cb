#pragma once

#include <optional>
#include <string>

#include "app/audit_replay.h"
#include "app/walk_mode.h"

namespace sweepview {

// What the viewer adds to the classic one when started with a command line:
// a clock for the steps, a title naming the scene, the mouse, the keys f and
// F (frame the model or the whole scene), l (lit mesh), i (on-screen facts),
// h (the keys over the picture) and t (the trail), a replayed event's marks,
// and the screenshot of the first frame.
struct CommandLineSession {
    std::string sceneName;  // for the window's title
    double stepsPerSecond = 60.0;  // 0: one step per frame
    bool hud = false;
    bool lit = false;
    bool trail = false;
    bool printFrameRate = false;
    std::string screenshot;             // save the first frame here, then exit 0
    std::optional<ReplayEvent> replay;  // marked in the scene when set
    Vec3 replayPoint;
    std::vector<StepContact> replayContacts;  // of the replay's last step
    std::optional<WalkSettings> walk;          // walk mode when set
};

// Sets up the step listener (contacts and trail) before the window exists.
void prepareSession(const CommandLineSession& extras);

// Called by the window set-up once the classic callbacks and bindings exist:
// names the window, binds the extra keys and the mouse, and installs the
// clocked loop; in screenshot mode the frame callback saves the first frame.
void installSession();

}  // namespace sweepview
