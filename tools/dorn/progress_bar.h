#pragma once

#include <string>

namespace sweepview {

// A one-line progress bar on standard error, drawn only when standard error is
// a terminal and the work is large enough to take a while; otherwise silent.
class ProgressBar {
public:
    ProgressBar(std::string label, bool large);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    // share: 0 to 1. Redraws only when the shown percentage changes.
    void update(double share);

private:
    std::string label_;
    bool shown_;
    int percent_ = -1;
};

}  // namespace sweepview
