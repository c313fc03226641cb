#pragma once

#include <vector>

#include "app/frame_step.h"
#include "geometry/vec3.h"

namespace sweepview {

struct ReplayEvent;
struct WalkFacts;

// What the command-line viewer draws over the classic picture.
struct OverlaySettings {
    bool hud = false;     // the facts at the top left (key i)
    bool help = false;    // the keys at the bottom (key h)
    bool trail = false;   // the centre's path and its contacts (key t)
    bool frameRate = true;  // the frame rate among the facts; off for a screenshot
    double stepsPerSecond = 60.0;  // for the facts; 0: one step per frame
    const ReplayEvent* replay = nullptr;  // marked in the scene when set
    Vec3 replayPoint;
    const WalkFacts* walk = nullptr;  // walk mode's facts and keys when set
};

extern OverlaySettings overlay;

// Notes a step's contacts for the facts and the trail; the step listener.
void noteStep(const std::vector<StepContact>& contacts);

// Inside the camera transform, after the scene: the trail and the replayed
// event's marks (a ring about the centre, which it does not hide, and the
// triangle's outline).
void drawSceneOverlay();

// Over the picture: the facts and the keys.
void drawScreenOverlay();

// The name the facts give a box draw mode.
const char* boxModeName(int mode);

}  // namespace sweepview
