// The pipeline's operating system on POSIX: files, folders, paths, memory
// and the system's error texts (strerror, with CR LF as the log's lines end).
#pragma once

#include <atomic>

#include <vector>

#include "merge/Os.h"

struct FolderEntry;

struct PosixOs final : merge::Os {
    PosixOs();

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

    // For the command line (platform/SystemOs.h says what they do).
    merge::Status SyncFileSystem(const char* path);
    merge::Status FullPath(const char* name, std::string* full);
    merge::Status ListFolder(const char* path, std::vector<FolderEntry>* entries);
    std::string FileIdentity(const char* path);

    // One flush of the file system costs what a flush of one file does, so
    // a batch flushes once for many files.
    static constexpr bool SyncsWholeFileSystems = true;

    // Once set, no new file is made and nothing is replaced any more (an
    // interrupted run): those calls fail with EINTR.
    const std::atomic<bool>* stop = nullptr;

    // The permissions that a new file gets when it replaces nothing.
    unsigned newFileMode;
};

// errno's text as a failed Status.
merge::Status PosixError(int code);
