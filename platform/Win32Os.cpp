#include "platform/SystemOs.h"

#include <cstdio>
#include <cstring>

using merge::Status;

// A file of the pipeline's world is a handle; output files are opaque to it.
struct merge::OutputFile {
    HANDLE handle;
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

// The attributes a program may set; the others are the system's.
constexpr DWORD SettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

std::string SystemErrorText(DWORD code) {
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD englishUs = 0x0409;
    char* text = nullptr;
    DWORD length = FormatMessageA(flags, nullptr, code, englishUs,
                                  reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        // No text for this code in English: name the code rather than log nothing.
        char fallback[40];
        std::snprintf(fallback, sizeof fallback, "Unknown error %lu\r\n",
                      static_cast<unsigned long>(code));
        return fallback;
    }
    std::string result(text, length);
    LocalFree(text);
    return result;
}

Status Win32Error(DWORD code) { return Status{true, code, SystemErrorText(code)}; }

std::string ToCodePage(const wchar_t* text, UINT codePage, bool* exact) {
    // The process's own code page by its number: UTF-8 (where the manifest
    // is honoured) takes neither the best-fit flag nor a default character.
    if (codePage == CP_ACP) codePage = GetACP();
    // UTF-8 holds every character; only a broken UTF-16 text fails there.
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL replaced = FALSE;
    int size = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr,
                                   utf8 ? nullptr : &replaced);
    *exact = size > 0 && !replaced;
    if (size == 0) {
        flags = 0;
        size = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, nullptr);
    }
    std::string result(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, flags, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
    return result;
}

size_t Utf16Length(const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    return units > 0 ? static_cast<size_t>(units) - 1 : std::strlen(text);
}

size_t NameStartIn(const char* path, UINT codePage) {
    size_t start = 0;
    for (size_t i = 0; path[i]; ++i) {
        const BYTE c = static_cast<BYTE>(path[i]);
        if (IsDBCSLeadByteEx(codePage, c) && path[i + 1]) {
            ++i;  // the trail byte may look like a separator; it is not one
        } else if (c == '\\' || c == '/') {
            start = i + 1;
        }
    }
    return start;
}

Status Win32Os::OpenForReading(const char* path, rw::ByteStream** file) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = new Win32File(handle);
    return {};
}

namespace {

Status StampOfHandle(HANDLE handle, merge::FileStamp* stamp) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return LastError();
    stamp->device = information.dwVolumeSerialNumber;
    stamp->index = uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
    stamp->size = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    stamp->modified = static_cast<int64_t>(uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32 |
                                           information.ftLastWriteTime.dwLowDateTime);
    // Where the system keeps it: also a change of attributes or of the
    // file's streams.
    FILE_BASIC_INFO basic;
    stamp->changed = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)
                         ? basic.ChangeTime.QuadPart
                         : 0;
    return {};
}

}  // namespace

Status Win32Os::StampOf(rw::ByteStream* file, merge::FileStamp* stamp) {
    return StampOfHandle(static_cast<Win32File*>(file)->handle, stamp);
}

Status Win32Os::StampAt(const char* path, merge::FileStamp* stamp) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    const Status status = StampOfHandle(file, stamp);
    CloseHandle(file);
    return status;
}

void Win32Os::Close(rw::ByteStream* file) {
    Win32File* win32File = static_cast<Win32File*>(file);
    CloseHandle(win32File->handle);
    delete win32File;
}

Status Win32Os::MakeDirectory(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return {};
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesA(path);
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return Win32Error(error);
}

Status Win32Os::CreateNewFile(const char* path, merge::OutputFile** file) {
    if (StopRequested()) return Win32Error(ERROR_OPERATION_ABORTED);
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = new merge::OutputFile{handle};
    return {};
}

Status Win32Os::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(file->handle, data, size, &written, nullptr)) return LastError();
    return written == size ? Status{} : Win32Error(ERROR_DISK_FULL);
}

// The replacement takes the target's access list and attributes (Replace).
Status Win32Os::TakePermissionsOf(merge::OutputFile*, const char*) { return {}; }

Status Win32Os::Flush(merge::OutputFile* file) { return Check(FlushFileBuffers(file->handle)); }

Status Win32Os::CloseOutput(merge::OutputFile* file) {
    const Status status = Check(CloseHandle(file->handle));
    delete file;
    return status;
}

Status Win32Os::Replace(const char* temporary, const char* target) {
    if (StopRequested()) return Win32Error(ERROR_OPERATION_ABORTED);
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Check(MoveFileExA(temporary, target, MOVEFILE_WRITE_THROUGH));
    // Windows refuses to replace a read-only file; so does this, everywhere.
    if (attributes & FILE_ATTRIBUTE_READONLY) return Win32Error(ERROR_ACCESS_DENIED);
    // Keeps the target's access list, creation time and streams; a target
    // open elsewhere without delete sharing makes it fail.
    if (!ReplaceFileA(target, temporary, nullptr, 0, nullptr, nullptr)) return LastError();
    // Where the system did not keep the attributes (Wine), they are put back.
    const DWORD now = GetFileAttributesA(target);
    if (now != INVALID_FILE_ATTRIBUTES &&
        (now & SettableAttributes) != (attributes & SettableAttributes))
        return Check(SetFileAttributesA(target, attributes & SettableAttributes));
    return {};
}

// A folder's entries are written through (MOVEFILE_WRITE_THROUGH) by the
// file system itself.
Status Win32Os::SyncFolder(const char*) { return {}; }

Status Win32Os::SyncFileSystem(const char*) { return Win32Error(ERROR_NOT_SUPPORTED); }

void Win32Os::Remove(const char* path) { DeleteFileA(path); }

size_t Win32Os::NameStart(const char* path) { return NameStartIn(path, CP_ACP); }

Status Win32Os::ResolveLinks(const char* path, std::string* resolved) {
    *resolved = path;
    return {};
}

Status Win32Os::FullPath(const char* name, std::string* full) {
    DWORD size = GetFullPathNameA(name, 0, nullptr, nullptr);
    if (size == 0) return LastError();
    std::string buffer(size, '\0');
    size = GetFullPathNameA(name, size, &buffer[0], nullptr);
    if (size == 0 || size >= buffer.size()) return LastError();
    *full = buffer.c_str();
    return {};
}

Status Win32Os::ListFolder(const char* path, std::vector<cli::FolderEntry>* entries) {
    // Wide names, so that one the code page cannot hold is known as such.
    const std::string pattern = std::string(path) + "\\*";
    std::wstring widePattern(pattern.size() + 1, L'\0');
    widePattern.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_ACP, 0, pattern.c_str(), -1, &widePattern[0], static_cast<int>(widePattern.size()))));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastError();
    do {
        cli::FolderEntry entry;
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

std::string Win32Os::FileIdentity(const char* path) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    if (file != INVALID_HANDLE_VALUE) {
        const BOOL known = GetFileInformationByHandle(file, &information);
        CloseHandle(file);
        if (known)
            return std::to_string(information.dwVolumeSerialNumber) + ":" +
                   std::to_string(information.nFileIndexHigh) + ":" +
                   std::to_string(information.nFileIndexLow);
    }
    const size_t name = NameStart(path);
    if (name <= 1) return path;
    // Names that differ only in case name one file.
    std::string lower = path + name;
    CharLowerBuffA(&lower[0], static_cast<DWORD>(lower.size()));
    return FileIdentity(std::string(path, name - 1).c_str()) + "\\" + lower;
}

uint8_t* Win32Os::AllocateZeroed(size_t size) {
    return static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size ? size : 1));
}

void Win32Os::Release(uint8_t* block) { GlobalFree(block); }
