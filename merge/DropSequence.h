// The state that lives from one drop to the next, and the entry of a drop.
#pragma once

#include <cstdint>

#include "merge/Platform.h"

namespace merge {

// Paths are NUL-terminated texts of at most 259 characters.
constexpr int PathBufferSize = 260;

enum class SequenceState : uint8_t { AwaitingDay = 0, AwaitingNight = 1 };

struct DropSequence {
    SequenceState state = SequenceState::AwaitingDay;
    char DayPath[PathBufferSize] = {};
    char NightPath[PathBufferSize] = {};
    char OutputPath[PathBufferSize] = {};
    uint32_t DayVertexCount = 0;
    uint32_t NightVertexCount = 0;
    uint8_t* OutputImage = nullptr;
    uint32_t ImageSize = 0;
    uint32_t ReplacedLength = 0;
    uint32_t InsertionOffset = 0;
    uint8_t* DayColourBuffer = nullptr;
    // Open only from the start of the day analysis to the size adjustment.
    rw::ByteStream* DayFile = nullptr;
    // Open only within the night stage.
    rw::ByteStream* NightFile = nullptr;
    // First bytes of the chunks that may enclose the new chunk, as the day
    // analysis found them (the Clump is at 0). All lie before InsertionOffset,
    // so they are the same in the day file and in OutputImage.
    uint32_t GeometryListOffset = 0;
    uint32_t FirstGeometryOffset = 0;
    uint32_t ExtensionOffset = 0;
};

// The log's first line, written when the window is made: the ready prompt
// with no empty line before it.
extern const char* const FirstLogLine;

// Runs one stage of the sequence for a dropped file: the day stage or the
// night stage, by the state alone. path is the full path of the one dropped
// file, of any length: one longer than 259 characters is refused, never cut.
// True when this drop wrote an output file.
bool HandleDroppedPath(DropSequence& sequence, Platform& platform, const char* path);

// The stages, in the order a sequence runs them. Each that can fail has
// logged why before it returns false.

// Day stage: opens and checks the DayFile, builds OutputImage with the night
// colour chunk's header in place; the DayFile stays open. On failure
// everything it took is released and closed.
bool AnalyseDayFile(DropSequence& sequence, Platform& platform);
// Fills the night colour array from DayColourBuffer or the colour fields.
void FillNightColours(DropSequence& sequence, Platform& platform);
// One colour field's text as a channel value (modulo 256).
uint8_t ReadColourField(Platform& platform, int controlId);
// Grows the chunks that enclose the new chunk and closes the DayFile.
void AdjustEnclosingSizes(DropSequence& sequence, Platform& platform);
// Night stage: checks the NightFile and copies its colours into the array.
// On failure the NightFile may still be open; the sequence closes it.
bool TakeNightColours(DropSequence& sequence, Platform& platform);
// Writes OutputImage to OutputPath, then releases both memory blocks,
// whatever the outcome.
bool WriteOutput(DropSequence& sequence, Platform& platform);

}  // namespace merge
