// What a batch needs of the operating system beyond the pipeline's seam:
// folders to list, full paths, which names are one file, a flush of a whole
// file system, threads, and whether the run was interrupted. The system's
// own classes implement it, and so does the in-memory system of the tests.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "merge/Os.h"

namespace cli {

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // a folder itself, not a link to one
    bool exact = true;      // false: the code page could not hold the name
};

struct BatchOs : merge::Os {
    // Puts everything written to the file system that holds path on the disk.
    virtual merge::Status SyncFileSystem(const char* path) = 0;
    // Whether that costs what a flush of one file does, so that a batch
    // flushes once for many outputs (where it does not, each output is
    // flushed as the window flushes it).
    virtual bool SyncsWholeFileSystems() = 0;
    // A name relative to the working folder as a full path, without "."
    // parts or repeated separators.
    virtual merge::Status FullPath(const char* name, std::string* full) = 0;
    virtual merge::Status ListFolder(const char* path, std::vector<FolderEntry>* entries) = 0;
    // A text that two paths give alike exactly when they name the same file
    // (through links, or as hard links), or, for a file not made yet, the
    // same name in the same folder.
    virtual std::string FileIdentity(const char* path) = 0;
    // The separator that joins a folder and a name.
    virtual char Separator() = 0;
    // Whether names that differ only in case name one file.
    virtual bool NamesIgnoreCase() = 0;
    // Starts work on a thread of its own; false when the system has no
    // thread to give.
    virtual bool StartThread(std::function<void()> work, std::thread* thread) {
        try {
            *thread = std::thread(std::move(work));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    // Set once the run is interrupted: from then on no file is made and
    // nothing is replaced (those calls fail as interrupted).
    const std::atomic<bool>* stop = nullptr;
    bool StopRequested() const { return stop && stop->load(); }

protected:
    ~BatchOs() = default;
};

}  // namespace cli
