#include "scene/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sweepview {

int openInputFile(const std::string& fileName, std::uint64_t* size, std::string* why) {
    if (fileName.empty()) {
        *why = "no file name given";
        return -1;
    }
    // The system would see the name only up to its first NUL and might open
    // another file than the one named.
    if (fileName.find('\0') != std::string::npos) {
        *why = "the name holds a NUL byte, which no file name can";
        return -1;
    }
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string("cannot open: ") + std::strerror(errno);
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        *why = std::string("cannot read its size: ") + std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        *why = "is a directory";
    } else if (!S_ISREG(info.st_mode)) {
        *why = "not a regular file";
    } else {
        *size = static_cast<std::uint64_t>(info.st_size);
        return fd;
    }
    ::close(fd);
    return -1;
}

std::string nameForMessages(const std::string& fileName) {
    constexpr std::size_t SHOWN = 120;
    std::string shown;
    for (std::size_t i = 0; i < fileName.size() && i < SHOWN; ++i) {
        const auto byte = static_cast<unsigned char>(fileName[i]);
        if (byte < 0x20 || byte == 0x7f) {
            static const char HEX[] = "0123456789abcdef";
            shown += {'\\', 'x', HEX[byte >> 4], HEX[byte & 15]};
        } else {
            shown += static_cast<char>(byte);
        }
    }
    if (fileName.size() > SHOWN) {
        shown += "... (a name of " + std::to_string(fileName.size()) + " bytes)";
    }
    return shown;
}

}  // namespace sweepview
