#include "merge/PreviewGeometry.h"

#include "merge/Messages.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

constexpr uint16_t FlagTextured = 0x0004;
constexpr uint16_t FlagTexturedSets = 0x0080;
constexpr uint32_t FixedFields = 16;
constexpr uint32_t TriangleSize = 8, PositionSize = 12, TextureCoordinateSize = 8;
// A morph target's bounding sphere and its two flags.
constexpr uint32_t MorphTargetFields = 24;

bool ReadByte(rw::ByteStream& file, uint8_t* value) { return file.Read(value, 1) == 1; }

uint32_t TextureSets(uint16_t flags, uint8_t sets) {
    if (sets != 0) return sets;
    if (flags & FlagTexturedSets) return 2;
    return flags & FlagTextured ? 1 : 0;
}

}  // namespace

const char* ReadGeometryData(rw::ByteStream& file, uint64_t geometry, GeometryData* data) {
    const uint64_t start = geometry + 2 * rw::ChunkHeaderSize;
    uint32_t size = 0, morphTargets = 0;
    uint16_t flags = 0;
    uint8_t sets = 0, native = 0;
    if (!rw::SeekTo(file, geometry + rw::ChunkHeaderSize + 4) || !rw::ReadField32(file, &size))
        return text::EndsInGeometry;
    if (start + size > file.Size()) return text::EndsInGeometry;
    if (size < FixedFields) return text::GeometryDataMiscounted;
    if (!rw::SeekTo(file, start) || !rw::ReadFlags16(file, &flags) || !ReadByte(file, &sets) ||
        !ReadByte(file, &native) || !rw::ReadField32(file, &data->triangleCount) ||
        !rw::ReadField32(file, &data->vertexCount) || !rw::ReadField32(file, &morphTargets))
        return text::EndsInGeometry;
    data->native = native != 0;
    if (data->native) return nullptr;
    // In 64 bits: no count can make the sum wrap.
    const uint64_t n = data->vertexCount, end = start + size;
    uint64_t at = start + FixedFields;
    if (flags & rw::FlagPrelit) {
        data->colours = at;
        at += rw::ColourSize * n;
    }
    at += TextureCoordinateSize * n * TextureSets(flags, sets);
    data->triangles = at;
    at += uint64_t{TriangleSize} * data->triangleCount;
    if (at > end) return text::GeometryDataMiscounted;
    if (morphTargets == 0) return nullptr;
    uint32_t hasPositions = 0;
    if (at + MorphTargetFields > end) return text::GeometryDataMiscounted;
    if (!rw::SeekTo(file, at + 16) || !rw::ReadField32(file, &hasPositions))
        return text::EndsInGeometry;
    at += MorphTargetFields;
    if (hasPositions == 0) return nullptr;
    if (at + PositionSize * n > end) return text::GeometryDataMiscounted;
    data->positions = at;
    return nullptr;
}

}  // namespace merge
