// The operating system in memory, for the pipeline's tests and its fuzzer:
// files, folders and links in maps keyed by Windows-style paths, faults on
// demand, and a record of what the pipeline did (its calls in order, its
// memory blocks and handles).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "merge/Os.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// Windows error codes; each fails with the system's English text.
enum class SystemError : uint32_t {
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    NotEnoughMemory = 8,
    SharingViolation = 32,
    FileExists = 80,
    DiskFull = 112,
};
std::string ErrorText(SystemError error);

// The calls that faults can be injected into.
enum class Call {
    Open, MakeDirectory, Create, Write, TakePermissions, Flush, CloseOutput, Replace,
    SyncFolder, Allocate, Count
};

struct MemoryOs final : merge::Os {
    MemoryOs() = default;
    ~MemoryOs();
    MemoryOs(const MemoryOs&) = delete;
    MemoryOs& operator=(const MemoryOs&) = delete;

    // --- The world ---
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;       // a file's folder must be one of these
    std::set<std::string> readOnly;
    std::map<std::string, std::string> links;  // a link's path, and the path it names

    // --- Faults ---
    // The k-th call (from 1) of call fails with error. A failing Write
    // stores half of its bytes first, as a full disk would.
    void FailCall(Call call, int k, SystemError error);
    // Reads of a file deliver no byte at or past this offset, though its size
    // says more: a file that cannot be read to its end.
    std::map<std::string, uint64_t> readableUpTo;
    // The size a file claims instead of its number of bytes.
    std::map<std::string, uint64_t> declaredSize;

    // --- What happened ---
    // "Create path", "Write path", "TakePermissions path target", "Flush
    // path", "CloseOutput path", "Replace temporary target", "SyncFolder
    // folder", "Remove path", in order.
    std::vector<std::string> trace;
    int calls[static_cast<int>(Call::Count)] = {};
    int allocations = 0, releases = 0, doubleReleases = 0, badCloses = 0;
    size_t largestAllocation = 0;
    std::map<std::string, int> opens;
    std::map<std::string, uint64_t> bytesRead;
    size_t OpenHandles() const { return streams.size() + outputs.size(); }
    size_t LiveBlocks() const { return blocks.size(); }

    // --- merge::Os ---
    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;
    merge::Status MakeDirectory(const char* path) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override;
    merge::Status Flush(merge::OutputFile* file) override;
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status SyncFolder(const char* folder) override;
    merge::Status SyncFileSystem(const char* path) override;
    void Remove(const char* path) override;
    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;
    merge::Status FullPath(const char* name, std::string* full) override;
    merge::Status ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) override;
    std::string FileIdentity(const char* path) override;
    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

private:
    struct Stream;
    // The failure of this call of call, if one was asked for.
    bool Faulted(Call call, merge::Status* status);
    bool IsOpenForReading(const std::string& path) const;
    std::string PathOf(merge::OutputFile* file) const;

    std::multimap<int, std::pair<int, SystemError>> faults;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::map<uint8_t*, size_t> blocks;
    int nextOutput = 1;
};

// The folder part of a path (before its last separator); empty when none.
std::string ParentFolder(const std::string& path);

}  // namespace testsupport
