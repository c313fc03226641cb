#pragma once

namespace sweepview {

// Paces the sphere's steps by the wall clock: `rate` steps per second, counted
// from the moment the animation last started. Plain arithmetic on seconds, so
// the window system's timer is only asked when to look again.
struct StepClock {
    double rate = 60.0;   // steps per second; 0 means one step per frame
    double origin = 0.0;  // seconds at which the count restarted
    long taken = 0;       // steps taken since origin
};

// The clock starts counting again at `now` with no step taken.
void restartClock(StepClock& clock, double now);

// How many steps are due at `now`, counted as taken. A backlog of more than a
// second's steps (a frame that took long, a suspended process) is dropped
// rather than caught up, so the sphere never races. 0 for a rate of 0 or a
// time before the origin.
long takeDueSteps(StepClock& clock, double now);

// Seconds from `now` until the next step falls due (0 when one is already
// due); 0 for a rate of 0.
double secondsToNextStep(const StepClock& clock, double now);

}  // namespace sweepview
