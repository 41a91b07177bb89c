// The drop sequence: which stage a drop runs, what it leaves for the next
// drop, and the prompts that say what the tool waits for.
#include "merge/DropSequence.h"

#include <cstring>

#include "merge/Controls.h"
#include "merge/StageSupport.h"

namespace merge {

namespace {

const char* const ReadyPrompt = "\r\nReady. Drop day dff file.\r\n";
const char* const NightPrompt = "\r\nDrop night dff file.\r\n";
const char* const TextPathTooLong = " Error: Path is longer than 259 characters.\r\n";

// Copies the dropped path whole into its buffer. A longer path is refused,
// never cut: a cut path could name another file.
bool TakePath(Platform& platform, const char* path, char* buffer) {
    if (!path) path = "";  // opening it then fails with the system's text
    size_t length = 0;
    while (length < PathBufferSize && path[length]) ++length;
    if (length == PathBufferSize) {
        buffer[0] = '\0';
        platform.AppendLog(TextPathTooLong);
        return false;
    }
    std::memcpy(buffer, path, length + 1);
    return true;
}

void ReturnToAwaitingDay(DropSequence& sequence, Platform& platform) {
    platform.EnableControl(IdOneFileMode, true);
    sequence.state = SequenceState::AwaitingDay;
    platform.AppendLog(ReadyPrompt);
}

// WriteOutput releases both blocks in either outcome.
bool FinishWithOutput(DropSequence& sequence, Platform& platform) {
    bool written = WriteOutput(sequence, platform);
    ReturnToAwaitingDay(sequence, platform);
    return written;
}

bool RunDayStage(DropSequence& sequence, Platform& platform, const char* path) {
    // A failed day stage has released what it took; the box was not touched.
    if (!TakePath(platform, path, sequence.DayPath) || !AnalyseDayFile(sequence, platform)) {
        platform.AppendLog(ReadyPrompt);
        return false;
    }
    FillNightColours(sequence, platform);
    AdjustEnclosingSizes(sequence, platform);
    if (platform.IsChecked(IdOneFileMode)) return FinishWithOutput(sequence, platform);
    platform.EnableControl(IdOneFileMode, false);
    sequence.state = SequenceState::AwaitingNight;
    platform.AppendLog(NightPrompt);
    return false;
}

bool RunNightStage(DropSequence& sequence, Platform& platform, const char* path) {
    if (!TakePath(platform, path, sequence.NightPath) || !TakeNightColours(sequence, platform)) {
        ReleaseDayBlocks(sequence, platform);
        CloseFile(platform, sequence.NightFile);
        ReturnToAwaitingDay(sequence, platform);
        return false;
    }
    return FinishWithOutput(sequence, platform);
}

}  // namespace

// The ready prompt without the line break before it.
const char* const FirstLogLine = ReadyPrompt + 2;

bool HandleDroppedPath(DropSequence& sequence, Platform& platform, const char* path) {
    // Any state but AwaitingDay counts as AwaitingNight.
    if (sequence.state == SequenceState::AwaitingDay)
        return RunDayStage(sequence, platform, path);
    return RunNightStage(sequence, platform, path);
}

}  // namespace merge
