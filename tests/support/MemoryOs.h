// The pipeline's world in memory, for its tests and its fuzzer: the
// operating system as the pipeline and the batch use it (files and folders
// keyed by Windows-style paths, faults and other programs' changes on demand,
// and a record of what the pipeline did: its temporary files, and every
// block, handle and byte read; safe to use from several threads), the window
// as the session, the generator's models, and the state every sequence must
// end in.
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
#include "merge/DropSequence.h"
#include "tools/modelgen/ModelGen.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// Windows error codes; each fails with the system's English text.
enum class SystemError : uint32_t {
    FileNotFound = 2, PathNotFound = 3, AccessDenied = 5, SharingViolation = 32, FileExists = 80,
    DiskFull = 112, NotAFolder = 267, Aborted = 995,
};
std::string ErrorText(SystemError error);

// The calls that faults can be injected into.
enum class Call {
    Open, MakeDirectory, Create, Write, TakePermissions, Flush, CloseOutput, Replace,
    SyncFolder, Allocate, StampAt, SyncFileSystem, StartThread, CopyRange,
    // A step after the replacement: its fault leaves the target replaced.
    AfterReplace, Count
};

struct MemoryOs final : merge::Os {
    MemoryOs() {
        stop = &stopped;
        abandon = &abandoned;
    }
    ~MemoryOs();
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;  // a file's folder must be one of these
    std::map<std::string, std::string> links;  // and the paths they name

    // The k-th call (from 1) of call fails with error. A failing Write
    // stores half of its bytes first, as a full disk would.
    void FailCall(Call call, int k, SystemError error);
    // Before the k-th call of call (and any fault of it), does what another
    // program or the user would do then.
    void Before(Call call, int k, std::function<void()> action);
    // Another program saves the file: new bytes, and a new stamp.
    void Change(const std::string& path, const Bytes& bytes);
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
    struct Temporary {
        std::string permissionsOf;
        bool flushed = false;
    };
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
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override;
    merge::Status CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                            merge::OutputFile* file, uint64_t* copied) override;
    merge::Status Flush(merge::OutputFile* file) override;
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status SyncFolder(const char* folder) override;
    void Remove(const char* path) override;
    void RemoveFolder(const char* path) override;
    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;
    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    merge::Status SyncFileSystem(const char* path) override;
    bool SyncsWholeFileSystems() override { return syncsWholeFileSystems; }
    // Relative names are below C:\work.
    merge::Status FullPath(const char* name, std::string* full) override;
    merge::Status ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) override;
    merge::Status Interrupted() override;
    char Separator() override { return '\\'; }
    bool NamesIgnoreCase() override { return ignoresCase; }
    bool StartThread(std::function<void()> work, std::thread* thread) override;

private:
    struct Stream;
    // The failure asked for this call of call, if any.
    merge::Status Called(Call call);
    merge::FileStamp StampOfPath(const std::string& path);

    std::recursive_mutex mutex;
    std::multimap<int, std::pair<int, SystemError>> faults;
    std::multimap<int, std::pair<int, std::function<void()>>> actions;
    // Each file's identity (a new one for every file made) and version (a
    // new one for every change too).
    std::map<std::string, uint64_t> identities, versions;
    uint64_t lastVersion = 0;
    std::set<Stream*> streams;
    std::map<merge::OutputFile*, std::string> outputs;
    std::map<uint8_t*, size_t> blocks;  // and their sizes
    intptr_t nextOutput = 1;
};

using modelgen::PatternColours;
using modelgen::Repeat;

// The window as it starts: no box ticked, the fields 64, 64, 64, 255.
struct MemorySession final : merge::Session {
    std::string log;
    std::set<merge::Option> ticked;
    std::string fields[4] = {"64", "64", "64", "255"};
    merge::ChannelAdjustment adjustments[4];
    bool oneFileModeEnabled = true;

    bool IsTicked(merge::Option option) override { return ticked.count(option) > 0; }
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    merge::ChannelAdjustment AdjustmentOf(merge::Channel channel) override {
        return adjustments[static_cast<int>(channel)];
    }
    void EnableOneFileMode(bool enabled) override { oneFileModeEnabled = enabled; }
    void AppendLog(const char* text) override { log += text; }
    // The window's rule; the tests' paths are ASCII.
    bool PathFits(const char* path) override { return std::string(path).size() < 260; }
};

// One geometry of n vertices with these colours (none: the generator's
// pattern); a shape's bytes; the colour fields' defaults for n vertices.
modelgen::ModelShape Shape(uint32_t n, const Bytes& colours = {});
inline Bytes Build(const modelgen::ModelShape& shape) { return modelgen::BuildModel(shape).bytes; }
inline Bytes Grey(uint32_t n) { return Repeat({64, 64, 64, 255}, n); }
// The merged model, as the generator writes it on its own.
inline Bytes Merged(const modelgen::ModelShape& day, const Bytes& colours) {
    return modelgen::WithNightColours(day, colours).bytes;
}

// The log's lines, as the window writes them.
inline const std::string Ready = "\r\nReady. Drop day dff file.\r\n";
inline std::string Open(const std::string& path) { return " Opening file: " + path + "\r\n"; }
inline std::string Counted(uint32_t n) { return " Analyzing file...\r\n " + std::to_string(n) + " vertex.\r\n"; }
inline std::string Error(const std::string& text) { return " Error: " + text + "\r\n"; }
inline std::string Created(const std::string& path) { return "\r\nDFF created: " + path + "\r\n" + Ready; }

// What is wrong with the state a sequence ended in, empty when nothing is:
// every block released once, no file open, no temporary file left, every
// replacement made only once its file had the target's permissions and was
// on the disk and its folder flushed after it, the box enabled, and waiting
// for a day model.
std::string ProblemsAtEnd(const MemoryOs& os, const MemorySession& session,
                          const merge::DropSequence& sequence);

}  // namespace testsupport
