// Files, memory and error texts of the Win32 platform, on the real file
// system (under Wine on Linux).
#include <gtest/gtest.h>

#include <string>

#include "platform/Win32Platform.h"

namespace {

// The window's part of the interface is not under test here.
struct FilesOnlyPlatform final : Win32Platform {
    bool IsChecked(int) override { return false; }
    void ControlText(int, char* buffer, int) override { buffer[0] = 0; }
    void EnableControl(int, bool) override {}
    void AppendLog(const char*) override {}
};

class Win32PlatformTest : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tintweld-platform-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }

    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string path = folder + "\\" + found.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

    std::string PathOf(const char* name) { return folder + "\\" + name; }

    void WriteTestFile(const char* name, const std::string& content) {
        merge::OutputFile* file = platform.CreateNewFile(PathOf(name).c_str());
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(platform.Write(file, content.data(), uint32_t(content.size())));
        ASSERT_TRUE(platform.CloseOutput(file));
    }

    std::string ReadTestFile(const char* name) {
        rw::ByteStream* file = platform.OpenForReading(PathOf(name).c_str());
        if (!file) return "(cannot open)";
        std::string content(size_t(file->Size()), '\0');
        content.resize(file->Read(&content[0], uint32_t(content.size())));
        platform.Close(file);
        return content;
    }

    bool Exists(const char* name) {
        return GetFileAttributesA(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    FilesOnlyPlatform platform;
    std::string folder;
};

}  // namespace

TEST_F(Win32PlatformTest, OpeningAMissingFileFailsWithTheSystemsText) {
    EXPECT_EQ(platform.OpenForReading(PathOf("missing.dff").c_str()), nullptr);
    std::string text = platform.LastErrorText();
    EXPECT_EQ(text, SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(text.find("Unknown error"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(Win32PlatformTest, CodeWithoutTextFallsBackToItsNumber) {
    EXPECT_EQ(SystemErrorText(0x20000001), "Unknown error 536870913\r\n");
}

TEST_F(Win32PlatformTest, ReadsComeUpShortAndSeeksGoPastTheEndButNotBeforeTheStart) {
    WriteTestFile("six.dff", "abcdef");
    rw::ByteStream* file = platform.OpenForReading(PathOf("six.dff").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), 6u);
    char buffer[8];
    EXPECT_EQ(file->Read(buffer, 4), 4u);
    EXPECT_EQ(file->Read(buffer, 4), 2u);
    uint64_t position = 0;
    EXPECT_TRUE(file->Seek(10, rw::SeekFrom::Start, &position));
    EXPECT_EQ(position, 10u);
    EXPECT_EQ(file->Read(buffer, 4), 0u);
    EXPECT_FALSE(file->Seek(-11, rw::SeekFrom::Current, &position));
    EXPECT_TRUE(file->Seek(-9, rw::SeekFrom::Current, &position));
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(file->Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 'b');
    platform.Close(file);
}

TEST_F(Win32PlatformTest, CreateNewFileNeverReplacesAFile) {
    WriteTestFile("day.dff", "day");
    EXPECT_EQ(platform.CreateNewFile(PathOf("day.dff").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadTestFile("day.dff"), "day");
}

TEST_F(Win32PlatformTest, ReplaceMovesOverAnExistingFileOrIntoAnAbsentOne) {
    WriteTestFile("new.tmp", "merged");
    WriteTestFile("day.dff", "day");
    EXPECT_TRUE(platform.MoveFileOver(PathOf("new.tmp").c_str(), PathOf("day.dff").c_str()));
    EXPECT_EQ(ReadTestFile("day.dff"), "merged");
    EXPECT_FALSE(Exists("new.tmp"));

    WriteTestFile("new.tmp", "second");
    EXPECT_TRUE(platform.MoveFileOver(PathOf("new.tmp").c_str(), PathOf("absent.dff").c_str()));
    EXPECT_EQ(ReadTestFile("absent.dff"), "second");
}

TEST_F(Win32PlatformTest, ReplaceFailsOntoAReadOnlyFileAndLeavesIt) {
    WriteTestFile("new.tmp", "merged");
    WriteTestFile("day.dff", "day");
    SetFileAttributesA(PathOf("day.dff").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(platform.MoveFileOver(PathOf("new.tmp").c_str(), PathOf("day.dff").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadTestFile("day.dff"), "day");
    EXPECT_TRUE(Exists("new.tmp"));
}

TEST_F(Win32PlatformTest, ReplaceFailsOntoAFileOpenElsewhereWithoutSharing) {
    WriteTestFile("new.tmp", "merged");
    WriteTestFile("day.dff", "day");
    HANDLE held = CreateFileA(PathOf("day.dff").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform.MoveFileOver(PathOf("new.tmp").c_str(), PathOf("day.dff").c_str()));
    DWORD error = GetLastError();
    CloseHandle(held);
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    EXPECT_EQ(ReadTestFile("day.dff"), "day");
}

TEST_F(Win32PlatformTest, DeleteFileAndZeroedMemory) {
    WriteTestFile("gone.tmp", "x");
    platform.RemoveFile(PathOf("gone.tmp").c_str());
    EXPECT_FALSE(Exists("gone.tmp"));

    uint8_t* block = platform.AllocateZeroed(4096);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0);
    platform.Release(block);
}
