#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "scene/mesh_format_hint.h"
#include "scene/output_file.h"

using namespace sweepview;

namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, removed with everything in it.
struct Folder {
    fs::path path = fs::temp_directory_path() / ("output_file_test." + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {}));
    }
};

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool write(const std::string& path, const std::string& text, std::string* why = nullptr) {
    return writeOutputFile(path, [&](std::ostream& out) { out << text; }, why);
}

TEST(OutputFile, RegularFilesAndLinksAreReplacedWholeKeepingModeAndLink) {
    Folder folder;
    const std::string file = folder / "scene.dorn";
    ASSERT_TRUE(write(file, "old"));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(write(file, "new"));
    EXPECT_EQ(contents(file), "new");
    struct stat info{};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Through a relative link, in another folder: the target changes, the link stays.
    fs::create_directory(folder.path / "links");
    fs::create_symlink("../scene.dorn", folder.path / "links" / "latest.dorn");
    ASSERT_TRUE(write(folder / "links/latest.dorn", "through the link"));
    EXPECT_TRUE(fs::is_symlink(folder.path / "links" / "latest.dorn"));
    EXPECT_EQ(contents(file), "through the link");
    // A dangling link: its target is created.
    fs::create_symlink("made.dorn", folder.path / "dangling.dorn");
    ASSERT_TRUE(write(folder / "dangling.dorn", "made"));
    EXPECT_EQ(contents(folder / "made.dorn"), "made");

    // The longest legal name: the temporary name beside it is short.
    const std::string longName = folder / (std::string(250, 'a') + ".dorn");
    EXPECT_TRUE(checkOutputPath(longName, nullptr));
    ASSERT_TRUE(write(longName, "long"));
    EXPECT_EQ(contents(longName), "long");
    EXPECT_EQ(folder.entries(), 5u);  // no temporary left anywhere
}

TEST(OutputFile, DevicesAndFifosAreWrittenThroughNeverReplaced) {
    Folder folder;
    EXPECT_TRUE(checkOutputPath("/dev/null", nullptr));
    ASSERT_TRUE(write("/dev/null", "gone"));
    struct stat info{};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    std::string why;
    EXPECT_FALSE(write("/dev/full", "no room", &why));
    EXPECT_EQ(why, "/dev/full: write failed: No space left on device");

    const std::string fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(checkOutputPath(fifo, nullptr));  // checked without blocking
    std::string read;
    std::thread reader([&] { read = contents(fifo); });
    EXPECT_TRUE(write(fifo, "through the pipe"));
    reader.join();
    EXPECT_EQ(read, "through the pipe");
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // With standard input closed the device opens as descriptor 0, a valid one.
    const int input = ::dup(0);
    ::close(0);
    const bool written = write("/dev/null", "on descriptor 0", &why);
    ::dup2(input, 0);
    ::close(input);
    EXPECT_TRUE(written) << why;
}

TEST(OutputFile, RefusalsNameThePathAndTheReason) {
    Folder folder;
    std::string why;
    EXPECT_FALSE(checkOutputPath("/nonexistent/x.json", &why));
    EXPECT_EQ(why, "/nonexistent/x.json: cannot write in its folder /nonexistent: No such file or directory");
    EXPECT_FALSE(checkOutputPath(folder.path.string(), &why));
    EXPECT_NE(why.find("Is a directory"), std::string::npos) << why;
    EXPECT_FALSE(checkOutputPath("", &why));
    EXPECT_FALSE(checkOutputPath(folder / (std::string(256, 'a')), &why));
    EXPECT_NE(why.find("File name too long"), std::string::npos) << why;

    EXPECT_TRUE(sameOutputFile(folder / "a.json", folder.path.string() + "/./a.json"));
    EXPECT_FALSE(sameOutputFile(folder / "a.json", folder / "a.ply"));
    EXPECT_FALSE(sameOutputFile("/dev/null", "/dev/null"));  // written twice, harms nothing
}

TEST(OutputFile, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    Folder folder;
    const std::string file = folder / "report.json";
    ASSERT_TRUE(write(file, "old report"));
    // Past the file size limit the write fails with EFBIG instead of a signal.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string why;
    const bool written = write(file, std::string(100000, 'x'), &why);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(why, file + ": write failed: File too large");
    EXPECT_EQ(contents(file), "old report");
    EXPECT_EQ(folder.entries(), 1u);
}

TEST(MeshFormatHint, KnowsMeshFilesByTheirFirstBytes) {
    const std::pair<std::string, const char*> cases[] = {
        {"# made by hand\nv 0 0 0\nv 1 0 0\nf 1 2 3\n", "OBJ"},
        {"ply\nformat ascii 1.0\n", "PLY"},
        {"solid cube\n  facet normal 0 0 1\n", "STL"},
        {"OFF\n8 6 0\n", "OFF"},
        {"glTF\x02\0\0\0", "glTF"},
        {"{\"asset\": {\"version\": \"2.0\"}}", "glTF"},
        {"{\"steps\": 3}", nullptr},  // JSON, but no asset: not glTF
        {"\"asset\" list\n", nullptr},
        {"<?xml version=\"1.0\"?>\n<COLLADA xmlns=", "COLLADA"},
        {std::string("Kaydara FBX Binary  \0\x1a\0", 23), "FBX"},
        {std::string("MM\x0a\0\0\0\x02\0\x0a\0", 10), "3DS"},  // its length is the file's
        {std::string("MM\x0b\0\0\0\x02\0\x0a\0", 10), nullptr},
        {std::string("\x03\0\0\0\0\0\0\0\0\0\x80\x3f", 12), nullptr},  // a dorn file
        {"vertex count\n", nullptr},
    };
    for (const auto& [bytes, format] : cases) {
        const char* found = meshFormatOf(reinterpret_cast<const unsigned char*>(bytes.data()),
                                         bytes.size(), bytes.size());
        EXPECT_STREQ(found, format) << bytes;
    }
    std::string binaryStl(84 + 50, '\0');
    binaryStl[80] = 1;
    EXPECT_STREQ(meshFormatOf(reinterpret_cast<const unsigned char*>(binaryStl.data()),
                              binaryStl.size(), binaryStl.size()),
                 "STL");
    // Other files, named so that a refusal reads well; a dorn file is none.
    const std::pair<std::string, const char*> kinds[] = {
        {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", "a PNG image"},
        {"\xff\xd8\xff\xe0\0\x10JFIF", "a JPEG image"},
        {"step,px,py,pz\n1,2,3,\xc3\xa9t\xc3", "a text file"},  // UTF-8, cut short at the end
        {"\xff\xff\xff\xff", nullptr},                          // a negative count, not text
        // Lead bytes at each end of their ranges; C1 and F5 lead nothing.
        {"\xc2\x80 \xdf\xbf \xe0\xa0\x80 \xef\xbf\xbd \xf0\x90\x80\x80 \xf4\x8f\xbf\xbf\n", "a text file"},
        {"a \xc1\xbf", nullptr},
        {"a \xf5\x80\x80\x80", nullptr},
        {std::string("\x03\0\0\0\0\0\0\0", 8), nullptr},
    };
    for (const auto& [bytes, kind] : kinds) {
        EXPECT_STREQ(fileKindOf(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), kind)
            << bytes;
    }
}

}  // namespace
