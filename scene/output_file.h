#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

namespace sweepview {

// The one way every command writes a file. A regular file, or a name that
// does not exist yet, is written to a temporary file in the same folder and
// renamed over it when complete, so a failed write leaves the old file or
// nothing; a symbolic link is followed and its target replaced that way (the
// link stays). A device, FIFO or other file that is not regular (/dev/null,
// /dev/stdout) is opened and written directly, never replaced. Every failure
// is reported as "<path>: <reason>" with the system's reason.
//
// A write past the file size limit raises SIGXFSZ, which ends a process that
// does not ignore it before the temporary file can be removed; a program that
// wants the failure reported instead ignores that signal (dorn does).
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // an uncommitted temporary file is removed

    // Opens path for writing as above. Returns true; or false with the reason
    // in *whyFailed (when not null) and nothing created.
    [[nodiscard]] bool open(const std::string& path, std::string* whyFailed);

    // Appends size bytes. The first failure is kept, later writes are dropped,
    // and commit reports it.
    void write(const void* data, std::size_t size);

    // Completes the file: flushes it to disk and renames it into place.
    // Returns true; or false with the reason in *whyFailed (when not null),
    // the temporary file removed and an existing file untouched.
    [[nodiscard]] bool commit(std::string* whyFailed);

private:
    std::string path_;       // as the caller named it
    std::string target_;     // the file renamed over: the path with its links followed
    std::string temporary_;  // empty when writing directly
    int fd_ = -1;
    int error_ = 0;  // errno of the first failed write
    bool replacing_ = false;  // target_ exists and its mode and owner are kept
    unsigned mode_ = 0;
    unsigned owner_ = 0;
    unsigned group_ = 0;
};

// Whether path could be written as OutputFile would, without creating or
// opening anything (a FIFO would block): not empty, not a folder, its folder
// exists and is writable, its name not too long. For checking every output
// before long work. Returns true; or false with "<path>: <reason>" in
// *whyFailed (when not null).
[[nodiscard]] bool checkOutputPath(const std::string& path, std::string* whyFailed);

// True when a and b name the same file: the same existing regular file
// (through links or other spellings) or the same new name in the same folder.
// A device or FIFO named twice is not the same file: writing it twice harms
// nothing.
bool sameOutputFile(const std::string& a, const std::string& b);

// Writes what fill puts into the stream to path through an OutputFile.
// Returns true; or false with "<path>: <reason>" in *whyFailed (when not null).
[[nodiscard]] bool writeOutputFile(const std::string& path,
                                   const std::function<void(std::ostream&)>& fill,
                                   std::string* whyFailed);

}  // namespace sweepview
