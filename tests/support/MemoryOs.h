// The operating system in memory, as the pipeline and the batch use it:
// files, folders, symbolic and hard links keyed by Windows-style paths; a
// fault, or another program's change, at any call; and a record of what the
// pipeline did: its temporary files, and every block, handle and byte read.
// Safe to use from several threads.
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
    FileExists = 80, DiskFull = 112, NotAFolder = 267, Aborted = 995,
    // Of Replace: the target moved aside and the temporary file not moved
    // over it; both kept, and named.
    KeptBoth = 1177,
};
std::string ErrorText(SystemError error);
merge::Status Failure(SystemError error);

// Every call but the streams' reads and the blocks' releases comes here
// first, and holds the lock until it returns.
#define CALLED(call)                                    \
    std::lock_guard<std::recursive_mutex> lock(mutex); \
    merge::Status status = Called(call)

// The calls that faults can be injected into: every one that can fail.
enum class Call {
    Open, MakeDirectory, Create, Write, TakePermissions, Flush, CloseOutput, Replace,
    SyncFolder, Allocate, StampAt, SyncFileSystem, StartThread, CopyRange, StampOf,
    ResolveLinks, FullPath, ListFolder,
    // A step after the replacement: its fault leaves the target replaced.
    AfterReplace, Count
};

struct MemoryOs final : merge::Os {
    MemoryOs() { stop = &stopped, abandon = &abandoned; }
    ~MemoryOs();
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;  // a file's folder must be one of these
    std::map<std::string, std::string> links;  // symbolic, and the paths they name

    // The k-th call (from 1) of call fails with error; a failed call may
    // still have filled its outputs. A failing Write stores half of its
    // bytes first, as a full disk would.
    void FailCall(Call call, int k, SystemError error) {
        faults.insert({static_cast<int>(call), {k, error}});
    }
    // Before the k-th call of call (and any fault of it), does what another
    // program or the user would do then.
    void Before(Call call, int k, std::function<void()> action) {
        actions.insert({static_cast<int>(call), {k, std::move(action)}});
    }
    // Another program saves the file in place: new bytes under every name of
    // it, and a new stamp.
    void Change(const std::string& path, const Bytes& bytes);
    // Gives the file at existing one more name.
    void HardLink(const std::string& name, const std::string& existing);
    std::atomic<bool> stopped{false};    // an interruption
    std::atomic<bool> abandoned{false};  // a second one
    bool ignoresCase = false;
    // What the system's copy between files does: copies all it is asked
    // for, copies so many bytes at most a call, or refuses (0).
    uint64_t copiesAtMost = UINT64_MAX;
    bool syncsWholeFileSystems = true;
    // Reads stop at this offset, though the size says more; the size a file
    // claims instead of its number of bytes.
    std::map<std::string, uint64_t> readableUpTo, declaredSize;

    int calls[static_cast<int>(Call::Count)] = {};
    // Blocks released twice or written past their end, handles closed
    // twice, files moved over their target before they had its permissions
    // and were on the disk.
    int misuses = 0;
    // Temporary files neither moved nor removed yet, with the target whose
    // permissions each took and its flush; folders with a new name unflushed.
    struct Temporary { std::string permissionsOf; bool flushed = false; };
    std::map<std::string, Temporary> temporaries;
    std::set<std::string> unflushedFolders;
    size_t largestAllocation = 0;
    std::map<std::string, uint64_t> bytesRead;
    size_t Held() const { return streams.size() + outputs.size() + blocks.size(); }

    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;
    merge::Status StampOf(rw::ByteStream* file, merge::FileStamp* stamp) override;
    merge::Status StampAt(const char* path, merge::FileStamp* stamp) override;
    merge::Status MakeDirectory(const char* path, bool* made) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override {
        CALLED(Call::TakePermissions);
        if (status.ok()) temporaries[outputs.at(file)].permissionsOf = target;
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
    // Asked for, even when it fails, it comes after the replacement.
    merge::Status SyncFolder(const char* folder) override {
        CALLED(Call::SyncFolder);
        unflushedFolders.erase(folder);
        return status;
    }
    void Remove(const char* path) override {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        files.erase(path), temporaries.erase(path);
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
    // Relative names are below C:\work.
    merge::Status FullPath(const char* name, std::string* full) override;
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
    // The failure asked for this call of call, if any.
    merge::Status Called(Call call);
    // The file a path names, through its symbolic links.
    std::string Followed(std::string path);
    merge::FileStamp StampOfPath(const std::string& path);

    std::recursive_mutex mutex;
    std::multimap<int, std::pair<int, SystemError>> faults;
    std::multimap<int, std::pair<int, std::function<void()>>> actions;
    // Each name's file (a new identity for every file made, shared by its
    // hard links) and version (a new one for every change too).
    std::map<std::string, uint64_t> identities, versions;
    uint64_t lastVersion = 0;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::map<uint8_t*, size_t> blocks;  // and their sizes
    intptr_t nextOutput = 1;
};

}  // namespace testsupport
