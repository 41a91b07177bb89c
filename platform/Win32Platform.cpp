#include "platform/Win32Platform.h"

#include <cstdio>

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

rw::ByteStream* Win32Platform::OpenForReading(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new Win32File(handle);
}

void Win32Platform::Close(rw::ByteStream* file) {
    if (!file) return;
    Win32File* win32File = static_cast<Win32File*>(file);
    CloseHandle(win32File->handle);
    delete win32File;
}

void Win32Platform::MakeDirectory(const char* path) {
    CreateDirectoryA(path, nullptr);
}

merge::OutputFile* Win32Platform::CreateNewFile(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new merge::OutputFile{handle};
}

bool Win32Platform::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(file->handle, data, size, &written, nullptr)) return false;
    return written == size;
}

bool Win32Platform::CloseOutput(merge::OutputFile* file) {
    bool flushed = FlushFileBuffers(file->handle) != 0;
    bool closed = CloseHandle(file->handle) != 0;
    delete file;
    return flushed && closed;
}

bool Win32Platform::MoveFileOver(const char* from, const char* to) {
    // Windows refuses to move over a read-only file; Wine moves over it, so
    // the refusal is made here, with the error Windows gives.
    DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // A target open elsewhere without delete sharing makes this fail too.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Win32Platform::RemoveFile(const char* path) {
    DeleteFileA(path);
}

uint8_t* Win32Platform::AllocateZeroed(size_t size) {
    return static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
}

void Win32Platform::Release(uint8_t* block) {
    if (block) GlobalFree(block);
}

std::string Win32Platform::LastErrorText() {
    return SystemErrorText(GetLastError());
}
