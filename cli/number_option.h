#pragma once

// The number checks every command line of the project shares (dorn's and the
// viewer's), so a bad number reads the same everywhere: status 2 and one
// line naming the option and the range it takes.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace sweepview {

// Coordinates and sizes up to this magnitude keep their squares, and sums of
// three squares, finite in a float.
inline constexpr double FLOAT_SAFE = 1e18;

inline std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A number from min to max: refuses non-numbers, infinities and anything
// outside, naming the range, before CLI11 converts it. A whole number in
// exponent form (1e6) is handed on as digits, which integer options take.
inline CLI::Validator numberIn(double min, double max) {
    const std::string range = shortNumber(min) + " to " + shortNumber(max);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(value >= min && value <= max)) {
                return "takes a number from " + range + ", not '" + text + "'";
            }
            if (text.find_first_of("eE") != std::string::npos && value == std::floor(value) &&
                std::fabs(value) < 1.8e19) {
                char digits[32];
                std::snprintf(digits, sizeof digits, "%.0f", value);
                text = digits;
            }
            return {};
        },
        "in [" + range + "]");
}

}  // namespace sweepview
