// The state that lives from one drop to the next, the entry of a drop, and
// the stages a sequence runs.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "merge/Judgement.h"
#include "merge/Os.h"
#include "merge/Reading.h"
#include "merge/Session.h"
#include "merge/Writer.h"

namespace merge {

enum class SequenceState : uint8_t { AwaitingDay = 0, AwaitingNight = 1 };

// The day model as the day stage read and judged it.
struct DayModel {
    ModelRead Reading;
    Judgement Judged;
    // As it was opened: the output is copied from it only while it is
    // still this file.
    FileStamp Stamp;
    // Where its time cannot tell a save of the same size (Stamp.racy): the
    // CRC of its bytes that the output copies, as the day stage read them.
    uint32_t CopiedCrc = 0;
    // Kept open only for a caller that draws the model (Action::Keep).
    InputFile File;
};

// The night colours that the stages make, one block a chunk of the plan
// (an empty one for a chunk taken out): the day model's own colours or the
// colour fields', then the night model's over them, then adjusted.
using ColourBlocks = std::vector<Block>;

// With lit rules: the rules as the day stage took them, and for each chunk
// of the plan a block of each vertex's rule, a byte a vertex (0: none; k:
// the k-th rule), marked while the day file was open.
struct LitVertices {
    std::vector<LitRule> rules;
    std::vector<Block> ruleOf;
};

struct DropSequence {
    SequenceState state = SequenceState::AwaitingDay;
    // Whole paths, as long as the session takes them.
    std::string DayPath, NightPath;
    // From the day stage to the output.
    std::unique_ptr<DayModel> Day;
    ColourBlocks Colours;
    LitVertices Lit;
};

// What becomes of an output once every check has passed.
enum class Action {
    Write,   // written and put in place
    DryRun,  // its path and target found; nothing made, changed or left on a disk
    Keep,    // nothing written: the day model and its colours are left to the caller
};

// When an output is committed: as soon as it is written to its temporary
// file (the window), or when the caller commits it with others.
enum class CommitWhen { AtOnce, Later };

// A merged model kept in memory: a dry run's output, for a later model of
// the run that reads it in its place.
struct KeptOutput {
    Block bytes;
    uint64_t size = 0;
};

// How the caller runs a sequence: the window's defaults, or a batch's.
struct RunPolicy {
    Action action = Action::Write;
    CommitWhen when = CommitWhen::AtOnce;
    // Where the output goes when the caller chose (a batch's output tree):
    // none, the day model or its name in the "dff" folder.
    std::string chosenOutput;
    // The identities of the files a batch names, reads or writes: never the
    // name of a temporary file.
    const std::set<std::string>* namesInUse = nullptr;
    // Folders made in vain are left for the caller to remove (a batch, whose
    // other sequences may be about to write into them).
    bool leavesMadeFolders = false;
    // A dry run or a preview whose day model an earlier model of the run
    // writes: the day model as that one leaves it.
    rw::ByteStream* daySource = nullptr;
    // A dry run or a preview keeps its output in memory, for a later model
    // that reads it.
    KeptOutput* keptOutput = nullptr;
};

// How a dropped path reached us: exactly, or with characters that the
// system's code page cannot hold replaced.
enum class PathForm { Exact, Approximated };

// What a drop came to.
enum class [[nodiscard]] DropResult {
    NotWritten,      // refused, failed, or waiting for a night model
    Written,         // the output replaced its target
    LeftAsItIs,      // a model that holds night colours already, with SkipMerged
    Prepared,        // the output waits for its commit (CommitWhen::Later)
    OutOfSpace,      // not written: its temporary file found the disk full
    WouldBeWritten,  // a dry run: every check passed, nothing written
    Kept,            // Action::Keep: planned, and left to the caller
};

// Runs one stage of the sequence for a dropped file: the day stage or the
// night stage, by the state alone. path is the full path of the one dropped
// file, of any length: one longer than the session takes is refused, never
// cut, and so is an approximated one. A prepared output is left in output.
DropResult HandleDroppedPath(DropSequence& sequence, Os& os, Session& session, const char* path,
                             PathForm form = PathForm::Exact, const RunPolicy& policy = {},
                             PreparedFile* output = nullptr);

// Releases what the day stage left: the model and its colours.
void ReleaseDay(DropSequence& sequence);

// The stages, in the order a sequence runs them. Each that can fail has
// logged why before it returns false.

enum class [[nodiscard]] DayResult { Failed, Analysed, LeftAsItIs };

// Day stage: opens the DayFile (or reads the policy's day source), reads
// and judges it, logs what the judgement says and makes the colours the
// plan needs. The DayFile is closed when it returns, unless the caller
// keeps it; on failure nothing is left.
DayResult AnalyseDayFile(DropSequence& sequence, Os& os, Session& session,
                         const RunPolicy& policy = {});
// The model at path read as it is, for a drawing (every geometry or its
// first), its file kept open: false when it cannot be read so.
[[nodiscard]] bool ReadAsItIs(Os& os, const std::string& path, bool every, DayModel* day);
// Fills each chunk's colours with the day model's own or the colour fields'.
void FillNightColours(DropSequence& sequence, Session& session);
// One colour field's text as a channel value (modulo 256).
uint8_t ReadColourField(Session& session, Channel channel);
// A channel's value as the adjustment makes it.
uint8_t AdjustChannel(uint8_t value, ChannelAdjustment adjustment);
// Every chunk's colours, whatever their source, as the session's adjustments make them.
void AdjustNightColours(DropSequence& sequence, Session& session);
// Whether a texture's name matches a lit rule's pattern: the whole name,
// the letters A to Z in either case, * any run of characters, ? one.
bool TextureMatches(const std::string& pattern, const std::string& name);
// Day stage, with lit rules: each chunk's vertices marked with the rule
// that lights them, from the day file's triangles and the reading's
// materials. False, said why, when memory or the file fails.
[[nodiscard]] bool MarkLitVertices(DropSequence& sequence, Os& os, Session& session,
                                   rw::ByteStream& file);
// Each lit vertex's night colour made its rule's: after every other change.
void LightNightColours(DropSequence& sequence);
// Night stage: reads the NightFile and copies its colours into the chunks;
// the NightFile is closed when it returns.
[[nodiscard]] bool TakeNightColours(DropSequence& sequence, Os& os, Session& session);

// The output stage: its path (the day model, its name in the "dff" folder,
// or the policy's), the merged model prepared there by the writer and, at
// once or later, committed; or for a dry run only found. Releases the day
// stage's model and colours whatever the outcome.
DropResult WriteOutput(DropSequence& sequence, Os& os, Session& session, const RunPolicy& policy,
                       PreparedFile* output);
// The merged model made in memory from day, as the output stage would make
// it, for a later model of the run that reads it: false once why not is
// logged.
[[nodiscard]] bool KeepOutput(const DropSequence& sequence, Os& os, Session& session,
                              rw::ByteStream& day, KeptOutput* kept);

// The merged model's bytes, produced into a file of the writer (or a block
// of memory): the day file's bytes with the new sizes and chunks where they
// lie. ReadFailed when the day file could not be read as far as its size
// promises; WriteFailed, with the failure in status, when the output could
// not be written. With dayCrc, the day file's bytes pass through our memory
// and it receives their CRC, as CrcOfCopied gives it.
enum class [[nodiscard]] WriteResult { Written, ReadFailed, WriteFailed };
WriteResult WriteMergedModel(const OutputPlan& plan, const ColourBlocks& colours,
                             rw::ByteStream& day, ByteSink& sink, Status* status,
                             uint32_t* dayCrc = nullptr);

// The CRC of the day file's bytes where the merge copies them, as the file
// holds them now; false when they cannot be read.
[[nodiscard]] bool CrcOfCopied(const OutputPlan& plan, rw::ByteStream& day, uint32_t* crc);

}  // namespace merge
