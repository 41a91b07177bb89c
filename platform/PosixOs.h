// The pipeline's operating system on POSIX: files, folders, paths, memory
// and the system's error texts (strerror, with CR LF as the log's lines end).
#pragma once

#include <string>
#include <vector>

#include "merge/Os.h"

#include <sys/types.h>

// copy_file_range where the system has it; elsewhere a refusal (ENOSYS).
ssize_t CopyFileRange(int from, off64_t* fromOffset, int to, off64_t* toOffset, size_t length,
                      unsigned flags);
// renameat2 where the system has it (flags RENAME_EXCHANGE, RENAME_NOREPLACE);
// elsewhere a refusal (ENOSYS).
int RenameWithFlags(const char* from, const char* to, unsigned flags);

struct PosixOs final : merge::Os {
    PosixOs();

    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;
    merge::Status StampOf(rw::ByteStream* file, merge::FileStamp* stamp) override;
    merge::Status StampAt(const char* path, merge::FileStamp* stamp) override;
    merge::Status StampOfName(const char* path, merge::FileStamp* stamp) override;

    merge::Status MakeDirectory(const char* path, bool* made) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override;
    merge::Status CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                            merge::OutputFile* file, uint64_t* copied) override;
    merge::Status Flush(merge::OutputFile* file) override;
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status Exchange(const char* temporary, const char* target) override;
    merge::Status MoveNew(const char* temporary, const char* target) override;
    merge::Status SyncFolder(const char* folder) override;
    void Remove(const char* path) override;
    void RemoveFolder(const char* path) override;

    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;

    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    merge::Status SyncFileSystem(const char* path) override;
    // One flush of the file system costs what a flush of one file does.
    bool SyncsWholeFileSystems() override { return true; }
    merge::Status FullPath(const char* name, std::string* full) override;
    merge::Status ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) override;
    char Separator() override { return '/'; }
    bool NamesIgnoreCase() override { return false; }
    merge::Status Interrupted() override;

    // The system's copy between files and its renames with flags, as a test
    // can stand in for them.
    ssize_t (*copyFileRange)(int, off64_t*, int, off64_t*, size_t, unsigned) = CopyFileRange;
    int (*renameWithFlags)(const char*, const char*, unsigned) = RenameWithFlags;

    // The permissions that a new file gets when it replaces nothing.
    unsigned newFileMode;
};

// errno's text as a failed Status.
merge::Status PosixError(int code);
