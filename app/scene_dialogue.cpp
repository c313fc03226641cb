#include "app/scene_dialogue.h"

#include <string>

#include "scene/dorn_reader.h"

namespace sweepview {

std::unique_ptr<CollisionMesh> runSceneDialogue(std::istream& in, std::ostream& out,
                                                std::ostream& err) {
    for (;;) {
        out << "Enter the name of the dorn file: " << std::flush;
        std::string name;
        if (!(in >> name)) {
            // Without this, an exhausted input would prompt for ever.
            out << std::flush;
            err << "\nNo scene loaded: the input ended before a loadable dorn file was named."
                << std::endl;
            return nullptr;
        }
        std::string whyRefused;
        std::unique_ptr<CollisionMesh> scene = loadDornFile(name, &whyRefused);
        if (scene != nullptr) {
            return scene;
        }
        out << "Invalid file name\n" << std::flush;  // before the reason, on a terminal
        err << whyRefused << std::endl;
    }
}

}  // namespace sweepview
