#include "scene/dorn_writer.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include "scene/node_stack.h"
#include "scene/output_file.h"

namespace sweepview {

namespace {

// Little-endian encoder that fills a block of bytes before each write.
class ByteSink {
public:
    explicit ByteSink(OutputFile& file) : file_(file), buffer_(CAPACITY) {}

    void writeByte(std::uint8_t value) {
        reserve(1);
        buffer_[used_++] = value;
    }

    void writeInt32(std::int32_t value) {
        reserve(4);
        auto bits = static_cast<std::uint32_t>(value);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&buffer_[used_], &bits, 4);
        } else {
            for (int i = 0; i < 4; ++i, bits >>= 8) {
                buffer_[used_ + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits);
            }
        }
        used_ += 4;
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

    void flush() {
        file_.write(buffer_.data(), used_);
        used_ = 0;
    }

private:
    void reserve(std::size_t bytes) {
        if (used_ + bytes > CAPACITY) {
            flush();
        }
    }

    static constexpr std::size_t CAPACITY = 1 << 18;
    OutputFile& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
};

bool fitsCount(std::size_t size) {
    return size <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

bool hasOnlyFullNodes(const VolumeNode& root) {
    NodeStack<const VolumeNode> pending;
    pending.push(&root);
    while (!pending.empty()) {
        const VolumeNode* node = pending.pop();
        if ((node->left == nullptr) != (node->right == nullptr)) {
            return false;
        }
        if (node->left != nullptr) {
            pending.push(node->right);
            pending.push(node->left);
        }
    }
    return true;
}

void writeContent(ByteSink& sink, const std::vector<Vec3>& vertices,
                  const std::vector<Vec3>& auxVectors, const std::vector<MeshTriangle>& triangles,
                  const std::vector<PreorderNode>& tree) {
    for (const std::vector<Vec3>* vectors : {&vertices, &auxVectors}) {
        sink.writeInt32(static_cast<std::int32_t>(vectors->size()));
        for (const Vec3& v : *vectors) {
            sink.writeVec3(v);
        }
    }
    sink.writeInt32(static_cast<std::int32_t>(triangles.size()));
    for (const MeshTriangle& t : triangles) {
        for (std::int32_t value : {t.vertex0, t.vertex1, t.vertex2, t.aux0, t.aux1, t.aux2}) {
            sink.writeInt32(value);
        }
    }
    for (const PreorderNode& node : tree) {
        const bool inner = node.triangle == NO_TRIANGLE;
        sink.writeByte(inner ? 1 : 0);
        sink.writeVec3(node.centre);
        sink.writeVec3(node.halfExtents);
        if (!inner) {
            sink.writeInt32(node.triangle);
        }
    }
}

}  // namespace

int saveDornFile(const std::string& fileName, const std::vector<Vec3>& vertices,
                 const std::vector<Vec3>& auxVectors, const std::vector<MeshTriangle>& triangles,
                 const std::vector<PreorderNode>& tree, std::string* whyFailed) {
    auto fail = [&](const std::string& message) {
        if (whyFailed != nullptr) {
            *whyFailed = fileName + ": " + message;
        }
        return 0;
    };
    if (!fitsCount(vertices.size()) || !fitsCount(auxVectors.size()) ||
        !fitsCount(triangles.size())) {
        return fail("too many elements for the file's 32-bit counts");
    }
    if (tree.empty()) {
        return fail("the scene has no tree");
    }
    if (!isCompletePreorder(tree)) {
        return fail("the tree is not one complete tree in pre-order");
    }
    OutputFile file;
    if (!file.open(fileName, whyFailed)) {
        return 0;
    }
    ByteSink sink(file);
    writeContent(sink, vertices, auxVectors, triangles, tree);
    sink.flush();
    return file.commit(whyFailed) ? 1 : 0;
}

int saveDornFile(const CollisionMesh& scene, const std::string& fileName, std::string* whyFailed) {
    if (scene.root == nullptr) {
        if (whyFailed != nullptr) {
            *whyFailed = fileName + ": the scene has no tree";
        }
        return 0;
    }
    if (!hasOnlyFullNodes(*scene.root)) {
        if (whyFailed != nullptr) {
            *whyFailed = fileName + ": a tree node has one child only";
        }
        return 0;
    }
    return saveDornFile(fileName, scene.vertices, scene.auxVectors, scene.triangles,
                        flattenTree(*scene.root), whyFailed);
}

}  // namespace sweepview
