#pragma once

#include <optional>
#include <string>

#include "app/audit_replay.h"

namespace sweepview {

// What the viewer adds to the classic one when started with a command line:
// the mouse, the keys f (frame the scene), i (on-screen facts), h (the keys
// over the picture) and t (the trail), a replayed event's marks, and the
// screenshot of the first frame.
struct ViewerExtras {
    bool hud = false;
    std::string screenshot;             // save the first frame here, then exit 0
    std::optional<ReplayEvent> replay;  // marked in the scene when set
    Vec3 replayPoint;
};

// Sets up the step listener (contacts and trail) before the window exists.
void prepareExtras(const ViewerExtras& extras);

// Called by the window set-up once the classic callbacks and bindings exist:
// binds the extra keys and the mouse, and in screenshot mode replaces the
// frame callback with one that saves the first frame.
void installExtras();

// The mouse alone (drag, wheel, pan), without the extra keys or overlays;
// also for the viewer started without arguments.
void installMouse();

}  // namespace sweepview
