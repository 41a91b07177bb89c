// The state that lives from one drop to the next, the entry of a drop, and
// the stages a sequence runs.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "merge/Os.h"
#include "merge/Paths.h"
#include "merge/Session.h"

namespace merge {

enum class SequenceState : uint8_t {
    AwaitingDay = 0,
    AwaitingNight = 1,
    // The output is written to its temporary file and waits for its commit
    // (only when its caller commits it later); it takes no drop.
    Prepared = 2,
};

// A night colour chunk that the output puts into a geometry's Extension: at
// the end of its payload, or in place of the one there; or, stripping, the
// one there that it takes out.
struct NightChunk {
    uint32_t Geometry = 0;  // its geometry's index in the Geometry List, from 0
    uint64_t InsertionOffset = 0;
    uint32_t ReplacedLength = 0;  // 0, or the length of the chunk replaced
    bool TakenOut = false;        // nothing in its place: the chunk replaced is stripped
    uint32_t VertexCount = 0;
    // One colour per vertex: the night colours made without a night model
    // (the geometry's own prelit colours, or the one colour), then those of
    // the night model over them; all adjusted just before the output. None
    // for a chunk taken out.
    Block Colours;
};

// A size field of the day file that the output changes, and its new value.
struct SizeChange {
    uint64_t Offset;
    uint32_t Size;
};

// What the output changes in the day file, as the day stage planned it once:
// the chunks put in, in file order (the first geometry's; with every
// geometry, each that can take one), and the sizes of the chunks that hold
// them, in file order. Only the chunks' colours change after.
struct OutputPlan {
    std::vector<NightChunk> Chunks;
    std::vector<SizeChange> Sizes;
};

// A geometry as the day stage read it, for a listing: its vertex count,
// whether it has prelit colours, and the vertex count of the night colours
// that the plan replaces (-1: none).
struct GeometryRead {
    uint32_t VertexCount = 0;
    bool Prelit = false;
    int64_t NightVertices = -1;
};

struct DropSequence {
    SequenceState state = SequenceState::AwaitingDay;
    // Whole paths, as long as the session takes them.
    std::string DayPath, NightPath, OutputPath;
    // The DayFile as it was opened: the output is copied from it only while
    // it is still this file.
    FileStamp DayStamp;
    // From the day stage to the output's preparation.
    std::unique_ptr<const OutputPlan> Plan;
    // The file that the output replaces (OutputPath through its links) and
    // the temporary file beside it that holds the output until then.
    std::string TargetPath, TemporaryPath;
    // The target as the output stage first found it (or its absence): it is
    // replaced only while it is still that file, or still absent, whether it
    // is the day model, an older output or a link to either.
    FileStamp TargetStamp;
    bool TargetFound = false;
    // Open from the temporary file's making to its commit.
    OutputHandle Output;
    // The identities of the files a batch names, reads or writes: never the
    // name of a temporary file.
    const std::set<std::string>* NamesInUse = nullptr;
    // Where the output goes when its caller chose (a batch's output tree):
    // none, the day model or its name in the "dff" folder.
    std::string ChosenOutput;
    // The folders that this sequence's output made, the outermost first. A
    // folder made in vain goes again at once, or, where sequences run side
    // by side (a batch) and another may be about to write into it, once all
    // are done.
    std::vector<std::string> MadeFolders;
    bool LeavesMadeFolders = false;
    // A preview: the output is planned, its chunks kept, but never written.
    bool Previews = false;
    // A dry run: the output is planned and its target found, and nothing
    // made, changed or left on a disk.
    bool DryRun = false;
    // A listing: each geometry that the day stage reads, whatever it comes to.
    std::vector<GeometryRead>* Listed = nullptr;
};

// How a dropped path reached us: exactly, or with characters that the
// system's code page cannot hold replaced.
enum class PathForm { Exact, Approximated };

// What a drop came to.
enum class [[nodiscard]] DropResult {
    NotWritten,  // refused, failed, or waiting for a night model
    Written,     // the output replaced its target
    LeftAsItIs,  // a model that holds night colours already, with SkipMerged
    Prepared,    // the output waits for its commit (CommitWhen::Later)
    OutOfSpace,  // not written: its temporary file found the disk full
    WouldBeWritten,  // a dry run: every check passed, nothing written
};

// When an output is committed: as soon as it is written to its temporary
// file (the window), or when the caller commits it with others.
enum class CommitWhen { AtOnce, Later };

// Runs one stage of the sequence for a dropped file: the day stage or the
// night stage, by the state alone. path is the full path of the one dropped
// file, of any length: one longer than the session takes is refused, never
// cut, and so is an approximated one.
DropResult HandleDroppedPath(DropSequence& sequence, Os& os, Session& session, const char* path,
                             PathForm form = PathForm::Exact,
                             CommitWhen when = CommitWhen::AtOnce);

// Enables "Don't request 2 DFF", waits for a day model again and says so.
void ReturnToAwaitingDay(DropSequence& sequence, Session& session);

// The stages, in the order a sequence runs them. Each that can fail has
// logged why before it returns false.

enum class [[nodiscard]] DayResult { Failed, Analysed, LeftAsItIs };

// Day stage: opens and checks the DayFile, and plans the output: the chunks
// to put in, each with the colours of its geometry, and the sizes that
// change. The DayFile is closed when it returns; on failure no plan is left.
DayResult AnalyseDayFile(DropSequence& sequence, Os& os, Session& session);
// Fills each chunk's colours with the day model's own or the colour fields'.
void FillNightColours(const OutputPlan& plan, Session& session);
// One colour field's text as a channel value (modulo 256).
uint8_t ReadColourField(Session& session, Channel channel);
// A channel's value as the adjustment makes it.
uint8_t AdjustChannel(uint8_t value, ChannelAdjustment adjustment);
// Every chunk's colours, whatever their source, as the session's adjustments make them.
void AdjustNightColours(const OutputPlan& plan, Session& session);
// Night stage: checks the NightFile and copies its colours into the chunks;
// the NightFile is closed when it returns.
[[nodiscard]] bool TakeNightColours(DropSequence& sequence, Os& os, Session& session);

// The output stage, in two steps. PrepareOutput: OutputPath (the day model
// or its name in the "dff" folder, made when missing), the target through
// its links, and the merged model in a new temporary file beside it, with
// the target's permissions, left open and unflushed; the chunks' colours are
// released whatever the outcome. Prepared, NotWritten or OutOfSpace.
DropResult PrepareOutput(DropSequence& sequence, Os& os, Session& session);

// A dry run's output stage: the output's path and its target found as
// PrepareOutput finds them, with no folder made and no file written; the
// chunks' colours released. WouldBeWritten (and said so) or NotWritten.
DropResult PlanOutput(DropSequence& sequence, Os& os, Session& session);

// Removes each of MadeFolders that nothing is in, the innermost first.
void RemoveMadeFolder(DropSequence& sequence, Os& os);

// A prepared output, and what came of its commit.
struct PendingCommit {
    DropSequence* sequence;
    Session* session;
    bool written = false;  // replaced, and its folder flushed
};

// Commits a group of prepared outputs, of one or many: each put on the disk
// (each file flushed, or, for many where the system flushes whole file
// systems as cheaply as one file, each file system once) and, while the run
// is not abandoned and its target is unchanged, moved over its target;
// each folder flushed once; each logged ("DFF created: " and the path, or
// why not); then each sequence waits for a day model.
void CommitOutputs(std::vector<PendingCommit>& group, Os& os);

enum class [[nodiscard]] WriteResult { Written, ReadFailed, WriteFailed };

// Writes the merged model to file: the day file's bytes, copied from it,
// with the new sizes and chunks from memory where they lie. ReadFailed when
// the day file could not be read as far as its size promises; WriteFailed,
// with the system's failure in status, when file could not be written.
WriteResult WriteMergedModel(const OutputPlan& plan, Os& os, rw::ByteStream& day,
                             OutputFile* file, Status* status);

// A new file beside target, its name target's with one of the last two
// characters of one byte in its name changed, and none whose identity is in
// inUse (when given): the next candidate while one cannot be created, the
// last failure otherwise. None once the run is interrupted.
Status CreateTemporary(Os& os, const std::string& target, const std::set<std::string>* inUse,
                       std::string* temporary, OutputFile** file);

// Moves temporary over target (Os::Replace), unless the run is abandoned:
// the temporary file then goes.
Status ReplaceUnlessInterrupted(Os& os, const std::string& temporary, const std::string& target);

}  // namespace merge
