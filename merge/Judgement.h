// What a model comes to, judged once from its reading for every mode: a
// merge (with "Always Merge" or without), a skip of the models merged
// already, a strip, and so a listing, a dry run and a preview. The judgement
// says the lines about the model and plans the output: which night colour
// chunks go where, and which sizes become what. Nothing changes the plan
// afterwards; the colours that the stages make are apart from it.
#pragma once

#include <cstdint>
#include <vector>

#include "merge/Messages.h"
#include "merge/Reading.h"

namespace merge {

// A night colour chunk that the output puts into a geometry's Extension: at
// the end of its payload, or in place of the one there; or, stripping, the
// one there that it takes out.
struct NightChunk {
    uint32_t Geometry = 0;  // its geometry's index in the Geometry List, from 0
    uint64_t InsertionOffset = 0;
    uint32_t ReplacedLength = 0;  // 0, or the length of the chunk replaced
    bool TakenOut = false;        // nothing in its place: the chunk replaced is stripped
    uint32_t VertexCount = 0;
    uint64_t DayColours = 0;  // its geometry's prelit colours in the day file
};

// A size field of the day file that the output changes, and its new value.
struct SizeChange {
    uint64_t Offset;
    uint32_t Size;
};

// What the output changes in the day file: the chunks put in (or taken
// out), in file order, and the sizes of the chunks that hold them, in file
// order.
struct OutputPlan {
    std::vector<NightChunk> Chunks;
    std::vector<SizeChange> Sizes;
    uint64_t DaySize = 0, OutputSize = 0;
};

struct MergeMode {
    bool every = false;        // every geometry, not the first alone
    bool alwaysMerge = false;  // night colours there are replaced
    bool skip = false;         // a geometry with night colours is left as it is
    bool strip = false;        // night colours taken out, none put in
    bool lit = false;          // lit rules: materials read, and judged
};

// A line about a model: a line of the table about one of its geometries,
// or (line null) a geometry's vertex count.
struct Remark {
    const Message* line;
    uint32_t geometry;
    uint32_t count;
};

enum class Verdict { Refused, Planned, LeftAsItIs };

struct Judgement {
    Verdict verdict = Verdict::Refused;
    Fault fault = Fault::None;  // why refused
    uint32_t faultGeometry = 0;
    // In the log's order; a refusal's line last.
    std::vector<Remark> remarks;
    // Planned: the output. A geometry left as it is has no chunk.
    OutputPlan plan;
    // Whether some geometry could take night colours (one with prelit
    // colours and an Extension): a refusal only because none can is no
    // fault of the model's.
    bool anyTakes = false;
};

Judgement Judge(const ModelRead& model, const MergeMode& mode);

}  // namespace merge
