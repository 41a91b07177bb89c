// The one writer of every file the tool writes in place of another, the
// merged model and the picture alike, in the manner of a lock file: prepared
// (a new file, ours alone, beside its target), written by a producer of
// bytes, then committed (flushed, its target still the one first found,
// moved over it in one step, its folder flushed, said) or abandoned.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "merge/Messages.h"
#include "merge/Os.h"
#include "merge/Session.h"

namespace merge {

// Where a producer's bytes go: a prepared file, or a block of memory.
struct ByteSink {
    virtual Status Put(const void* bytes, uint32_t size) = 0;
    // Copies up to length bytes of from at offset inside the system, where
    // it can; copied says how many (0: the caller copies them itself).
    virtual Status Copy(rw::ByteStream& from, uint64_t offset, uint64_t length,
                        uint64_t* copied) {
        (void)from, (void)offset, (void)length;
        *copied = 0;
        return {};
    }

protected:
    ~ByteSink() = default;
};

// A block of memory at its final size, filled in order: a dry run's output
// kept for a later model of the run.
struct MemorySink final : ByteSink {
    uint8_t* bytes = nullptr;
    uint64_t size = 0, filled = 0;
    Status Put(const void* data, uint32_t count) override;
};

// How the target of a file is found.
struct FileRequest {
    std::string path;  // as the log names it
    // The model's own name: a link there is followed, and the file it names
    // replaced in its own folder. A link at any other output's name is
    // replaced itself, never written through.
    bool followLinks = false;
    bool makeFolder = false;  // its folder made when missing, with those above it
    // The identities of the files a batch names, reads or writes: never
    // the name of a temporary file.
    const std::set<std::string>* namesInUse = nullptr;
    // Folders made in vain are left for the caller to remove.
    bool leavesMadeFolders = false;
    // The line its commit says, before its path.
    const Message* done = &text::Created;
};

struct PreparedFile final : ByteSink {
    Os* os = nullptr;
    FileRequest request;
    std::string Target;  // the name replaced: the path, or the file its links name
    std::string Temporary;
    // The target as first found (a link as a link), or absent: it is
    // replaced only while it is still that, up to the move itself.
    FileStamp TargetStamp;
    bool TargetFound = false;
    OutputHandle File;  // open from its making to its commit
    // The folders made for it, the outermost first.
    std::vector<std::string> MadeFolders;

    Status Put(const void* bytes, uint32_t size) override;
    Status Copy(rw::ByteStream& from, uint64_t offset, uint64_t length,
                uint64_t* copied) override;
};

// Finds the target, makes the folder when asked, and the new file beside
// it; false once why not is logged (nothing is then left behind).
[[nodiscard]] bool PrepareFile(Os& os, Session& session, const FileRequest& request,
                               PreparedFile* file);
// Gives the file its target's permissions, once its bytes are written.
[[nodiscard]] Status FinishFile(Os& os, PreparedFile& file);
// Closes and removes the new file; the folders made for it go too, unless
// the caller removes them.
void AbandonFile(Os& os, PreparedFile& file);

// Only finds what PrepareFile would (a dry run): false once why not is logged.
[[nodiscard]] bool FindTarget(Os& os, Session& session, const FileRequest& request,
                              PreparedFile* file);

// What a commit came to.
enum class Committed {
    Written,     // moved over its target, its folder flushed
    NotWritten,  // its target left as it was (or replaced, its folder not flushed)
    OutOfSpace,  // not written: the disk was full when it was put there
};

struct PendingCommit {
    PreparedFile* file;
    Session* session;
    Committed result = Committed::NotWritten;
};

// Commits a group of prepared files, of one or many: each put on the disk
// (each file flushed, or, for many where the system flushes whole file
// systems as cheaply as one file, each file system once) and, while the run
// is not abandoned and its target is unchanged, moved over its target; each
// folder flushed once; each said ("DFF created: " and the path, or why not).
void CommitFiles(std::vector<PendingCommit>& group, Os& os);

// Removes each of the folders that nothing is in, the innermost first.
void RemoveMadeFolders(Os& os, const std::vector<std::string>& folders);

// A new file beside target, its name target's with one of the last two
// characters of one byte in its name changed, and none whose identity is in
// inUse (when given): the next candidate while one cannot be created, the
// last failure otherwise. None once the run is interrupted.
Status CreateTemporary(Os& os, const std::string& target, const std::set<std::string>* inUse,
                       std::string* temporary, OutputFile** file);

}  // namespace merge
