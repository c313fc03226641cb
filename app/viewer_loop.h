#pragma once

namespace sweepview {

// The command-line viewer's main loop: steps paced at `stepsPerSecond` (0: one
// step per frame, as the viewer without arguments takes them), and frames
// drawn only when something changed, so a paused viewer sleeps. Replaces the
// display and idle callbacks and wraps the key callbacks so that every key
// asks for a frame.
void installViewerLoop(double stepsPerSecond);

// Asks for a frame, and for steps when the run control wants them; call after
// changing anything shown (the mouse, the extra keys). Does nothing unless
// the loop is installed: the classic loop draws continually.
void viewChanged();

// Seconds the last frame took to draw; 0 before the first.
double lastFrameSeconds();

}  // namespace sweepview
