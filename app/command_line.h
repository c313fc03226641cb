#pragma once

#include <optional>
#include <string>

#include "geometry/vec3.h"

namespace sweepview {

// What the viewer was asked for on its command line. Everything is optional:
// without arguments the viewer asks for a scene and behaves as it always has.
struct ViewerOptions {
    std::string scene;             // skips the prompt when not empty
    std::optional<Vec3> start;     // the sphere's first centre
    std::optional<Vec3> velocity;  // its first displacement per step
    std::optional<float> radius;
    bool exactEdges = false;
    bool twoSided = false;  // faces stop the sphere from both sides
    long steps = 0;          // taken at once before the first frame
    std::string screenshot;  // PNG of the first frame, then exit 0
    bool hud = false;        // on-screen facts from the start
    std::string replay;      // an audit report to replay an event of
    std::string event;       // KIND:INDEX in that report
};

// Parses argv with CLI11. Returns the options; or, for --help (status 0) and
// usage errors such as a number out of range (status 2, one line naming the
// option), the status to exit with after the message was written.
struct ParsedCommandLine {
    ViewerOptions options;
    std::optional<int> exitStatus;
};
ParsedCommandLine parseCommandLine(int argc, char** argv);

}  // namespace sweepview
