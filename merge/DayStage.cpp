// The day stage: the analysis of the DayFile, the building of OutputImage
// around the new night colour chunk, and the growth of the chunks that
// enclose it.
#include <cstdint>

#include "merge/DropSequence.h"
#include "merge/Messages.h"
#include "merge/ModelStart.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// Logs the reason (if any), releases and closes what the stage took.
bool Fail(DropSequence& sequence, Os& os, Session& session, const char* message) {
    if (message) session.AppendLog(message);
    ReleaseDayBlocks(sequence, os);
    CloseFile(os, sequence.DayFile);
    return false;
}

uint64_t ChunkEnd(uint64_t start, uint32_t size) { return start + rw::ChunkHeaderSize + size; }

// Finds the Extension among the first Geometry's children and sets
// InsertionOffset behind its payload.
bool FindExtension(DropSequence& sequence, Os& os, Session& session, uint64_t fileSize) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint64_t geometry = sequence.FirstGeometryOffset;
    uint32_t geometrySize = 0;
    if (!rw::SeekTo(file, geometry + 4) || !rw::ReadField32(file, &geometrySize))
        return Fail(sequence, os, session, text::Unreadable);
    const uint64_t structStart = geometry + rw::ChunkHeaderSize;
    const uint64_t geometryEnd = ChunkEnd(geometry, geometrySize);
    uint64_t extension = 0;
    if (!rw::SeekTo(file, structStart + 4) ||
        !rw::FindSiblingWithin(file, structStart, geometryEnd, rw::TypeExtension, &extension))
        return Fail(sequence, os, session, text::NoExtension);
    uint32_t size = 0;
    if (!rw::ReadField32(file, &size) || ChunkEnd(extension, size) > fileSize)
        return Fail(sequence, os, session, text::ExtensionPastFile);
    // The new chunk would lie outside the Geometry that is to hold it.
    if (ChunkEnd(extension, size) > geometryEnd)
        return Fail(sequence, os, session, text::ExtensionPastGeometry);
    sequence.ExtensionOffset = static_cast<uint32_t>(extension);
    sequence.InsertionOffset = static_cast<uint32_t>(ChunkEnd(extension, size));
    return true;
}

// Walks the Extension's children, the first included, for the first night
// colour chunk; "Always Merge" decides whether the new chunk takes its place.
// The new chunk goes in at a chunk boundary only: a child that the
// Extension's end cuts, in its header or its payload, is refused (a night
// colour chunk as the Part reads it: found, and running past the Extension).
bool LookForNightColours(DropSequence& sequence, Os& os, Session& session, uint64_t fileSize) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint64_t extensionEnd = sequence.InsertionOffset;
    uint64_t found = 0, child = sequence.ExtensionOffset + rw::ChunkHeaderSize;
    uint32_t foundSize = 0;
    for (uint64_t next; child < extensionEnd; child = next) {
        uint32_t type = 0, size = 0;
        const bool header = rw::SeekTo(file, child) && rw::ReadField32(file, &type) &&
                            rw::ReadField32(file, &size);
        next = ChunkEnd(child, size);
        const bool cut = !header || child + rw::ChunkHeaderSize > extensionEnd || next > extensionEnd;
        if (type != rw::TypeNightColours || found) {
            if (cut) return Fail(sequence, os, session, text::ChunkPastExtension);
            continue;
        }
        if (!session.IsTicked(Option::AlwaysMerge))
            return Fail(sequence, os, session, text::HasNightColours);
        if (header && next > fileSize) return Fail(sequence, os, session, text::NightPastFile);
        if (cut) return Fail(sequence, os, session, text::NightPastExtension);
        found = child;
        foundSize = size;
    }
    if (!found) return true;
    sequence.ReplacedLength = foundSize + rw::ChunkHeaderSize;
    sequence.InsertionOffset = static_cast<uint32_t>(found);
    session.AppendLog(text::ReplacingNightColours);
    return true;
}

// The Geometry List, and the Clump unless the Geometry List lies after it,
// must hold the new chunk and the chunk it replaces (the Extension and the
// Geometry hold it by the checks above); and each of the four, grown, must
// still have a size that 32 bits hold.
bool ContainersHoldNewChunk(DropSequence& sequence, Os& os, Session& session) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint64_t end = uint64_t{sequence.InsertionOffset} + sequence.ReplacedLength;
    const uint32_t chunks[] = {0, sequence.GeometryListOffset, sequence.FirstGeometryOffset,
                               sequence.ExtensionOffset};
    uint32_t sizes[4] = {};
    for (int k = 0; k < 4; ++k)
        if (!rw::SeekTo(file, chunks[k] + 4) || !rw::ReadField32(file, &sizes[k]))
            return Fail(sequence, os, session, text::Unreadable);
    if (ChunkEnd(chunks[1], sizes[1]) < end) return Fail(sequence, os, session, text::GeometryPastList);
    const uint64_t clumpEnd = ChunkEnd(0, sizes[0]);
    const bool clumpGrows = chunks[1] < clumpEnd;
    if (clumpGrows && clumpEnd < end) return Fail(sequence, os, session, text::ListPastClump);
    const uint64_t growth = rw::NightColourChunkLength(sequence.DayVertexCount);
    for (int k = clumpGrows ? 0 : 1; k < 4; ++k)
        if (sizes[k] + growth - sequence.ReplacedLength > UINT32_MAX)
            return Fail(sequence, os, session, text::TooLarge);
    return true;
}

// The day file with the new chunk's room made at InsertionOffset and the old
// chunk, if any, left out: two reads around the place of the new chunk.
bool CopyDayFileAroundNewChunk(DropSequence& sequence, uint64_t fileSize) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint32_t before = sequence.InsertionOffset;
    const uint64_t afterStart = uint64_t{before} + sequence.ReplacedLength;
    const uint32_t after = static_cast<uint32_t>(fileSize - afterStart);
    const uint64_t newLength = rw::NightColourChunkLength(sequence.DayVertexCount);
    return rw::SeekTo(file, 0) && file.Read(sequence.OutputImage, before) == before &&
           rw::SeekTo(file, afterStart) &&
           file.Read(sequence.OutputImage + before + newLength, after) == after;
}

// Whether the chunk at start encloses the place of the new chunk (and the
// whole of the chunk it replaces). Its header lies before that place, so its
// size is still the day file's.
bool EnclosesNewChunk(const DropSequence& sequence, uint64_t start) {
    const uint64_t place = sequence.InsertionOffset;
    if (start + rw::ChunkHeaderSize > place) return false;
    const uint32_t size = rw::Load32(sequence.OutputImage + start + 4);
    return place + sequence.ReplacedLength <= ChunkEnd(start, size);
}

}  // namespace

bool AnalyseDayFile(DropSequence& sequence, Os& os, Session& session) {
    GeometryStart start;
    sequence.ReplacedLength = 0;
    if (!OpenAndCheckModel(os, session, sequence.DayPath.c_str(), &sequence.DayFile, &start,
                           &sequence.DayStamp))
        return Fail(sequence, os, session, nullptr);
    const uint32_t n = start.vertexCount;
    sequence.DayVertexCount = n;
    rw::ByteStream& file = *sequence.DayFile;

    // Checked in 64 bits before anything is allocated: a count the file
    // cannot hold must not make us allocate or read gigabytes.
    const uint64_t fileSize = file.Size();
    const uint64_t colourBytes = uint64_t{rw::ColourSize} * n;
    if (start.colours + colourBytes > fileSize)
        return Fail(sequence, os, session, text::CountDoesNotFit);
    const uint64_t imageSize = fileSize + rw::NightColourChunkLength(n);
    if (imageSize > UINT32_MAX) return Fail(sequence, os, session, text::TooLarge);
    sequence.ImageSize = static_cast<uint32_t>(imageSize);

    sequence.OutputImage = os.AllocateZeroed(sequence.ImageSize);
    // At least one byte, so that a geometry without vertices does not depend
    // on what a platform gives for an empty block.
    if (sequence.OutputImage)
        sequence.DayColourBuffer = os.AllocateZeroed(colourBytes ? colourBytes : 1);
    if (!sequence.DayColourBuffer) return Fail(sequence, os, session, text::NoMemory);
    if (file.Read(sequence.DayColourBuffer, static_cast<uint32_t>(colourBytes)) != colourBytes)
        return Fail(sequence, os, session, text::Unreadable);

    sequence.GeometryListOffset = static_cast<uint32_t>(start.geometryList);
    sequence.FirstGeometryOffset = sequence.GeometryListOffset + rw::GeometryListToFirstGeometry;
    if (!FindExtension(sequence, os, session, fileSize)) return false;
    if (!LookForNightColours(sequence, os, session, fileSize) ||
        !ContainersHoldNewChunk(sequence, os, session))
        return false;
    if (!CopyDayFileAroundNewChunk(sequence, fileSize))
        return Fail(sequence, os, session, text::Unreadable);
    rw::WriteNightColourHeader(sequence.OutputImage, sequence.ImageSize, sequence.InsertionOffset,
                               n);
    return true;
}

void AdjustEnclosingSizes(DropSequence& sequence) {
    const uint32_t delta =
        rw::SizeDelta(static_cast<uint32_t>(rw::NightColourChunkLength(sequence.DayVertexCount)),
                      sequence.ReplacedLength);
    // The Clump, the Geometry List, the first Geometry and its Extension, each
    // only when it holds the new chunk: a Geometry List after the end of the
    // Clump leaves the Clump's size alone.
    const uint32_t candidates[] = {0, sequence.GeometryListOffset, sequence.FirstGeometryOffset,
                                   sequence.ExtensionOffset};
    for (uint32_t start : candidates)
        if (EnclosesNewChunk(sequence, start))
            rw::AddSizeDelta(sequence.OutputImage, sequence.ImageSize, start + 4, delta);
}

}  // namespace merge
