#include <cstring>
#include <iostream>
#include <memory>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/audit_replay.h"
#include "app/camera_control.h"
#include "app/command_line.h"
#include "app/frame_step.h"
#include "app/scene_dialogue.h"
#include "app/command_line_session.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/output_file.h"

using namespace sweepview;

namespace {

// The viewer started with a command line: the scene named there (or asked
// for), the sphere as asked, a replayed event, steps taken at once, then the
// window with the additions. Returns the status to exit with when it ends
// before the window opens.
int runWithCommandLine(int argc, char** argv) {
    const ParsedCommandLine parsed = parseCommandLine(argc, argv);
    if (parsed.exitStatus) {
        return *parsed.exitStatus;
    }
    if (parsed.version) {
        std::cout << "sweepview " SWEEP_VERSION "\n";
        return 0;
    }
    const ViewerOptions& options = parsed.options;
    setCollisionEpsilon(0.001f);
    CommandLineSession extras;
    extras.hud = options.hud;
    extras.lit = options.lit;
    extras.trail = options.trail;
    extras.stepsPerSecond = options.rate;
    extras.printFrameRate = options.printFrameRate;
    extras.screenshot = options.screenshot;
    initialWindowWidth = options.width;
    initialWindowHeight = options.height;
    std::string why;
    // Checked before the steps, which may be many.
    if (!options.screenshot.empty() && !checkOutputPath(options.screenshot, &why)) {
        std::cerr << "sweepview: --screenshot: " << why << '\n';
        return 1;
    }
    if (!options.replay.empty()) {
        extras.replay = readReplayEvent(options.replay, options.event, &why);
        if (!extras.replay) {
            std::cerr << "sweepview: " << why << '\n';
            return 1;
        }
    }
    std::string sceneName = options.scene;
    if (sceneName.empty() && extras.replay) {
        const std::optional<std::string> found = findReplayScene(*extras.replay, &why);
        if (!found) {
            std::cerr << "sweepview: " << why << '\n';
            return 1;
        }
        sceneName = *found;
    }
    std::unique_ptr<CollisionMesh> scene;
    if (sceneName.empty()) {
        scene = runSceneDialogue(std::cin, std::cout, std::cerr);
        if (scene == nullptr) {
            return 1;
        }
    } else {
        scene = loadDornFile(sceneName, &why);
        if (scene == nullptr) {
            const bool fromReport = options.scene.empty() && extras.replay;
            std::cerr << "sweepview: " << (fromReport ? "the scene named by report " + options.replay + ": " : "")
                      << why << '\n';
            return 1;
        }
    }
    currentScene = scene.release();  // lives until the process ends
    extras.sceneName = sceneName;
    if (options.start) {
        spherePosition = *options.start;
    }
    if (options.velocity && !options.walk) {
        sphereVelocity = *options.velocity;
    }
    if (options.radius) {
        sphereRadius = *options.radius;
    }
    edgeRule = options.exactEdges ? EdgeRule::Exact : EdgeRule::Design;
    faceSides = options.twoSided ? FaceSides::Two : FaceSides::One;
    if (options.walk) {
        WalkSettings walk = walkSettingsFor(sphereRadius);
        walk.speed = options.walkSpeed.value_or(walk.speed);
        walk.stepHeight = options.stepHeight.value_or(walk.stepHeight);
        walk.maxSlope = options.maxSlope;
        walk.drift = options.velocity.value_or(zeroVector);
        extras.walk = walk;
    }
    if (extras.replay) {
        const ReplayEvent& event = *extras.replay;
        const ReplayResult result = replayFlight(*currentScene, event);
        extras.replayPoint = result.position;
        extras.replayContacts = result.lastStepContacts;
        std::cout << replayLine(event, result) << std::endl;
        if (result.positionText != event.positionText) {
            std::cerr << "sweepview: the replay ended at " << result.positionText << ", the report says "
                      << event.positionText << '\n';
        }
    }
    prepareSession(extras);
    animationRunning = options.steps > 0;
    for (long step = 0; step < options.steps; ++step) {
        stepIfDue(std::cout);
    }
    animationRunning = false;
    char* glutArguments[] = {argv[0], nullptr};  // the options were the viewer's, not GLUT's
    startViewer(1, glutArguments, installSession);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "sweepview " SWEEP_VERSION "\n";
        return 0;
    }
#if defined(__GLIBC__)
    // Mesa's software renderer frees tens of megabytes at the end of every
    // frame and takes them again in the next; by default the C library hands
    // the freed top of the heap back to the system, and every frame then
    // faults it in again page by page (three quarters of a frame's time with
    // 100,000 triangles). Keeping up to 64 MB lets the frames reuse it.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    if (argc > 1) {
        return runWithCommandLine(argc, argv);
    }
    // A placeholder until the dialogue has a scene; freed when replaced.
    auto placeholder = std::make_unique<CollisionMesh>();
    currentScene = placeholder.get();
    setCollisionEpsilon(0.001f);

    std::unique_ptr<CollisionMesh> scene = runSceneDialogue(std::cin, std::cout, std::cerr);
    if (scene == nullptr) {
        return 1;
    }
    currentScene = scene.release();  // lives until the process ends
    placeholder.reset();

    startViewer(argc, argv, installMouse);
    return 0;
}
