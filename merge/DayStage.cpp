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

// Looks among the Extension's children, the first included, for a night
// colour chunk; "Always Merge" decides whether the new chunk takes its place.
bool LookForNightColours(DropSequence& sequence, Os& os, Session& session, uint64_t fileSize) {
    rw::ByteStream& file = *sequence.DayFile;
    const uint64_t extensionEnd = sequence.InsertionOffset;
    const uint64_t firstChild = sequence.ExtensionOffset + rw::ChunkHeaderSize;
    if (firstChild + rw::ChunkHeaderSize > extensionEnd) return true;  // no child
    uint64_t found = firstChild;
    uint32_t type = 0;
    // From the Extension's size field over its version onto the first child's type.
    if (!rw::Skip(file, 4) || !rw::ReadField32(file, &type)) return true;
    if (type != rw::TypeNightColours &&
        !rw::FindSiblingWithin(file, firstChild, extensionEnd, rw::TypeNightColours, &found))
        return true;

    if (!session.IsTicked(Option::AlwaysMerge))
        return Fail(sequence, os, session, text::HasNightColours);
    uint32_t size = 0;
    if (!rw::ReadField32(file, &size) || ChunkEnd(found, size) > fileSize)
        return Fail(sequence, os, session, text::NightPastFile);
    if (ChunkEnd(found, size) > extensionEnd)
        return Fail(sequence, os, session, text::NightPastExtension);
    sequence.ReplacedLength = size + rw::ChunkHeaderSize;
    sequence.InsertionOffset = static_cast<uint32_t>(found);
    session.AppendLog(text::ReplacingNightColours);
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
    if (!OpenAndCheckModel(os, session, sequence.DayPath, &sequence.DayFile, &start))
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
    if (!LookForNightColours(sequence, os, session, fileSize)) return false;
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
