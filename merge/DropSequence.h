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
};

// Runs one stage of the sequence for a dropped file: the day stage or the
// night stage, by the state alone.
void HandleDroppedPath(DropSequence& sequence, Platform& platform, const char* path);

}  // namespace merge
