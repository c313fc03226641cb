#include "scene/dorn_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <vector>

#include "scene/node_stack.h"

namespace {

// Little-endian encoder that collects a block of bytes before each fwrite.
class ByteSink {
public:
    explicit ByteSink(std::FILE* file) : file_(file) { buffer_.reserve(CAPACITY); }

    void writeByte(std::uint8_t value) {
        buffer_.push_back(value);
        if (buffer_.size() >= CAPACITY) {
            flush();
        }
    }

    void writeInt32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            writeByte(static_cast<std::uint8_t>(bits >> shift));
        }
    }

    void writeFloat(float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        writeInt32(static_cast<std::int32_t>(bits));
    }

    void writeVec3(const Vec3& v) {
        writeFloat(v.x);
        writeFloat(v.y);
        writeFloat(v.z);
    }

    // Returns false when any write so far has failed.
    bool flush() {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
            failed_ = true;
        }
        buffer_.clear();
        return !failed_;
    }

private:
    static constexpr std::size_t CAPACITY = 1 << 18;
    std::FILE* file_;
    std::vector<std::uint8_t> buffer_;
    bool failed_ = false;
};

bool fitsCount(std::size_t size) {
    return size <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

// Empty when the tree can be written; otherwise what is wrong with it.
std::string checkTree(const CollisionMesh& scene) {
    if (scene.root == nullptr) {
        return "the scene has no tree";
    }
    NodeStack<const VolumeNode> pending;
    pending.push(scene.root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        if ((node->left == nullptr) != (node->right == nullptr)) {
            return "a tree node has one child only";
        }
        if (node->left != nullptr) {
            pending.push(node->right);
            pending.push(node->left);
        }
    }
    return {};
}

void writeTree(ByteSink& sink, const CollisionMesh& scene) {
    NodeStack<const VolumeNode> pending;
    pending.push(scene.root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        const bool inner = node->left != nullptr;
        sink.writeByte(inner ? 1 : 0);
        sink.writeVec3(node->box.centre);
        sink.writeVec3(node->box.halfExtents);
        if (inner) {
            pending.push(node->right);
            pending.push(node->left);
        } else {
            sink.writeInt32(node->triangle);
        }
    }
}

}  // namespace

int saveDornFile(const CollisionMesh& scene, const std::string& fileName, std::string* whyFailed) {
    auto fail = [&](const std::string& message) {
        if (whyFailed != nullptr) {
            *whyFailed = fileName + ": " + message;
        }
        return 0;
    };
    if (!fitsCount(scene.vertices.size()) || !fitsCount(scene.auxVectors.size()) ||
        !fitsCount(scene.triangles.size())) {
        return fail("too many elements for the file's 32-bit counts");
    }
    const std::string treeProblem = checkTree(scene);
    if (!treeProblem.empty()) {
        return fail(treeProblem);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        return fail(std::string("cannot open for writing: ") + std::strerror(errno));
    }
    ByteSink sink(file.get());
    sink.writeInt32(static_cast<std::int32_t>(scene.vertices.size()));
    for (const Vec3& v : scene.vertices) {
        sink.writeVec3(v);
    }
    sink.writeInt32(static_cast<std::int32_t>(scene.auxVectors.size()));
    for (const Vec3& v : scene.auxVectors) {
        sink.writeVec3(v);
    }
    sink.writeInt32(static_cast<std::int32_t>(scene.triangles.size()));
    for (const MeshTriangle& t : scene.triangles) {
        for (std::int32_t value : {t.vertex0, t.vertex1, t.vertex2, t.aux0, t.aux1, t.aux2}) {
            sink.writeInt32(value);
        }
    }
    writeTree(sink, scene);
    const bool written = sink.flush();
    const int errorAfterWrite = errno;
    if (std::fclose(file.release()) != 0 || !written) {
        return fail(std::string("write failed: ") +
                    std::strerror(written ? errno : errorAfterWrite));
    }
    return 1;
}
