#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sweepview {

// An 8-bit RGB PNG of width by height pixels from rows given top row first,
// three bytes a pixel, deflated by zlib. Empty when compression fails (out
// of memory).
std::string encodePng(std::uint32_t width, std::uint32_t height,
                      const std::vector<std::uint8_t>& rgb);

// Reads the current GL read buffer's width by height pixels (bottom row first,
// as GL gives them) and writes them as a PNG through the project's file
// writer. Returns true; or false with "<path>: <reason>" in *whyFailed.
bool saveFramePng(const std::string& path, int width, int height, std::string* whyFailed);

}  // namespace sweepview
