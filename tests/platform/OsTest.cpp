// The system's own side on its real file system, where the command line's
// and the release's tests do not reach: POSIX natively, Win32 under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "merge/Paths.h"
#include "platform/SystemOs.h"

#ifdef _WIN32
#include <aclapi.h>
#include <sddl.h>
#endif

#ifndef _WIN32
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

struct OsTest : ::testing::Test {
    OsTest() { fs::create_directory(dir); }
    ~OsTest() override {
        std::error_code ignored;
#ifdef _WIN32
        // Names such as "aux.dff" or "x " only as they are.
        fs::remove_all(L"\\\\?\\" + dir.wstring(), ignored);
#else
        fs::remove_all(dir, ignored);
#endif
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    const fs::path dir = fs::absolute(fs::temp_directory_path() /
                                      ("tintweld-os-" + std::to_string(std::random_device{}())));
    SystemOs os;
};

TEST_F(OsTest, FilesFoldersAndPaths) {
    std::ofstream(Path("ten")) << "0123456789";
    rw::ByteStream* file = nullptr;
    ASSERT_TRUE(os.OpenForReading(Path("ten").c_str(), &file).ok());
    char buffer[4] = {};
    uint64_t position = 0;
    EXPECT_TRUE(file->Seek(9, rw::SeekFrom::Start, &position));
    EXPECT_EQ(file->Read(buffer, 4), 1u);  // short, by one byte
    EXPECT_FALSE(file->Seek(-11, rw::SeekFrom::Current, &position));
    EXPECT_EQ(position, 9u);
    EXPECT_TRUE(file->Seek(-10, rw::SeekFrom::Current, &position));  // back to the start
    EXPECT_EQ(position, 0u);
    std::vector<char> large(100000);  // read straight into the caller's buffer
    EXPECT_EQ(file->Read(large.data(), 100000), 10u);
    os.Close(file);
    EXPECT_FALSE(os.OpenForReading(dir.string().c_str(), &file).ok());  // a folder is no file

    // Names of one file, also through a folder not made yet, are one file.
    EXPECT_EQ(merge::FileIdentity(os, Path("ten")), merge::FileIdentity(os, Path("dff/../ten")));
    bool made = false;
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str(), &made).ok() && made);
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str(), &made).ok() && !made);
    EXPECT_FALSE(os.MakeDirectory(Path("ten").c_str(), &made).ok() || made);
    EXPECT_EQ(merge::FileIdentity(os, Path("dff/new")), merge::FileIdentity(os, Path("dff/../dff/new")));
    EXPECT_NE(merge::FileIdentity(os, Path("dff/new")), merge::FileIdentity(os, Path("dff/old")));
    // Only an empty folder is removed.
    std::ofstream(Path("dff/kept")) << "kept";
    os.RemoveFolder(Path("dff").c_str());
    EXPECT_TRUE(fs::exists(Path("dff/kept")));
    fs::remove(Path("dff/kept"));
    os.RemoveFolder(Path("dff").c_str());
    EXPECT_FALSE(fs::exists(Path("dff")));

    uint8_t* empty = os.AllocateZeroed(0);  // a geometry without vertices
    EXPECT_NE(empty, nullptr);
    os.Release(empty);
}

#ifdef _WIN32
TEST(Win32Names, SeparatorsAreCharactersAndErrorsAlwaysHaveText) {
    // ソ is 0x83 0x5C in code page 932: its second byte is no separator.
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 932), 5u);
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 1252), 7u);
    EXPECT_EQ(NameStartIn("C:/x/y.dff", 65001), 5u);
    EXPECT_EQ(SystemErrorText(0x20001234), "Unknown error 536875572\r\n");
}

// Names in the process code page: UTF-8 under the manifest (by UTF-8's own
// rules: only a broken UTF-16 name is inexact), best fit refused elsewhere.
TEST(Win32Names, ConvertedExactlyOrKnownInexact) {
    ASSERT_EQ(GetACP(), 65001u);
    const wchar_t* polish = L"\x017C\x00F3\x0142w";  // żółw
    const struct {
        const wchar_t* text;
        UINT codePage;
        const char* converted;
        bool exact;
    } cases[] = {
        {polish, CP_ACP, "\xC5\xBC\xC3\xB3\xC5\x82w", true},
        {polish, CP_UTF8, "\xC5\xBC\xC3\xB3\xC5\x82w", true},
        {L"a\xD800" L"b", CP_ACP, "a\xEF\xBF\xBD" "b", false},  // an unpaired surrogate
        {polish, 1252, "?\xF3?w", false},  // never the look-alike "zólw"
        {L"\x30BD\x30D5\x30C8", 932, "\x83\x5C\x83\x74\x83\x67", true},  // ソフト
        {polish, 932, "???w", false},
    };
    for (const auto& c : cases) {
        bool exact = !c.exact;
        EXPECT_EQ(ToCodePage(c.text, c.codePage, &exact), c.converted) << c.codePage;
        EXPECT_EQ(exact, c.exact) << c.codePage;
    }
    // Counted as Windows counts a path: UTF-16 code units.
    EXPECT_EQ(Utf16Length("\xD0\xB6\xE6\xA8\xA1\xF0\x9F\x98\x80"), 4u);  // ж, 模 and a pair
}

// Each outcome that ReplaceFile documents, done to the files as documented,
// in place of the call: afterwards the target holds the old model or the
// merged one, or else both are kept and named; the temporary file goes only
// when the target holds one of them.
DWORD ReplaceOutcome;
bool MergedCannotMove, OldCannotMove;

BOOL WINAPI StandInReplace(LPCWSTR target, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
    if (ReplaceOutcome == 0) return ReplaceFileW(target, replacement, backup, flags, nullptr, nullptr);
    if (ReplaceOutcome == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(target, backup, MOVEFILE_REPLACE_EXISTING);
    if (ReplaceOutcome == ERROR_UNABLE_TO_MOVE_REPLACEMENT && !backup) DeleteFileW(target);
    SetLastError(ReplaceOutcome);
    return FALSE;
}

BOOL WINAPI StandInMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    const std::wstring name = from;
    const bool merged = name.back() == L'~' && name[name.size() - 2] != L'~';
    if (merged ? MergedCannotMove : OldCannotMove) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExW(from, to, flags);
}

// Every name for a backup taken.
bool NoBackup;
HANDLE WINAPI StandInCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                            DWORD how, DWORD attributes, HANDLE model) {
    if (!NoBackup) return CreateFileW(name, access, share, security, how, attributes, model);
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

TEST_F(OsTest, AReplacementNeverLosesBothModels) {
    const struct {
        DWORD outcome;
        bool mergedCannotMove, oldCannotMove;
        const char* target;  // what the target holds afterwards, "" for nothing
        bool kept;           // both files kept, and named
        bool noBackup = false;  // every name for a backup taken
    } rows[] = {
        {0, false, false, "new", false},
        {ERROR_UNABLE_TO_REMOVE_REPLACED, false, false, "old", false},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, false, "old", false},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, false, false, "new", false},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, false, "old", false},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, true, "", true},
        // Without a backup, 1176 has removed the model.
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, false, "new", false, true},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, true, false, "", true, true},
        {ERROR_SHARING_VIOLATION, false, false, "old", false},
    };
    os.calls = {StandInReplace, StandInMove, SetFileAttributesW, StandInCreate};
    const std::string target = Path("model.dff"), temporary = Path("model.df~"), backup = Path("model.df~~");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome);
        ReplaceOutcome = row.outcome;
        MergedCannotMove = row.mergedCannotMove;
        OldCannotMove = row.oldCannotMove;
        NoBackup = row.noBackup;
        std::ofstream(target) << "old";
        std::ofstream(temporary) << "new";
        const merge::Status status = os.Replace(temporary.c_str(), target.c_str());
        EXPECT_EQ(status.ok(), std::string(row.target) == "new");
        EXPECT_EQ(status.code, status.ok() ? 0u : row.outcome);
        std::ifstream in(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.target);
        EXPECT_EQ(fs::exists(temporary), row.kept);
        EXPECT_EQ(fs::exists(backup), row.kept && !row.noBackup);
        const std::string where = row.noBackup ? "The merged model is kept as " + temporary + "."
                                               : "The model is kept as " + backup +
                                                     ", the merged model as " + temporary + ".";
        EXPECT_EQ(status.text.find(where) != std::string::npos, row.kept);
        in.close();
        fs::remove(temporary);
        fs::remove(backup);
    }
}

BOOL WINAPI CannotSetAttributes(LPCWSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A file's access list, as the system reads it back, in its text form.
std::string AccessList(const std::string& path) {
    HANDLE file = CreateFileW((L"\\\\?\\" + fs::path(path).wstring()).c_str(), READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    wchar_t* text = nullptr;
    if (file != INVALID_HANDLE_VALUE &&
        GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                        &descriptor) == ERROR_SUCCESS)
        ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr);
    const std::wstring list = text ? text : L"none";
    LocalFree(text);
    LocalFree(descriptor);
    CloseHandle(file);
    return std::string(list.begin(), list.end());
}

// The creation time given to a file (Wine keeps none of its own).
LARGE_INTEGER GivenCreation;
BOOL WINAPI StandInSetInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID data,
                                  DWORD size) {
    GivenCreation = static_cast<FILE_BASIC_INFO*>(data)->CreationTime;
    return SetFileInformationByHandle(file, kind, data, size);
}

// The temporary file lets its owner alone in, then takes the target's
// access list (or, with no target, the one its folder gives a new file) and
// creation time, which the model keeps whichever way it replaces the
// target. Attributes that cannot be put back afterwards are told, and the
// model is replaced.
TEST_F(OsTest, TheTargetsAccessListOnEveryReplacement) {
    std::ofstream(Path("plain.dff")) << "plain";
    merge::OutputFile* file = nullptr;
    ASSERT_TRUE(os.CreateNewFile(Path("new.df~").c_str(), &file).ok());
    const std::string own = AccessList(Path("new.df~"));
    EXPECT_EQ(own.find(";;;WD)"), std::string::npos) << own;  // Wine adds SYSTEM (SY) to what it shows
    EXPECT_NE(own, AccessList(Path("plain.dff")));
    EXPECT_TRUE(os.TakePermissionsOf(file, Path("new.dff").c_str()).ok());
    EXPECT_TRUE(os.CloseOutput(file).ok());
    EXPECT_EQ(AccessList(Path("new.df~")), AccessList(Path("plain.dff")));

    os.calls = {StandInReplace, StandInMove, CannotSetAttributes, CreateFileW,
                StandInSetInformation};
    MergedCannotMove = OldCannotMove = false;
    const std::string target = Path("model.dff"), temporary = Path("model.df~");
    // ReplaceFile; a move after ReplaceFile moved the target away; a move
    // straight over it, beside its twin in another case.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        ReplaceOutcome = way == 1 ? ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 : 0;
        if (way == 2) std::ofstream(Path("MODEL.dff")) << "twin";
        std::ofstream(target) << "old";
        PSECURITY_DESCRIPTOR readOnly = nullptr;  // everyone may read it, and only read it
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)(A;;FR;;;WD)",
                                                                         SDDL_REVISION_1, &readOnly, nullptr));
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        GetSecurityDescriptorDacl(readOnly, &present, &acl, &defaulted);
        ASSERT_EQ(SetNamedSecurityInfoW(&fs::path(target).wstring()[0], SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, acl, nullptr), DWORD{ERROR_SUCCESS});
        LocalFree(readOnly);
        SetFileAttributesW(fs::path(target).wstring().c_str(), FILE_ATTRIBUTE_SYSTEM);
        const std::string wanted = AccessList(target);
        ASSERT_NE(wanted, own);
        ASSERT_TRUE(os.CreateNewFile(temporary.c_str(), &file).ok());
        EXPECT_TRUE(os.Write(file, "new", 3).ok() && os.TakePermissionsOf(file, target.c_str()).ok());
        WIN32_FILE_ATTRIBUTE_DATA found;
        GetFileAttributesExW(fs::path(target).wstring().c_str(), GetFileExInfoStandard, &found);
        EXPECT_EQ(GivenCreation.LowPart, found.ftCreationTime.dwLowDateTime);  // the target's
        EXPECT_TRUE(os.CloseOutput(file).ok());
        const merge::Status status = os.Replace(temporary.c_str(), target.c_str());
        EXPECT_TRUE(status.ok());
        EXPECT_EQ(status.text, SystemErrorText(ERROR_ACCESS_DENIED));  // Wine drops the target's attributes
        std::ifstream in(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
        EXPECT_EQ(AccessList(target), wanted);
        in.close();
        SetFileAttributesW(fs::path(target).wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove(target);
        fs::remove(Path("MODEL.dff"));
    }
}

// Names are taken exactly as they are: a trailing dot or blank stays, and
// a device's name is refused before it is opened, promptly.
TEST_F(OsTest, NamesAsTheyAreAndNoDevices) {
    // Made as the exact names they are.
    const auto put = [&](const char* name) {
        const std::wstring path = L"\\\\?\\" + dir.wstring() + L"\\" + fs::u8path(name).wstring();
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, "model", 5, &written, nullptr);
        CloseHandle(file);
    };
    for (const char* name : {"sub.", "x ", "sub"})
        CreateDirectoryW((L"\\\\?\\" + fs::path(Path(name)).wstring()).c_str(), nullptr);
    put("sub.\\in.dff");
    std::vector<merge::FolderEntry> entries;
    ASSERT_TRUE(os.ListFolder(dir.string().c_str(), &entries).ok());
    std::set<std::string> names;
    for (const merge::FolderEntry& entry : entries) names.insert(entry.name);
    EXPECT_EQ(names, (std::set<std::string>{"sub", "sub.", "x "}));
    rw::ByteStream* file = nullptr;
    EXPECT_TRUE(os.OpenForReading(Path("sub.\\in.dff").c_str(), &file).ok());
    if (file) os.Close(file);
    EXPECT_FALSE(os.OpenForReading(Path("sub\\in.dff").c_str(), &file).ok());
    // COM¹ and lpt³ (superscript digits), and what the system's reading of
    // a name drops: trailing dots and blanks.
    for (const char* device : {"aux.dff", "COM1.dff", "con.txt.dff", "NUL .dff", "lpt9", "COM\xC2\xB9.dff",
                               "lpt\xC2\xB3.dff", "Prn. .x.dff", "cOm\xC2\xB2"}) {
        put(device);
        EXPECT_TRUE(IsDeviceName(device)) << device;
        // Joined here: the standard library's own conversion may not be UTF-8.
        const std::string path = dir.string() + "\\" + device;
        EXPECT_EQ(os.OpenForReading(path.c_str(), &file).text, "This is a device, not a file on a disk.\r\n");
    }
    for (const char* name : {"auxiliary.dff", "com10.dff", "lpt0.dff", "nul_.dff", "com\xC2\xB4.dff", "lpt\xC2\xB9x"})
        EXPECT_FALSE(IsDeviceName(name)) << name;
    // The device namespace, however it is written, and a \\?\ path that
    // names no file on a disk; a drive's, a share's and a volume's do.
    const std::string here = Path("t.dff");
    for (const std::string& path : {"\\\\.\\" + here, "//./" + here, std::string("\\\\?\\pipe\\x"), "//?/" + here,
                                    std::string(R"(\\.\pipe\x)")})
        EXPECT_TRUE(IsDevicePath(path.c_str())) << path;
    for (const std::string& path : {"\\\\?\\" + here, std::string(R"(\\?\UNC\s\share\t.dff)"),
                                    std::string(R"(\\?\Volume{0}\t.dff)"), here})
        EXPECT_FALSE(IsDevicePath(path.c_str())) << path;
    // Through \\?\, "t.dff." is itself, not "t.dff", from the full path on.
    put("t.dff.");
    std::string full;
    ASSERT_TRUE(os.FullPath(("\\\\?\\" + Path("t.dff.")).c_str(), &full).ok());
    EXPECT_EQ(full, "\\\\?\\" + Path("t.dff."));
    ASSERT_TRUE(os.FullPath(Path("t.dff.").c_str(), &full).ok());
    EXPECT_EQ(full, Path("t.dff."));
    EXPECT_EQ(os.OpenForReading(("\\\\?\\" + Path("t.dff.")).c_str(), &file).ok() ? file->Size() : 0, 5u);
    if (file) os.Close(file);
    bool exact = false;
    EXPECT_EQ(NarrowPath(L"\\\\?\\Volume{0}\\a.", &exact), "\\\\?\\Volume{0}\\a.");
    // No disk file behind a name that is none of the devices': Wine's own.
    EXPECT_EQ(os.OpenForReading("Z:\\dev\\null", &file).text, "This is a device, not a file on a disk.\r\n");
    EXPECT_EQ(WidePath("C:/a/b.dff"), L"\\\\?\\C:\\a\\b.dff");
    EXPECT_EQ(WidePath("\\\\server\\share\\b.dff"), L"\\\\?\\UNC\\server\\share\\b.dff");
    EXPECT_EQ(WidePath("b.dff"), L"b.dff");
    EXPECT_EQ(WidePath("C:\\a\\..\\b.dff"), L"C:\\a\\..\\b.dff");  // for the system to resolve
}
#else
// An owner that cannot be kept takes its set-user-ID bit with it; a group
// that can, kept, keeps its set-group-ID bit.
TEST_F(OsTest, SetIdBitsGoOnlyWithTheirOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make another account's file";
    std::ofstream(Path("day.dff")) << "day";
    ASSERT_EQ(chown(Path("day.dff").c_str(), 0, 4321) | chmod(Path("day.dff").c_str(), 06777) |
                  chmod(dir.c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {  // as nobody, in group 4321, who may give no file away
        merge::OutputFile* file = nullptr;
        const gid_t group = 4321;
        if (setgroups(1, &group) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        if (!os.CreateNewFile(Path("day.df~").c_str(), &file).ok()) _exit(3);
        const bool taken = os.TakePermissionsOf(file, Path("day.dff").c_str()).ok();
        _exit(os.CloseOutput(file).ok() && taken ? 0 : 4);
    }
    int exit = 0;
    waitpid(child, &exit, 0);
    ASSERT_EQ(exit, 0);
    struct stat status;
    ASSERT_EQ(stat(Path("day.df~").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 02777u);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 4321u);
}

// The system's copy between files, and each way a file system refuses it:
// nothing copied, for the caller to copy through a buffer of its own; an
// interrupted copy is tried again; a failure of the disk is a failure.
int CopyErrors[2];
ssize_t StandInCopy(int from, off64_t* fromOffset, int to, off64_t* toOffset, size_t length, unsigned flags) {
    for (int& error : CopyErrors) {
        if (error == 0) continue;
        errno = error;
        error = 0;
        return -1;
    }
    return CopyFileRange(from, fromOffset, to, toOffset, length, flags);
}

TEST_F(OsTest, CopiesBetweenFilesOrSaysItCannot) {
    std::ofstream(Path("from")) << "0123456789";
    rw::ByteStream* from = nullptr;
    merge::OutputFile* to = nullptr;
    ASSERT_TRUE(os.OpenForReading(Path("from").c_str(), &from).ok() && os.CreateNewFile(Path("to").c_str(), &to).ok());
    os.copyFileRange = StandInCopy;
    const struct {
        int first, second;
        bool ok;
        uint64_t copied;
    } rows[] = {
        {0, 0, true, 5}, {EINTR, 0, true, 5}, {EXDEV, 0, true, 0}, {EINVAL, 0, true, 0},
        {ENOSYS, 0, true, 0}, {EOPNOTSUPP, 0, true, 0}, {EINTR, EIO, false, 0},
    };
    for (const auto& row : rows) {
        CopyErrors[0] = row.first, CopyErrors[1] = row.second;
        uint64_t copied = 99;
        EXPECT_EQ(os.CopyRange(from, 2, 5, to, &copied).ok(), row.ok) << row.first;
        EXPECT_EQ(copied, row.copied) << row.first;
    }
    // At the end of the file there is nothing to copy, and nothing wrong.
    uint64_t copied = 99;
    EXPECT_TRUE(os.CopyRange(from, 10, 5, to, &copied).ok() && copied == 0);
    os.Close(from);
    EXPECT_TRUE(os.CloseOutput(to).ok());
    std::ifstream in(Path("to"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "2345623456");
}

// A FIFO, a device and a socket are no models: refused with one line on
// every system, and never waited for.
TEST_F(OsTest, OnlyFilesOnADisk) {
    ASSERT_EQ(mkfifo(Path("fifo.dff").c_str(), 0600), 0);
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Path("socket.dff").c_str());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    for (const std::string& path : {Path("fifo.dff"), std::string("/dev/null"), Path("socket.dff")}) {
        rw::ByteStream* file = nullptr;
        EXPECT_EQ(os.OpenForReading(path.c_str(), &file).text, "This is a device, not a file on a disk.\r\n");
    }
    close(listening);
}

TEST_F(OsTest, LinksFlushesAndNewFiles) {
    fs::create_symlink(Path("gone.dff"), Path("dangling.dff"));
    std::string resolved;
    EXPECT_EQ(os.ResolveLinks(Path("dangling.dff").c_str(), &resolved).text, "No such file or directory\r\n");
    // A link to a folder is listed, but not as a folder to go into.
    fs::create_directory_symlink(dir, Path("loop"));
    std::vector<merge::FolderEntry> entries;
    ASSERT_TRUE(os.ListFolder(dir.c_str(), &entries).ok());
    for (const merge::FolderEntry& entry : entries) EXPECT_FALSE(entry.isFolder) << entry.name;
    EXPECT_FALSE(os.SyncFolder(Path("none").c_str()).ok());
    EXPECT_TRUE(os.SyncFileSystem(dir.c_str()).ok());
    EXPECT_FALSE(os.SyncFileSystem(Path("none").c_str()).ok());
}
#endif

}  // namespace
