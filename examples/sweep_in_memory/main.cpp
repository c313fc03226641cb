// A scene built in memory, a floor and a wall, and one sphere swept into it:
// what an engine does with its own level, without any file. Given a dorn
// file, it also loads that and sweeps the viewer's first step through it.
// Everything of the library is in namespace sweepview, so it lives beside an
// engine's own math types, as the ones below stand for.
#include <sweepview/collision/sphere_motion.h>
#include <sweepview/collision/sweep_query.h>
#include <sweepview/scene/dorn_reader.h>
#include <sweepview/scene/scene_builder.h>

#include <cmath>
#include <cstdio>

// The engine's own types, with the names the library uses too.
struct Vec3 {
    double x, y, z;
};
struct Plane {
    Vec3 normal;
    double offset;
};
struct Triangle {
    Vec3 corners[3];
};
struct Segment {
    Vec3 from, to;
};
struct Line {
    Vec3 origin, direction;
};
double length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

namespace sv = sweepview;

int main(int argc, char** argv) {
    if (argc > 1) {
        std::string why;
        const auto loaded = sv::loadDornFile(argv[1], &why);
        if (loaded == nullptr) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        sv::ContactState state;
        const sv::SweptSphere first(sv::Vec3(0, 12.5f, 0), sv::Vec3(1, -1, 1), 2.5f);
        const int hit = sv::sweepQuery(*loaded, first, state);
        std::printf("%s: %zu triangles, first step %s\n", argv[1], loaded->triangles.size(),
                    hit ? "meets the mesh" : "is free");
    }
    // The floor y = 0 facing up, the wall x = 10 facing the origin.
    std::vector<sv::Vec3> vertices{{-20, 0, -20}, {-20, 0, 20}, {20, 0, 20},  {20, 0, -20},
                                   {10, 0, -20},  {10, 20, -20}, {10, 20, 20}, {10, 0, 20}};
    std::vector<sv::MeshTriangle> triangles{{0, 1, 2, -1, -1, -1}, {0, 2, 3, -1, -1, -1},
                                            {4, 6, 5, -1, -1, -1}, {4, 7, 6, -1, -1, -1}};
    std::string why;
    auto scene = sv::buildCollisionMesh(vertices, triangles, &why);
    if (scene == nullptr) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    // A sphere of radius 1 at (0, 5, 0), moving 20 along x into the wall.
    sv::ContactState state;
    const sv::SweptSphere sphere(sv::Vec3(0, 5, 0), sv::Vec3(20, 0, 0), 1.0f);
    if (sv::sweepQuery(*scene, sphere, state) == 0) {
        std::printf("no contact\n");
        return 1;
    }
    const sv::Vec3 n = sv::normalized(state.contactNormal);
    std::printf("time of impact %.6f, normal (%g, %g, %g), triangles %zu\n", state.nearestTime,
                n.x, n.y, n.z, state.hitTriangles.size());
    // Handed to the engine as its own vector; length here is the engine's.
    const Vec3 engineNormal{n.x, n.y, n.z};
    if (length(engineNormal) < 0.5) {
        return 1;
    }
    // One step of the sphere's motion: it stops at the wall and bounces back.
    sv::Vec3 position(0, 5, 0);
    sv::Vec3 velocity(20, 0, 0);
    sv::advanceSphere(*scene, 1.0f, position, velocity, state);
    std::printf("after one step: position (%g, %g, %g), velocity (%g, %g, %g)\n", position.x,
                position.y, position.z, velocity.x, velocity.y, velocity.z);
    return 0;
}
