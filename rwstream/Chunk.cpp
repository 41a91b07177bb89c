#include "rwstream/Chunk.h"

#include <cstring>

namespace rw {

uint32_t Load32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

void Store32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t MemoryStream::Read(void* buffer, uint32_t count) {
    if (position >= size) return 0;
    const uint32_t n = static_cast<uint32_t>(count < size - position ? count : size - position);
    std::memcpy(buffer, bytes + position, n);
    position += n;
    return n;
}

bool ReadField32(ByteStream& stream, uint32_t* value) {
    uint8_t bytes[sizeof *value];
    if (stream.Read(bytes, sizeof bytes) != sizeof bytes) return false;
    *value = Load32(bytes);
    return true;
}

bool ReadFlags16(ByteStream& stream, uint16_t* value) {
    uint8_t bytes[sizeof *value];
    if (stream.Read(bytes, sizeof bytes) != sizeof bytes) return false;
    *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

bool Skip(ByteStream& stream, int64_t distance, uint64_t* newPosition) {
    return stream.Seek(distance, SeekFrom::Current, newPosition);
}

bool SeekTo(ByteStream& stream, uint64_t position) {
    return stream.Seek(static_cast<int64_t>(position), SeekFrom::Start, nullptr);
}

bool ReadChild(ByteStream& stream, uint64_t start, uint64_t containerEnd, Child* child) {
    if (start >= containerEnd) return false;
    *child = Child{};
    child->start = start;
    child->typed = SeekTo(stream, start) && ReadField32(stream, &child->type);
    child->sized = child->typed && ReadField32(stream, &child->size);
    if (!child->typed) child->type = 0;
    child->end = ChunkEnd(start, child->size);
    // A header the container's end cuts leaves an end past it too.
    child->cut = !child->sized || child->end > containerEnd;
    return true;
}

bool FindSibling(ByteStream& stream, uint64_t first, uint64_t containerEnd, uint32_t wantedType,
                 Child* found) {
    for (uint64_t at = first; ReadChild(stream, at, containerEnd, found); at = found->end) {
        if (!found->typed || found->start + ChunkHeaderSize > containerEnd) return false;
        if (at != first && found->type == wantedType) return true;
        if (!found->sized) return false;
    }
    return false;
}

void WriteNightColourHeader(uint8_t header[NightColourPrefixSize], uint32_t vertexCount) {
    Store32(header, TypeNightColours);
    Store32(header + 4, 4 + ColourSize * vertexCount);
    Store32(header + 8, LibraryVersion);
    Store32(header + 12, NightColourFieldValue);
}

}  // namespace rw
