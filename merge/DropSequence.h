// The state that lives from one drop to the next, the entry of a drop, and
// the stages a sequence runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "merge/Os.h"
#include "merge/Session.h"

namespace merge {

enum class SequenceState : uint8_t {
    AwaitingDay = 0,
    AwaitingNight = 1,
    // The output is prepared in its temporary file and waits for
    // CommitOutputs (only when CommitsInGroups).
    AwaitingCommit = 2,
};

struct DropSequence {
    SequenceState state = SequenceState::AwaitingDay;
    // Whole paths, as long as the session takes them.
    std::string DayPath, NightPath, OutputPath;
    uint32_t DayVertexCount = 0;
    uint32_t NightVertexCount = 0;
    uint8_t* OutputImage = nullptr;
    uint32_t ImageSize = 0;
    uint32_t ReplacedLength = 0;
    uint32_t InsertionOffset = 0;
    uint8_t* DayColourBuffer = nullptr;
    // Open only from the start of the day analysis to the size adjustment.
    rw::ByteStream* DayFile = nullptr;
    // The DayFile as it was opened: the target of an output over it must
    // still be this file.
    FileStamp DayStamp;
    // Open only within the night stage.
    rw::ByteStream* NightFile = nullptr;
    // First bytes of the chunks that may enclose the new chunk, as the day
    // analysis found them (the Clump is at 0). All lie before InsertionOffset,
    // so they are the same in the day file and in OutputImage.
    uint32_t GeometryListOffset = 0;
    uint32_t FirstGeometryOffset = 0;
    uint32_t ExtensionOffset = 0;
    // The file that the output replaces (OutputPath through its links), the
    // temporary file beside it that holds the output until then, and
    // whether it is the day model, which must not have changed.
    std::string TargetPath, TemporaryPath;
    bool GuardsTarget = false;
    // A batch leaves its outputs in their temporary files, unflushed, and
    // commits many at once after one flush of the file system.
    bool CommitsInGroups = false;
};

// How a dropped path reached us: exactly, or with characters that the
// system's code page cannot hold replaced.
enum class PathForm { Exact, Approximated };

// Runs one stage of the sequence for a dropped file: the day stage or the
// night stage, by the state alone. path is the full path of the one dropped
// file, of any length: one longer than the session takes is refused, never
// cut, and so is an approximated one. True when this drop wrote an output
// file.
bool HandleDroppedPath(DropSequence& sequence, Os& os, Session& session, const char* path,
                       PathForm form = PathForm::Exact);

// Enables "Don't request 2 DFF", waits for a day model again and says so.
void ReturnToAwaitingDay(DropSequence& sequence, Session& session);

// The stages, in the order a sequence runs them. Each that can fail has
// logged why before it returns false.

// Day stage: opens and checks the DayFile, builds OutputImage with the night
// colour chunk's header in place; the DayFile stays open. On failure
// everything it took is released and closed.
bool AnalyseDayFile(DropSequence& sequence, Os& os, Session& session);
// Fills the night colour array from DayColourBuffer or the colour fields.
void FillNightColours(DropSequence& sequence, Session& session);
// One colour field's text as a channel value (modulo 256).
uint8_t ReadColourField(Session& session, Channel channel);
// Grows the chunks that enclose the new chunk by its length.
void AdjustEnclosingSizes(DropSequence& sequence);
// Night stage: checks the NightFile and copies its colours into the array.
// On failure the NightFile may still be open; the sequence closes it.
bool TakeNightColours(DropSequence& sequence, Os& os, Session& session);
// The output stage, in two steps. PrepareOutput: OutputPath (the day model
// or its name in the "dff" folder, made when missing), the target through
// its links, and the image in a new temporary file beside it, with the
// target's permissions, flushed to disk unless CommitsInGroups; both blocks
// are released whatever the outcome.
bool PrepareOutput(DropSequence& sequence, Os& os, Session& session);

// A prepared output, and what came of its commit.
struct PendingCommit {
    DropSequence* sequence;
    Session* session;
    Status flushed;        // the flush of its file system, where grouped
    bool written = false;  // replaced, and its folder flushed
};

// Commits a group of prepared outputs: each, once flushed and while its
// target is unchanged, moved over its target; each folder flushed once; each
// logged ("DFF created: " and the path, or why not); then each sequence
// waits for a day model.
void CommitOutputs(std::vector<PendingCommit>& group, Os& os);

// The output path for a day model: itself, or its name in the "dff" folder
// beside it.
std::string OutputPathFor(Os& os, const std::string& day, bool inDffFolder);

// The folder that holds path, without the separator after it unless it is a
// root ("." when path names none).
std::string FolderOf(Os& os, const std::string& path);

// Each closes or releases only what is there, and leaves the pointer null.
void CloseFile(Os& os, rw::ByteStream*& file);
// OutputImage, then DayColourBuffer.
void ReleaseDayBlocks(DropSequence& sequence, Os& os);

}  // namespace merge
