// dorn: builds and inspects the viewer's scene files.
#include <CLI/CLI.hpp>

#include "tools/dorn/build_command.h"
#include "tools/dorn/info_command.h"
#include "tools/dorn/sim_command.h"

namespace {

// Exit statuses: 0 success, 1 a refused input, 2 a usage error.
constexpr int USAGE_ERROR = 2;

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds and inspects dorn scene files for sweepview."};
    app.require_subcommand(1);

    BuildOptions build;
    CLI::App* buildCommand = app.add_subcommand(
        "build", "Turn triangle meshes (OBJ, PLY, STL, OFF, glTF, 3DS, COLLADA, ...) into a scene");
    buildCommand->add_option("MESH", build.inputs, "Mesh files, merged into one scene")
        ->required()
        ->check(CLI::ExistingFile);
    buildCommand->add_option("-o,--output", build.output, "The dorn file to write")->required();
    buildCommand->add_option("--scale", build.scale, "Multiply every coordinate by S")
        ->check(CLI::PositiveNumber);
    buildCommand->add_flag("--center", build.center, "Move the mesh's box centre to the origin");
    buildCommand->add_option("--fit", build.fit, "Scale so that the largest extent is SIZE")
        ->check(CLI::PositiveNumber);
    std::vector<float> move;
    buildCommand->add_option("--move", move, "Then move the mesh by X,Y,Z")
        ->delimiter(',')
        ->expected(3);
    buildCommand->add_flag("--flip", build.flip,
                           "Reverse every triangle's winding (for normals facing away)");
    buildCommand
        ->add_option("--room", build.room,
                     "Add a closed room from -SIZE to +SIZE, faces pointing inwards")
        ->check(CLI::PositiveNumber);
    buildCommand->add_flag("--drop-degenerate", build.dropDegenerate,
                           "Leave out triangles without area");
    bool noNormals = false;
    buildCommand->add_flag("--no-normals", noNormals, "Write no vertex normals");

    std::string infoFile;
    bool strict = false;
    CLI::App* infoCommand = app.add_subcommand("info", "Summarise a dorn file and check its tree");
    infoCommand->add_option("FILE", infoFile, "The dorn file")->required();
    infoCommand->add_flag("--strict", strict, "Also fail when a box does not enclose its subtree");

    SimOptions sim;
    std::vector<float> position;
    std::vector<float> velocity;
    CLI::App* simCommand =
        app.add_subcommand("sim", "Run the viewer's sphere through a scene without a window");
    simCommand->add_option("SCENE", sim.scene, "The dorn file")->required();
    simCommand->add_option("--steps", sim.steps, "Steps to take (default 1000)")
        ->check(CLI::NonNegativeNumber);
    simCommand->add_option("--position", position, "Start position X,Y,Z (default 0,12.5,0)")
        ->delimiter(',')
        ->expected(3);
    simCommand->add_option("--velocity", velocity, "Start velocity X,Y,Z (default 1,-1,1)")
        ->delimiter(',')
        ->expected(3);
    simCommand->add_flag("--check", sim.check,
                         "Measure the sphere's true clearance from the mesh after every step");
    simCommand->add_flag("--stats", sim.stats, "Report speed and the query's work at the end");
    simCommand->add_flag("--exact-edges", sim.exactEdges,
                         "Meet edges exactly (sphere against the edge's cylinder) instead of "
                         "with the viewer's rule");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : USAGE_ERROR;
    }
    if (*buildCommand) {
        build.normals = !noNormals;
        if (move.size() == 3) {
            build.move = Vec3(move[0], move[1], move[2]);
        }
        return runBuild(build);
    }
    if (*simCommand) {
        if (position.size() == 3) {
            sim.position = Vec3(position[0], position[1], position[2]);
        }
        if (velocity.size() == 3) {
            sim.velocity = Vec3(velocity[0], velocity[1], velocity[2]);
        }
        return runSim(sim);
    }
    return runInfo(infoFile, strict);
}
