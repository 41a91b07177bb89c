// The day stage: the analysis of the DayFile and the plan of the output:
// the night colour chunk of the first geometry (or, with every geometry, of
// each that can take one), each with its geometry's colours, and the sizes
// of the chunks that hold them. A strip plans the same way: each night
// colour chunk found is replaced by nothing.
#include <cstdint>

#include "merge/DropSequence.h"
#include "merge/Messages.h"
#include "merge/ModelStart.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// What planning one geometry's chunk came to.
enum class Planned { Chunk, None, Failed };

// A chunk to put in, and the Geometry and Extension that hold it: their
// first bytes in the day file and their size fields there.
struct Placed {
    NightChunk chunk;
    uint64_t geometry = 0, extension = 0;
    uint32_t geometrySize = 0, extensionSize = 0;
};

// The day stage's work in progress: the file, open until the stage returns,
// and the chunks found so far.
struct Planner {
    Os& os;
    Session& session;
    rw::ByteStream& file;
    bool every;
    size_t geometryCount;
    std::vector<Placed> placed{};
    bool leftAny = false;  // a geometry with night colours left as it is
    // With "Skip merged", one geometry: its night colour chunk was planned
    // to be replaced, so the model is left as it is once the whole plan holds.
    bool skips = false;
    std::vector<GeometryRead>* listed;
};

// Logs the reason (if any, as a line about the geometry).
Planned Fail(Planner& p, const char* message, uint32_t geometry = 0) {
    if (message) AppendGeometryLine(p.session, geometry, message);
    return Planned::Failed;
}

// Finds where the geometry's chunk goes: at the end of its Extension's
// payload, or, with "Always Merge", in place of its night colour chunk,
// which is only ever replaced whole (as it is taken out by a strip).
// Planned::None when it has no Extension and may be left as it is, or
// nothing to strip.
Planned PlaceChunk(Planner& p, const GeometryFields& geometry, uint64_t fileSize, Placed& at) {
    const uint32_t index = at.chunk.Geometry;
    const bool strip = at.chunk.TakenOut;
    ExtensionFields extension;
    if (const char* problem = FindExtension(p.file, geometry, fileSize, &extension))
        return Fail(p, problem, index);
    if (!extension.offset) {
        if (!p.every && !strip) return Fail(p, text::NoExtension);
        if (p.every) AppendGeometryLine(p.session, index, text::NoExtensionLeft);
        return Planned::None;
    }
    at.extension = extension.offset;
    at.extensionSize = extension.size;
    at.chunk.InsertionOffset = extension.end;
    if (!extension.night) {
        if (strip) return Planned::None;
        if (const char* problem = ExtensionProblem(extension)) return Fail(p, problem, index);
        return Planned::Chunk;
    }
    // A skip leaves only night colours that "Always Merge" would replace,
    // and refuses what that refuses, with its message.
    const bool skip = p.session.IsTicked(Option::SkipMerged) && !strip;
    if (!p.session.IsTicked(Option::AlwaysMerge) && !strip && !skip)
        return Fail(p, text::HasNightColours, index);
    if (const char* problem = ExtensionProblem(extension)) return Fail(p, problem, index);
    // With every geometry, each on its own: the others still get theirs. A
    // model of one geometry is logged as without every geometry.
    if (skip && p.every) {
        if (p.geometryCount > 1) AppendGeometryLine(p.session, index, text::GeometryLeftAsItIs);
        p.leftAny = true;
        return Planned::None;
    }
    at.chunk.InsertionOffset = extension.night;
    at.chunk.ReplacedLength = extension.nightSize + rw::ChunkHeaderSize;
    if (p.listed)
        p.listed->back().NightVertices =
            extension.nightSize < 4 ? 0 : (extension.nightSize - 4) / rw::ColourSize;
    p.skips = p.skips || skip;
    if (!strip && !skip) AppendGeometryLine(p.session, index, text::ReplacingNightColours);
    return Planned::Chunk;
}

// The chunk placed, and kept in the plan when it goes in.
Planned PlaceAndKeep(Planner& p, const GeometryFields& geometry, uint64_t fileSize, Placed& at) {
    const Planned planned = PlaceChunk(p, geometry, fileSize, at);
    if (planned == Planned::Chunk) p.placed.push_back(std::move(at));
    return planned;
}

// Plans the chunk of one geometry: its colours, checked against the file
// before they are read, and its place. Planned::None for a geometry left as
// it is, with every geometry. A strip needs no colours; with every geometry
// it passes over the geometries that a merge passes over, whose Extensions
// a merge never reads: so it takes every model that a merge wrote.
Planned PlanChunk(Planner& p, const GeometryFields& geometry, uint32_t index) {
    Placed at;
    at.chunk.Geometry = index;
    at.geometry = geometry.offset;
    at.geometrySize = geometry.size;
    at.chunk.TakenOut = p.session.IsTicked(Option::Strip);
    if (p.listed) p.listed->push_back({geometry.vertexCount, geometry.prelit});
    if (!geometry.prelit && (p.every || !at.chunk.TakenOut)) {
        AppendGeometryLine(p.session, index, text::NoVertexColourLeft);
        return Planned::None;
    }
    if (at.chunk.TakenOut) return PlaceAndKeep(p, geometry, p.file.Size(), at);
    // Checked in 64 bits before anything is allocated: a count the file
    // cannot hold must not make us allocate or read gigabytes.
    const uint64_t fileSize = p.file.Size();
    const uint64_t colourBytes = uint64_t{rw::ColourSize} * geometry.vertexCount;
    if (geometry.colours + colourBytes > fileSize) return Fail(p, text::CountDoesNotFit, index);
    if (fileSize + rw::NightColourChunkLength(geometry.vertexCount) > UINT32_MAX)
        return Fail(p, text::TooLarge, index);
    at.chunk.VertexCount = geometry.vertexCount;
    // A geometry without vertices gets a block too: an empty one.
    at.chunk.Colours = AllocateBlock(p.os, colourBytes);
    if (!at.chunk.Colours) return Fail(p, text::NoMemory, index);
    // Read only where they become the night colours: otherwise the output's
    // copy of the day file reads them, as the rest of it.
    if (p.session.IsTicked(Option::CopyDayColours) &&
        (!rw::SeekTo(p.file, geometry.colours) ||
         p.file.Read(at.chunk.Colours.get(), static_cast<uint32_t>(colourBytes)) != colourBytes))
        return Fail(p, text::Unreadable, index);
    return PlaceAndKeep(p, geometry, fileSize, at);
}

bool Refused(Planner& p, const char* message) {
    Fail(p, message);
    return false;
}

// A size field grown by growth (which a replaced chunk can make negative).
// Where the new size does not fit 32 bits, problem (when still null) says
// why: the chunk runs past the end of the file already (pastFile), or the
// merged model would be too large.
void Grow(Planner& p, std::vector<SizeChange>& sizes, uint64_t start, uint32_t size,
          int64_t growth, const char* pastFile, const char*& problem) {
    const int64_t grown = int64_t{size} + growth;
    sizes.push_back({start + 4, static_cast<uint32_t>(grown)});
    if (problem || (grown >= 0 && grown <= int64_t{UINT32_MAX})) return;
    problem = rw::ChunkEnd(start, size) > p.file.Size() ? pastFile : text::TooLarge;
}

// The sizes that the new chunks change, each computed once: each Extension
// and Geometry by its own chunk's length; the Geometry List and, unless it
// lies after it, the Clump by all of them. Each container must hold the new
// chunks and the chunks they replace (each Extension and Geometry hold
// theirs by the checks above), and every size, and the merged model's, must
// fit 32 bits.
bool PlanSizes(Planner& p, uint64_t list, OutputPlan& plan) {
    uint32_t clumpSize = 0, listSize = 0;
    if (!rw::SeekTo(p.file, 4) || !rw::ReadField32(p.file, &clumpSize) ||
        !rw::SeekTo(p.file, list + 4) || !rw::ReadField32(p.file, &listSize))
        return Refused(p, text::Unreadable);
    const NightChunk& last = p.placed.back().chunk;
    const uint64_t end = last.InsertionOffset + last.ReplacedLength;
    if (rw::ChunkEnd(list, listSize) < end) return Refused(p, text::GeometryPastList);
    const uint64_t clumpEnd = rw::ChunkEnd(0, clumpSize);
    const bool clumpGrows = list < clumpEnd;
    if (clumpGrows && clumpEnd < end) return Refused(p, text::ListPastClump);
    int64_t growth = 0;
    const char* outer = nullptr;
    const char* problem = nullptr;
    std::vector<SizeChange> inner;
    for (Placed& at : p.placed) {
        // Nothing put in for a chunk taken out.
        const uint64_t length =
            at.chunk.TakenOut ? 0 : rw::NightColourChunkLength(at.chunk.VertexCount);
        const int64_t own = static_cast<int64_t>(length) - at.chunk.ReplacedLength;
        // An Extension past the end of the file was refused when it was found.
        Grow(p, inner, at.geometry, at.geometrySize, own, text::GeometryPastFile, problem);
        Grow(p, inner, at.extension, at.extensionSize, own, text::TooLarge, problem);
        growth += own;
        plan.Chunks.push_back(std::move(at.chunk));
    }
    if (clumpGrows) Grow(p, plan.Sizes, 0, clumpSize, growth, text::ClumpPastFile, outer);
    Grow(p, plan.Sizes, list, listSize, growth, text::ListPastFile, outer);
    plan.Sizes.insert(plan.Sizes.end(), inner.begin(), inner.end());
    if (outer) problem = outer;
    if (!problem && static_cast<int64_t>(p.file.Size()) + growth > int64_t{UINT32_MAX})
        problem = text::TooLarge;
    return !problem || Refused(p, problem);
}

}  // namespace

DayResult AnalyseDayFile(DropSequence& sequence, Os& os, Session& session) {
    sequence.Plan.reset();
    const bool every = session.IsTicked(Option::EveryGeometry);
    const bool strip = session.IsTicked(Option::Strip);
    ModelStart start;
    InputFile day;
    if (!OpenAndCheckModel(os, session, sequence.DayPath.c_str(), &day, &start,
                           &sequence.DayStamp, !every && !strip))
        return DayResult::Failed;
    Planner p{os, session, *day, every, 1, {}, false, false, sequence.Listed};
    std::vector<GeometryFields> geometries = {start.first};
    if (every) {
        geometries.clear();
        if (const char* problem = FindGeometries(*day, start.geometryList, &geometries)) {
            Fail(p, problem);
            return DayResult::Failed;
        }
        for (uint32_t k = 1; k < geometries.size(); ++k)
            AppendCountLine(session, k, geometries[k].vertexCount);
    } else if (!rw::SeekTo(*day, start.first.offset + 4) ||
               !rw::ReadField32(*day, &geometries[0].size)) {
        Fail(p, text::Unreadable);
        return DayResult::Failed;
    }
    p.geometryCount = geometries.size();
    for (uint32_t k = 0; k < geometries.size(); ++k) {
        if (PlanChunk(p, geometries[k], k) == Planned::Failed) return DayResult::Failed;
    }
    if (strip && p.placed.empty()) {
        session.AppendLog(text::NothingToStrip);
        return DayResult::LeftAsItIs;
    }
    if (p.leftAny && p.placed.empty()) {
        session.AppendLog(text::LeftAsItIs);
        return DayResult::LeftAsItIs;
    }
    // With every geometry, a model where none can take colours is refused
    // as the first one's would be.
    if (p.placed.empty()) {
        Fail(p, start.first.prelit ? text::NoExtension : text::NoVertexColour);
        return DayResult::Failed;
    }
    auto plan = std::make_unique<OutputPlan>();
    if (!PlanSizes(p, start.geometryList, *plan)) return DayResult::Failed;
    if (p.skips) {
        session.AppendLog(text::LeftAsItIs);
        return DayResult::LeftAsItIs;
    }
    sequence.Plan = std::move(plan);
    return DayResult::Analysed;
}

}  // namespace merge
