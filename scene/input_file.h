#pragma once

#include <cstdint>
#include <string>

namespace sweepview {

// Opens fileName for reading as a regular file, so that every command refuses
// an input in the same words. A FIFO without a writer is refused at once
// rather than blocking the open. Returns the descriptor (the caller closes it)
// with the file's size in *size; or -1 with the reason in *why:
// "no file name given", "the name holds a NUL byte, which no file name can",
// "cannot open: <the system's reason>", "is a directory" or "not a regular file".
[[nodiscard]] int openInputFile(const std::string& fileName, std::uint64_t* size, std::string* why);

// fileName as messages show it: at most 120 bytes (a hostile name of a
// megabyte would otherwise be echoed whole), bytes that are not printable as
// \xNN so that a name cannot drive the terminal.
std::string nameForMessages(const std::string& fileName);

}  // namespace sweepview
