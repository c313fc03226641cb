#include "app/step_clock.h"

#include <algorithm>
#include <cmath>

namespace sweepview {

void restartClock(StepClock& clock, double now) {
    clock.origin = now;
    clock.taken = 0;
}

long takeDueSteps(StepClock& clock, double now) {
    if (!(clock.rate > 0.0) || !(now >= clock.origin)) {
        return 0;
    }
    // Step k falls due at origin + k / rate; the first one at once.
    const long dueByNow = static_cast<long>(std::floor((now - clock.origin) * clock.rate)) + 1;
    long due = dueByNow - clock.taken;
    const long mostAtOnce = std::max(1L, static_cast<long>(std::ceil(clock.rate)));
    if (due > mostAtOnce) {
        clock.taken += due - mostAtOnce;
        due = mostAtOnce;
    }
    if (due <= 0) {
        return 0;
    }
    clock.taken += due;
    return due;
}

double secondsToNextStep(const StepClock& clock, double now) {
    if (!(clock.rate > 0.0)) {
        return 0.0;
    }
    const double next = clock.origin + static_cast<double>(clock.taken) / clock.rate;
    return std::max(0.0, next - now);
}

}  // namespace sweepview
