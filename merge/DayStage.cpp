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
enum class Plan { Chunk, None, Failed, LeftAsItIs };

// Logs the reason (if any, as a line about the geometry), releases and
// closes what the stage took.
Plan Fail(DropSequence& sequence, Os& os, Session& session, const char* message,
          uint32_t geometry = 0) {
    if (message) AppendGeometryLine(session, geometry, message);
    sequence.Chunks.clear();
    CloseFile(os, sequence.DayFile);
    return Plan::Failed;
}

// Finds where the geometry's chunk goes: at the end of its Extension's
// payload, or, with "Always Merge", in place of its night colour chunk,
// which is only ever replaced whole (as it is taken out by a strip).
// Plan::None when it has no Extension and may be left as it is, or nothing
// to strip.
Plan PlaceChunk(DropSequence& sequence, Os& os, Session& session, const GeometryFields& geometry,
                uint64_t fileSize, bool every, NightChunk& chunk) {
    const uint32_t index = chunk.Geometry;
    ExtensionFields extension;
    if (const char* problem = FindExtension(*sequence.DayFile, geometry, fileSize, &extension))
        return Fail(sequence, os, session, problem, index);
    if (!extension.offset) {
        if (!every && !chunk.TakenOut) return Fail(sequence, os, session, text::NoExtension);
        if (every) AppendGeometryLine(session, index, text::NoExtensionLeft);
        return Plan::None;
    }
    chunk.ExtensionOffset = extension.offset;
    chunk.ExtensionSize = extension.size;
    chunk.InsertionOffset = extension.end;
    if (!extension.night) {
        if (chunk.TakenOut) return Plan::None;
        if (extension.childCut) return Fail(sequence, os, session, text::ChunkPastExtension, index);
        return Plan::Chunk;
    }
    if (session.IsTicked(Option::SkipMerged) && !chunk.TakenOut) {
        session.AppendLog(text::LeftAsItIs);
        sequence.Chunks.clear();
        CloseFile(os, sequence.DayFile);
        return Plan::LeftAsItIs;
    }
    if (!session.IsTicked(Option::AlwaysMerge) && !chunk.TakenOut)
        return Fail(sequence, os, session, text::HasNightColours, index);
    if (extension.nightPastFile) return Fail(sequence, os, session, text::NightPastFile, index);
    if (extension.nightCut) return Fail(sequence, os, session, text::NightPastExtension, index);
    if (extension.childCut) return Fail(sequence, os, session, text::ChunkPastExtension, index);
    chunk.InsertionOffset = extension.night;
    chunk.ReplacedLength = extension.nightSize + rw::ChunkHeaderSize;
    if (!chunk.TakenOut) AppendGeometryLine(session, index, text::ReplacingNightColours);
    return Plan::Chunk;
}

// The chunk placed, and kept in the plan when it goes in.
Plan PlaceAndKeep(DropSequence& sequence, Os& os, Session& session, const GeometryFields& geometry,
                  uint64_t fileSize, bool every, NightChunk& chunk) {
    const Plan placed = PlaceChunk(sequence, os, session, geometry, fileSize, every, chunk);
    if (placed == Plan::Chunk) sequence.Chunks.push_back(std::move(chunk));
    return placed;
}

// Plans the chunk of one geometry: its colours, checked against the file
// before they are read, and its place. Plan::None for a geometry left as it
// is, with every geometry. A strip needs no colours; with every geometry
// it passes over the geometries that a merge passes over, whose Extensions
// a merge never reads: so it takes every model that a merge wrote.
Plan PlanChunk(DropSequence& sequence, Os& os, Session& session, const GeometryFields& geometry,
               uint32_t index, bool every) {
    rw::ByteStream& file = *sequence.DayFile;
    NightChunk chunk;
    chunk.Geometry = index;
    chunk.GeometryOffset = geometry.offset;
    chunk.GeometrySize = geometry.size;
    chunk.TakenOut = session.IsTicked(Option::Strip);
    if (!geometry.prelit && (every || !chunk.TakenOut)) {
        AppendGeometryLine(session, index, text::NoVertexColourLeft);
        return Plan::None;
    }
    if (chunk.TakenOut)
        return PlaceAndKeep(sequence, os, session, geometry, file.Size(), every, chunk);
    // Checked in 64 bits before anything is allocated: a count the file
    // cannot hold must not make us allocate or read gigabytes.
    const uint64_t fileSize = file.Size();
    const uint64_t colourBytes = uint64_t{rw::ColourSize} * geometry.vertexCount;
    if (geometry.colours + colourBytes > fileSize)
        return Fail(sequence, os, session, text::CountDoesNotFit, index);
    if (fileSize + rw::NightColourChunkLength(geometry.vertexCount) > UINT32_MAX)
        return Fail(sequence, os, session, text::TooLarge, index);
    chunk.VertexCount = geometry.vertexCount;
    // At least one byte, so that a geometry without vertices does not depend
    // on what a system gives for an empty block.
    chunk.Colours = AllocateBlock(os, colourBytes ? colourBytes : 1);
    if (!chunk.Colours) return Fail(sequence, os, session, text::NoMemory, index);
    // Read only where they become the night colours: otherwise the output's
    // copy of the day file reads them, as the rest of it.
    if (session.IsTicked(Option::CopyDayColours) &&
        (!rw::SeekTo(file, geometry.colours) ||
         file.Read(chunk.Colours.get(), static_cast<uint32_t>(colourBytes)) != colourBytes))
        return Fail(sequence, os, session, text::Unreadable, index);
    return PlaceAndKeep(sequence, os, session, geometry, fileSize, every, chunk);
}

bool Refused(DropSequence& sequence, Os& os, Session& session, const char* message) {
    Fail(sequence, os, session, message);
    return false;
}

// The length that a chunk puts in: none for one taken out.
uint32_t NewLength(const NightChunk& chunk) {
    return chunk.TakenOut ? 0
                          : static_cast<uint32_t>(rw::NightColourChunkLength(chunk.VertexCount));
}

uint64_t Growth(const NightChunk& chunk) {
    return uint64_t{NewLength(chunk)} - chunk.ReplacedLength;
}

// The Geometry List, and the Clump unless the Geometry List lies after it,
// must hold the new chunks and the chunks they replace (each Extension and
// Geometry hold theirs by the checks above); and each chunk that grows, and
// the merged model, must still have a size that 32 bits hold.
bool ContainersHoldNewChunks(DropSequence& sequence, Os& os, Session& session) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint64_t list = sequence.GeometryListOffset;
    if (!rw::SeekTo(file, 4) || !rw::ReadField32(file, &sequence.ClumpSize) ||
        !rw::SeekTo(file, list + 4) || !rw::ReadField32(file, &sequence.GeometryListSize))
        return Refused(sequence, os, session, text::Unreadable);
    const NightChunk& last = sequence.Chunks.back();
    const uint64_t end = last.InsertionOffset + last.ReplacedLength;
    if (ChunkEnd(list, sequence.GeometryListSize) < end)
        return Refused(sequence, os, session, text::GeometryPastList);
    const uint64_t clumpEnd = ChunkEnd(0, sequence.ClumpSize);
    sequence.ClumpGrows = list < clumpEnd;
    if (sequence.ClumpGrows && clumpEnd < end)
        return Refused(sequence, os, session, text::ListPastClump);
    uint64_t growth = 0;
    bool fits = true;
    for (const NightChunk& chunk : sequence.Chunks) {
        fits = fits && chunk.ExtensionSize + Growth(chunk) <= UINT32_MAX &&
               chunk.GeometrySize + Growth(chunk) <= UINT32_MAX;
        growth += Growth(chunk);
    }
    sequence.ImageSize = file.Size() + growth;
    fits = fits && sequence.GeometryListSize + growth <= UINT32_MAX &&
           sequence.ImageSize <= UINT32_MAX &&
           (!sequence.ClumpGrows || sequence.ClumpSize + growth <= UINT32_MAX);
    return fits || Refused(sequence, os, session, text::TooLarge);
}

}  // namespace

DayResult AnalyseDayFile(DropSequence& sequence, Os& os, Session& session) {
    sequence.Chunks.clear();
    sequence.Sizes.clear();
    const bool every = session.IsTicked(Option::EveryGeometry);
    const bool strip = session.IsTicked(Option::Strip);
    const auto refuse = [&](const char* message) {
        Fail(sequence, os, session, message);
        return DayResult::Failed;
    };
    ModelStart start;
    if (!OpenAndCheckModel(os, session, sequence.DayPath.c_str(), &sequence.DayFile, &start,
                           &sequence.DayStamp, !every && !strip))
        return refuse(nullptr);
    rw::ByteStream& file = *sequence.DayFile;
    sequence.DayVertexCount = start.first.vertexCount;
    sequence.GeometryListOffset = start.geometryList;
    std::vector<GeometryFields> geometries = {start.first};
    if (every) {
        geometries.clear();
        if (const char* problem = FindGeometries(file, start.geometryList, &geometries))
            return refuse(problem);
        for (uint32_t k = 1; k < geometries.size(); ++k)
            AppendCountLine(session, k, geometries[k].vertexCount);
    } else if (!rw::SeekTo(file, start.first.offset + 4) ||
               !rw::ReadField32(file, &geometries[0].size)) {
        return refuse(text::Unreadable);
    }
    for (uint32_t k = 0; k < geometries.size(); ++k) {
        const Plan plan = PlanChunk(sequence, os, session, geometries[k], k, every);
        if (plan == Plan::Failed) return DayResult::Failed;
        if (plan == Plan::LeftAsItIs) return DayResult::LeftAsItIs;
    }
    if (strip && sequence.Chunks.empty()) {
        session.AppendLog(text::NothingToStrip);
        CloseFile(os, sequence.DayFile);
        return DayResult::LeftAsItIs;
    }
    // With every geometry, a model where none can take colours is refused
    // as the first one's would be.
    if (sequence.Chunks.empty())
        return refuse(start.first.prelit ? text::NoExtension : text::NoVertexColour);
    return ContainersHoldNewChunks(sequence, os, session) ? DayResult::Analysed : DayResult::Failed;
}

void AdjustEnclosingSizes(DropSequence& sequence) {
    // Each Extension and Geometry by its own chunk's length; the Geometry
    // List and, when it holds them, the Clump by all of them: in wrapping
    // 32-bit arithmetic, where a replaced chunk was longer than the new one.
    uint32_t growth = 0;
    std::vector<SizeChange>& sizes = sequence.Sizes;
    sizes.clear();
    for (const NightChunk& chunk : sequence.Chunks) {
        const uint32_t delta = rw::SizeDelta(NewLength(chunk), chunk.ReplacedLength);
        sizes.push_back({chunk.GeometryOffset + 4, chunk.GeometrySize + delta});
        sizes.push_back({chunk.ExtensionOffset + 4, chunk.ExtensionSize + delta});
        growth += delta;
    }
    sizes.insert(sizes.begin(),
                 {sequence.GeometryListOffset + 4, sequence.GeometryListSize + growth});
    if (sequence.ClumpGrows) sizes.insert(sizes.begin(), {4, sequence.ClumpSize + growth});
}

}  // namespace merge
