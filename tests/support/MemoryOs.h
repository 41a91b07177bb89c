// The operating system in memory: files, folders, symbolic and hard links
// under Windows-style paths; a fault, or another program's change, at any
// call; and a record of what the pipeline did. Safe from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "merge/Os.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// Windows error codes; each fails with the system's English text.
enum class SystemError : uint32_t {
    FileNotFound = 2, PathNotFound = 3, AccessDenied = 5, SharingViolation = 32,
    FileExists = 80, DiskFull = 112, NotSupported = 50, NotAFolder = 267, Aborted = 995,
};
std::string ErrorText(SystemError error);
merge::Status Failure(SystemError error);

// Every call but reads and releases holds the lock and meets its planned fault.
#define CALLED(call)                                    \
    std::lock_guard<std::recursive_mutex> lock(mutex); \
    merge::Status status = Called(call)

// The calls that can fail.
enum class Call {
    Open, MakeDirectory, Create, Write, TakePermissions, Flush, CloseOutput, Replace,
    SyncFolder, Allocate, StampAt, SyncFileSystem, StartThread, CopyRange, StampOf,
    ResolveLinks, FullPath, ListFolder, StampOfName, Exchange, MoveNew, Count
};

struct MemoryOs final : merge::Os {
    MemoryOs() { stop = &stopped, abandon = &abandoned; }
    ~MemoryOs();
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;  // a file's folder must be one of these
    std::map<std::string, std::string> links;  // symbolic, and the paths they name

    // The k-th call (from 1) fails, perhaps with its outputs filled; a Write
    // stores half of its bytes first, as a full disk would.
    void FailCall(Call call, int k, SystemError error) { planned.insert({{call, k}, {error, {}}}); }
    // Before the k-th call (and its fault), what another program or the user does.
    void Before(Call call, int k, std::function<void()> action) {
        planned.insert({{call, k}, {SystemError{}, std::move(action)}});
    }
    // Another program saves the file in place: new bytes under each of its
    // names; within the clock's tick, a save of the same size keeps its stamp.
    void Change(const std::string& path, const Bytes& bytes, bool withinTheTick = false);
    void HardLink(const std::string& name, const std::string& existing);
    std::atomic<bool> stopped{false};    // an interruption
    std::atomic<bool> abandoned{false};  // a second one
    bool ignoresCase = false;
    // The system's copy between files: at most so many bytes a call (0: refused).
    uint64_t copiesAtMost = UINT64_MAX;
    bool syncsWholeFileSystems = true;
    // Times as coarse as the clock's tick: every stamp is racy.
    bool coarseClock = false;
    // Names are swapped, and moved only to a free name, in one step.
    bool swapsNames = true;
    // Reads stop at this offset; the size a file claims instead of its own.
    std::map<std::string, uint64_t> readableUpTo, declaredSize;

    int calls[static_cast<int>(Call::Count)] = {};
    // Blocks released twice or overrun, handles closed twice, and files moved
    // over their target without its permissions or before they were on the disk.
    int misuses = 0;
    // Temporary files not yet moved or removed; folders with an unflushed new name.
    struct Temporary { std::string permissionsOf; bool flushed = false; };
    std::map<std::string, Temporary> temporaries;
    std::set<std::string> unflushedFolders;
    size_t largestAllocation = 0;
    std::map<std::string, uint64_t> bytesRead;
    size_t Held() const { return streams.size() + outputs.size() + blocks.size(); }
    size_t BlocksHeld() const { return blocks.size(); }

    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;
    merge::Status StampOf(rw::ByteStream* file, merge::FileStamp* stamp) override;
    merge::Status StampAt(const char* path, merge::FileStamp* stamp) override;
    merge::Status MakeDirectory(const char* path, bool* made) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override {
        CALLED(Call::TakePermissions);
        if (status.ok()) temporaries[outputs.at(file)].permissionsOf = target ? target : "(new)";
        return status;
    }
    merge::Status CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                            merge::OutputFile* file, uint64_t* copied) override;
    merge::Status Flush(merge::OutputFile* file) override {
        CALLED(Call::Flush);
        if (status.ok()) temporaries[outputs.at(file)].flushed = true;
        return status;
    }
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status Exchange(const char* temporary, const char* target) override;
    merge::Status MoveNew(const char* temporary, const char* target) override;
    merge::Status StampOfName(const char* path, merge::FileStamp* stamp) override;
    merge::Status SyncFolder(const char* folder) override {
        CALLED(Call::SyncFolder);
        unflushedFolders.erase(folder);  // even when it fails: it comes after the replacement
        return status;
    }
    void Remove(const char* path) override {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        // A file still open for writing stays, as the system that shares
        // no new file keeps it.
        for (const auto& output : outputs) if (output.second == path) return;
        files.erase(path), links.erase(path), temporaries.erase(path);
    }
    void RemoveFolder(const char* path) override;
    size_t NameStart(const char* path) override {
        return std::string(path).find_last_of("\\/") + 1;
    }
    merge::Status ResolveLinks(const char* path, std::string* resolved) override {
        CALLED(Call::ResolveLinks);
        *resolved = Followed(path);
        return status;
    }
    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;
    merge::Status SyncFileSystem(const char*) override {
        CALLED(Call::SyncFileSystem);
        for (auto& temporary : temporaries) temporary.second.flushed |= status.ok();
        return status;
    }
    bool SyncsWholeFileSystems() override { return syncsWholeFileSystems; }
    merge::Status FullPath(const char* name, std::string* full) override;  // below C:\work
    merge::Status ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) override;
    merge::Status Interrupted() override { return Failure(SystemError::Aborted); }
    char Separator() override { return '\\'; }
    bool NamesIgnoreCase() override { return ignoresCase; }
    bool StartThread(std::function<void()> work, std::thread* thread) override {
        CALLED(Call::StartThread);
        return status.ok() && merge::Os::StartThread(std::move(work), thread);
    }

private:
    struct Stream;
    struct Planned { SystemError error; std::function<void()> action; };
    merge::Status Called(Call call);  // the planned actions run, and the planned fault
    std::string Followed(std::string path);  // through symbolic links
    merge::FileStamp StampOfPath(const std::string& path);
    // Why nothing new can be made at path: its name taken or its folder missing.
    merge::Status Makeable(const std::string& path);
    // The two names' files (or links) swapped, or the first's moved to the second.
    void Swap(const std::string& a, const std::string& b);
    // What a move over target needs: nobody reading it, the file whole and ours.
    merge::Status Moving(merge::Status status, const std::string& temporary,
                         const std::string& target);

    std::recursive_mutex mutex;
    std::multimap<std::pair<Call, int>, Planned> planned;
    // Each name's file (shared by its hard links) and version (new at each change).
    std::map<std::string, uint64_t> identities, versions;
    uint64_t lastVersion = 0;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::map<uint8_t*, size_t> blocks;  // and their sizes
    intptr_t nextOutput = 1;
};

}  // namespace testsupport
