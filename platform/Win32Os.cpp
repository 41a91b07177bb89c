// The pipeline's and the batch's operating system over kernel32. Every path
// goes to the wide calls in the \\?\ form where it is a full path, so that
// the system takes it exactly as it is.
#include "platform/SystemOs.h"

using merge::Status;

// A file of the pipeline's world is a handle; output files are opaque to it.
struct merge::OutputFile {
    HANDLE handle;
    std::wstring path;
};

namespace {

struct Win32File final : rw::ByteStream {
    explicit Win32File(HANDLE h) : handle(h) {}

    uint32_t Read(void* buffer, uint32_t count) override {
        DWORD arrived = 0;
        if (!ReadFile(handle, buffer, count, &arrived, nullptr)) return 0;
        return arrived;
    }

    bool Seek(int64_t distance, rw::SeekFrom from, uint64_t* newPosition) override {
        LARGE_INTEGER move;
        move.QuadPart = distance;
        LARGE_INTEGER position;
        DWORD method = from == rw::SeekFrom::Start ? FILE_BEGIN : FILE_CURRENT;
        // Refuses a position before the start and leaves the position as it was.
        if (!SetFilePointerEx(handle, move, &position, method)) return false;
        if (newPosition) *newPosition = static_cast<uint64_t>(position.QuadPart);
        return true;
    }

    uint64_t Size() override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle, &size)) return 0;
        return static_cast<uint64_t>(size.QuadPart);
    }

    HANDLE handle;
};

Status LastError() { return Win32Error(GetLastError()); }

Status Check(BOOL succeeded) { return succeeded ? Status{} : LastError(); }

// Opened to be asked about, not read: a folder too, and whatever others do
// with it meanwhile.
HANDLE OpenToAsk(const char* path, DWORD flags) {
    return CreateFileW(WidePath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

Status StampOfHandle(HANDLE handle, merge::FileStamp* stamp);

Status NotADiskFile() {
    Status status = Win32Error(ERROR_BAD_DEVICE);
    status.problem = merge::Problem::NotADiskFile;
    return status;
}

// Whether a save of the same size, made since now, could leave the file's
// time as it is: where times are whole seconds (2 on FAT), or as recent as
// the system's clock tick. Times in 100 ns.
bool Racy(int64_t modified) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t time = static_cast<int64_t>(uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime);
    const int64_t granularity = modified % 10000000 == 0 ? 20000000 : 200000;
    return time - modified < granularity;
}

Status StampOfHandle(HANDLE handle, merge::FileStamp* stamp) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return LastError();
    stamp->device = information.dwVolumeSerialNumber;
    stamp->index = uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
    stamp->size = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    stamp->modified =
        static_cast<int64_t>(uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32 |
                             information.ftLastWriteTime.dwLowDateTime);
    // Where the system keeps it: also a change of attributes or of the
    // file's streams.
    FILE_BASIC_INFO basic;
    stamp->changed = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
                         ? basic.ChangeTime.QuadPart
                         : 0;
    const DWORD attributes = information.dwFileAttributes;
    stamp->kind = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? merge::FileKind::Link
                  : attributes & FILE_ATTRIBUTE_DIRECTORY   ? merge::FileKind::Folder
                  : GetFileType(handle) == FILE_TYPE_DISK   ? merge::FileKind::File
                                                            : merge::FileKind::Other;
    stamp->racy = Racy(stamp->modified);
    return {};
}

}  // namespace

Status Win32Os::OpenForReading(const char* path, rw::ByteStream** file) {
    // A device's name or path is no model's, whatever it may name: refused
    // before it is opened, since opening some devices waits for ever.
    if (IsDevicePath(path)) return NotADiskFile();
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return NotADiskFile();
    }
    *file = new Win32File(handle);
    return {};
}

void Win32Os::Close(rw::ByteStream* file) {
    Win32File* win32File = static_cast<Win32File*>(file);
    CloseHandle(win32File->handle);
    delete win32File;
}

Status Win32Os::StampOf(rw::ByteStream* file, merge::FileStamp* stamp) {
    return StampOfHandle(static_cast<Win32File*>(file)->handle, stamp);
}

Status Win32Os::StampAt(const char* path, merge::FileStamp* stamp) {
    HANDLE file = OpenToAsk(path, 0);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    const Status status = StampOfHandle(file, stamp);
    CloseHandle(file);
    return status;
}

Status Win32Os::StampOfName(const char* path, merge::FileStamp* stamp) {
    if (IsDevicePath(path)) return NotADiskFile();
    HANDLE file = OpenToAsk(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    const Status status = StampOfHandle(file, stamp);
    CloseHandle(file);
    return status;
}

Status Win32Os::MakeDirectory(const char* path, bool* made) {
    const std::wstring wide = WidePath(path);
    *made = CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
    if (*made) return {};
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return Win32Error(error);
}

Status Win32Os::CreateNewFile(const char* path, merge::OutputFile** file) {
    PrivateAccess access;
    const Status made = MakePrivateAccess(&access);
    if (!made.ok()) return made;
    SECURITY_ATTRIBUTES security{sizeof security, &access.descriptor, FALSE};
    const std::wstring wide = WidePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0,
                                &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = new merge::OutputFile{handle, wide};
    return {};
}

Status Win32Os::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(file->handle, data, size, &written, nullptr)) return LastError();
    return written == size ? Status{} : Win32Error(ERROR_DISK_FULL);
}

// Through the handle, before the replacement, so that the rename keeps them.
Status Win32Os::TakePermissionsOf(merge::OutputFile* file, const char* target) {
    const std::wstring wide = target ? WidePath(target) : std::wstring();
    return TakeAccessOf(calls, file->handle, file->path, target ? wide.c_str() : nullptr);
}

// Copied through the caller's own buffer.
Status Win32Os::CopyRange(rw::ByteStream*, uint64_t, uint64_t, merge::OutputFile*,
                          uint64_t* copied) {
    *copied = 0;
    return {};
}

Status Win32Os::Flush(merge::OutputFile* file) { return Check(FlushFileBuffers(file->handle)); }

Status Win32Os::CloseOutput(merge::OutputFile* file) {
    const Status status = Check(CloseHandle(file->handle));
    delete file;
    return status;
}

// A folder's entries are written through (MOVEFILE_WRITE_THROUGH) by the
// file system itself.
Status Win32Os::SyncFolder(const char*) { return {}; }

Status Win32Os::SyncFileSystem(const char*) { return Win32Error(ERROR_NOT_SUPPORTED); }

void Win32Os::Remove(const char* path) { DeleteFileW(WidePath(path).c_str()); }

void Win32Os::RemoveFolder(const char* path) { RemoveDirectoryW(WidePath(path).c_str()); }

Status Win32Os::Interrupted() { return Win32Error(ERROR_OPERATION_ABORTED); }

size_t Win32Os::NameStart(const char* path) { return NameStartIn(path, CP_ACP); }

Status Win32Os::ResolveLinks(const char* path, std::string* resolved) {
    *resolved = path;
    HANDLE file = OpenToAsk(path, 0);
    if (file == INVALID_HANDLE_VALUE) {
        // Nothing there is no failure; something there that cannot be opened
        // (a link to nothing) is.
        const DWORD error = GetLastError();
        return GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES
                   ? Status{}
                   : Win32Error(error);
    }
    merge::FileStamp stamp;
    std::wstring final(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(
        file, &final[0], static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const bool known = length > 0 && length < final.size() && StampOfHandle(file, &stamp).ok();
    CloseHandle(file);
    if (!known) return {};
    bool exact = true;
    const std::string target = NarrowPath(final.c_str(), &exact);
    // The system's name for the file the path ends at (through any links),
    // taken only when it names that very file: a name that ends in a dot or
    // a blank may come back without it, and another file may bear that.
    merge::FileStamp there;
    if (exact && lstrcmpiA(target.c_str(), path) != 0 && StampAt(target.c_str(), &there).ok() &&
        there.device == stamp.device && there.index == stamp.index)
        *resolved = target;
    return {};
}

Status Win32Os::FullPath(const char* name, std::string* full) {
    // A path that the system takes as written (given in the \\?\ form, or
    // full, which WidePath gives that form) stays as it is: the system's
    // reading would drop trailing dots and blanks, and so name another file.
    if (IsVerbatimPath(name)) {
        *full = name;
        return {};
    }
    const std::wstring wide = WidePath(name);
    std::wstring buffer = wide;
    if (wide.compare(0, 4, L"\\\\?\\") != 0) {
        DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (size == 0) return LastError();
        buffer.assign(size, L'\0');
        size = GetFullPathNameW(wide.c_str(), size, &buffer[0], nullptr);
        if (size == 0 || size >= buffer.size()) return LastError();
    }
    // A working folder that the code page cannot hold: the name as it was
    // given, which the system finds there, rather than a look-alike path.
    bool exact = true;
    const std::string narrow = NarrowPath(buffer.c_str(), &exact);
    if (!exact) return Win32Error(ERROR_NO_UNICODE_TRANSLATION);
    *full = narrow;
    return {};
}

Status Win32Os::ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) {
    // The names exactly as the folder holds them, and known as inexact
    // where the code page cannot hold them.
    std::wstring pattern = WidePath(path);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastError();
    do {
        merge::FolderEntry entry;
        entry.name = ToCodePage(found.cFileName, CP_ACP, &entry.exact);
        if (entry.name == "." || entry.name == "..") continue;
        // A folder reached through a reparse point (a link) is not gone into.
        const DWORD folder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        entry.isFolder = (found.dwFileAttributes & folder) == FILE_ATTRIBUTE_DIRECTORY;
        entries->push_back(entry);
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    return error == ERROR_NO_MORE_FILES ? Status{} : Win32Error(error);
}

uint8_t* Win32Os::AllocateZeroed(size_t size) {
    return static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size ? size : 1));
}

void Win32Os::Release(uint8_t* block) { GlobalFree(block); }
