#include "tools/dorn/progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace sweepview {

ProgressBar::ProgressBar(std::string label, bool large)
    : label_(std::move(label)), shown_(large && ::isatty(STDERR_FILENO) != 0) {}

ProgressBar::~ProgressBar() {
    if (shown_ && percent_ >= 0) {
        std::fprintf(stderr, "\r\033[K");  // leave the line clean for what follows
    }
}

void ProgressBar::update(double share) {
    const int percent = static_cast<int>(share * 100.0 + 0.5);
    if (!shown_ || percent == percent_) {
        return;
    }
    percent_ = percent;
    constexpr int WIDTH = 40;
    const int filled = percent * WIDTH / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                 "########################################", WIDTH - filled, "", percent);
    std::fflush(stderr);
}

}  // namespace sweepview
