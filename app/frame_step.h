#pragma once

#include <ostream>

namespace sweepview {

// The run control and the sphere's step of one frame, without drawing:
// when a step was requested, or the animation runs, counts the step, writes its
// number and a line end to out (flushed), moves the sphere through the current
// scene with advanceSphere (recording into contactState), and, after a
// requested step, pauses. Returns true when a step was taken.
bool stepIfDue(std::ostream& out);

}  // namespace sweepview
