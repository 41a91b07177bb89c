#include "rwstream/Chunk.h"

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

bool ReadField32(ByteStream& stream, uint32_t* value) {
    uint8_t bytes[4];
    if (stream.Read(bytes, 4) != 4) return false;
    *value = Load32(bytes);
    return true;
}

bool ReadFlags16(ByteStream& stream, uint16_t* value) {
    uint8_t bytes[2];
    if (stream.Read(bytes, 2) != 2) return false;
    *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

bool Skip(ByteStream& stream, int64_t distance, uint64_t* newPosition) {
    return stream.Seek(distance, SeekFrom::Current, newPosition);
}

bool SeekTo(ByteStream& stream, uint64_t position) {
    return stream.Seek(static_cast<int64_t>(position), SeekFrom::Start, nullptr);
}

SearchResult FindSibling(ByteStream& stream, uint32_t wantedType, uint64_t* chunkStart) {
    for (;;) {
        uint32_t size;
        if (!ReadField32(stream, &size)) return SearchResult::ShortOnSize;
        // Over the version and the payload, onto the next chunk's type. The
        // move is always forward, so the search ends at the end of the stream.
        uint64_t start;
        if (!Skip(stream, int64_t{size} + 4, &start)) return SearchResult::ShortOnSize;
        uint32_t type;
        if (!ReadField32(stream, &type)) return SearchResult::ShortOnType;
        if (type == wantedType) {
            if (chunkStart) *chunkStart = start;
            return SearchResult::Found;
        }
    }
}

bool FindSiblingWithin(ByteStream& stream, uint64_t chunkStart, uint64_t containerEnd,
                       uint32_t wantedType, uint64_t* foundStart) {
    for (;;) {
        uint32_t size = 0;
        if (!ReadField32(stream, &size)) return false;
        const uint64_t next = chunkStart + ChunkHeaderSize + size;
        if (next + ChunkHeaderSize > containerEnd) return false;
        uint32_t type = 0;
        if (!Skip(stream, int64_t{size} + 4) || !ReadField32(stream, &type)) return false;
        if (type == wantedType) {
            *foundStart = next;
            return true;
        }
        chunkStart = next;
    }
}

void WriteNightColourHeader(uint8_t header[NightColourPrefixSize], uint32_t vertexCount) {
    Store32(header, TypeNightColours);
    Store32(header + 4, 4 + ColourSize * vertexCount);
    Store32(header + 8, LibraryVersion);
    Store32(header + 12, NightColourFieldValue);
}

}  // namespace rw
