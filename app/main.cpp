#include <iostream>
#include <memory>

#include "app/scene_dialogue.h"
#include "app/viewer_state.h"
#include "app/window.h"
#include "geometry/collision_epsilon.h"

int main(int argc, char** argv) {
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
