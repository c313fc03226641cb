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

namespace {

std::unique_ptr<CollisionMesh> loadBytes(const std::string& bytes, std::string* why = nullptr) {
    TempFile file(bytes);
    return loadDornFile(file.path(), why);
}

// Loading must fail, and the reason must name the file and contain `part`.
void expectRefused(const std::string& bytes, const std::string& part) {
    TempFile file(bytes);
    std::string why;
    EXPECT_EQ(loadDornFile(file.path(), &why), nullptr) << part;
    EXPECT_EQ(why.rfind(file.path() + ": ", 0), 0u) << why;
    EXPECT_NE(why.find(part), std::string::npos) << why;
}

// Three vertices, two auxiliary vectors, two triangles, and an inner node
// (flag given) whose children are leaves naming triangles 1 and 0.
std::string threeNodeFile(std::uint8_t flag = 1) {
    DornBytes b;
    b.int32(3).vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0);
    b.int32(2).vec3(0, 0, 1).vec3(0.5f, 0.5f, 0.5f);
    b.int32(2).int32(0).int32(1).int32(2).int32(0).int32(0).int32(0);
    b.int32(2).int32(1).int32(0).int32(1).int32(1).int32(1);
    b.byte(flag).box(0.5f, 0.5f, 0, 0.5f, 0.5f, 0);
    b.byte(0).box(1, 1, 1, 1, 1, 1).int32(1);
    b.byte(0).box(2, 2, 2, 2, 2, 2).int32(0);
    return b.str();
}

TEST(DornReaderValid, TheSmallestFileLoadsEveryField) {
    const std::string bytes = singleLeafFile();
    ASSERT_EQ(bytes.size(), 101u);
    const auto scene = loadBytes(bytes);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->vertices, (std::vector<Vec3>{Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}));
    EXPECT_TRUE(scene->auxVectors.empty());
    ASSERT_EQ(scene->triangles.size(), 1u);
    const MeshTriangle& t = scene->triangles[0];
    EXPECT_EQ(std::vector<int>({t.vertex0, t.vertex1, t.vertex2, t.aux0, t.aux1, t.aux2}),
              std::vector<int>({0, 1, 2, 7, 8, 9}));
    const VolumeNode* root = scene->root;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->left, nullptr);
    EXPECT_EQ(root->right, nullptr);
    EXPECT_EQ(root->triangle, 0);
    EXPECT_EQ(root->box.centre, Vec3(1, 2, 3));
    EXPECT_EQ(root->box.halfExtents, Vec3(4, 5, 6));
    EXPECT_EQ(root->box.boundsValid, 0);
    EXPECT_EQ(root->box.boundsMin, Vec3());
}

TEST(DornReaderValid, InnerNodeChildrenInFileOrderForAnyNonZeroFlag) {
    for (int flag : {1, 2, 32, 255}) {
        const std::string bytes = threeNodeFile(static_cast<std::uint8_t>(flag));
        ASSERT_EQ(bytes.size(), 4u + 36 + 4 + 24 + 4 + 48 + 83);
        const auto scene = loadBytes(bytes);
        ASSERT_NE(scene, nullptr) << flag;
        EXPECT_EQ(scene->auxVectors, (std::vector<Vec3>{Vec3(0, 0, 1), Vec3(0.5f, 0.5f, 0.5f)}));
        const VolumeNode* root = scene->root;
        EXPECT_EQ(root->triangle, NO_TRIANGLE);
        EXPECT_EQ(root->box.centre, Vec3(0.5f, 0.5f, 0));
        ASSERT_NE(root->left, nullptr);
        ASSERT_NE(root->right, nullptr);
        EXPECT_EQ(root->left->triangle, 1);
        EXPECT_EQ(root->left->box.centre, Vec3(1, 1, 1));  // right after the flag
        EXPECT_EQ(root->right->triangle, 0);
        EXPECT_EQ(root->right->box.halfExtents, Vec3(2, 2, 2));
    }
}

TEST(DornReaderValid, TrailingBytesAreIgnored) {
    const auto scene = loadBytes(singleLeafFile() + std::string(1000, '\xff'));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->root->triangle, 0);
}

TEST(DornReaderValid, FloatsAreTakenAsTheyAre) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    DornBytes b;
    b.int32(3).vec3(nan, inf, -inf).vec3(1, 0, 0).vec3(1, 0, 0);  // also without area
    b.int32(0).int32(1).int32(0).int32(1).int32(2).int32(0).int32(0).int32(0);
    b.byte(0).box(nan, 0, 0, -1, inf, 0).int32(0);
    const auto scene = loadBytes(b.str());
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(std::isnan(scene->vertices[0].x));
    EXPECT_EQ(scene->vertices[0].y, inf);
    EXPECT_EQ(scene->root->box.halfExtents.x, -1.0f);
    ContactState state;
    EXPECT_EQ(sweepQuery(*scene, SweptSphere(Vec3(), Vec3(1, 1, 1), 2.5f), state), 0);
}

TEST(DornReaderTruncated, EveryShorterLengthIsRefusedWithTheSection) {
    const std::string full = threeNodeFile();
    ASSERT_NE(loadBytes(full), nullptr);
    for (std::size_t length = 0; length < full.size(); ++length) {
        std::string why;
        EXPECT_EQ(loadBytes(full.substr(0, length), &why), nullptr) << length;
        const char* section = length < 40    ? "vertex section"
                              : length < 68  ? "auxiliary vector section"
                              : length < 120 ? "triangle section"
                                             : "tree section";
        EXPECT_NE(why.find(section), std::string::npos) << length << ": " << why;
        // Counts are checked against the file first: a cut inside a record
        // section is seen at its count; a cut in the tree is seen where it ends.
        if (length >= 120) {
            EXPECT_NE(why.find("ends in the tree section at byte " + std::to_string(length)),
                      std::string::npos)
                << why;
        }
    }
}

TEST(DornReaderRefused, CountsTheFileCannotHold) {
    expectRefused(DornBytes().int32(-1).str(), "negative vertex count -1 at byte 0");
    expectRefused(DornBytes().int32(0).int32(-5).str(), "negative auxiliary vector count -5");
    expectRefused(
        DornBytes().int32(0).int32(0).int32(std::numeric_limits<std::int32_t>::min()).str(),
        "negative triangle count");
    // A 100-byte file that claims 2^31 - 1 vertices is refused before any array
    // is made (the sanitizer build would report a failed huge allocation).
    std::string huge = DornBytes().int32(std::numeric_limits<std::int32_t>::max()).str();
    huge.resize(100, '\0');
    expectRefused(huge,
                  "vertex count 2147483647 at byte 0 needs 25769803764 bytes, but only 96 follow");
    std::string manyTriangles = DornBytes().int32(0).int32(0).int32(5).str();
    manyTriangles.resize(100, '\0');
    expectRefused(manyTriangles, "triangle count 5 at byte 8 needs 120 bytes, but only 88 follow");
}

TEST(DornReaderRefused, IndicesOutsideTheirArrays) {
    std::string bytes = threeNodeFile();
    auto withInt = [&](std::size_t offset, std::int32_t value) {
        std::string copy = bytes;
        const std::string encoded = DornBytes().int32(value).str();
        copy.replace(offset, 4, encoded);
        return copy;
    };
    const std::size_t secondTriangle = 4 + 36 + 4 + 24 + 4 + 24;
    expectRefused(withInt(secondTriangle + 4, 3), "triangle 1 names vertex 3 of 3");
    expectRefused(withInt(secondTriangle + 8, -1), "triangle 1 names vertex -1 of 3");
    const std::size_t firstLeaf = 120 + 25;
    expectRefused(withInt(firstLeaf + 25, -1), "the leaf at byte 145 names triangle -1 of 2");
    expectRefused(withInt(firstLeaf + 25 + 29, 2), "names triangle 2 of 2");
    // Auxiliary indices are carried, never checked.
    ASSERT_NE(loadBytes(withInt(secondTriangle + 12, -77)), nullptr);
    // A file without triangles can hold no valid leaf.
    expectRefused(
        DornBytes().int32(0).int32(0).int32(0).byte(0).box(0, 0, 0, 0, 0, 0).int32(0).str(),
        "names triangle 0 of 0");
}

TEST(DornReaderRefused, NamesThatAreNotRegularFiles) {
    std::string why;
    EXPECT_EQ(loadDornFile("/nonexistent/scene.dorn", &why), nullptr);
    EXPECT_EQ(why, "/nonexistent/scene.dorn: cannot open: No such file or directory");
    EXPECT_EQ(loadDornFile("", &why), nullptr);
    EXPECT_EQ(why, ": no file name given");
    EXPECT_EQ(loadDornFile("/tmp", &why), nullptr);
    EXPECT_EQ(why, "/tmp: is a directory");
    EXPECT_EQ(loadBytes(""), nullptr);  // empty file

    // A FIFO nobody writes to is refused at once instead of blocking.
    TempFile placeholder("");
    const std::string fifo = placeholder.path() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(loadDornFile(fifo, &why), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(why, fifo + ": not a regular file");
    std::remove(fifo.c_str());
}

TEST(DornRoundTrip, WriterOutputLoadsToTheSameScene) {
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
    ASSERT_EQ(loaded->triangles.size(), original->triangles.size());
    EXPECT_EQ(std::memcmp(loaded->triangles.data(), original->triangles.data(),
                          original->triangles.size() * sizeof(MeshTriangle)),
              0);
    // Same tree, node for node, in pre-order.
    std::vector<std::pair<const VolumeNode*, const VolumeNode*>> pending{
        {original->root, loaded->root}};
    std::size_t nodes = 0;
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        ++nodes;
        ASSERT_EQ(a->triangle, b->triangle);
        ASSERT_EQ(a->box.centre, b->box.centre);
        ASSERT_EQ(a->box.halfExtents, b->box.halfExtents);
        ASSERT_EQ(a->left == nullptr, b->left == nullptr);
        if (a->left != nullptr) {
            pending.push_back({a->right, b->right});
            pending.push_back({a->left, b->left});
        }
    }
    EXPECT_EQ(nodes, 599u);
    EXPECT_EQ(readFileBytes(file.path()).size(),
              4u + 12 * 900 + 4 + 24 + 4 + 24 * 300 + 54 * 300 - 25);
}

TEST(DornRoundTrip, WriterRefusesTreesTheFormatCannotHold) {
    TempFile file("");
    std::string why;
    CollisionMesh noTree;
    EXPECT_EQ(saveDornFile(noTree, file.path(), &why), 0);
    EXPECT_NE(why.find("no tree"), std::string::npos);
    auto scene = buildScene({Vec3(), Vec3(1, 0, 0), Vec3(0, 1, 0)},
                            {meshTriangle(0, 1, 2), meshTriangle(0, 2, 1)});
    destroyTree(scene->root->right);
    scene->root->right = nullptr;
    EXPECT_EQ(saveDornFile(*scene, file.path(), &why), 0);
    EXPECT_NE(why.find("one child"), std::string::npos);
    EXPECT_EQ(saveDornFile(*randomScene(1, 3, 1, 1), "/nonexistent/dir/x.dorn", &why), 0);
    EXPECT_NE(why.find("cannot create a file beside it"), std::string::npos);
}

// Read, queried and freed without recursion: one stack frame per level would
// overflow the stack long before this depth.
TEST(DornReaderDepth, AChainFiftyThousandLevelsDeepLoadsAndIsQueried) {
    useViewerEpsilon();
    const auto chain = chainScene(50'000);
    TempFile file("");
    ASSERT_EQ(saveDornFile(*chain, file.path()), 1);
    std::string why;
    auto loaded = loadDornFile(file.path(), &why);
    ASSERT_NE(loaded, nullptr) << why;
    const VolumeNode* node = loaded->root;
    int depth = 0;
    while (node->right != nullptr) {
        ASSERT_EQ(node->left->triangle, 0);
        node = node->right;
        ++depth;
    }
    EXPECT_EQ(depth, 50'000);
    ContactState state;
    EXPECT_EQ(sweepQuery(*loaded, SweptSphere(Vec3(2, 2, 5), Vec3(0, 0, -10), 1.0f), state), 1);
    EXPECT_EQ(state.hitTriangles.size(), 50'001u);
    loaded.reset();
}

}  // namespace
