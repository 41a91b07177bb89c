// The system's own OS seam on its real file system: POSIX natively, Win32
// under Wine. Both keep the same promises to the pipeline, each in its
// system's words.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/SystemOs.h"

#ifdef _WIN32
const std::string NotFound = SystemErrorText(ERROR_FILE_NOT_FOUND),
                  Exists = SystemErrorText(ERROR_FILE_EXISTS),
                  FolderExists = SystemErrorText(ERROR_ALREADY_EXISTS),
                  Denied = SystemErrorText(ERROR_ACCESS_DENIED);
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
const std::string NotFound = "No such file or directory\r\n", Exists = "File exists\r\n",
                  FolderExists = Exists, Denied = "Permission denied\r\n";
#endif

namespace {

namespace fs = std::filesystem;

struct OsTest : ::testing::Test {
    OsTest() { fs::create_directory(dir); }
    ~OsTest() override {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir))
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all(dir);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void Put(const std::string& name, const std::string& content) {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Get(const std::string& name) const {
        std::ostringstream content;
        content << std::ifstream(Path(name), std::ios::binary).rdbuf();
        return content.str();
    }
    // A new file with content, written, given target's permissions, flushed
    // and closed through the seam: the first failure's text, empty if none.
    std::string Create(const std::string& name, const std::string& content,
                       const std::string& target = "") {
        merge::OutputFile* file = nullptr;
        merge::Status status = os.CreateNewFile(Path(name).c_str(), &file);
        if (!status.ok()) return status.text;
        status = os.Write(file, content.data(), static_cast<uint32_t>(content.size()));
        if (status.ok()) status = os.TakePermissionsOf(file, Path(target.empty() ? name : target).c_str());
        if (status.ok()) status = os.Flush(file);
        const merge::Status closed = os.CloseOutput(file);
        return !status.ok() ? status.text : closed.text;
    }
    std::string Replace(const std::string& from, const std::string& to) {
        return os.Replace(Path(from).c_str(), Path(to).c_str()).text;
    }

    const fs::path dir = fs::absolute(fs::temp_directory_path() /
                                      ("tintweld-os-" + std::to_string(std::random_device{}())));
    SystemOs os;
};

TEST_F(OsTest, ReadingAFileItsEndAndItsAbsence) {
    rw::ByteStream* file = nullptr;
    EXPECT_EQ(os.OpenForReading(Path("missing.dff").c_str(), &file).text, NotFound);
    Put("ten", "0123456789");
    ASSERT_TRUE(os.OpenForReading(Path("ten").c_str(), &file).ok());
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
    os.Close(file);
    EXPECT_FALSE(os.OpenForReading(dir.string().c_str(), &file).ok());  // a folder is no file
}

TEST_F(OsTest, NewFilesAreNewAndReplaceAnythingButReadOnlyFiles) {
    Put("model.dff", "old");
    EXPECT_EQ(Create("model.dff", "new"), Exists);  // never over an existing file
    EXPECT_EQ(Get("model.dff"), "old");
    ASSERT_EQ(Create("a.tmp", "merged a"), "");
    EXPECT_EQ(Replace("a.tmp", "a.dff"), "");  // no target yet
    EXPECT_EQ(Get("a.dff"), "merged a");
    ASSERT_EQ(Create("b.tmp", "merged b"), "");
    EXPECT_EQ(Replace("b.tmp", "model.dff"), "");
    EXPECT_EQ(Get("model.dff"), "merged b");
    EXPECT_FALSE(fs::exists(Path("b.tmp")));

    fs::permissions(Path("model.dff"), fs::perms::owner_write | fs::perms::group_write |
                                           fs::perms::others_write, fs::perm_options::remove);
    ASSERT_EQ(Create("c.tmp", "merged c"), "");
    EXPECT_EQ(Replace("c.tmp", "model.dff"), Denied);
    EXPECT_EQ(Get("model.dff"), "merged b");

    std::atomic<bool> stop{true};  // an interrupted run makes and replaces nothing
    os.stop = &stop;
    EXPECT_NE(Create("d.tmp", "d"), "");
    EXPECT_NE(Replace("a.dff", "e.dff"), "");
    EXPECT_FALSE(fs::exists(Path("d.tmp")) || fs::exists(Path("e.dff")));
}

TEST_F(OsTest, FoldersAndPaths) {
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str()).ok());
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str()).ok());  // there already
    Put("file", "");
    EXPECT_EQ(os.MakeDirectory(Path("file").c_str()).text, FolderExists);
    EXPECT_FALSE(os.MakeDirectory(Path("no/dff").c_str()).ok());
    EXPECT_TRUE(os.SyncFolder(Path("dff").c_str()).ok());

    std::vector<merge::FolderEntry> entries;
    ASSERT_TRUE(os.ListFolder(dir.string().c_str(), &entries).ok());
    std::sort(entries.begin(), entries.end(),
              [](const merge::FolderEntry& a, const merge::FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name + (entries[0].isFolder ? "/" : ""), "dff/");
    EXPECT_EQ(entries[1].name + (entries[1].isFolder ? "/" : ""), "file");
    EXPECT_FALSE(os.ListFolder(Path("file").c_str(), &entries).ok());

    std::string full;
    ASSERT_TRUE(os.FullPath("name.dff", &full).ok());
    EXPECT_EQ(full, (fs::current_path() / "name.dff").string());
    EXPECT_EQ(os.FileIdentity(Path("file").c_str()), os.FileIdentity((dir / "dff" / ".." / "file").string().c_str()));
    EXPECT_NE(os.FileIdentity(Path("file").c_str()), os.FileIdentity(Path("dff").c_str()));
    EXPECT_EQ(os.FileIdentity(Path("dff/new").c_str()), os.FileIdentity(Path("dff/../dff/new").c_str()));
}

TEST_F(OsTest, EmptyBlocksAreBlocks) {
    uint8_t* empty = os.AllocateZeroed(0);
    EXPECT_NE(empty, nullptr);
    os.Release(empty);
}

#ifdef _WIN32
TEST_F(OsTest, ReplacementKeepsTheTargetsAttributesAndWaitsForItsReaders) {
    Put("system.dff", "day");
    SetFileAttributesA(Path("system.dff").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(Create("new.tmp", "merged"), "");
    EXPECT_EQ(Replace("new.tmp", "system.dff"), "");
    EXPECT_EQ(Get("system.dff"), "merged");
    const DWORD kept = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(GetFileAttributesA(Path("system.dff").c_str()) & kept, kept);

    ASSERT_EQ(Create("held.tmp", "merged"), "");
    HANDLE held = CreateFileA(Path("system.dff").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(Replace("held.tmp", "system.dff"), "");
    CloseHandle(held);
}

TEST(Win32Names, SeparatorsAreCharactersAndErrorsAlwaysHaveText) {
    // ソ is 0x83 0x5C in code page 932: its second byte is no separator.
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 932), 5u);
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 1252), 7u);
    EXPECT_EQ(NameStartIn("C:/x/y.dff", 65001), 5u);
    EXPECT_EQ(SystemErrorText(0x20001234), "Unknown error 536875572\r\n");
    bool exact = true;
    EXPECT_EQ(ToCodePage(L"\x017C\x00F3\x0142w", 1252, &exact), "?\xF3?w");  // żółw
    EXPECT_FALSE(exact);  // never the look-alike "zólw"
    EXPECT_EQ(ToCodePage(L"\x017C\x00F3\x0142w", CP_UTF8, &exact), "\xC5\xBC\xC3\xB3\xC5\x82w");
    EXPECT_TRUE(exact);
}
#else
TEST_F(OsTest, TheTemporaryFileIsOursAloneUntilItTakesTheTargetsOwnerAndMode) {
    Put("day.dff", "day");
    ASSERT_EQ(chmod(Path("day.dff").c_str(), 02640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(Path("day.dff").c_str(), 1234, 4321), 0);
    }
    merge::OutputFile* file = nullptr;
    ASSERT_TRUE(os.CreateNewFile(Path("day.df~").c_str(), &file).ok());
    struct stat status;
    ASSERT_EQ(stat(Path("day.df~").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_TRUE(os.TakePermissionsOf(file, Path("day.dff").c_str()).ok());
    EXPECT_TRUE(os.CloseOutput(file).ok());
    ASSERT_EQ(stat(Path("day.df~").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 02640u);
    if (root) {
        EXPECT_EQ(status.st_uid * 10000 + status.st_gid, 1234u * 10000 + 4321);
    }

    // A new output, replacing nothing, is made as any new file is.
    ASSERT_TRUE(os.CreateNewFile(Path("new.df~").c_str(), &file).ok());
    EXPECT_TRUE(os.TakePermissionsOf(file, Path("new.dff").c_str()).ok());
    EXPECT_TRUE(os.CloseOutput(file).ok());
    ASSERT_EQ(stat(Path("new.df~").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, os.newFileMode);
}

// An owner that cannot be kept takes its set-user-ID bit with it.
TEST_F(OsTest, SetIdBitsGoWithAnOwnerThatCannotBeKept) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make another account's file";
    Put("day.dff", "day");
    ASSERT_EQ(chmod(Path("day.dff").c_str(), 06777), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {  // as nobody, who may give no file away
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        merge::OutputFile* file = nullptr;
        if (!os.CreateNewFile(Path("day.df~").c_str(), &file).ok()) _exit(3);
        const bool taken = os.TakePermissionsOf(file, Path("day.dff").c_str()).ok();
        os.CloseOutput(file);
        _exit(taken ? 0 : 4);
    }
    int exit = 0;
    waitpid(child, &exit, 0);
    ASSERT_EQ(exit, 0);
    struct stat status;
    ASSERT_EQ(stat(Path("day.df~").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0777u);
    EXPECT_EQ(status.st_uid, 65534u);
}

TEST_F(OsTest, LinksAreFollowedToTheFileTheyName) {
    Put("real.dff", "model");
    fs::create_symlink(Path("real.dff"), Path("link.dff"));
    fs::create_symlink(Path("gone.dff"), Path("dangling.dff"));
    std::string resolved;
    EXPECT_TRUE(os.ResolveLinks(Path("link.dff").c_str(), &resolved).ok());
    EXPECT_EQ(resolved, fs::canonical(Path("real.dff")).string());
    EXPECT_TRUE(os.ResolveLinks(Path("real.dff").c_str(), &resolved).ok());
    EXPECT_EQ(resolved, Path("real.dff"));
    EXPECT_TRUE(os.ResolveLinks(Path("absent.dff").c_str(), &resolved).ok());
    EXPECT_EQ(resolved, Path("absent.dff"));
    EXPECT_EQ(os.ResolveLinks(Path("dangling.dff").c_str(), &resolved).text, NotFound);
    // A link where a temporary file is to be made is never followed.
    EXPECT_EQ(Create("dangling.dff", "x"), Exists);
    EXPECT_FALSE(fs::exists(Path("gone.dff")));
    EXPECT_EQ(os.FileIdentity(Path("link.dff").c_str()), os.FileIdentity(Path("real.dff").c_str()));
    // A link to a folder is listed, but not as a folder to go into.
    fs::create_directory_symlink(dir, Path("loop"));
    std::vector<merge::FolderEntry> entries;
    ASSERT_TRUE(os.ListFolder(dir.c_str(), &entries).ok());
    for (const merge::FolderEntry& entry : entries) EXPECT_FALSE(entry.isFolder) << entry.name;
    EXPECT_EQ(os.NameStart("a\\b/c\\d.dff"), 4u);  // a backslash is part of a name
    EXPECT_FALSE(os.SyncFolder(Path("none").c_str()).ok());
    EXPECT_TRUE(os.SyncFileSystem(dir.c_str()).ok());
    EXPECT_FALSE(os.SyncFileSystem(Path("none").c_str()).ok());
}
#endif

}  // namespace
