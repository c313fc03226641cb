#pragma once

namespace sweepview {

// One frame, called by the window system both as display and as idle
// function: draws the camera view (the sphere in red, where it would be after
// one free step in blue, then the scene in the current box draw mode), takes a
// step when one is due (stepIfDue, on standard output), swaps the buffers and
// asks for the next frame.
void frameCallback();

}  // namespace sweepview
