// The system's own side on its real file system, where the command line's
// and the release's tests do not reach: POSIX natively, Win32 under Wine.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "merge/Paths.h"
#include "platform/Process.h"
#include "platform/SystemOs.h"

#ifdef _WIN32
#include <aclapi.h>
#include <sddl.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

bool NoDiskFile(const merge::Status& status) {
    return status.Is(merge::Problem::NotADiskFile);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct OsTest : ::testing::Test {
    OsTest() {
        fs::create_directory(dir);
#ifndef _WIN32
        close(0);  // as if started without standard input: descriptor 0 is a file's too
#endif
    }
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

// Small reads come from a read ahead, large ones past it; at any position
// they give the file's own bytes.
TEST_F(OsTest, FilesFoldersAndPaths) {
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    std::ofstream(Path("model"), std::ios::binary) << bytes;
    rw::ByteStream* file = nullptr;
    ASSERT_TRUE(os.OpenForReading(Path("model").c_str(), &file).ok());
    EXPECT_EQ(file->Size(), bytes.size());
    const struct { int64_t at; uint32_t count, got; } reads[] = {  // at -1: where it is
        {0, 3, 3}, {-1, 5, 5}, {150000, 2, 2}, {-1, 100000, 49998}, {10, 150000, 150000},
        {-1, 2, 2}, {1, 8, 8}, {199999, 4, 1}, {200000, 4, 0}, {200000, 70000, 0},
    };
    uint64_t position = 0;
    for (const auto& read : reads) {
        EXPECT_TRUE(read.at < 0 || file->Seek(read.at, rw::SeekFrom::Start, &position));
        const uint64_t from = position;
        std::string got(read.count, '\0');
        EXPECT_EQ(file->Read(&got[0], read.count), read.got) << read.at;
        EXPECT_EQ(got.substr(0, read.got), bytes.substr(from, read.got)) << read.at;
        EXPECT_TRUE(file->Seek(0, rw::SeekFrom::Current, &position) && position == from + read.got);
    }
    EXPECT_FALSE(file->Seek(-200001, rw::SeekFrom::Current, &position));
    EXPECT_TRUE(file->Seek(-200000, rw::SeekFrom::Current, &position) && position == 0);
    // A walk in odd steps crosses every edge of a read ahead.
    ASSERT_TRUE(file->Seek(0, rw::SeekFrom::Start, &position));
    std::string walked(bytes.size() + 999, '\0');
    size_t at = 0;
    for (uint32_t n = 1; n > 0; at += n) n = file->Read(&walked[at], 999);
    EXPECT_TRUE(at == bytes.size() && walked.compare(0, at, bytes) == 0);
    os.Close(file);
    // A folder is no file, nor a device; refused, it is closed.
#ifdef __linux__
    const auto open = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto opened = open();
#endif
    const merge::Status folder = os.OpenForReading(dir.string().c_str(), &file);
    EXPECT_FALSE(folder.ok() || folder.Is(merge::Problem::NotADiskFile));
#ifdef __linux__
    EXPECT_EQ(open(), opened);
#endif

    // Names of one file, also through a folder not made yet, are one file.
    const auto identity = [&](const char* name) { return merge::FileIdentity(os, Path(name)); };
    EXPECT_EQ(identity("model"), identity("dff/../model"));
    bool made = false;
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str(), &made).ok() && made);
    EXPECT_TRUE(os.MakeDirectory(Path("dff").c_str(), &made).ok() && !made);
    EXPECT_FALSE(os.MakeDirectory(Path("model").c_str(), &made).ok() || made);
    EXPECT_EQ(identity("dff/new"), identity("dff/../dff/new"));
    EXPECT_NE(identity("dff/new"), identity("dff/old"));
#ifndef _WIN32
    // A name not made yet right under the root is under the root.
    EXPECT_EQ(merge::FileIdentity(os, "/tintweld-none"),
              merge::FileIdentity(os, "/tmp/../tintweld-none"));
#endif
    // Only an empty folder is removed.
    std::ofstream(Path("dff/kept")) << "kept";
    os.RemoveFolder(Path("dff").c_str());
    EXPECT_TRUE(fs::exists(Path("dff/kept")));
    os.Remove(Path("dff/kept").c_str());
    os.RemoveFolder(Path("dff").c_str());
    EXPECT_FALSE(fs::exists(Path("dff")));

    uint8_t* empty = os.AllocateZeroed(0);  // a geometry without vertices
    EXPECT_NE(empty, nullptr);
    os.Release(empty);
}

#ifdef _WIN32
TEST(Win32Names, SeparatorsErrorTextsAndCodePages) {
    // ソ is 0x83 0x5C in code page 932: its second byte is no separator.
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 932), 5u);
    EXPECT_EQ(NameStartIn("C:\\x\\\x83\x5C.dff", 1252), 7u);
    EXPECT_EQ(NameStartIn("C:/x/y.dff", 65001), 5u);
    EXPECT_EQ(SystemErrorText(0x20001234), "Unknown error 536875572\r\n");
    // Counted as Windows counts a path: UTF-16 code units.
    EXPECT_EQ(Utf16Length("\xD0\xB6\xE6\xA8\xA1\xF0\x9F\x98\x80"), 4u);  // ж, 模 and a pair
    // Names in the process code page: UTF-8 under the manifest (by UTF-8's own
    // rules: only a broken UTF-16 name is inexact), best fit refused elsewhere.
    ASSERT_EQ(GetACP(), 65001u);
    const wchar_t* polish = L"\x017C\x00F3\x0142w";  // żółw
    struct Case { const wchar_t* text; UINT codePage; const char* converted; bool exact; };
    const Case cases[] = {
        {polish, CP_ACP, "\xC5\xBC\xC3\xB3\xC5\x82w", true},
        {polish, CP_UTF8, "\xC5\xBC\xC3\xB3\xC5\x82w", true},
        {L"a\xD800" L"b", CP_ACP, "a\xEF\xBF\xBD" "b", false},  // an unpaired surrogate
        {polish, 1252, "?\xF3?w", false},  // never the look-alike "zólw"
        {L"\x30BD\x30D5\x30C8", 932, "\x83\x5C\x83\x74\x83\x67", true},  // ソフト
        {polish, 932, "???w", false},
    };
    for (const Case& c : cases) {
        bool exact = !c.exact;
        EXPECT_EQ(ToCodePage(c.text, c.codePage, &exact), c.converted) << c.codePage;
        EXPECT_EQ(exact, c.exact) << c.codePage;
    }
}

// The rename in one step that replaces a file in use where the system has it, else the move
// over the target; either failing leaves both files as they were. Nothing is swapped; a move
// to a free name finds a file there taken.
bool RenameByHandleFails, MoveFails;
BOOL WINAPI StandInSetInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID data,
                                  DWORD size);
BOOL WINAPI StandInMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (MoveFails) return SetLastError(ERROR_SHARING_VIOLATION), FALSE;
    return MoveFileExW(from, to, flags);
}

TEST_F(OsTest, AModelIsReplacedInOneStep) {
    os.calls = {StandInMove, StandInSetInformation};
    const std::string target = Path("model.dff"), temporary = Path("model.df~");
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        RenameByHandleFails = row > 0, MoveFails = row > 1;
        std::ofstream(target) << "old";
        std::ofstream(temporary) << "new";
        const merge::Status status = os.Replace(temporary.c_str(), target.c_str());
        EXPECT_EQ(status.code, row > 1 ? unsigned{ERROR_SHARING_VIOLATION} : 0u);
        EXPECT_EQ(Contents(target), row > 1 ? "old" : "new");
        EXPECT_EQ(fs::exists(temporary), row > 1);
    }
    RenameByHandleFails = MoveFails = false;
    EXPECT_TRUE(os.Exchange(temporary.c_str(), target.c_str()).Is(merge::Problem::Unsupported));
    EXPECT_TRUE(os.MoveNew(temporary.c_str(), target.c_str()).Is(merge::Problem::Exists));
    EXPECT_TRUE(os.MoveNew(temporary.c_str(), Path("free.dff").c_str()).ok());
    EXPECT_EQ(Contents(Path("free.dff")), "new");
    SetFileAttributesW(fs::path(target).wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    std::ofstream(temporary) << "new";
    EXPECT_EQ(os.Replace(temporary.c_str(), target.c_str()).code, unsigned{ERROR_ACCESS_DENIED});
    SetFileAttributesW(fs::path(target).wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file's access list, as the system reads it back, in its text form.
std::string AccessList(const std::string& path) {
    HANDLE file = CreateFileW((L"\\\\?\\" + fs::path(path).wstring()).c_str(), READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    wchar_t* text = nullptr;
    const SECURITY_INFORMATION dacl = DACL_SECURITY_INFORMATION;
    if (file != INVALID_HANDLE_VALUE &&
        GetSecurityInfo(file, SE_FILE_OBJECT, dacl, nullptr, nullptr, &acl, nullptr,
                        &descriptor) == ERROR_SUCCESS)
        ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, dacl,
                                                             &text, nullptr);
    const std::wstring list = text ? text : L"none";
    LocalFree(text);
    LocalFree(descriptor);
    CloseHandle(file);
    return std::string(list.begin(), list.end());
}

// The creation time and attributes given to a file (Wine keeps no creation time of its own),
// and the rename by handle refused as asked.
FILE_BASIC_INFO Given;
BOOL WINAPI StandInSetInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID data,
                                  DWORD size) {
    if (kind == FileBasicInfo) Given = *static_cast<FILE_BASIC_INFO*>(data);
    if (kind != FileBasicInfo && RenameByHandleFails)
        return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    return SetFileInformationByHandle(file, kind, data, size);
}

// The temporary file lets its owner alone in, then takes the target's access list (or, with no
// target, the one its folder gives a new file), creation time and attributes, which the rename
// keeps, whichever way it replaces the target.
TEST_F(OsTest, TheTargetsAccessListAndAttributesBeforeTheRename) {
    std::ofstream(Path("plain.dff")) << "plain";
    merge::OutputFile* file = nullptr;
    ASSERT_TRUE(os.CreateNewFile(Path("new.df~").c_str(), &file).ok());
    const std::string own = AccessList(Path("new.df~"));
    EXPECT_EQ(own.find(";;;WD)"), std::string::npos) << own;  // Wine adds SYSTEM (SY) to it
    EXPECT_NE(own, AccessList(Path("plain.dff")));
    EXPECT_TRUE(os.TakePermissionsOf(file, nullptr).ok());
    EXPECT_TRUE(os.CloseOutput(file).ok());
    EXPECT_EQ(AccessList(Path("new.df~")), AccessList(Path("plain.dff")));

    os.calls = {StandInMove, StandInSetInformation};
    const std::string target = Path("model.dff"), temporary = Path("model.df~");
    const std::wstring wideTarget = fs::path(target).wstring();
    for (const bool byHandle : {true, false}) {
        RenameByHandleFails = !byHandle;
        std::ofstream(target) << "old";
        PSECURITY_DESCRIPTOR readOnly = nullptr;  // everyone may read it, and only read it
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;OW)(A;;FR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
        ASSERT_TRUE(SetFileSecurityW(wideTarget.c_str(), DACL_SECURITY_INFORMATION, readOnly));
        LocalFree(readOnly);
        SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_SYSTEM);
        const std::string wanted = AccessList(target);
        ASSERT_NE(wanted, own);
        ASSERT_TRUE(os.CreateNewFile(temporary.c_str(), &file).ok());
        EXPECT_TRUE(os.Write(file, "new", 3).ok());
        EXPECT_TRUE(os.TakePermissionsOf(file, target.c_str()).ok());
        WIN32_FILE_ATTRIBUTE_DATA found;
        GetFileAttributesExW(wideTarget.c_str(), GetFileExInfoStandard, &found);
        EXPECT_EQ(Given.CreationTime.LowPart, found.ftCreationTime.dwLowDateTime);
        EXPECT_NE(Given.FileAttributes & FILE_ATTRIBUTE_SYSTEM, 0u);
        EXPECT_TRUE(os.CloseOutput(file).ok());
        EXPECT_TRUE(os.Replace(temporary.c_str(), target.c_str()).ok());
        EXPECT_EQ(Contents(target), "new");
        EXPECT_EQ(AccessList(target), wanted);
        EXPECT_NE(GetFileAttributesW(wideTarget.c_str()) & FILE_ATTRIBUTE_SYSTEM, 0u);
        SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove(target);
    }
}

// Names are taken exactly as they are: a trailing dot or blank stays, and
// a device's name is refused before it is opened, promptly.
TEST_F(OsTest, NamesAsTheyAreAndNoDevices) {
    // Made as the exact names they are.
    const auto put = [&](const char* name) {
        std::ofstream(fs::path(L"\\\\?\\" + (dir / fs::u8path(name)).wstring())) << "model";
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
    for (const char* device : {"aux.dff", "COM1.dff", "con.txt.dff", "NUL .dff", "lpt9",
                               "cOm\xC2\xB2", "COM\xC2\xB9.dff", "lpt\xC2\xB3.dff",
                               "Prn. .x.dff"}) {
        put(device);
        EXPECT_TRUE(IsDeviceName(device)) << device;
        // Joined here: the standard library's own conversion may not be UTF-8.
        const std::string path = dir.string() + "\\" + device;
        EXPECT_TRUE(NoDiskFile(os.OpenForReading(path.c_str(), &file)));
    }
    for (const char* name : {"auxiliary.dff", "com10.dff", "lpt0.dff", "nul_.dff",
                             "com\xC2\xB4.dff", "lpt\xC2\xB9x"})
        EXPECT_FALSE(IsDeviceName(name)) << name;
    // The device namespace, however it is written, and a \\?\ path that
    // names no file on a disk; a drive's, a share's and a volume's do.
    const std::string here = Path("t.dff");
    for (const std::string& path : {"\\\\.\\" + here, "//./" + here, "//?/" + here,
                                    std::string(R"(\\?\pipe\x)"), std::string(R"(\\.\pipe\x)")})
        EXPECT_TRUE(IsDevicePath(path.c_str())) << path;
    for (const std::string& path : {"\\\\?\\" + here, std::string(R"(\\?\UNC\s\share\t.dff)"),
                                    std::string(R"(\\?\Volume{0}\t.dff)"), here})
        EXPECT_FALSE(IsDevicePath(path.c_str())) << path;
    // Through \\?\, "t.dff." is itself, not "t.dff", from the full path on.
    put("t.dff.");
    const std::string dotted = "\\\\?\\" + Path("t.dff.");
    std::string full;
    EXPECT_TRUE(os.FullPath(dotted.c_str(), &full).ok() && full == dotted);
    EXPECT_TRUE(os.FullPath(Path("t.dff.").c_str(), &full).ok() && full == Path("t.dff."));
    EXPECT_EQ(os.OpenForReading(dotted.c_str(), &file).ok() ? file->Size() : 0, 5u);
    if (file) os.Close(file);
    bool exact = false;
    EXPECT_EQ(NarrowPath(L"\\\\?\\Volume{0}\\a.", &exact), "\\\\?\\Volume{0}\\a.");
    // No disk file behind a name that is none of the devices': Wine's own.
    EXPECT_TRUE(NoDiskFile(os.OpenForReading("Z:\\dev\\null", &file)));
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
    int exit = 1;
    ASSERT_TRUE(waitpid(child, &exit, 0) == child && exit == 0);
    struct stat status;
    ASSERT_EQ(stat(Path("day.df~").c_str(), &status), 0);
    EXPECT_EQ(std::vector<unsigned>({status.st_mode & 07777, status.st_uid, status.st_gid}),
              std::vector<unsigned>({02777, 65534, 4321}));
}

// The system's copy fails with these errors in turn: an interrupted one is tried again; a
// file system that cannot copy so copies nothing, for the caller to copy through a buffer.
int CopyErrors[2];
ssize_t StandInCopy(int from, off64_t* fromAt, int to, off64_t* toAt, size_t length,
                    unsigned flags) {
    for (int& error : CopyErrors)
        if (error != 0) return errno = error, error = 0, -1;
    return CopyFileRange(from, fromAt, to, toAt, length, flags);
}

unsigned ModeOf(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

TEST_F(OsTest, WritesCopiesStampsAndReplaces) {
    const auto descriptors = [] {  // every one opened is closed
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto descriptorsBefore = descriptors();
    std::ofstream(Path("from")) << "0123456789";
    rw::ByteStream* from = nullptr;
    merge::OutputFile* to = nullptr;
    ASSERT_TRUE(os.CreateNewFile(Path("to").c_str(), &to).ok());
    ASSERT_TRUE(os.OpenForReading(Path("from").c_str(), &from).ok());
    EXPECT_EQ(ModeOf(Path("to")), 0600u);  // ours alone until it has the target's permissions
    EXPECT_EQ(os.CreateNewFile(Path("to").c_str(), &to).code, unsigned{EEXIST});
    os.copyFileRange = StandInCopy;
    const struct { int first, second; uint64_t copied; uint32_t error; } rows[] = {
        {0, 0, 5, 0}, {EINTR, 0, 5, 0}, {EXDEV, 0, 0, 0}, {EINVAL, 0, 0, 0},
        {ENOSYS, 0, 0, 0}, {EOPNOTSUPP, 0, 0, 0}, {EINTR, EIO, 0, EIO},
    };
    for (const auto& row : rows) {
        CopyErrors[0] = row.first, CopyErrors[1] = row.second;
        uint64_t copied = 99;
        EXPECT_EQ(os.CopyRange(from, 2, 5, to, &copied).code, row.error) << row.first;
        EXPECT_EQ(copied, row.copied) << row.first;
    }
    uint64_t copied = 99;  // at the end of the file: nothing to copy, and nothing wrong
    EXPECT_TRUE(os.CopyRange(from, 10, 5, to, &copied).ok() && copied == 0);
    errno = EINTR;  // left by an earlier call: no failure of a write that succeeds
    EXPECT_TRUE(os.Write(to, "ab", 2).ok() && os.Flush(to).ok());
    // Cut short by the largest file we may write: the rest is tried, then refused.
    merge::OutputFile* cut = nullptr;
    struct rlimit limit;
    ASSERT_TRUE(os.CreateNewFile(Path("cut").c_str(), &cut).ok() &&
                getrlimit(RLIMIT_FSIZE, &limit) == 0);
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit small = {4, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const uint32_t code = os.Write(cut, "abcdef", 6).code;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_TRUE(code == EFBIG && os.CloseOutput(cut).ok() && Contents(Path("cut")) == "abcd");
    // With no target, the permissions a new file gets; else the target's.
    EXPECT_TRUE(os.TakePermissionsOf(to, Path("none").c_str()).ok());
    EXPECT_EQ(ModeOf(Path("to")), os.newFileMode);
    chmod(Path("to").c_str(), 0600);
    EXPECT_TRUE(os.TakePermissionsOf(to, nullptr).ok());
    EXPECT_EQ(ModeOf(Path("to")), os.newFileMode);
    chmod(Path("from").c_str(), 0444);
    EXPECT_TRUE(os.TakePermissionsOf(to, Path("from").c_str()).ok());
    EXPECT_TRUE(os.CloseOutput(to).ok());
    EXPECT_EQ(ModeOf(Path("to")), 0444u);
    EXPECT_EQ(Contents(Path("to")), "2345623456ab");

    // Times in nanoseconds; the open file's stamp is its name's.
    const timespec times[2] = {{7, 5}, {7, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path("from").c_str(), times, 0), 0);
    merge::FileStamp at, of;
    EXPECT_TRUE(os.StampAt(Path("from").c_str(), &at).ok() && os.StampOf(from, &of).ok());
    EXPECT_TRUE(merge::SameFile(at, of) && at.modified == 7000000005 && at.size == 10);
    struct stat status;
    EXPECT_TRUE(stat(Path("from").c_str(), &status) == 0 && at.index == status.st_ino &&
                at.device == status.st_dev &&
                at.changed == status.st_ctim.tv_sec * 1000000000 + status.st_ctim.tv_nsec);
    EXPECT_TRUE(os.StampAt(Path("from/x").c_str(), &at).Is(merge::Problem::Absent));  // ENOTDIR
    // A time of whole seconds cannot tell a save within two seconds; a finer one, within a tick.
    EXPECT_FALSE(at.racy);
    for (const timespec& time : {timespec{0, UTIME_NOW}, timespec{time(nullptr) - 1, 0}}) {
        const timespec now[2] = {time, time};
        ASSERT_EQ(utimensat(AT_FDCWD, Path("from").c_str(), now, 0), 0);
        EXPECT_TRUE(os.StampAt(Path("from").c_str(), &at).ok() && at.racy);
    }
    os.Close(from);
    EXPECT_EQ(descriptors(), descriptorsBefore);

    // Over a model read-only to everyone (even to root) nothing is moved.
    std::ofstream(Path("new")) << "new";
    EXPECT_EQ(os.Replace(Path("new").c_str(), Path("from").c_str()).code, unsigned{EACCES});
    EXPECT_EQ(os.Exchange(Path("new").c_str(), Path("from").c_str()).code, unsigned{EACCES});
    EXPECT_TRUE(os.Replace(Path("to").c_str(), Path("model").c_str()).ok());
    EXPECT_EQ(Contents(Path("model")), "2345623456ab");
    EXPECT_TRUE(os.Replace(Path("to").c_str(), Path("other").c_str()).Is(merge::Problem::Absent));
    // The disk, or the user's share of it, full.
    for (int code : {ENOSPC, EDQUOT, EIO})
        EXPECT_EQ(PosixError(code).Is(merge::Problem::OutOfSpace), code != EIO);
}

// Two names swapped in one step, a link as a link; a move to a free name only; where the file
// system has neither, Unsupported, for the caller to do without.
int RenameError;
int StandInRename(const char* from, const char* to, unsigned flags) {
    if (RenameError) return errno = RenameError, -1;
    return RenameWithFlags(from, to, flags);
}

TEST_F(OsTest, NamesSwappedOrMovedToAFreeName) {
    std::ofstream(Path("new")) << "new";
    std::ofstream(Path("old")) << "old";
    fs::create_symlink(Path("old"), Path("link"));
    merge::FileStamp link;
    ASSERT_TRUE(os.StampOfName(Path("link").c_str(), &link).ok());
    EXPECT_EQ(link.kind, merge::FileKind::Link);
    EXPECT_TRUE(os.Exchange(Path("new").c_str(), Path("link").c_str()).ok());
    EXPECT_EQ(Contents(Path("link")), "new");
    merge::FileStamp moved;
    EXPECT_TRUE(os.StampOfName(Path("new").c_str(), &moved).ok() && merge::SameFileMoved(moved, link));
    EXPECT_TRUE(os.MoveNew(Path("link").c_str(), Path("old").c_str()).Is(merge::Problem::Exists));
    EXPECT_TRUE(os.MoveNew(Path("link").c_str(), Path("free").c_str()).ok());
    EXPECT_EQ(Contents(Path("free")), "new");
    os.renameWithFlags = StandInRename;
    for (int error : {EINVAL, ENOSYS, EOPNOTSUPP, EPERM}) {
        RenameError = error;
        const bool unsupported = error != EPERM;
        EXPECT_EQ(os.Exchange(Path("free").c_str(), Path("old").c_str())
                      .Is(merge::Problem::Unsupported), unsupported) << error;
        EXPECT_EQ(os.MoveNew(Path("free").c_str(), Path("gone").c_str())
                      .Is(merge::Problem::Unsupported), unsupported) << error;
    }
}

// A FIFO and a device are no models: refused with one line on every system,
// and never waited for. A link to a folder is listed, but not as a folder
// to go into.
TEST_F(OsTest, LinksFoldersAndPaths) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    rw::ByteStream* file = nullptr;
    EXPECT_TRUE(NoDiskFile(os.OpenForReading(Path("fifo").c_str(), &file)));
    EXPECT_TRUE(NoDiskFile(os.OpenForReading("/dev/null", &file)));
    std::ofstream(Path("a")) << "a";
    fs::create_directory(Path("sub"));
    fs::create_symlink(Path("a"), Path("link"));
    fs::create_symlink(Path("gone"), Path("dangling"));
    fs::create_directory_symlink(dir, Path("loop"));
    std::string resolved;
    EXPECT_TRUE(os.ResolveLinks(Path("link").c_str(), &resolved).ok());
    EXPECT_EQ(resolved, fs::canonical(Path("a")).string());
    // A name that is no link is kept as it is given.
    EXPECT_TRUE(os.ResolveLinks(Path("sub/../a").c_str(), &resolved).ok() &&
                resolved == Path("sub/../a"));
    EXPECT_EQ(os.ResolveLinks(Path("dangling").c_str(), &resolved).text,
              "No such file or directory\r\n");
    for (const std::string& folder : {dir.string(), dir.string() + "/"}) {
        std::vector<merge::FolderEntry> entries;
        ASSERT_TRUE(os.ListFolder(folder.c_str(), &entries).ok());
        std::set<std::pair<std::string, bool>> listed;
        for (const merge::FolderEntry& entry : entries) listed.insert({entry.name, entry.isFolder});
        EXPECT_EQ(listed, (std::set<std::pair<std::string, bool>>{
                              {"a", false}, {"dangling", false}, {"fifo", false},
                              {"link", false}, {"loop", false}, {"sub", true}}));
    }
    std::vector<merge::FolderEntry> entries;
    const merge::Problem absent = merge::Problem::Absent;
    EXPECT_TRUE(os.ListFolder(Path("none").c_str(), &entries).Is(absent));
    EXPECT_TRUE(os.SyncFolder(Path("none").c_str()).Is(absent));
    EXPECT_TRUE(os.SyncFolder(dir.c_str()).ok() && os.SyncFileSystem(dir.c_str()).ok());
    EXPECT_TRUE(os.SyncFileSystem(Path("none").c_str()).Is(absent));
    EXPECT_EQ(os.NameStart("/a/b.dff"), 3u);
    EXPECT_EQ(os.NameStart("b.dff"), 0u);
    // Without "." parts and repeated separators; "..", which links make meaningful, stays.
    const std::string here = fs::current_path().string();
    std::string full = "/left/over";
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"/a//b/./c/", "/a/b/c"}, {"/./", "/"}, {"/a/../b", "/a/../b"},
             {"x/./y", here + "/x/y"}})
        EXPECT_TRUE(os.FullPath(row.first.c_str(), &full).ok() && full == row.second) << full;
    // Standard input, closed, is opened on the null device: no model takes its place.
    EXPECT_TRUE(process::PrepareStandardStreams());
    EXPECT_EQ(fs::read_symlink("/proc/self/fd/0"), "/dev/null");
}
#endif

}  // namespace
