#include "merge/StageSupport.h"

#include <string>

#include "rwstream/Chunk.h"

namespace merge {

const char* const TextUnreadable = " Error: File could not be read.\r\n";

namespace {

const char* const TextOpening = " Opening file: ";
const char* const TextAnalyzing = " Analyzing file...\r\n";
const char* const TextNoClump = " Error: File doesn't contain Clump.\r\n";
const char* const TextWrongVersion = " Error: RW Version ID doesn't match.\r\n";
const char* const TextNoGeometryList = " Error: File doesn't contain Geometry List.\r\n";
const char* const TextNoVertexColour = " Error: File doesn't contain Vertex Color.\r\n";
const char* const TextEndsInGeometry = " Error: File ends inside the geometry data.\r\n";
const char* const LineEnd = "\r\n";

// From the Geometry List's type field (where its search leaves the position)
// over the rest of its header, its Struct, the first Geometry's header and
// that Geometry's Struct header, to the geometry data.
constexpr int64_t TypeFieldToGeometryData = rw::GeometryListToGeometryData - 4;
// From behind the format flags over the two further flag bytes and the
// triangle count, to the vertex count.
constexpr int64_t FlagsToVertexCount = rw::GeometryVertexCountOffset - 2;
// Over the morph target count, to the first colour.
constexpr int64_t VertexCountToColours =
    rw::GeometryColoursOffset - rw::GeometryVertexCountOffset - 4;

bool Fail(Platform& platform, const char* message) {
    platform.AppendLog(message);
    return false;
}

// " ", the count in plain decimal, " vertex.": one line in three appends.
void AppendCountLine(Platform& platform, uint32_t count) {
    platform.AppendLog(" ");
    platform.AppendLog(std::to_string(count).c_str());
    platform.AppendLog(" vertex.\r\n");
}

}  // namespace

bool ReadToGeometryColours(Platform& platform, const char* path, rw::ByteStream** file,
                           GeometryStart* start) {
    platform.AppendLog(TextOpening);
    platform.AppendLog(path);
    platform.AppendLog(LineEnd);
    *file = platform.OpenForReading(path);
    if (!*file) {
        ReportLastError(platform, " ");
        return false;
    }
    platform.AppendLog(TextAnalyzing);
    rw::ByteStream& stream = **file;

    uint32_t value = 0;
    if (!rw::ReadField32(stream, &value) || value != rw::TypeClump)
        return Fail(platform, TextNoClump);
    rw::Skip(stream, 4);
    if (!rw::ReadField32(stream, &value)) return Fail(platform, TextNoClump);
    if (value != rw::LibraryVersion) return Fail(platform, TextWrongVersion);
    // Over the type of the Clump's Struct, which is never examined, onto its size.
    rw::Skip(stream, 4);
    if (rw::FindSibling(stream, rw::TypeGeometryList, &start->geometryList) !=
        rw::SearchResult::Found)
        return Fail(platform, TextNoGeometryList);

    uint16_t flags = 0;
    rw::Skip(stream, TypeFieldToGeometryData);
    if (!rw::ReadFlags16(stream, &flags)) return Fail(platform, TextEndsInGeometry);
    rw::Skip(stream, FlagsToVertexCount);
    if (!(flags & rw::FlagPrelit)) return Fail(platform, TextNoVertexColour);
    if (!rw::ReadField32(stream, &start->vertexCount)) return Fail(platform, TextEndsInGeometry);
    AppendCountLine(platform, start->vertexCount);
    rw::Skip(stream, VertexCountToColours, &start->colours);
    return true;
}

bool FindLaterChild(rw::ByteStream& file, uint64_t chunkStart, uint64_t containerEnd,
                    uint32_t wantedType, uint64_t* foundStart) {
    for (;;) {
        uint32_t size = 0;
        if (!rw::ReadField32(file, &size)) return false;
        const uint64_t next = chunkStart + rw::ChunkHeaderSize + size;
        if (next + rw::ChunkHeaderSize > containerEnd) return false;
        uint32_t type = 0;
        if (!rw::Skip(file, int64_t{size} + 4) || !rw::ReadField32(file, &type)) return false;
        if (type == wantedType) {
            *foundStart = next;
            return true;
        }
        chunkStart = next;
    }
}

void CloseFile(Platform& platform, rw::ByteStream*& file) {
    if (!file) return;
    platform.Close(file);
    file = nullptr;
}

void ReleaseBlock(Platform& platform, uint8_t*& block) {
    if (!block) return;
    platform.Release(block);
    block = nullptr;
}

void ReleaseDayBlocks(DropSequence& sequence, Platform& platform) {
    ReleaseBlock(platform, sequence.OutputImage);
    ReleaseBlock(platform, sequence.DayColourBuffer);
}

}  // namespace merge
