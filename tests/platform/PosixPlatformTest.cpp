#include "platform/PosixPlatform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FilesOnly final : PosixPlatform {
    bool IsChecked(int) override { return false; }
    void ControlText(int, char* buffer, int) override { buffer[0] = '\0'; }
    void EnableControl(int, bool) override {}
    void AppendLog(const char*) override {}
};

class PosixPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/posixplatform-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string Path(const char* name) const { return dir + "/" + name; }
    void Put(const char* name, const std::string& content, mode_t mode = 0644) {
        std::ofstream(Path(name), std::ios::binary) << content;
        chmod(Path(name).c_str(), mode);
    }
    std::string Get(const char* name) const {
        std::ostringstream content;
        content << std::ifstream(Path(name), std::ios::binary).rdbuf();
        return content.str();
    }
    mode_t Mode(const char* name) const {
        struct stat status;
        return stat(Path(name).c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
    }
    // A new file with content, written and closed through the platform.
    bool Create(const char* name, const std::string& content) {
        merge::OutputFile* file = platform.CreateNewFile(Path(name).c_str());
        if (!file) return false;
        bool written = platform.Write(file, content.data(), static_cast<uint32_t>(content.size()));
        return platform.CloseOutput(file) && written;
    }

    FilesOnly platform;
    std::string dir;
};

TEST_F(PosixPlatformTest, OpenFailuresGiveTheSystemTextKeptAcrossLaterCalls) {
    EXPECT_EQ(platform.OpenForReading(Path("missing.dff").c_str()), nullptr);
    platform.RemoveFile(Path("also-missing").c_str());  // changes errno, not the report
    platform.MakeDirectory(dir.c_str());
    EXPECT_EQ(platform.LastErrorText(), "No such file or directory\r\n");

    EXPECT_EQ(platform.OpenForReading(dir.c_str()), nullptr);
    EXPECT_EQ(platform.LastErrorText(), "Is a directory\r\n");
}

TEST_F(PosixPlatformTest, ReadsComeUpShortAndSeeksMayPassTheEnd) {
    Put("ten", "0123456789");
    rw::ByteStream* file = platform.OpenForReading(Path("ten").c_str());
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    uint64_t position = 0;
    EXPECT_EQ(file->Size(), 10u);
    EXPECT_EQ(file->Read(buffer, 4), 4u);
    EXPECT_TRUE(file->Seek(4, rw::SeekFrom::Current, &position));
    EXPECT_EQ(position, 8u);
    EXPECT_EQ(file->Read(buffer, 16), 2u);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_TRUE(file->Seek(100, rw::SeekFrom::Start, &position));
    EXPECT_EQ(file->Read(buffer, 4), 0u);
    EXPECT_FALSE(file->Seek(-101, rw::SeekFrom::Current, &position));
    EXPECT_TRUE(file->Seek(-97, rw::SeekFrom::Current, &position));
    EXPECT_EQ(position, 3u);
    platform.Close(file);
}

TEST_F(PosixPlatformTest, CreateNewFileNeverReplaces) {
    Put("model.dff", "old");
    EXPECT_FALSE(Create("model.dff", "new"));
    EXPECT_EQ(platform.LastErrorText(), "File exists\r\n");
    EXPECT_EQ(Get("model.dff"), "old");
}

TEST_F(PosixPlatformTest, ReplaceIntoAbsentAndOverExistingKeepsTheTargetsMode) {
    ASSERT_TRUE(Create("a.tmp", "merged a"));
    EXPECT_TRUE(platform.MoveFileOver(Path("a.tmp").c_str(), Path("a.dff").c_str()));
    EXPECT_EQ(Get("a.dff"), "merged a");

    Put("b.dff", "day b", 0640);
    ASSERT_TRUE(Create("b.tmp", "merged b"));
    EXPECT_TRUE(platform.MoveFileOver(Path("b.tmp").c_str(), Path("b.dff").c_str()));
    EXPECT_EQ(Get("b.dff"), "merged b");
    EXPECT_EQ(Mode("b.dff"), 0640u);
    EXPECT_EQ(access(Path("b.tmp").c_str(), F_OK), -1);
}

TEST_F(PosixPlatformTest, ReplaceOntoReadOnlyTargetFailsAndLeavesIt) {
    Put("day.dff", "day", 0444);
    ASSERT_TRUE(Create("day.tmp", "merged"));
    EXPECT_FALSE(platform.MoveFileOver(Path("day.tmp").c_str(), Path("day.dff").c_str()));
    EXPECT_EQ(platform.LastErrorText(), "Permission denied\r\n");
    EXPECT_EQ(Get("day.dff"), "day");
    EXPECT_EQ(Mode("day.dff"), 0444u);
}

// A file size limit makes the second write of the loop fail after a partial
// first one, as a full disk would.
TEST_F(PosixPlatformTest, WriteFailureAfterPartialWriteIsReported) {
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool written = Create("big.tmp", std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(platform.LastErrorText(), "File too large\r\n");
}

TEST_F(PosixPlatformTest, EmptyBlocksAreBlocksAndBlocksAreZeroed) {
    uint8_t* empty = platform.AllocateZeroed(0);
    EXPECT_NE(empty, nullptr);
    platform.Release(empty);
    uint8_t* block = platform.AllocateZeroed(1 << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0] | block[(1 << 20) - 1], 0);
    platform.Release(block);
}

}  // namespace
