#include "scene/mesh_format_hint.h"

#include <unistd.h>

#include <cstring>
#include <string_view>
#include <utility>

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

// Text: UTF-8 without control bytes but tab and line ends (a dorn file's
// small counts and indices hold zero bytes); a character the sample cuts
// short at its end counts.
bool looksLikeText(std::string_view sample) {
    if (sample.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < sample.size();) {
        const auto byte = static_cast<unsigned char>(sample[i++]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7f) {
                return false;
            }
            continue;
        }
        const int following = byte >= 0xc2 && byte <= 0xdf   ? 1
                              : byte >= 0xe0 && byte <= 0xef ? 2
                              : byte >= 0xf0 && byte <= 0xf4 ? 3
                                                             : -1;
        if (following < 0) {
            return false;
        }
        for (int k = 0; k < following && i < sample.size(); ++k) {
            if ((static_cast<unsigned char>(sample[i++]) & 0xc0) != 0x80) {
                return false;
            }
        }
    }
    return true;
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
    if (startsWith(raw, "Kaydara FBX Binary") || startsWith(text, "; FBX")) {
        return "FBX";
    }
    // 3DS: the main chunk's id 0x4D4D, then its length, the whole file.
    if (size >= 6 && bytes[0] == 0x4D && bytes[1] == 0x4D) {
        std::uint32_t length = 0;
        for (int i = 5; i >= 2; --i) {
            length = (length << 8) | bytes[i];
        }
        if (length == fileSize) {
            return "3DS";
        }
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

std::string withArticle(const char* format) {
    // Read letter by letter: "an OBJ", "an STL", "an FBX".
    return (format[0] == 'O' || format[0] == 'S' || format[0] == 'F' ? "an " : "a ") + std::string(format);
}

const char* fileKindOf(const unsigned char* bytes, std::size_t size) {
    static constexpr std::pair<std::string_view, const char*> SIGNATURES[] = {
        {"\x89PNG\r\n\x1a\n", "a PNG image"}, {"\xff\xd8\xff", "a JPEG image"},
        {"GIF87a", "a GIF image"},               {"GIF89a", "a GIF image"},
        {"%PDF-", "a PDF document"},             {"PK\x03\x04", "a ZIP archive"},
        {"\x1f\x8b", "a gzip archive"},          {"\x7f" "ELF", "an ELF program"},
    };
    const std::string_view raw(reinterpret_cast<const char*>(bytes), size);
    for (const auto& [signature, kind] : SIGNATURES) {
        if (startsWith(raw, signature)) {
            return kind;
        }
    }
    return looksLikeText(raw) ? "a text file" : nullptr;
}

std::string notASceneReason(int fd, std::uint64_t fileSize) {
    if (fileSize == 0) {
        return "not a dorn scene file (it is empty)";
    }
    unsigned char bytes[1024];
    const ssize_t size = ::pread(fd, bytes, sizeof bytes, 0);
    if (size <= 0) {
        return {};
    }
    const auto length = static_cast<std::size_t>(size);
    if (const char* format = meshFormatOf(bytes, length, fileSize)) {
        return "not a dorn scene file; it looks like " + withArticle(format) +
               " mesh: convert it with dorn build";
    }
    if (const char* kind = fileKindOf(bytes, length)) {
        return std::string("not a dorn scene file (it looks like ") + kind + ")";
    }
    return {};
}

std::string mayBeMeshHint(int fd, std::uint64_t fileSize) {
    unsigned char bytes[1024];
    const ssize_t size = ::pread(fd, bytes, sizeof bytes, 0);
    const char* format = size > 0 ? meshFormatOf(bytes, static_cast<std::size_t>(size), fileSize) : nullptr;
    return format == nullptr ? std::string()
                             : "it may be " + withArticle(format) + " mesh: convert it with dorn build";
}

}  // namespace sweepview
