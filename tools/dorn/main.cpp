// dorn: builds, inspects, simulates and audits the viewer's scene files.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "scene/mesh_format_hint.h"
#include "scene/output_file.h"
#include "cli/number_option.h"
#include "tools/dorn/audit_command.h"
#include "tools/dorn/audit_report.h"
#include "tools/dorn/build_command.h"
#include "tools/dorn/mesh_import.h"
#include "tools/dorn/info_command.h"
#include "tools/dorn/sim_command.h"

namespace sweepview {

namespace {

// Exit statuses: 0 success, 1 a refused input, 2 a usage error (3: audit findings).
constexpr int USAGE_ERROR = 2;

// Output files: named, each a different file, none an input, and writable, all checked
// before the long work starts. Returns 0, or the status to exit with.
int checkOutputs(const char* command, const std::vector<std::pair<const char*, const std::string*>>& outputs,
                 const std::vector<std::string>& inputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        if (path->empty()) {
            std::cerr << "dorn " << command << ": " << option << ": no file name given\n";
            return USAGE_ERROR;
        }
        for (const std::string& input : inputs) {
            if (sameOutputFile(input, *path)) {
                std::cerr << "dorn " << command << ": " << option << ": " << *path
                          << " is an input; writing it would destroy it\n";
                return USAGE_ERROR;
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (sameOutputFile(*outputs[j].second, *path)) {
                std::cerr << "dorn " << command << ": " << outputs[j].first << " and " << option
                          << " name the same file, " << *path << "\n";
                return USAGE_ERROR;
            }
        }
    }
    for (const auto& [option, path] : outputs) {
        std::string why;
        if (!checkOutputPath(*path, &why)) {
            std::cerr << "dorn " << command << ": " << option << ": " << why << "\n";
            return 1;
        }
    }
    return 0;
}

}  // namespace

}  // namespace sweepview

using namespace sweepview;

int main(int argc, char** argv) {
    // Past the file size limit a write then fails and is reported, and no
    // half-written temporary file is left behind by a killed process.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"Builds and inspects dorn scene files for sweepview."};
    app.set_version_flag("--version", "dorn " SWEEP_VERSION);
    app.require_subcommand(1);

    BuildOptions build;
    CLI::App* buildCommand = app.add_subcommand(
        "build", "Turn triangle meshes (OBJ, PLY, STL, OFF, glTF, 3DS, COLLADA, ...) into a scene");
    // Inputs that cannot be read are refused by the command (status 1), not as usage errors.
    buildCommand->add_option("MESH", build.inputs, "Mesh files, merged into one scene")->required();
    buildCommand->add_option("-o,--output", build.output, "The dorn file to write")->required();
    buildCommand->add_option("--scale", build.scale, "Multiply every coordinate by S")
        ->transform(numberIn(1e-18, FLOAT_SAFE));
    buildCommand->add_flag("--center", build.center, "Move the mesh's box centre to the origin");
    buildCommand->add_option("--fit", build.fit, "Scale so that the largest extent is SIZE")
        ->transform(numberIn(1e-18, FLOAT_SAFE));
    std::vector<float> move;
    buildCommand->add_option("--move", move, "Then move the mesh by X,Y,Z")
        ->delimiter(',')
        ->expected(3)
        ->transform(numberIn(-FLOAT_SAFE, FLOAT_SAFE));
    buildCommand->add_flag("--flip", build.flip,
                           "Reverse every triangle's winding (for normals facing away)");
    buildCommand
        ->add_option("--room", build.room,
                     "Add a closed room from -SIZE to +SIZE, faces pointing inwards")
        ->transform(numberIn(1e-18, FLOAT_SAFE));
    buildCommand->add_flag("--drop-degenerate", build.dropDegenerate,
                           "Leave out triangles without area");
    buildCommand->add_flag("--orient", build.orient,
                           "Turn triangles so neighbours agree, each part keeping the side most "
                           "of its area faces");
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
        ->transform(numberIn(0, 1e12));
    simCommand->add_option("--position", position, "Start position X,Y,Z (default 0,12.5,0)")
        ->delimiter(',')
        ->expected(3)
        ->transform(numberIn(-FLOAT_SAFE, FLOAT_SAFE));
    simCommand->add_option("--velocity", velocity, "Start velocity X,Y,Z (default 1,-1,1)")
        ->delimiter(',')
        ->expected(3)
        ->transform(numberIn(-FLOAT_SAFE, FLOAT_SAFE));
    simCommand->add_option("--radius", sim.radius, "The sphere's radius (default 2.5)")
        ->transform(numberIn(1e-6, FLOAT_SAFE));
    simCommand->add_option("-o,--output", sim.output,
                           "Write the steps' CSV to FILE instead of standard output");
    simCommand->add_flag("--check", sim.check,
                         "Measure the sphere's true clearance from the mesh after every step");
    simCommand->add_flag("--stats", sim.stats, "Report speed and the query's work at the end");
    simCommand->add_flag("--exact-edges", sim.exactEdges,
                         "Meet edges exactly (sphere against the edge's cylinder) instead of "
                         "with the viewer's rule");
    simCommand->add_flag("--two-sided", sim.twoSided,
                         "Let faces stop the sphere from both sides, not only the front");
    std::string response = "bounce";
    simCommand->add_option("--response", response,
                           "bounce: the viewer's; slide: a character walking by --velocity each "
                           "step and falling (default bounce)")
        ->check(CLI::IsMember({"bounce", "slide"}));
    std::vector<float> gravity;
    simCommand->add_option("--gravity", gravity,
                           "Slide: added to the falling speed each step X,Y,Z (default 0,-0.05,0)")
        ->delimiter(',')
        ->expected(3)
        ->transform(numberIn(-FLOAT_SAFE, FLOAT_SAFE));
    simCommand->add_option("--max-slope", sim.maxSlope, "Slide: steepest floor in degrees (default 45)")
        ->transform(numberIn(0, 90));
    simCommand->add_option("--step-height", sim.stepHeight, "Slide: highest stair climbed (default 0)")
        ->transform(numberIn(0, FLOAT_SAFE));
    simCommand->add_option("--floor-snap", sim.floorSnap,
                           "Slide: how far down a walking sphere keeps to the floor (default 0)")
        ->transform(numberIn(0, FLOAT_SAFE));

    AuditOptions audit;
    CLI::App* auditCommand = app.add_subcommand(
        "audit", "Find where a sphere gets through a collision mesh, ends up inside or wedges");
    auditCommand->add_option("SCENE", audit.scene, "The dorn file")->required();
    auditCommand->add_option("--starts", audit.starts, "Flights from random clear points (default 1000)")
        ->transform(numberIn(1, 1e9));
    auditCommand->add_option("--steps", audit.steps, "Steps per flight (default 2000)")
        ->transform(numberIn(1, 1e9));
    auditCommand->add_option("--radius", audit.radius, "The sphere's radius (default 2.5)")
        ->transform(numberIn(1e-6, FLOAT_SAFE));
    auditCommand->add_option("--speed", audit.speed, "Distance per step (default half the radius)")
        ->transform(numberIn(1e-9, FLOAT_SAFE));
    auditCommand->add_option("--seed", audit.seed, "Seed of the random starts (default 1)")
        ->transform(numberIn(0, 1.8e19));
    auditCommand->add_option("--threads", audit.threads, "Threads to fly on (default every core)")
        ->transform(numberIn(1, 4096));
    auditCommand->add_option("--report", audit.report, "Write the findings as JSON to FILE");
    auditCommand->add_option("--ply", audit.ply, "Write the mesh coloured by its events as PLY to FILE");
    std::vector<std::string> findingNames(std::begin(AUDIT_EVENT_NAMES), std::end(AUDIT_EVENT_NAMES));
    findingNames.insert(findingNames.end(), std::begin(MESH_FINDING_NAMES), std::end(MESH_FINDING_NAMES));
    auditCommand->add_option("--fail-on", audit.failOn, "Exit with status 3 when any of these is found")
        ->delimiter(',')
        ->check(CLI::IsMember(findingNames));
    auditCommand->add_flag("--exact-edges", audit.exactEdges,
                           "Meet edges exactly instead of with the viewer's rule");
    auditCommand->add_flag("--two-sided", audit.twoSided,
                           "Let faces stop the sphere from both sides, not only the front");

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
        if (const int status = checkOutputs("build", {{"--output", &build.output}}, build.inputs)) {
            return status;
        }
        // A scene under a mesh's name would be taken for one, and may replace one.
        if (const char* format = formatNamedBy(build.output)) {
            std::cerr << "dorn build: --output " << build.output << ": a dorn scene named as " << withArticle(format)
                      << " mesh; name it .dorn\n";
            return USAGE_ERROR;
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
        sim.response = response == "slide" ? SimResponse::Slide : SimResponse::Bounce;
        if (sim.response == SimResponse::Bounce) {
            for (const char* option : {"--gravity", "--max-slope", "--step-height", "--floor-snap"}) {
                if (simCommand->count(option) > 0) {
                    std::cerr << "dorn sim: " << option << " applies to --response slide only\n";
                    return USAGE_ERROR;
                }
            }
        }
        if (gravity.size() == 3) {
            sim.gravity = Vec3(gravity[0], gravity[1], gravity[2]);
        }
        if (simCommand->count("--output") > 0) {
            if (const int status = checkOutputs("sim", {{"--output", &sim.output}}, {sim.scene})) {
                return status;
            }
        }
        return runSim(sim);
    }
    if (*auditCommand) {
        std::vector<std::pair<const char*, const std::string*>> outputs;
        if (auditCommand->count("--report") > 0) {
            outputs.emplace_back("--report", &audit.report);
        }
        if (auditCommand->count("--ply") > 0) {
            outputs.emplace_back("--ply", &audit.ply);
        }
        if (const int status = checkOutputs("audit", outputs, {audit.scene})) {
            return status;
        }
        return runAudit(audit);
    }
    return runInfo(infoFile, strict);
}
