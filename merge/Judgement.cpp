// The judgement of a model's reading. Every mode is judged as a merge with
// "Always Merge" would judge it, so that a skip, a strip and a listing
// refuse what such a merge refuses, with its line, and leave or take out
// only the chunks it would replace.
#include "merge/Judgement.h"

#include "rwstream/Chunk.h"

namespace merge {

namespace {

// A chunk planned, and the Geometry and Extension that hold it: their first
// bytes in the day file and their size fields there.
struct Candidate {
    NightChunk chunk;
    uint64_t geometry = 0, extension = 0;
    uint32_t geometrySize = 0, extensionSize = 0;
    bool skipped = false;  // its night colours are left as they are
};

struct Judging {
    const ModelRead& model;
    const MergeMode& mode;
    Judgement& j;
    std::vector<Candidate> candidates{};
    std::vector<Candidate> merged{};  // what "Always Merge" would put in
};

void Say(Judging& p, const Message& line, uint32_t geometry) {
    p.j.remarks.push_back({&line, geometry, 0});
}

bool Refuse(Judging& p, Fault fault, uint32_t geometry = 0) {
    p.j.verdict = Verdict::Refused;
    p.j.fault = fault;
    p.j.faultGeometry = geometry;
    Say(p, MessageOf(fault), geometry);
    return false;
}

// Why the new chunk cannot go into the Extension found (at its end, or in
// place of its night colour chunk), or None.
Fault ExtensionProblem(const ExtensionRead& extension) {
    if (extension.night && extension.nightPastFile) return Fault::NightPastFile;
    if (extension.night && extension.nightCut) return Fault::NightPastExtension;
    if (extension.childCut) return Fault::ChunkPastExtension;
    return Fault::None;
}

// One geometry: false once the model is refused. A geometry that cannot
// take night colours is passed over, with every geometry, with a warning;
// otherwise its chunk is a candidate: put at the end of its Extension's
// payload, or in place of its night colour chunk, which is only ever
// replaced (or taken out, or left) whole.
bool JudgeGeometry(Judging& p, uint32_t k) {
    const GeometryRead& g = p.model.geometries[k];
    const MergeMode& mode = p.mode;
    if (!g.prelit) {
        Say(p, text::NoVertexColourLeft, k);
        return true;
    }
    if (!g.coloursFit) return Refuse(p, Fault::CountDoesNotFit, k);
    if (!mode.strip && p.model.size + rw::NightColourChunkLength(g.vertexCount) > UINT32_MAX)
        return Refuse(p, Fault::TooLarge, k);
    if (g.extensionFault != Fault::None) return Refuse(p, g.extensionFault, k);
    const ExtensionRead& extension = g.extension;
    if (!extension.offset) {
        if (!p.model.every) return Refuse(p, Fault::NoExtension, k);
        Say(p, text::NoExtensionLeft, k);
        return true;
    }
    p.j.anyTakes = true;
    Candidate c;
    c.chunk.Geometry = k;
    c.chunk.InsertionOffset = extension.end;
    c.chunk.TakenOut = mode.strip;
    c.chunk.VertexCount = g.vertexCount;
    c.chunk.DayColours = g.colours;
    c.geometry = g.offset;
    c.geometrySize = g.size;
    c.extension = extension.offset;
    c.extensionSize = extension.size;
    if (extension.night && !mode.alwaysMerge && !mode.skip && !mode.strip)
        return Refuse(p, Fault::HasNightColours, k);
    const Fault problem = ExtensionProblem(extension);
    if (problem != Fault::None) return Refuse(p, problem, k);
    // Judged wherever "Always Merge" would make colours, so that a skip
    // refuses what it refuses.
    if (mode.lit && g.materialFault != Fault::None) return Refuse(p, g.materialFault, k);
    if (extension.night) {
        c.chunk.InsertionOffset = extension.night;
        c.chunk.ReplacedLength = extension.nightSize + rw::ChunkHeaderSize;
    }
    p.merged.push_back(c);
    p.merged.back().chunk.TakenOut = false;
    if (!extension.night) {
        if (!mode.strip) p.candidates.push_back(c);
        return true;
    }
    c.skipped = mode.skip;
    // A model of one geometry is logged as without every geometry.
    if (c.skipped && p.model.every) Say(p, text::GeometryLeftAsItIs, k);
    if (!mode.strip && !mode.skip) Say(p, text::ReplacingNightColours, k);
    p.candidates.push_back(c);
    return true;
}

// A size field grown by growth (which a replaced chunk can make negative).
// Where the new size does not fit 32 bits, the fault (when still None)
// says why: the chunk runs past the end of the file already (pastFile), or
// the merged model would be too large.
void Grow(const ModelRead& model, std::vector<SizeChange>& sizes, uint64_t start, uint32_t size,
          int64_t growth, Fault pastFile, Fault& fault) {
    const int64_t grown = int64_t{size} + growth;
    sizes.push_back({start + 4, static_cast<uint32_t>(grown)});
    if (fault != Fault::None || (grown >= 0 && grown <= int64_t{UINT32_MAX})) return;
    fault = rw::ChunkEnd(start, size) > model.size ? pastFile : Fault::TooLarge;
}

// The sizes that the chunks change, each computed once: each Extension and
// Geometry by its own chunk's length; the Geometry List and, unless it lies
// after it, the Clump by all of them. Each container must hold the chunks
// and the chunks they replace (each Extension and Geometry hold theirs by
// the checks above), and every size, and the merged model's, must fit 32
// bits.
Fault PlanSizes(const ModelRead& model, const std::vector<Candidate>& chunks, OutputPlan& plan) {
    plan = {};
    plan.DaySize = plan.OutputSize = model.size;
    if (chunks.empty()) return Fault::None;
    const uint64_t list = model.geometryList;
    const NightChunk& last = chunks.back().chunk;
    const uint64_t end = last.InsertionOffset + last.ReplacedLength;
    if (rw::ChunkEnd(list, model.listSize) < end) return Fault::GeometryPastList;
    const uint64_t clumpEnd = rw::ChunkEnd(0, model.clumpSize);
    const bool clumpGrows = list < clumpEnd;
    if (clumpGrows && clumpEnd < end) return Fault::ListPastClump;
    int64_t growth = 0;
    Fault outer = Fault::None, fault = Fault::None;
    std::vector<SizeChange> inner;
    for (const Candidate& c : chunks) {
        // Nothing put in for a chunk taken out.
        const uint64_t length =
            c.chunk.TakenOut ? 0 : rw::NightColourChunkLength(c.chunk.VertexCount);
        const int64_t own = static_cast<int64_t>(length) - c.chunk.ReplacedLength;
        // An Extension past the end of the file was refused when it was found.
        Grow(model, inner, c.geometry, c.geometrySize, own, Fault::GeometryPastFile, fault);
        Grow(model, inner, c.extension, c.extensionSize, own, Fault::TooLarge, fault);
        growth += own;
        plan.Chunks.push_back(c.chunk);
    }
    if (clumpGrows) Grow(model, plan.Sizes, 0, model.clumpSize, growth, Fault::ClumpPastFile, outer);
    Grow(model, plan.Sizes, list, model.listSize, growth, Fault::ListPastFile, outer);
    plan.Sizes.insert(plan.Sizes.end(), inner.begin(), inner.end());
    if (outer != Fault::None) fault = outer;
    plan.OutputSize = static_cast<uint64_t>(static_cast<int64_t>(model.size) + growth);
    if (fault == Fault::None && plan.OutputSize > UINT32_MAX) fault = Fault::TooLarge;
    return fault;
}

}  // namespace

Judgement Judge(const ModelRead& model, const MergeMode& mode) {
    Judgement j;
    Judging p{model, mode, j};
    if (model.fault != Fault::None) return Refuse(p, model.fault), j;
    const GeometryRead& first = model.geometries[0];
    if (!model.every && !first.prelit) return Refuse(p, Fault::NoVertexColour), j;
    if (!first.counted) return Refuse(p, Fault::EndsInGeometry), j;
    j.remarks.push_back({nullptr, 0, first.vertexCount});
    if (model.listFault != Fault::None) return Refuse(p, model.listFault), j;
    for (uint32_t k = 1; k < model.geometries.size(); ++k)
        j.remarks.push_back({nullptr, k, model.geometries[k].vertexCount});
    for (uint32_t k = 0; k < model.geometries.size(); ++k)
        if (!JudgeGeometry(p, k)) return j;
    // With every geometry, a model where none can take colours is refused
    // as the first one's would be.
    if (!j.anyTakes) return Refuse(p, first.prelit ? Fault::NoExtension : Fault::NoVertexColour), j;
    // The chunks left as they are, or taken out, must fit where "Always
    // Merge" would put theirs: a skip and a strip refuse what that refuses
    // (but a merged model too large, which a strip cannot make).
    Fault fault = PlanSizes(model, p.merged, j.plan);
    if (mode.strip && fault == Fault::TooLarge) fault = Fault::None;
    if (fault != Fault::None) return Refuse(p, fault), j;
    std::vector<Candidate> planned;
    for (const Candidate& c : p.candidates)
        if (!c.skipped) planned.push_back(c);
    if (planned.empty()) {
        j.plan = {};
        j.verdict = Verdict::LeftAsItIs;
        Say(p, mode.strip ? text::NothingToStrip : text::LeftAsItIs, 0);
        return j;
    }
    fault = PlanSizes(model, planned, j.plan);
    if (fault != Fault::None) return Refuse(p, fault), j;
    j.verdict = Verdict::Planned;
    return j;
}

}  // namespace merge
