#pragma once

namespace sweepview {

// The command-line viewer's main loop: steps paced at `stepsPerSecond` (0: one
// step per frame, as the viewer without arguments takes them), and frames
// drawn only when something changed, so a paused viewer sleeps. Replaces the
// display and idle callbacks and wraps the key callbacks so that every key
// asks for a frame. With printFrameRate, the frame rate goes to standard
// error once a second while frames are drawn.
void installViewerLoop(double stepsPerSecond, bool printFrameRate);

// Asks for a frame, and for steps when the run control wants them; call after
// changing anything shown (the mouse, the extra keys). Does nothing unless
// the loop is installed: the classic loop draws continually.
void viewChanged();

// Frames drawn per second over the frames drawn back to back lately; 0 until
// half a second of them has been drawn, and after an idle spell.
double framesPerSecond();

}  // namespace sweepview
