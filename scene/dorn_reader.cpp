#include "scene/dorn_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "scene/compiled_tree.h"
#include "scene/huge_pages.h"
#include "scene/input_file.h"
#include "scene/mesh_format_hint.h"
#include "scene/preorder_tree.h"

namespace sweepview {

namespace {

// Sizes of the file's records, in bytes.
constexpr std::uint64_t VECTOR_BYTES = 12;
constexpr std::uint64_t TRIANGLE_BYTES = 24;
// Below the C library's threshold for mapping memory afresh: a larger buffer
// would be mapped, faulted in and unmapped again on every load.
constexpr std::size_t BUFFER_BYTES = 64 * 1024;

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

// Buffered little-endian decoder over an open regular file of known size. The
// first failure is kept (sticky): later reads return 0 and change nothing, so
// callers check ok() once per record rather than after every value.
class ByteSource {
public:
    ByteSource(int fd, std::uint64_t fileSize)
        : fd_(fd), fileSize_(fileSize), buffer_(BUFFER_BYTES) {}

    std::uint64_t offset() const { return consumed_ + pos_; }
    std::uint64_t bytesLeft() const { return offset() < fileSize_ ? fileSize_ - offset() : 0; }
    void setSection(const char* section) { section_ = section; }
    const char* section() const { return section_; }
    bool ok() const { return error_.empty(); }
    bool readFailed() const { return readFailed_; }  // the system's read failed, not the content
    const std::string& error() const { return error_; }
    void fail(std::string message) {
        if (ok()) {
            error_ = std::move(message);
        }
    }

    // Each read takes the value in full or fails the load: a value is never
    // taken in part.
    std::uint8_t readByte() {
        if (!ensure(1)) {
            return 0;
        }
        return buffer_[pos_++];
    }

    std::int32_t readInt32() {
        if (!ensure(4)) {
            return 0;
        }
        const std::uint8_t* b = &buffer_[pos_];
        pos_ += 4;
        const std::uint32_t bits = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                   (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
        return static_cast<std::int32_t>(bits);
    }

    float readFloat() {
        const std::uint32_t bits = static_cast<std::uint32_t>(readInt32());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    Vec3 readVec3() {
        const float x = readFloat();
        const float y = readFloat();
        const float z = readFloat();
        return Vec3(x, y, z);
    }

private:
    bool ensure(std::size_t needed) {
        if (end_ - pos_ >= needed) {
            return true;
        }
        if (!ok()) {
            return false;
        }
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        consumed_ += pos_;
        end_ -= pos_;
        pos_ = 0;
        while (end_ < needed) {
            const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (got > 0) {
                end_ += static_cast<std::size_t>(got);
            } else if (got < 0 && errno == EINTR) {
                continue;
            } else if (got < 0) {
                readFailed_ = ok();
                fail(std::string("read error in the ") + section_ + " section at byte " +
                     std::to_string(offset()) + ": " + std::strerror(errno));
                return false;
            } else {
                fail(std::string("the file ends in the ") + section_ + " section at byte " +
                     std::to_string(consumed_ + end_) + " (" + std::to_string(needed - end_) +
                     (needed - end_ == 1 ? " more byte was needed)" : " more bytes were needed)"));
                return false;
            }
        }
        return true;
    }

    int fd_;
    std::uint64_t fileSize_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;  // bytes dropped from the front of the buffer
    const char* section_ = "vertex";
    std::string error_;
    bool readFailed_ = false;
};

// Reads a count and checks that the rest of the file can hold count records of
// recordBytes, so that no array is ever made larger than the file. Returns 0
// when the count is refused (the source then holds the reason).
std::size_t readCount(ByteSource& source, const char* what, std::uint64_t recordBytes) {
    const std::uint64_t at = source.offset();
    const std::int32_t count = source.readInt32();
    if (count < 0) {
        source.fail(std::string("negative ") + what + " count " + std::to_string(count) +
                    " at byte " + std::to_string(at));
        return 0;
    }
    const std::uint64_t needed = static_cast<std::uint64_t>(count) * recordBytes;
    if (needed > source.bytesLeft()) {
        source.fail(std::string("the file ends in the ") + what + " section (" + what + " count " +
                    std::to_string(count) + " at byte " + std::to_string(at) + " needs " +
                    std::to_string(needed) + " bytes, but only " +
                    std::to_string(source.bytesLeft()) + " follow)");
        return 0;
    }
    return static_cast<std::size_t>(count);
}

bool readVectors(ByteSource& source, const char* what, std::vector<Vec3>& out) {
    const std::size_t count = readCount(source, what, VECTOR_BYTES);
    if (!source.ok()) {
        return false;
    }
    std::vector<Vec3> vectors;
    vectors.reserve(count);
    adviseHugePages(vectors.data(), count * sizeof(Vec3));
    vectors.resize(count);
    for (Vec3& v : vectors) {
        v = source.readVec3();
    }
    out = std::move(vectors);
    return source.ok();
}

bool checkVertexIndex(ByteSource& source, std::int32_t index, std::size_t triangle,
                      std::size_t vertexCount) {
    if (index < 0 || static_cast<std::size_t>(index) >= vertexCount) {
        source.fail("triangle " + std::to_string(triangle) + " names vertex " +
                    std::to_string(index) + " of " + std::to_string(vertexCount));
        return false;
    }
    return true;
}

bool readTriangles(ByteSource& source, CollisionMesh& scene) {
    const std::size_t count = readCount(source, "triangle", TRIANGLE_BYTES);
    if (!source.ok()) {
        return false;
    }
    std::vector<MeshTriangle> triangles;
    triangles.reserve(count);
    adviseHugePages(triangles.data(), count * sizeof(MeshTriangle));
    triangles.resize(count);
    const std::size_t vertexCount = scene.vertices.size();
    for (std::size_t i = 0; i < count; ++i) {
        MeshTriangle& t = triangles[i];
        t.vertex0 = source.readInt32();
        t.vertex1 = source.readInt32();
        t.vertex2 = source.readInt32();
        t.aux0 = source.readInt32();
        t.aux1 = source.readInt32();
        t.aux2 = source.readInt32();
        if (!source.ok() || !checkVertexIndex(source, t.vertex0, i, vertexCount) ||
            !checkVertexIndex(source, t.vertex1, i, vertexCount) ||
            !checkVertexIndex(source, t.vertex2, i, vertexCount)) {
            return false;
        }
    }
    scene.triangles = std::move(triangles);
    return true;
}

// The tree's records in file order (pre-order), without recursion; the stack
// counts the inner nodes whose second child is still to come. Nodes are made
// afterwards, all at once.
bool readTree(ByteSource& source, const CollisionMesh& scene, std::vector<PreorderNode>& tree) {
    std::size_t waitingForRight = 0;
    const std::size_t triangleCount = scene.triangles.size();
    for (;;) {
        const std::uint64_t at = source.offset();
        const std::uint8_t flag = source.readByte();
        PreorderNode node;
        node.centre = source.readVec3();
        node.halfExtents = source.readVec3();
        if (!source.ok()) {
            return false;
        }
        if (flag != 0) {
            tree.push_back(node);
            ++waitingForRight;
            continue;
        }
        node.triangle = source.readInt32();
        if (!source.ok()) {
            return false;
        }
        if (node.triangle < 0 || static_cast<std::size_t>(node.triangle) >= triangleCount) {
            source.fail("the leaf at byte " + std::to_string(at) + " names triangle " +
                        std::to_string(node.triangle) + " of " + std::to_string(triangleCount));
            return false;
        }
        tree.push_back(node);
        if (waitingForRight == 0) {
            return true;
        }
        --waitingForRight;
    }
}

bool readScene(ByteSource& source, CollisionMesh& scene) {
    source.setSection("vertex");
    if (!readVectors(source, "vertex", scene.vertices)) {
        return false;
    }
    source.setSection("auxiliary vector");
    if (!readVectors(source, "auxiliary vector", scene.auxVectors)) {
        return false;
    }
    source.setSection("triangle");
    if (!readTriangles(source, scene)) {
        return false;
    }
    source.setSection("tree");
    // A tree of one triangle per leaf has 2 Nt - 1 nodes; never more than the
    // rest of the file can hold (25 bytes a node at least).
    std::vector<PreorderNode> tree;
    tree.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
        2 * static_cast<std::uint64_t>(scene.triangles.size()), source.bytesLeft() / 25 + 1)));
    adviseHugePages(tree.data(), tree.capacity() * sizeof(PreorderNode));
    if (!readTree(source, scene, tree)) {
        return false;
    }
    scene.root = linkTreeInPool(tree, scene.nodePool);
    return true;
}

// Why a file that failed to load is refused. When its very first value, the
// vertex count, is impossible (only the count is checked in the vertex
// section), it is no scene: what it looks like instead when its first bytes
// tell (the reader's detail would only confuse), else the detail. Read
// partly as a scene, it is more likely a damaged one: the detail, after a
// guess at a mesh when its first bytes allow one.
std::string refusal(const ByteSource& source, int fd, std::uint64_t fileSize) {
    if (source.readFailed()) {
        return source.error();
    }
    if (std::strcmp(source.section(), "vertex") == 0) {
        const std::string reason = notASceneReason(fd, fileSize);
        return reason.empty() ? "not a dorn scene file, or a damaged one: " + source.error() : reason;
    }
    const std::string guess = mayBeMeshHint(fd, fileSize);
    return guess.empty() ? source.error() : guess + "; read as a scene, " + source.error();
}

}  // namespace

std::unique_ptr<CollisionMesh> loadDornFile(const std::string& fileName, std::string* whyRefused) {
    auto refuse = [&](const std::string& message) -> std::unique_ptr<CollisionMesh> {
        if (whyRefused != nullptr) {
            *whyRefused = nameForMessages(fileName) + ": " + message;
        }
        return nullptr;
    };
    std::string why;
    std::uint64_t size = 0;
    FileHandle file(openInputFile(fileName, &size, &why));
    if (file.fd() < 0) {
        return refuse(why);
    }
    try {
        ByteSource source(file.fd(), size);
        auto scene = std::make_unique<CollisionMesh>();
        if (!readScene(source, *scene)) {
            return refuse(refusal(source, file.fd(), size));
        }
        compileScene(*scene);
        return scene;
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for the scene");
    }
}

}  // namespace sweepview
