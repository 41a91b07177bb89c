// What a merge must produce, worked out independently of merge/: a second,
// deliberately small reading of the day and night files that the fuzzer and
// the tests hold the pipeline's output against. It shares no code with the
// pipeline, so one misreading of the layout cannot hide in both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// The day file as the oracle reads it.
struct DayVerdict {
    bool accepted = false;
    uint32_t vertexCount = 0;    // n
    Bytes dayColours;            // the first geometry's 4 x n prelit colour bytes
    uint64_t insertionOffset = 0;
    uint64_t replacedLength = 0;  // 0, or the old night colour chunk's length
    // Refused because the Extension's header lies inside the first Geometry
    // but its payload runs past that Geometry's end (a reading that looks
    // only at where the Extension begins would accept it). The other fields
    // are filled in as for an accepted file.
    bool extensionOverhangs = false;
};

// Accepts the day file or refuses it. alwaysMerge is the state of the
// "Always Merge" box: with it an existing night colour chunk is replaced,
// without it the file is refused.
DayVerdict JudgeDayFile(const uint8_t* day, size_t size, bool alwaysMerge);

// The whole output file for an accepted day file: the day file with the new
// night colour chunk (header and the 4 x n bytes of colours) put in at the
// insertion offset, the old one left out, and the sizes of exactly the
// chunks that enclose it changed by the size delta.
Bytes ExpectedOutput(const uint8_t* day, size_t size, const DayVerdict& verdict,
                     const uint8_t* colours);

// Offset of the first colour of the new chunk within the expected output.
inline uint64_t ExpectedColoursOffset(const DayVerdict& verdict) {
    return verdict.insertionOffset + 16;
}

enum class NightOutcome { Refused, Accepted, EitherWay };

// The night file laid over the colours the day stage made (colours, 4 x n
// bytes, changed in place when accepted): whole colours only, as many as
// both vertex counts and the file allow. EitherWay: the file ends inside
// the first geometry's flags or vertex count, where the pipeline may refuse
// it or take what it read; colours then holds nothing certain.
// extent, when given, receives how far into the file an accepted night file
// must be read.
NightOutcome JudgeNightFile(const uint8_t* night, size_t size, uint32_t dayVertexCount,
                            Bytes& colours, uint64_t* extent = nullptr);

}  // namespace testsupport
