#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "collision/sweep_query.h"
#include "scene/dorn_reader.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

std::unique_ptr<CollisionMesh> loadBytes(const std::string& bytes, std::string* why = nullptr) {
    TempFile file(bytes);
    return loadDornFile(file.path(), why);
}

// Loading must fail with a reason that names the file and contains `part`.
void expectRefused(const std::string& bytes, const std::string& part) {
    TempFile file(bytes);
    std::string why;
    EXPECT_EQ(loadDornFile(file.path(), &why), nullptr) << part;
    EXPECT_EQ(why.rfind(file.path() + ": ", 0), 0u) << why;
    EXPECT_NE(why.find(part), std::string::npos) << why;
}

// 3 vertices, 2 auxiliary vectors, 2 triangles, and an inner node (with the
// given flag) whose leaves name triangles 1 and 0. Sections start at bytes 0,
// 40, 68 and 120; the file is 203 bytes long.
std::string threeNodeFile(std::uint8_t flag = 1) {
    DornBytes b;
    b.int32(3).vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0);
    b.int32(2).vec3(0, 0, 1).vec3(0.5f, 0.5f, 0.5f);
    b.int32(2).int32(0).int32(1).int32(2).int32(0).int32(0).int32(0);
    b.int32(2).int32(1).int32(0).int32(1).int32(1).int32(1);
    b.byte(flag).vec3(0.5f, 0.5f, 0).vec3(0.5f, 0.5f, 0);
    b.byte(0).vec3(1, 1, 1).vec3(1, 1, 1).int32(1);
    return b.byte(0).vec3(2, 2, 2).vec3(2, 2, 2).int32(0).str;
}

std::string withInt(std::string bytes, std::size_t offset, std::int32_t value) {
    return bytes.replace(offset, 4, DornBytes().int32(value).str);
}

TEST(DornReader, TheSmallestFileLoadsEveryFieldAndFloatsAsTheyAre) {
    const auto scene = loadBytes(singleLeafFile() + "trailing bytes are ignored");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->vertices, (std::vector<Vec3>{Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}));
    EXPECT_TRUE(scene->auxVectors.empty());
    const MeshTriangle& t = scene->triangles.at(0);
    EXPECT_EQ(std::vector<int>({t.vertex0, t.vertex1, t.vertex2, t.aux0, t.aux1, t.aux2}),
              std::vector<int>({0, 1, 2, 7, 8, 9}));
    EXPECT_EQ(scene->root->left, nullptr);
    EXPECT_EQ(scene->root->triangle, 0);
    EXPECT_EQ(scene->root->box.centre, Vec3(1, 2, 3));
    EXPECT_EQ(scene->root->box.halfExtents, Vec3(4, 5, 6));
    EXPECT_EQ(scene->root->box.boundsValid, 0);
    const float inf = std::numeric_limits<float>::infinity();
    std::string odd = singleLeafFile();
    odd.replace(4, 12, DornBytes().vec3(NAN, inf, -inf).str);
    odd.replace(101 - 28, 12, DornBytes().vec3(NAN, 0, 0).str);  // the leaf's centre
    const auto taken = loadBytes(odd);
    ASSERT_NE(taken, nullptr);
    EXPECT_TRUE(std::isnan(taken->vertices[0].x) && std::isnan(taken->root->box.centre.x));
    EXPECT_EQ(taken->vertices[0].z, -inf);
    ContactState state;
    EXPECT_EQ(sweepQuery(*taken, SweptSphere(Vec3(), Vec3(1, 1, 1), 2.5f), state), 0);
}

TEST(DornReader, AnyNonZeroFlagMakesAnInnerNodeWithChildrenInFileOrder) {
    for (int flag : {1, 2, 32, 255}) {
        const auto scene = loadBytes(threeNodeFile(static_cast<std::uint8_t>(flag)));
        ASSERT_NE(scene, nullptr) << flag;
        EXPECT_EQ(scene->auxVectors.at(1), Vec3(0.5f, 0.5f, 0.5f));
        EXPECT_EQ(scene->root->left->triangle, 1);
        EXPECT_EQ(scene->root->left->box.centre, Vec3(1, 1, 1));  // right after the flag
        EXPECT_EQ(scene->root->right->triangle, 0);
    }
}

TEST(DornReader, EveryShorterLengthIsRefusedNamingTheSection) {
    const std::string full = threeNodeFile();
    ASSERT_EQ(full.size(), 203u);
    for (std::size_t length = 0; length < full.size(); ++length) {
        const char* section = length == 0    ? "not a dorn scene file (it is empty)"
                              : length < 40  ? "vertex section"
                              : length < 68  ? "auxiliary vector section"
                              : length < 120 ? "triangle section"
                                             : "tree section at byte ";
        expectRefused(full.substr(0, length), section);
    }
    expectRefused(full.substr(0, 150), "ends in the tree section at byte 150");
}

// Counts are refused before any array is made (the sanitizer build would
// report a huge allocation for a 100-byte file claiming 2^31 - 1 vertices).
TEST(DornReader, BadCountsAndIndicesAreRefused) {
    const std::string file = threeNodeFile();
    std::string huge = DornBytes().int32(std::numeric_limits<std::int32_t>::max()).str;
    std::string triangles = DornBytes().int32(0).int32(0).int32(5).str;
    huge.resize(100, '\0');
    triangles.resize(100, '\0');
    const std::pair<std::string, std::string> cases[] = {
        {DornBytes().int32(-1).str, "negative vertex count -1 at byte 0"},
        {DornBytes().int32(0).int32(-5).str, "negative auxiliary vector count -5"},
        {huge, "vertex count 2147483647 at byte 0 needs 25769803764 bytes, but only 96 follow"},
        {triangles, "triangle count 5 at byte 8 needs 120 bytes, but only 88 follow"},
        {withInt(file, 96 + 4, 3), "triangle 1 names vertex 3 of 3"},
        {withInt(file, 96 + 8, -1), "triangle 1 names vertex -1 of 3"},
        {withInt(file, 145 + 25, -1), "the leaf at byte 145 names triangle -1 of 2"},
        {withInt(file, 145 + 29 + 25, 2), "names triangle 2 of 2"},
    };
    for (const auto& [bytes, reason] : cases) {
        expectRefused(bytes, reason);
    }
    EXPECT_NE(loadBytes(withInt(file, 96 + 12, -77)), nullptr);  // aux indices are not checked
}

// Names typed at the prompt can be anything: a NUL would cut the name short
// and could open another file, which must not happen; a huge or binary name
// must not flood or drive the terminal through the message. A FIFO nobody
// writes to would block a read.
TEST(DornReader, NamesThatAreNotRegularFilesOrAreHostileAreRefusedAtOnce) {
    TempFile file(singleLeafFile());
    const std::string fifo = file.path() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/scene.dorn", "/nonexistent/scene.dorn: cannot open: No such file or directory"},
        {"", ": no file name given"},
        {"no such scene.dorn", "no such scene.dorn: cannot open: No such file or directory"},
        {"/tmp", "/tmp: is a directory"},
        {fifo, fifo + ": not a regular file"},
        {file.path() + std::string(1, '\0') + "junk",
         file.path() + "\\x00junk: the name holds a NUL byte, which no file name can"},
        {std::string(1 << 20, 'a'),
         std::string(120, 'a') + "... (a name of 1048576 bytes): cannot open: File name too long"},
        {"\x1b[2J\xff.dorn", "\\x1b[2J\xff.dorn: cannot open: No such file or directory"},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [name, reason] : cases) {
        std::string why;
        EXPECT_EQ(loadDornFile(name, &why), nullptr);
        EXPECT_EQ(why, reason);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    std::remove(fifo.c_str());
}

TEST(DornWriter, WritesWhatTheReaderReadsBackAndRefusesWhatItCannotHold) {
    auto original = randomScene(5, 300, 50.0f, 5.0f);
    original->auxVectors = {Vec3(1, 2, 3), Vec3(-0.0f, 1e-30f, 3e38f)};
    original->triangles[7].aux1 = 12345;
    TempFile file("");
    std::string why;
    ASSERT_EQ(saveDornFile(*original, file.path(), &why), 1) << why;
    const auto loaded = loadDornFile(file.path(), &why);
    ASSERT_NE(loaded, nullptr) << why;
    EXPECT_EQ(loaded->vertices, original->vertices);
    EXPECT_EQ(loaded->auxVectors, original->auxVectors);
    EXPECT_EQ(std::memcmp(loaded->triangles.data(), original->triangles.data(),
                          300 * sizeof(MeshTriangle)),
              0);
    const auto a = flattenTree(*original->root);
    const auto b = flattenTree(*loaded->root);
    ASSERT_EQ(a.size(), 599u);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(PreorderNode)), 0);

    original->root->right = nullptr;  // the pool still owns the node
    EXPECT_EQ(saveDornFile(*original, file.path(), &why), 0);
    EXPECT_NE(why.find("one child"), std::string::npos);
    EXPECT_NE(loadDornFile(file.path()), nullptr);  // the earlier file is left whole
    EXPECT_EQ(saveDornFile(*randomScene(1, 3, 1, 1), "/nonexistent/x.dorn", &why), 0);
}

// Read, queried and freed without recursion: a stack frame per level would
// overflow long before this depth.
TEST(DornReader, AChainFiftyThousandLevelsDeepLoadsAndIsQueried) {
    useViewerEpsilon();
    TempFile file("");
    ASSERT_EQ(saveDornFile(*chainScene(50'000), file.path()), 1);
    auto loaded = loadDornFile(file.path());
    ASSERT_NE(loaded, nullptr);
    ContactState state;
    EXPECT_EQ(sweepQuery(*loaded, SweptSphere(Vec3(2, 2, 5), Vec3(0, 0, -10), 1.0f), state), 1);
    EXPECT_EQ(state.hitTriangles.size(), 50'001u);
}

}  // namespace
