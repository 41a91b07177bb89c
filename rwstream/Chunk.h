// Reading chunks from a stream, and the header of the night colour chunk.
#pragma once

#include <cstdint>

#include "rwstream/ByteStream.h"
#include "rwstream/Format.h"

namespace rw {

// True only when all bytes of the field arrived; the position moves past
// whatever was read.
bool ReadField32(ByteStream& stream, uint32_t* value);
bool ReadFlags16(ByteStream& stream, uint16_t* value);

// Moves the position by distance bytes (forward or back) or to an absolute
// position; newPosition, when given, receives the position after the move.
bool Skip(ByteStream& stream, int64_t distance, uint64_t* newPosition = nullptr);
bool SeekTo(ByteStream& stream, uint64_t position);

enum class SearchResult { Found, ShortOnSize, ShortOnType };

// The sibling search. Starts on the size field of a chunk and steps from
// chunk to chunk (over the version and payload of each) until a chunk of
// wantedType begins. It is not bounded by any container: it ends only when it
// finds the type or a read comes up short at the end of the stream. On Found
// the position is on the found chunk's size field and chunkStart, when given,
// holds the found chunk's first byte.
SearchResult FindSibling(ByteStream& stream, uint32_t wantedType,
                         uint64_t* chunkStart = nullptr);

// The sibling search kept inside a container: starts on the size field of
// the chunk at chunkStart, whose type is passed over, and compares the types
// of the chunks after it that begin inside the container (their whole header
// before containerEnd). True with the position on the found chunk's size
// field and foundStart on its first byte; false when none is there or the
// stream ends first.
bool FindSiblingWithin(ByteStream& stream, uint64_t chunkStart, uint64_t containerEnd,
                       uint32_t wantedType, uint64_t* foundStart);

uint32_t Load32(const uint8_t* bytes);
void Store32(uint8_t* bytes, uint32_t value);

// Length of the night colour chunk for n vertices, and its size field.
constexpr uint64_t NightColourChunkLength(uint32_t vertexCount) {
    return NightColourPrefixSize + uint64_t{ColourSize} * vertexCount;
}

// The night colour chunk's header and its 4-byte field for n vertices.
void WriteNightColourHeader(uint8_t header[NightColourPrefixSize], uint32_t vertexCount);

}  // namespace rw
