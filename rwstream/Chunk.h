// Reading chunks from a stream, and the header of the night colour chunk.
#pragma once

#include <cstdint>

#include "rwstream/ByteStream.h"
#include "rwstream/Format.h"

namespace rw {

// True only when all bytes of the field arrived; the position moves past
// whatever was read.
[[nodiscard]] bool ReadField32(ByteStream& stream, uint32_t* value);
[[nodiscard]] bool ReadFlags16(ByteStream& stream, uint16_t* value);

// Moves the position by distance bytes (forward or back) or to an absolute
// position; newPosition, when given, receives the position after the move.
[[nodiscard]] bool Skip(ByteStream& stream, int64_t distance, uint64_t* newPosition = nullptr);
[[nodiscard]] bool SeekTo(ByteStream& stream, uint64_t position);

// A chunk's end: its start, its header and its payload.
constexpr uint64_t ChunkEnd(uint64_t start, uint32_t size) {
    return start + ChunkHeaderSize + uint64_t{size};
}

// No container around the chunks: only the stream's end ends them.
constexpr uint64_t NoContainerEnd = UINT64_MAX;

// One chunk among a container's children, as the walk over them reads it.
struct Child {
    uint64_t start = 0, end = 0;  // its first byte; its end, once its size is read
    uint32_t type = 0, size = 0;  // 0 where they could not be read
    bool typed = false, sized = false;
    // The container's end, or the stream's, falls inside its header or its
    // payload: no chunk boundary after it.
    bool cut = false;
};

// The walk over a container's children: the child at start, whose header is
// read as far as the stream holds it. False when start is at or past
// containerEnd: no child begins there. A walk goes on at child.end while
// the child is not cut.
[[nodiscard]] bool ReadChild(ByteStream& stream, uint64_t start, uint64_t containerEnd,
                             Child* child);

// The sibling search, over that walk: from the chunk at first (whose type
// is passed over), the first later child of wantedType whose whole header
// lies before containerEnd (its type alone need be in the stream). True
// when found; false when the walk ends first.
[[nodiscard]] bool FindSibling(ByteStream& stream, uint64_t first, uint64_t containerEnd,
                               uint32_t wantedType, Child* found);

uint32_t Load32(const uint8_t* bytes);
void Store32(uint8_t* bytes, uint32_t value);

// Length of the night colour chunk for n vertices, and its size field.
constexpr uint64_t NightColourChunkLength(uint32_t vertexCount) {
    return NightColourPrefixSize + uint64_t{ColourSize} * vertexCount;
}

// The night colour chunk's header and its 4-byte field for n vertices.
void WriteNightColourHeader(uint8_t header[NightColourPrefixSize], uint32_t vertexCount);

}  // namespace rw
