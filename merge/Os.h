// What the merge pipeline and the command line's batch need from the
// operating system: files, folders, paths, memory, threads and whether the
// run was interrupted. One implementation per system (POSIX, Win32) and an
// in-memory one for the tests. Every call that can fail returns its error as
// a value, taken inside the failing call, so a report can never pick up the
// error of a later call.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "rwstream/ByteStream.h"

namespace merge {

// What a failure means to the pipeline, whatever its system's code.
enum class Problem : uint8_t {
    Other,
    Absent,        // no file or folder has the name
    OutOfSpace,    // the disk, or the user's share of it, is full
    NotADiskFile,  // a FIFO, a device, a socket: no file on a disk
    Exists,        // a move that never replaces found the name taken
    Unsupported,   // the file system cannot do this: the caller does without
};

// The outcome of one system call: success, or the system's error code and
// its English text (ending in CR LF).
struct [[nodiscard]] Status {
    bool failed = false;
    uint32_t code = 0;
    std::string text;
    Problem problem = Problem::Other;

    bool ok() const { return !failed; }
    bool Is(Problem wanted) const { return failed && problem == wanted; }
};

// A file open for writing; opaque to the pipeline.
struct OutputFile;

// What tells one version of a file from another: which file it is (its
// volume or device and its index or inode), its size and the times of its
// last changes. A file another program saved over (by writing it, or by
// moving a new file over its name) has another stamp.
enum class FileKind : uint8_t { File, Folder, Link, Other };

struct FileStamp {
    uint64_t device = 0, index = 0, size = 0;
    int64_t modified = 0, changed = 0;  // nanoseconds, or the system's own unit
    FileKind kind = FileKind::File;
    // The file's time cannot tell it from a save of the same size made since
    // the stamp was taken: the time is coarser than the file system's clock
    // (whole seconds), or as recent as the clock's tick.
    bool racy = false;
};

// The same version of the same file.
inline bool SameFile(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.index == b.index && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

// The same file, not written since: a move changes a file's change time,
// not its identity, size or time of its last write.
inline bool SameFileMoved(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.index == b.index && a.size == b.size &&
           a.modified == b.modified;
}

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // a folder itself, not a link to one
    bool exact = true;      // false: the code page could not hold the name
};

struct Os {
    // An existing regular file, opened for reading and shared with other
    // readers only; anything else but a folder (a FIFO, a device, a socket)
    // is refused (Problem::NotADiskFile), without waiting.
    virtual Status OpenForReading(const char* path, rw::ByteStream** file) = 0;
    virtual void Close(rw::ByteStream* file) = 0;
    // The stamp of a file open for reading, of the file a path names
    // (through links), and of the name itself (a link as a link).
    virtual Status StampOf(rw::ByteStream* file, FileStamp* stamp) = 0;
    virtual Status StampAt(const char* path, FileStamp* stamp) = 0;
    virtual Status StampOfName(const char* path, FileStamp* stamp) = 0;

    // A folder that exists already is no failure; made says whether this
    // call made it.
    virtual Status MakeDirectory(const char* path, bool* made) = 0;
    // Removes a folder if it is empty.
    virtual void RemoveFolder(const char* path) = 0;
    // A new file that only its owner can read: never an existing path, never
    // through a symbolic link.
    virtual Status CreateNewFile(const char* path, OutputFile** file) = 0;
    virtual Status Write(OutputFile* file, const void* data, uint32_t size) = 0;
    // Gives the file the owner, group and permissions of target, where the
    // system lets us (on Windows its access list, creation time and
    // attributes); where target is null, those a new file gets there.
    virtual Status TakePermissionsOf(OutputFile* file, const char* target) = 0;
    // Copies up to length bytes of from, from offset on, to the end of file,
    // inside the system where it can (with no copy through our memory);
    // copied says how many arrived: fewer on a short copy, and 0 where the
    // system cannot copy between these files so (the caller then reads and
    // writes them itself). Fails only on an error of the files or the disk.
    virtual Status CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                             OutputFile* file, uint64_t* copied) = 0;
    // Puts what was written on the disk.
    virtual Status Flush(OutputFile* file) = 0;
    // Closes the file, also after a failure.
    virtual Status CloseOutput(OutputFile* file) = 0;
    // Moves temporary over target in one step. A read-only target, or one
    // in use, is refused; on any failure both are left as they were.
    virtual Status Replace(const char* temporary, const char* target) = 0;
    // Swaps the two names' files in one step (Problem::Unsupported where the
    // file system cannot). A read-only target is refused.
    virtual Status Exchange(const char* temporary, const char* target) = 0;
    // Moves temporary to target only while no file bears that name
    // (Problem::Exists when one does; Unsupported where that cannot be told
    // in one step).
    virtual Status MoveNew(const char* temporary, const char* target) = 0;
    // Puts the folder's entries (a replacement's new name) on the disk.
    virtual Status SyncFolder(const char* folder) = 0;
    virtual void Remove(const char* path) = 0;

    // Index of the first character of the file name in path: just past the
    // last folder separator, 0 when there is none.
    virtual size_t NameStart(const char* path) = 0;
    // The path of the file that path names, through any symbolic links; path
    // itself when it names no link or nothing at all.
    virtual Status ResolveLinks(const char* path, std::string* resolved) = 0;

    // A zero-filled block of any size, 0 too; null when it cannot be allocated.
    virtual uint8_t* AllocateZeroed(size_t size) = 0;
    virtual void Release(uint8_t* block) = 0;

    // Puts everything written to the file system that holds path on the disk.
    virtual Status SyncFileSystem(const char* path) = 0;
    // Whether that costs what a flush of one file does, so that a group of
    // outputs is flushed once for all (where it does not, each file is).
    virtual bool SyncsWholeFileSystems() = 0;
    // A name relative to the working folder as a full path, without "."
    // parts or repeated separators.
    virtual Status FullPath(const char* name, std::string* full) = 0;
    virtual Status ListFolder(const char* path, std::vector<FolderEntry>* entries) = 0;
    // The separator that joins a folder and a name.
    virtual char Separator() = 0;
    // Whether names that differ only in case name one file.
    virtual bool NamesIgnoreCase() = 0;
    // Starts work on a thread of its own; false when the system has no
    // thread to give.
    [[nodiscard]] virtual bool StartThread(std::function<void()> work, std::thread* thread) {
        try {
            *thread = std::thread(std::move(work));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    // The system's own failure for a call refused because the run was
    // interrupted.
    virtual Status Interrupted() = 0;

    // Set once the run is interrupted: from then on the output makes no new
    // file; an output already whole is still put in place, until abandon is
    // set too (a second interruption): then nothing is replaced.
    const std::atomic<bool>* stop = nullptr;
    const std::atomic<bool>* abandon = nullptr;
    bool StopRequested() const { return stop && stop->load(); }
    bool AbandonRequested() const { return abandon && abandon->load(); }

protected:
    ~Os() = default;
};

// A file open for reading, closed when its owner goes.
struct InputClose {
    Os* os = nullptr;  // none: a stream that its owner keeps
    void operator()(rw::ByteStream* file) const {
        if (os) os->Close(file);
    }
};
using InputFile = std::unique_ptr<rw::ByteStream, InputClose>;

inline Status OpenInput(Os& os, const char* path, InputFile* file) {
    rw::ByteStream* opened = nullptr;
    const Status status = os.OpenForReading(path, &opened);
    *file = InputFile(status.ok() ? opened : nullptr, InputClose{&os});
    return status;
}

// A file open for writing, closed when its owner goes; a close whose
// failure counts is CloseOutput's, on the handle released.
struct OutputClose {
    Os* os = nullptr;
    void operator()(OutputFile* file) const { (void)os->CloseOutput(file); }
};
using OutputHandle = std::unique_ptr<OutputFile, OutputClose>;

// A zero-filled block of the system's memory, released through it exactly
// once, when its owner goes.
struct BlockRelease {
    Os* os = nullptr;
    void operator()(uint8_t* block) const { os->Release(block); }
};
using Block = std::unique_ptr<uint8_t[], BlockRelease>;

inline Block AllocateBlock(Os& os, size_t size) {
    return Block(os.AllocateZeroed(size), BlockRelease{&os});
}

}  // namespace merge
