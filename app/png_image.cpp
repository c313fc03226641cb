#include "app/png_image.h"

#include <GL/gl.h>
#include <zlib.h>

#include <array>

#include "scene/output_file.h"

namespace sweepview {

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void putChunk(std::string& out, const char type[5], const std::string& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    putBigEndian(out, crc32(reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size()));
}

}  // namespace

std::string encodePng(std::uint32_t width, std::uint32_t height,
                      const std::vector<std::uint8_t>& rgb) {
    // Each row starts with filter type 0 (none).
    std::string raw;
    raw.reserve((3 * static_cast<std::size_t>(width) + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(
            reinterpret_cast<const char*>(rgb.data()) + 3 * static_cast<std::size_t>(width) * y,
            3 * static_cast<std::size_t>(width));
    }
    // Deflated: the window's few flat colours shrink a frame to a few kilobytes.
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string zlib(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(zlib.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    zlib.resize(size);

    std::string header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header +=
        std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
    std::string png = "\x89PNG\r\n\x1a\n";
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", "");
    return png;
}

bool saveFramePng(const std::string& path, int width, int height, std::string* whyFailed) {
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    std::vector<std::uint8_t> bottomUp(3 * w * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (std::size_t y = 0; y < h; ++y) {
        std::copy_n(bottomUp.begin() + static_cast<std::ptrdiff_t>(3 * w * (h - 1 - y)), 3 * w,
                    topDown.begin() + static_cast<std::ptrdiff_t>(3 * w * y));
    }
    const std::string png =
        encodePng(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), topDown);
    if (png.empty()) {
        if (whyFailed != nullptr) {
            *whyFailed = path + ": cannot compress the picture";
        }
        return false;
    }
    return writeOutputFile(
        path,
        [&](std::ostream& out) { out.write(png.data(), static_cast<std::streamsize>(png.size())); },
        whyFailed);
}

}  // namespace sweepview
