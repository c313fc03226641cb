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
    double rate = 60.0;      // steps per second while running; 0: one per frame
    bool lit = false;        // the mesh lit and opaque instead of translucent
    bool trail = false;      // the centre's path shown from the start
    int width = 640;         // the window's drawing area, and so the screenshot's
    int height = 480;
    bool printFrameRate = false;  // frames drawn per second on standard error
    // Walk mode: the sphere stands on the level under gravity and the keys
    // walk it. Unset, the scale follows the sphere's radius.
    bool walk = false;
    std::optional<float> walkSpeed;   // along the floor per step
    std::optional<float> stepHeight;  // the highest stair walked up
    float maxSlope = 45.0f;           // degrees from up a floor may lean
};

// Parses argv with CLI11. Returns the options; or, for --help (status 0) and
// usage errors such as a number out of range (status 2, one line naming the
// option), the status to exit with after the message was written.
struct ParsedCommandLine {
    ViewerOptions options;
    bool version = false;  // --version: print it and exit 0
    std::optional<int> exitStatus;
};
ParsedCommandLine parseCommandLine(int argc, char** argv);

// Reads WIDTHxHEIGHT (each 64 to 8192) into width and height; false, and
// nothing written, for anything else.
bool parseWindowSize(const std::string& text, int& width, int& height);

}  // namespace sweepview
