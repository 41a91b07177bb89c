// An in-memory merge::Platform for the tests and the fuzzer: files and
// folders in maps keyed by path, the log as a string, the controls as the
// window starts them, faults on demand, and counters that show what the
// pipeline did (allocations and releases, open handles, bytes read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "merge/Platform.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// Errors with the code and the English text Windows gives for them.
enum class SystemError : uint32_t {
    None = 0,
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    NotEnoughMemory = 8,
    SharingViolation = 32,
    FileExists = 80,
    DiskFull = 112,
};

// The operations that faults can be injected into.
enum class Operation {
    Open,
    MakeDirectory,
    Create,
    Write,
    CloseOutput,
    Replace,
    Allocate,
    Count
};

struct MemoryPlatform final : merge::Platform {
    MemoryPlatform();
    ~MemoryPlatform();
    MemoryPlatform(const MemoryPlatform&) = delete;
    MemoryPlatform& operator=(const MemoryPlatform&) = delete;

    // --- The world, for tests to set up and inspect ---
    std::map<std::string, Bytes> files;
    // Folders that exist besides those that hold a file.
    std::set<std::string> folders;
    // Files that cannot be replaced (read-only).
    std::set<std::string> readOnly;
    std::string log;
    std::map<int, bool> checked;
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;

    // --- Faults ---
    // The k-th call (counting from 1 since the start) of op fails with error.
    // A failing Write stores half of its bytes first, as a full disk would.
    void FailCall(Operation op, int k, SystemError error);
    // Reads of path deliver no byte at or past offset, though the file's size
    // says more: a file that cannot be read to its end.
    std::map<std::string, uint64_t> readableUpTo;
    // The size a file claims when opened, instead of its number of bytes (the
    // reads past its bytes come up short): a file too large to hold here.
    std::map<std::string, uint64_t> declaredSize;
    // Allocations above this many bytes fail (out of memory).
    size_t allocationLimit = size_t{1} << 30;

    // --- Counters ---
    int calls[static_cast<int>(Operation::Count)] = {};
    int allocations = 0;
    int releases = 0;
    int doubleReleases = 0;  // releases of a block not (or no longer) allocated
    int badCloses = 0;       // closes of a handle not (or no longer) open
    size_t largestAllocation = 0;
    std::map<std::string, int> opensForReading;
    std::map<std::string, uint64_t> bytesRead;
    std::vector<std::string> deleted;
    int OpenHandles() const { return static_cast<int>(streams.size()); }
    int OpenOutputs() const { return static_cast<int>(outputs.size()); }
    int LiveBlocks() const { return static_cast<int>(blocks.size()); }
    bool FolderExists(const std::string& path) const;

    // --- merge::Platform ---
    rw::ByteStream* OpenForReading(const char* path) override;
    void Close(rw::ByteStream* file) override;
    void MakeDirectory(const char* path) override;
    merge::OutputFile* CreateNewFile(const char* path) override;
    bool Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    bool CloseOutput(merge::OutputFile* file) override;
    bool MoveFileOver(const char* from, const char* to) override;
    void RemoveFile(const char* path) override;
    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;
    bool IsChecked(int controlId) override;
    void ControlText(int controlId, char* buffer, int size) override;
    void EnableControl(int controlId, bool enabled) override;
    void AppendLog(const char* text) override;
    std::string LastErrorText() override;

private:
    struct Stream;
    struct Fault {
        int k;
        SystemError error;
    };
    // True (with the last error set) when this call of op is to fail.
    bool Faulted(Operation op);
    bool IsOpenForReading(const std::string& path) const;

    std::multimap<int, Fault> faults;
    SystemError lastError = SystemError::None;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::map<uint8_t*, size_t> blocks;
};

// The folder part of a path (before its last '\' or '/'); empty when none.
std::string ParentFolder(const std::string& path);

}  // namespace testsupport
