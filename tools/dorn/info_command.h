#pragma once

#include <string>

namespace sweepview {

// `dorn info`: loads file with the viewer's reader and prints what it holds and
// whether the query can trust its tree. Returns 0 when the file loads (with
// strict: and every box encloses its subtree), 1 otherwise, with the reason on
// standard error.
[[nodiscard]] int runInfo(const std::string& file, bool strict);

}  // namespace sweepview
