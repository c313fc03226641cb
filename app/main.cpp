#include <cstring>
#include <iostream>
#include <memory>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/scene_dialogue.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "geometry/collision_epsilon.h"

using namespace sweepview;

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

    startViewer(argc, argv);
    return 0;
}
