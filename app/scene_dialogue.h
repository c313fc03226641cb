#pragma once

#include <istream>
#include <memory>
#include <ostream>

#include "scene/collision_mesh.h"

namespace sweepview {

// Asks on out for a dorn file name ("Enter the name of the dorn file: ",
// flushed) and reads one whitespace-delimited word from in, until a file loads.
// Each refused name gets "Invalid file name\n" on out and the reader's reason
// on err, then a new prompt. Returns the loaded scene, or null, with a message
// on err, when the input ends before a scene could be loaded.
[[nodiscard]] std::unique_ptr<CollisionMesh> runSceneDialogue(std::istream& in, std::ostream& out,
                                                              std::ostream& err);

}  // namespace sweepview
