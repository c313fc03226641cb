#include "app/command_line.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "scene/output_file.h"
#include "cli/number_option.h"

namespace sweepview {

namespace {

constexpr int USAGE_ERROR = 2;

CLI::Option* addPoint(CLI::App& app, const char* name, std::vector<float>& into, const char* help) {
    return app.add_option(name, into, help)
        ->delimiter(',')
        ->expected(3)
        ->transform(numberIn(-FLOAT_SAFE, FLOAT_SAFE));
}

bool hasPngExtension(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".png";
}

}  // namespace

bool parseWindowSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 == text.size() ||
        text.find_first_not_of("0123456789xX") != std::string::npos || text.find_first_of("xX", x + 1) != std::string::npos ||
        x > 4 || text.size() - x - 1 > 4) {
        return false;
    }
    const int w = std::stoi(text.substr(0, x));
    const int h = std::stoi(text.substr(x + 1));
    if (w < 64 || h < 64 || w > 8192 || h > 8192) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

ParsedCommandLine parseCommandLine(int argc, char** argv) {
    ParsedCommandLine parsed;
    ViewerOptions& o = parsed.options;
    CLI::App app{
        "Flies a sphere through a dorn scene and shows each collision step by step.\n"
        "Without arguments it asks for the scene on standard input."};
    app.add_option("SCENE", o.scene, "The dorn file (skips the prompt)");
    std::vector<float> start;
    std::vector<float> velocity;
    addPoint(app, "--start", start, "The sphere's first centre X,Y,Z (default 0,12.5,0)");
    addPoint(app, "--velocity", velocity,
             "Its displacement per step X,Y,Z (default 1,-1,1); with --walk, a walk it keeps up besides the "
             "keys'");
    float radius = 0.0f;
    app.add_option("--radius", radius, "The sphere's radius (default 2.5)")
        ->transform(numberIn(1e-6, FLOAT_SAFE));
    app.add_flag("--exact-edges", o.exactEdges,
                 "Meet edges exactly (sphere against the edge's cylinder) instead of with the "
                 "viewer's rule");
    app.add_flag("--two-sided", o.twoSided, "Faces stop the sphere from both sides, not only the one they face");
    app.add_option("--steps", o.steps, "Take N steps at once before the first frame")
        ->transform(numberIn(0, 1e9));
    app.add_option("--screenshot", o.screenshot,
                   "Save the first frame (after --steps) as a PNG file and exit");
    app.add_option("--rate", o.rate,
                   "Steps per second while running (default 60; 0 takes one step per frame)")
        ->transform(numberIn(0, 1e6));
    app.add_flag("--lit", o.lit, "Draw the mesh lit and opaque, so it reads as a shape (key l toggles)");
    app.add_flag("--trail", o.trail, "Show the trail from the start (key t toggles)");
    std::string size;
    app.add_option("--size", size, "The window's size WxH in pixels, also the screenshot's (default 640x480)")
        ->check(CLI::Validator(
            [](const std::string& text) -> std::string {
                int w = 0;
                int h = 0;
                return parseWindowSize(text, w, h) ? std::string{}
                                                   : "takes WIDTHxHEIGHT from 64x64 to 8192x8192, not '" + text + "'";
            },
            "WxH"));
    app.add_flag("--version", parsed.version, "Print the version and exit");
    app.add_flag("--fps", o.printFrameRate, "Print the frames drawn per second on standard error");
    app.add_flag("--hud", o.hud, "Show the on-screen facts from the start (key i toggles them)");
    CLI::Option* replay =
        app.add_option("--replay", o.replay, "A dorn audit JSON report to replay an event of");
    CLI::Option* event =
        app.add_option("--event", o.event,
                       "The event to replay: KIND:INDEX, e.g. escape:0 (kinds as dorn audit's)");
    event->check(CLI::Validator(
        [](const std::string& text) -> std::string {
            const std::size_t colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
                text.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
                return "takes KIND:INDEX, e.g. escape:0, not '" + text + "'";
            }
            const std::string kind = text.substr(0, colon);
            for (const char* known : {"escape", "overlap", "wedged", "bump", "non-number"}) {
                if (kind == known) {
                    return {};
                }
            }
            return "the kinds are escape, overlap, wedged, bump and non-number, not '" + kind + "'";
        },
        "KIND:INDEX"));
    replay->needs(event);
    event->needs(replay);
    CLI::Option* walk = app.add_flag(
        "--walk", o.walk,
        "Walk mode: the sphere stands on the level under gravity (along -y) and the keys walk it");
    float walkSpeed = 0.0f;
    float stepHeight = 0.0f;
    app.add_option("--walk-speed", walkSpeed, "Walk mode: distance walked per step (default a tenth of the radius)")
        ->transform(numberIn(1e-6, FLOAT_SAFE))
        ->needs(walk);
    app.add_option("--step-height", stepHeight, "Walk mode: the highest stair walked up (default half the radius)")
        ->transform(numberIn(0, FLOAT_SAFE))
        ->needs(walk);
    app.add_option("--max-slope", o.maxSlope, "Walk mode: the steepest floor in degrees (default 45)")
        ->transform(numberIn(0, 90))
        ->needs(walk);
    app.footer(
        "Keys: x X y Y z Z move the camera, arrows turn it, space runs or pauses, s takes one "
        "step, b cycles the box modes, Esc quits. Started with arguments also: f frames the "
        "model, F the whole scene, l lights the mesh, i shows the facts, h the keys, t the "
        "trail; drag turns the scene, the wheel or a right drag comes closer or goes back, a "
        "middle drag pans.\n"
        "With --walk some keys change: the arrows or w a s d walk (ahead is where the camera "
        "looks), space jumps, p runs or pauses, n takes one step; the camera follows the "
        "sphere and a drag turns it.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        parsed.exitStatus = status == 0 ? 0 : USAGE_ERROR;
        return parsed;
    }
    if (app.count("--screenshot") > 0 && o.screenshot.empty()) {
        std::cerr << "--screenshot: no file name given\n";
        parsed.exitStatus = USAGE_ERROR;
        return parsed;
    }
    if (!o.screenshot.empty() && !hasPngExtension(o.screenshot)) {
        std::cerr << "--screenshot: " << o.screenshot << ": the screenshot is a PNG file; name it .png\n";
        parsed.exitStatus = USAGE_ERROR;
        return parsed;
    }
    if (!size.empty()) {
        parseWindowSize(size, o.width, o.height);
    }
    if (!o.screenshot.empty() && !o.scene.empty() && sameOutputFile(o.scene, o.screenshot)) {
        std::cerr << "--screenshot: " << o.screenshot << " is the scene itself\n";
        parsed.exitStatus = USAGE_ERROR;
        return parsed;
    }
    if (start.size() == 3) {
        o.start = Vec3(start[0], start[1], start[2]);
    }
    if (velocity.size() == 3) {
        o.velocity = Vec3(velocity[0], velocity[1], velocity[2]);
    }
    if (app.count("--walk-speed") > 0) {
        o.walkSpeed = walkSpeed;
    }
    if (app.count("--step-height") > 0) {
        o.stepHeight = stepHeight;
    }
    if (app.count("--radius") > 0) {
        o.radius = radius;
    }
    return parsed;
}

}  // namespace sweepview
