// The files of the system platform on the real file system: the POSIX one in
// the native build, the Win32 one under Wine. Both keep the same promises to
// the pipeline, each in its system's words.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#ifdef _WIN32
#include "platform/Win32Platform.h"
using SystemPlatform = Win32Platform;
const std::string NotFound = SystemErrorText(ERROR_FILE_NOT_FOUND),
                  Exists = SystemErrorText(ERROR_FILE_EXISTS),
                  Denied = SystemErrorText(ERROR_ACCESS_DENIED);
#else
#include <sys/resource.h>

#include <csignal>

#include "platform/PosixPlatform.h"
using SystemPlatform = PosixPlatform;
const std::string NotFound = "No such file or directory\r\n", Exists = "File exists\r\n",
                  Denied = "Permission denied\r\n";
#endif

namespace {

namespace fs = std::filesystem;

// The window's part of the interface is not under test here.
struct FilesOnly final : SystemPlatform {
    bool IsChecked(int) override { return false; }
    void ControlText(int, char* buffer, int) override { buffer[0] = '\0'; }
    void EnableControl(int, bool) override {}
    void AppendLog(const char*) override {}
};

struct PlatformTest : ::testing::Test {
    PlatformTest() { fs::create_directory(dir); }
    ~PlatformTest() override {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all(dir);
    }

    std::string Path(const char* name) const { return (dir / name).string(); }
    void Put(const char* name, const std::string& content) {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Get(const char* name) const {
        std::ostringstream content;
        content << std::ifstream(Path(name), std::ios::binary).rdbuf();
        return content.str();
    }
    // A new file with content, written and closed through the platform.
    bool Create(const char* name, const std::string& content) {
        merge::OutputFile* file = platform.CreateNewFile(Path(name).c_str());
        if (!file) return false;
        bool written = platform.Write(file, content.data(), static_cast<uint32_t>(content.size()));
        return platform.CloseOutput(file) && written;
    }
    bool Replace(const char* from, const char* to) {
        return platform.MoveFileOver(Path(from).c_str(), Path(to).c_str());
    }

    const fs::path dir =
        fs::temp_directory_path() / ("tintweld-platform-" + std::to_string(std::random_device{}()));
    FilesOnly platform;
};

TEST_F(PlatformTest, OpeningAMissingFileGivesTheSystemsText) {
    EXPECT_EQ(platform.OpenForReading(Path("missing.dff").c_str()), nullptr);
#ifndef _WIN32
    // The pipeline logs before it asks for the text, and logging may change errno.
    platform.MakeDirectory(dir.c_str());  // fails, and changes errno
#endif
    EXPECT_EQ(platform.LastErrorText(), NotFound);
    EXPECT_EQ(NotFound.find("Unknown error"), std::string::npos);
}

TEST_F(PlatformTest, ReadsComeUpShortAndSeeksGoPastTheEndButNotBeforeTheStart) {
    Put("ten", "0123456789");
    rw::ByteStream* file = platform.OpenForReading(Path("ten").c_str());
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    uint64_t position = 0;
    EXPECT_EQ(file->Size(), 10u);
    EXPECT_TRUE(file->Seek(8, rw::SeekFrom::Start, &position));
    EXPECT_EQ(file->Read(buffer, 16), 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_TRUE(file->Seek(100, rw::SeekFrom::Start, &position));
    EXPECT_EQ(file->Read(buffer, 4), 0u);
    EXPECT_FALSE(file->Seek(-101, rw::SeekFrom::Current, &position));
    EXPECT_TRUE(file->Seek(-97, rw::SeekFrom::Current, &position));
    EXPECT_EQ(position, 3u);
    platform.Close(file);
}

TEST_F(PlatformTest, CreateNewFileNeverReplaces) {
    Put("model.dff", "old");
    EXPECT_FALSE(Create("model.dff", "new"));
    EXPECT_EQ(platform.LastErrorText(), Exists);
    EXPECT_EQ(Get("model.dff"), "old");
}

TEST_F(PlatformTest, ReplaceIntoAbsentOrOverExistingButNotOverReadOnly) {
    ASSERT_TRUE(Create("a.tmp", "merged a") && Create("b.tmp", "merged b"));
    EXPECT_TRUE(Replace("a.tmp", "a.dff"));
    EXPECT_EQ(Get("a.dff"), "merged a");
    Put("b.dff", "day b");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write;  // not the default
    fs::permissions(Path("b.dff"), mode);
    EXPECT_TRUE(Replace("b.tmp", "b.dff"));
    EXPECT_EQ(Get("b.dff"), "merged b");
    EXPECT_FALSE(fs::exists(Path("b.tmp")));
#ifndef _WIN32
    EXPECT_EQ(fs::status(Path("b.dff")).permissions(), mode);  // the target's, not the temporary's
#endif

    Put("day.dff", "day");
    fs::permissions(Path("day.dff"), fs::perms::owner_write | fs::perms::group_write |
                                         fs::perms::others_write, fs::perm_options::remove);
    ASSERT_TRUE(Create("day.tmp", "merged"));
    EXPECT_FALSE(Replace("day.tmp", "day.dff"));
    EXPECT_EQ(platform.LastErrorText(), Denied);
    EXPECT_EQ(Get("day.dff"), "day");
}

// No vertices make an empty block: it must still be a block.
TEST_F(PlatformTest, EmptyBlocksAreBlocks) {
    uint8_t* empty = platform.AllocateZeroed(0);
    EXPECT_NE(empty, nullptr);
    platform.Release(empty);
}

#ifdef _WIN32
TEST_F(PlatformTest, ReplaceIsRefusedOntoATargetHeldOpen) {
    Put("held.dff", "day");
    ASSERT_TRUE(Create("new.tmp", "merged"));
    HANDLE held = CreateFileA(Path("held.dff").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Replace("new.tmp", "held.dff"));
    const DWORD error = GetLastError();
    CloseHandle(held);
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    EXPECT_EQ(Get("held.dff"), "day");
}
#else
TEST_F(PlatformTest, ADirectoryIsNoFile) {
    EXPECT_EQ(platform.OpenForReading(dir.c_str()), nullptr);
    EXPECT_EQ(platform.LastErrorText(), "Is a directory\r\n");
}

// A file size limit makes the second write of the loop fail after a partial
// first one, as a full disk would.
TEST_F(PlatformTest, WriteFailureAfterPartialWriteIsReported) {
    struct rlimit old, tiny;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    tiny = old;
    tiny.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = Create("big.tmp", std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(platform.LastErrorText(), "File too large\r\n");
}
#endif

}  // namespace
