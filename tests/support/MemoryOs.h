// The operating system in memory, for the pipeline's tests and its fuzzer:
// files and folders keyed by Windows-style paths, faults on demand, and a
// record of what the pipeline did: its temporary files, and every block,
// handle and byte read.
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
    FileNotFound = 2, PathNotFound = 3, AccessDenied = 5, NotEnoughMemory = 8,
    SharingViolation = 32, FileExists = 80, DiskFull = 112,
};
std::string ErrorText(SystemError error);

// The calls that faults can be injected into.
enum class Call {
    Open, MakeDirectory, Create, Write, TakePermissions, Flush, CloseOutput, Replace,
    SyncFolder, Allocate, Count
};

struct MemoryOs final : merge::Os {
    MemoryOs() = default;
    MemoryOs(const MemoryOs&) = delete;
    ~MemoryOs();

    // The world.
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;  // a file's folder must be one of these

    // The k-th call (from 1) of call fails with error. A failing Write
    // stores half of its bytes first, as a full disk would.
    void FailCall(Call call, int k, SystemError error);
    // Reads of a file deliver no byte at or past this offset, though its size
    // says more: a file that cannot be read to its end.
    std::map<std::string, uint64_t> readableUpTo;
    // The size a file claims instead of its number of bytes.
    std::map<std::string, uint64_t> declaredSize;

    std::vector<std::string> created;  // the temporary files made, in order
    int calls[static_cast<int>(Call::Count)] = {};
    // Blocks released twice, handles closed twice, files moved over their
    // target before they had its permissions and were on the disk.
    int misuses = 0;
    // Temporary files made and neither moved nor removed yet: the target
    // whose permissions each took, and whether it was flushed; folders with a
    // new name not flushed yet.
    struct Temporary {
        std::string permissionsOf;
        bool flushed = false;
    };
    std::map<std::string, Temporary> temporaries;
    std::set<std::string> unflushedFolders;
    // Stands for a flush of the whole file system.
    void FlushAll() {
        for (auto& temporary : temporaries) temporary.second.flushed = true;
    }
    size_t largestAllocation = 0;
    std::map<std::string, uint64_t> bytesRead;
    size_t Held() const { return streams.size() + outputs.size() + blocks.size(); }

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
    void Remove(const char* path) override;
    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;
    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

private:
    struct Stream;
    // The failure asked for this call of call, if any.
    merge::Status Called(Call call);

    std::multimap<int, std::pair<int, SystemError>> faults;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::set<uint8_t*> blocks;
    intptr_t nextOutput = 1;
};

}  // namespace testsupport
