#include "scene/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <streambuf>
#include <vector>

namespace sweepview {

namespace {

constexpr int MAX_LINKS = 40;  // as the kernel's own limit on a chain of links

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fail(const std::string& path, const std::string& reason, std::string* whyFailed) {
    if (whyFailed != nullptr) {
        *whyFailed = path + ": " + reason;
    }
    return false;
}

bool failErrno(const std::string& path, const std::string& doing, int error, std::string* whyFailed) {
    return fail(path, doing + ": " + std::strerror(error), whyFailed);
}

// The file a name finally refers to: its chain of symbolic links followed,
// the last name possibly not existing yet. Returns 0, or an errno value.
int followLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hop = 0; hop < MAX_LINKS; ++hop) {
        struct stat info{};
        if (::lstat(target.c_str(), &info) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(info.st_mode)) {
            return 0;
        }
        std::vector<char> link(static_cast<std::size_t>(PATH_MAX) + 1);
        const ssize_t size = ::readlink(target.c_str(), link.data(), link.size() - 1);
        if (size < 0) {
            return errno;
        }
        const std::string to(link.data(), static_cast<std::size_t>(size));
        target = to.starts_with('/') ? to : folderOf(target) + "/" + to;
    }
    return ELOOP;
}

// Whether the name must be opened as it is rather than replaced: it exists
// and is not a regular file, or it names one of the process's open files
// (/dev/stdout, /proc/self/fd/1), which a rename would take away from it.
bool writtenDirectly(const std::string& path, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return true;
    }
    return path.starts_with("/dev/std") || path.starts_with("/dev/fd/") ||
           path.starts_with("/proc/self/fd/");
}

// A temporary name beside target, short so that any legal target name works.
int createTemporary(const std::string& target, std::string& temporary) {
    static std::atomic<std::uint64_t> counter{0};
    const std::string folder = folderOf(target) + "/.sv-";
    std::uint64_t seed = static_cast<std::uint64_t>(
                             std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         (static_cast<std::uint64_t>(::getpid()) << 32);
    static constexpr char LETTERS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t bits = seed ^ (++counter * 0x9E3779B97F4A7C15ull);
        bits ^= bits >> 29;
        bits *= 0xBF58476D1CE4E5B9ull;
        temporary = folder;
        for (int i = 0; i < 8; ++i, bits /= 36) {
            temporary += LETTERS[bits % 36];
        }
        // 0666 and O_EXCL: the umask applies as to any new file, and nothing
        // that already lies there is ever opened.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
        seed += 1;
    }
    errno = EEXIST;
    return -1;
}

// A stream buffer over an OutputFile, for writers that print.
class OutputBuffer : public std::streambuf {
public:
    explicit OutputBuffer(OutputFile& file) : file_(file), buffer_(1 << 16) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

protected:
    int_type overflow(int_type c) override {
        sync();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override {
        file_.write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return 0;
    }

private:
    OutputFile& file_;
    std::vector<char> buffer_;
};

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

bool OutputFile::open(const std::string& path, std::string* whyFailed) {
    if (fd_ >= 0 || !temporary_.empty()) {
        return fail(path, "an output file is already open", whyFailed);
    }
    if (path.empty()) {
        return fail("(empty name)", "no file name given", whyFailed);
    }
    path_ = path;
    error_ = 0;
    struct stat info{};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return failErrno(path, "cannot write there", errno, whyFailed);
    }
    if (exists && S_ISDIR(info.st_mode)) {
        return failErrno(path, "cannot write there", EISDIR, whyFailed);
    }
    if (exists && writtenDirectly(path, info)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0 || failErrno(path, "cannot open", errno, whyFailed);
    }
    if (const int error = followLinks(path, target_); error != 0) {
        return failErrno(path, "cannot follow its links", error, whyFailed);
    }
    replacing_ = exists;
    mode_ = info.st_mode & 07777;
    owner_ = info.st_uid;
    group_ = info.st_gid;
    fd_ = createTemporary(target_, temporary_);
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        return failErrno(path, "cannot create a file in its folder", error, whyFailed);
    }
    return true;
}

void OutputFile::write(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (error_ == 0 && size > 0 && fd_ >= 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written > 0) {
            bytes += written;
            size -= static_cast<std::size_t>(written);
        } else if (written == 0) {
            error_ = EIO;
        } else if (errno != EINTR) {
            error_ = errno;
        }
    }
}

bool OutputFile::commit(std::string* whyFailed) {
    if (fd_ < 0) {
        return fail(path_, "no output file is open", whyFailed);
    }
    int error = error_;
    if (!temporary_.empty()) {
        if (error == 0 && replacing_) {
            // The replacement keeps the permissions and, where allowed, the
            // owner of the file it replaces.
            if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
                error = errno;
            }
            [[maybe_unused]] const int ignored = ::fchown(fd_, owner_, group_);
        }
        if (error == 0 && ::fsync(fd_) != 0 && errno != EINVAL && errno != ENOTSUP) {
            error = errno;
        }
    }
    if (::close(fd_) != 0 && error == 0) {
        error = errno;
    }
    fd_ = -1;
    if (error == 0 && !temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        return failErrno(path_, "write failed", error, whyFailed);  // the destructor removes the temporary
    }
    temporary_.clear();
    return true;
}

bool checkOutputPath(const std::string& path, std::string* whyFailed) {
    if (path.empty()) {
        return fail("(empty name)", "no file name given", whyFailed);
    }
    struct stat info{};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return failErrno(path, "cannot write there", EISDIR, whyFailed);
        }
        if (::access(path.c_str(), W_OK) != 0) {
            return failErrno(path, "cannot write there", errno, whyFailed);
        }
        if (writtenDirectly(path, info)) {
            return true;
        }
    } else if (errno != ENOENT) {
        return failErrno(path, "cannot write there", errno, whyFailed);
    }
    std::string target;
    if (const int error = followLinks(path, target); error != 0) {
        return failErrno(path, "cannot follow its links", error, whyFailed);
    }
    const std::string folder = folderOf(target);
    struct stat folderInfo{};
    if (::stat(folder.c_str(), &folderInfo) != 0) {
        return failErrno(path, "cannot write in its folder " + folder, errno, whyFailed);
    }
    if (!S_ISDIR(folderInfo.st_mode)) {
        return failErrno(path, "cannot write in " + folder, ENOTDIR, whyFailed);
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return failErrno(path, "cannot write in its folder " + folder, errno, whyFailed);
    }
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && nameOf(target).size() > static_cast<std::size_t>(nameMax)) {
        return failErrno(path, "cannot write there", ENAMETOOLONG, whyFailed);
    }
    return true;
}

bool sameOutputFile(const std::string& a, const std::string& b) {
    struct stat infoA{};
    struct stat infoB{};
    if (::stat(a.c_str(), &infoA) == 0 && ::stat(b.c_str(), &infoB) == 0) {
        // Two outputs to /dev/null harm nothing; only a file can be clobbered.
        return S_ISREG(infoA.st_mode) && infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    }
    std::string targetA;
    std::string targetB;
    if (followLinks(a, targetA) != 0 || followLinks(b, targetB) != 0) {
        return a == b;
    }
    char folderA[PATH_MAX];
    char folderB[PATH_MAX];
    if (::realpath(folderOf(targetA).c_str(), folderA) == nullptr ||
        ::realpath(folderOf(targetB).c_str(), folderB) == nullptr) {
        return targetA == targetB;
    }
    return std::strcmp(folderA, folderB) == 0 && nameOf(targetA) == nameOf(targetB);
}

bool writeOutputFile(const std::string& path, const std::function<void(std::ostream&)>& fill,
                     std::string* whyFailed) {
    OutputFile file;
    if (!file.open(path, whyFailed)) {
        return false;
    }
    OutputBuffer buffer(file);
    std::ostream out(&buffer);
    fill(out);
    out.flush();
    return file.commit(whyFailed);
}

}  // namespace sweepview
