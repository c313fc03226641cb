// scenegen: writes procedural meshes for the bundled scenes and benchmarks.
//   scenegen default OUT.obj
//     The obstacles of the default scene, for `dorn build OUT.obj --room 50`.
//     Every kind of contact is there to be seen: the faces, sharp edges and
//     corners of a cube and a pyramid, the concave edges and corners where the
//     cube meets the room's floor and walls, and the curved, tessellated
//     surface of a sphere in the flight path.
//   scenegen terrain N OUT.ply [SIZE]
//     A rolling terrain of 2 N^2 triangles over [-SIZE/2, SIZE/2]^2 (SIZE 200
//     unless given), facing up, as binary PLY: a large mesh of realistic
//     layout for measurements. With SIZE proportional to N the triangles keep
//     their size as the terrain grows.
#include <csignal>
#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdarg>
#include <cstdint>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "scene/output_file.h"

namespace sweepview {

namespace {

[[gnu::format(printf, 2, 3)]] void print(std::ostream& out, const char* format, ...) {
    char text[256];
    std::va_list arguments;
    va_start(arguments, format);
    const int size = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    out.write(text, size < 0 ? 0 : std::min<int>(size, sizeof text - 1));
}

struct Point {
    double x, y, z;
};

struct ObjWriter {
    std::ostream& file;
    int vertexCount = 0;

    int vertex(Point p) {
        print(file, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
        return ++vertexCount;
    }
    // Writes the triangle facing away from inside (counter-clockwise seen from outside).
    void triangle(int a, int b, int c, const std::vector<Point>& all, Point inside) {
        const Point& p = all[a - 1];
        const Point& q = all[b - 1];
        const Point& r = all[c - 1];
        const Point u{q.x - p.x, q.y - p.y, q.z - p.z};
        const Point v{r.x - p.x, r.y - p.y, r.z - p.z};
        const Point n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        const double outwards =
            n.x * (p.x - inside.x) + n.y * (p.y - inside.y) + n.z * (p.z - inside.z);
        if (outwards < 0) {
            print(file, "f %d %d %d\n", a, c, b);
        } else {
            print(file, "f %d %d %d\n", a, b, c);
        }
    }
};

std::vector<Point> points;

int add(ObjWriter& obj, Point p) {
    points.push_back(p);
    return obj.vertex(p);
}

void cube(ObjWriter& obj, Point centre, double half) {
    int v[8];
    for (int i = 0; i < 8; ++i) {
        v[i] = add(obj, {centre.x + (i & 1 ? half : -half), centre.y + (i & 2 ? half : -half),
                         centre.z + (i & 4 ? half : -half)});
    }
    const int faces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    for (const auto& f : faces) {
        obj.triangle(v[f[0]], v[f[1]], v[f[2]], points, centre);
        obj.triangle(v[f[0]], v[f[2]], v[f[3]], points, centre);
    }
}

void pyramid(ObjWriter& obj, Point baseCentre, double half, double height) {
    const Point inside{baseCentre.x, baseCentre.y + height / 4, baseCentre.z};
    int base[4];
    for (int i = 0; i < 4; ++i) {
        base[i] = add(obj, {baseCentre.x + (i == 1 || i == 2 ? half : -half), baseCentre.y,
                            baseCentre.z + (i >= 2 ? half : -half)});
    }
    const int apex = add(obj, {baseCentre.x, baseCentre.y + height, baseCentre.z});
    obj.triangle(base[0], base[1], base[2], points, inside);
    obj.triangle(base[0], base[2], base[3], points, inside);
    for (int i = 0; i < 4; ++i) {
        obj.triangle(base[i], base[(i + 1) % 4], apex, points, inside);
    }
}

void sphere(ObjWriter& obj, Point centre, double radius, int slices, int stacks) {
    const double pi = std::acos(-1.0);
    const int top = add(obj, {centre.x, centre.y + radius, centre.z});
    std::vector<int> rings;
    for (int i = 1; i < stacks; ++i) {
        const double polar = pi * i / stacks;
        for (int j = 0; j < slices; ++j) {
            const double azimuth = 2 * pi * j / slices;
            rings.push_back(add(obj, {centre.x + radius * std::sin(polar) * std::cos(azimuth),
                                      centre.y + radius * std::cos(polar),
                                      centre.z + radius * std::sin(polar) * std::sin(azimuth)}));
        }
    }
    const int bottom = add(obj, {centre.x, centre.y - radius, centre.z});
    auto at = [&](int ring, int j) { return rings[ring * slices + (j % slices)]; };
    for (int j = 0; j < slices; ++j) {
        obj.triangle(top, at(0, j), at(0, j + 1), points, centre);
        obj.triangle(bottom, at(stacks - 2, j), at(stacks - 2, j + 1), points, centre);
        for (int i = 0; i + 1 < stacks - 1; ++i) {
            obj.triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), points, centre);
            obj.triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), points, centre);
        }
    }
}

void writeTerrain(std::ostream& file, long n, float size) {
    const long side = n + 1;
    print(file,
                 "ply\nformat binary_little_endian 1.0\nelement vertex %ld\nproperty float x\n"
                 "property float y\nproperty float z\nelement face %ld\n"
                 "property list uchar int vertex_indices\nend_header\n",
                 side * side, 2 * n * n);
    for (long i = 0; i < side; ++i) {
        for (long j = 0; j < side; ++j) {
            const float x = size * (static_cast<float>(i) / static_cast<float>(n) - 0.5f);
            const float z = size * (static_cast<float>(j) / static_cast<float>(n) - 0.5f);
            const float y = 8.0f * std::sin(x * 0.05f) * std::cos(z * 0.07f) - 30.0f;
            const float xyz[3] = {x, y, z};
            file.write(reinterpret_cast<const char*>(xyz), sizeof xyz);  // the format's byte order is this host's
        }
    }
    for (long i = 0; i < n; ++i) {
        for (long j = 0; j < n; ++j) {
            const auto a = static_cast<std::int32_t>(i * side + j);
            const std::int32_t b = a + 1;
            const auto c = static_cast<std::int32_t>(a + side);
            const std::int32_t d = c + 1;
            const unsigned char three = 3;
            // Counter-clockwise seen from above (+y): facing up.
            const std::int32_t first[3] = {a, b, c};
            const std::int32_t second[3] = {b, d, c};
            file.put(static_cast<char>(three));
            file.write(reinterpret_cast<const char*>(first), sizeof first);
            file.put(static_cast<char>(three));
            file.write(reinterpret_cast<const char*>(second), sizeof second);
        }
    }
}

int writeOrSay(const char* path, const std::function<void(std::ostream&)>& fill) {
    std::string why;
    if (!writeOutputFile(path, fill, &why)) {
        std::fprintf(stderr, "scenegen: %s\n", why.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

}  // namespace sweepview

using namespace sweepview;

// A name with another extension than the format written (the format is not
// chosen by the name) would be refused by dorn build; a name without one, a
// device say, is taken as it is.
bool extensionFits(const std::string& name, const std::string& expected) {
    const std::string extension = std::filesystem::path(name).extension().string();
    if (extension.empty()) {
        return true;
    }
    std::string lower;
    for (char c : extension) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == expected;
}

int refuseExtension(const char* name, const char* expected, const char* format) {
    std::fprintf(stderr, "scenegen: %s: this mesh is written as %s; name it %s\n", name, format, expected);
    return 2;
}

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the size limit fails and is reported
    const std::string mode = argc > 1 ? argv[1] : "";
    constexpr const char* USAGE = "usage: scenegen default OUT.obj | scenegen terrain N OUT.ply [SIZE]\n";
    if ((mode == "--help" || mode == "-h") && argc == 2) {
        std::fputs(USAGE, stdout);
        std::fputs("  default: the obstacles of the viewer's default scene, as OBJ text\n"
                   "  terrain: an N by N grid of cells, two triangles each, SIZE across (default 200),\n"
                   "           as binary PLY\n", stdout);
        return 0;
    }
    if (mode == "--version" && argc == 2) {
        std::puts("scenegen " SWEEP_VERSION);
        return 0;
    }
    if (mode == "terrain" && (argc == 4 || argc == 5)) {
        char* end = nullptr;
        const float size = argc == 5 ? std::strtof(argv[4], &end) : 200.0f;
        if (!(size > 0.0f && size <= 1e18f) || (end != nullptr && *end != '\0')) {
            std::fprintf(stderr, "scenegen: SIZE takes a positive number, not '%s'\n", argv[4]);
            return 2;
        }
        const long n = std::strtol(argv[2], &end, 10);
        if (n < 1 || n > 30000 || *end != '\0') {
            std::fprintf(stderr, "scenegen: N takes a whole number from 1 to 30000, not '%s'\n", argv[2]);
            return 2;
        }
        if (!extensionFits(argv[3], ".ply")) {
            return refuseExtension(argv[3], ".ply", "binary PLY");
        }
        return writeOrSay(argv[3], [&](std::ostream& out) { writeTerrain(out, n, size); });
    }
    if (mode != "default" || argc != 3) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (!extensionFits(argv[2], ".obj")) {
        return refuseExtension(argv[2], ".obj", "OBJ text");
    }
    return writeOrSay(argv[2], [](std::ostream& file) {
        ObjWriter obj{file};
        print(file, "# Obstacles of sweepview's default scene, written by scenegen\n");
        cube(obj, {-32, -38, 32}, 12);           // in a corner: concave edges with floor and wall
        pyramid(obj, {28, -50, -20}, 14, 30);    // sharp apex and edges
        sphere(obj, {12, -16, 14}, 10, 24, 16);  // curved, in the sphere's first path
    });
}
