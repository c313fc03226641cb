// Feeds arbitrary bytes to the dorn reader as a file, and puts every scene that
// loads through what a loaded scene meets in the viewer: sweeps, the drawing
// walk in every box mode (against the recording stand-in for OpenGL) and
// destruction.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "collision/sweep_query.h"
#include "geometry/collision_epsilon.h"
#include "render/scene_drawing.h"
#include "scene/dorn_reader.h"
#include "support/gl_recorder.h"

using namespace sweepview;

namespace {

// One file per process, rewritten for every input: the reader takes a name.
const std::string& inputPath() {
    static const std::string path = "/tmp/dorn_reader_fuzz." + std::to_string(::getpid()) + ".dorn";
    return path;
}

bool writeInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream file(inputPath(), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    return !file.fail();
}

// Sweeps from the root box's corners and centre, so they reach the triangles
// of boxes that enclose them, whatever the file's scale.
void sweepAround(CollisionMesh& scene) {
    const NodeBox& box = scene.root->box;
    const Vec3 reach = box.halfExtents * 1.5f;
    const Vec3 starts[] = {box.centre - reach, box.centre + reach, box.centre,
                           Vec3(box.centre.x - reach.x, box.centre.y + reach.y, box.centre.z)};
    for (const Vec3& start : starts) {
        for (float radius : {2.5f, box.halfExtents.y}) {
            sweepQuery(scene, SweptSphere(start, (box.centre - start) * 2.0f + Vec3(0.5f, 0, 0), radius),
                       contactState);
            contactState.hitTriangles.clear();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setCollisionEpsilon(0.001f);
    if (!writeInput(data, size)) {
        std::abort();  // the temporary folder is broken, not the reader
    }
    std::string why;
    std::unique_ptr<CollisionMesh> scene = loadDornFile(inputPath(), &why);
    if (scene == nullptr) {
        if (why.empty()) {
            std::abort();  // a refusal must say why
        }
        return 0;
    }
    if (scene->compiled != nullptr &&
        !checkCompiledTree(*scene->compiled, scene->triangles.size())) {
        std::abort();
    }
    sweepAround(*scene);
    for (int mode = 0; mode <= 5; ++mode) {
        sceneListReady = mode % 2 == 0;
        drawScene(*scene, mode);
        glCalls.clear();
    }
    return 0;
}
