#include "scene/mesh_format_hint.h"

#include <unistd.h>

#include <cstring>
#include <string_view>

namespace sweepview {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Text formats may start with a byte-order mark and blank space.
std::string_view skipBlank(std::string_view text) {
    if (startsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n')) {
        text.remove_prefix(1);
    }
    return text;
}

// Every line up to the last complete one is an OBJ statement or a comment.
bool looksLikeObj(std::string_view text) {
    static constexpr std::string_view KEYWORDS[] = {"v ", "vn ", "vt ", "f ", "o ", "g ", "s ",
                                                    "mtllib ", "usemtl ", "l ", "#", "vp "};
    const std::size_t end = text.rfind('\n');
    if (end == std::string_view::npos) {
        return false;
    }
    bool vertex = false;
    for (std::size_t at = 0; at < end;) {
        const std::size_t next = text.find('\n', at);
        std::string_view line = skipBlank(text.substr(at, next - at));
        at = next + 1;
        if (line.empty()) {
            continue;
        }
        bool known = false;
        for (std::string_view keyword : KEYWORDS) {
            known = known || startsWith(line, keyword);
        }
        if (!known) {
            return false;
        }
        vertex = vertex || startsWith(line, "v ");
    }
    return vertex;
}

}  // namespace

const char* meshFormatOf(const unsigned char* bytes, std::size_t size, std::uint64_t fileSize) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes), size);
    const std::string_view text = skipBlank(raw);
    if (startsWith(raw, "ply\n") || startsWith(raw, "ply\r\n")) {
        return "PLY";
    }
    if (startsWith(raw, "glTF")) {
        return "glTF";
    }
    if (startsWith(text, "OFF") || startsWith(text, "COFF") || startsWith(text, "NOFF")) {
        return "OFF";
    }
    if (startsWith(text, "solid") && text.find("facet") != std::string_view::npos) {
        return "STL";
    }
    if (startsWith(text, "<?xml") || startsWith(text, "<COLLADA")) {
        return text.find("<COLLADA") != std::string_view::npos ? "COLLADA" : nullptr;
    }
    if (startsWith(text, "{") && text.find("\"asset\"") != std::string_view::npos) {
        return "glTF";
    }
    // Binary STL: an 80-byte header, a triangle count, 50 bytes per triangle.
    if (size >= 84) {
        std::uint32_t count = 0;
        for (int i = 3; i >= 0; --i) {
            count = (count << 8) | bytes[80 + i];
        }
        if (count > 0 && fileSize == 84 + 50 * static_cast<std::uint64_t>(count)) {
            return "STL";
        }
    }
    return looksLikeObj(text) ? "OBJ" : nullptr;
}

std::string meshFormatHint(int fd, std::uint64_t fileSize) {
    unsigned char bytes[1024];
    const ssize_t size = ::pread(fd, bytes, sizeof bytes, 0);
    if (size <= 0) {
        return {};
    }
    const char* format = meshFormatOf(bytes, static_cast<std::size_t>(size), fileSize);
    if (format == nullptr) {
        return {};
    }
    return std::string("; it looks like ") + (format[0] == 'O' || format[0] == 'S' ? "an " : "a ") + format +
           " mesh: convert it with dorn build";
}

}  // namespace sweepview
