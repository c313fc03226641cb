#pragma once

// Numbers in the commands' reports as people read them.
#include <cstdio>
#include <string>

namespace sweepview {

// count with the noun in the number it takes: "1 triangle", "2 triangles".
inline std::string countOf(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A duration to three figures, in milliseconds under a second: "0.412 ms",
// "12.3 ms", "1.25 s", "250 s"; "under 0.01 ms" below that.
inline std::string durationText(double seconds) {
    char text[32];
    if (seconds < 1e-5) {
        return "under 0.01 ms";
    }
    // The limits keep %.3g from rounding up into exponent form (1e+03).
    if (seconds < 0.9995) {
        std::snprintf(text, sizeof text, "%.3g ms", seconds * 1e3);
    } else if (seconds < 99.95) {
        std::snprintf(text, sizeof text, "%.3g s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    }
    return text;
}

}  // namespace sweepview
