// Byte layout of an RW binary stream, as far as this tool reads and writes it.
//
// Every chunk is a 12-byte header and a payload; all fields are little-endian
// and unsigned:
//
//   +0  type     chunk type id
//   +4  size     payload bytes after the header (the header is not counted)
//   +8  version  library version stamp of the writer
//
// A container's payload is its children back to back, so the next sibling of
// a chunk at p starts at p + 12 + size.
//
// From the first byte of the Geometry List to its first geometry's data:
//
//   +0   Geometry List header          +28  first Geometry header
//   +12  Geometry List Struct header   +40  that Geometry's Struct header
//   +24  number of geometries          +52  Struct payload (geometry data)
//
// Geometry data: +0 format flags (16 bits), +2 further flags, +4 triangle
// count, +8 vertex count n, +12 morph target count, +16 prelit colours
// (4 x n bytes, present when the flags carry FlagPrelit).
//
// A Geometry's children: its Struct, its Material List, its Extension. The
// Material List: a Struct (a count, then that many 32-bit indices: -1 for a
// Material that follows, or the index of an earlier one), then a Material
// for each -1. A Material: a Struct (+0 flags, +4 colour, +8 a word, +12
// textured: non-zero when a Texture follows, then three floats), the
// Texture (a Struct, a String: the name, zero-terminated, padded to 4
// bytes, a String: the mask's name, an Extension), its Extension.
//
// Night colour chunk as written: header (type, size 4 + 4n, version), the
// 4-byte field 0x01010101, then one R G B A colour per vertex.
#pragma once

#include <cstdint>

namespace rw {

constexpr uint32_t ChunkHeaderSize = 12;

constexpr uint32_t TypeStruct = 0x00000001;
constexpr uint32_t TypeString = 0x00000002;
constexpr uint32_t TypeExtension = 0x00000003;
constexpr uint32_t TypeTexture = 0x00000006;
constexpr uint32_t TypeMaterial = 0x00000007;
constexpr uint32_t TypeFrameList = 0x0000000E;
constexpr uint32_t TypeGeometry = 0x0000000F;
constexpr uint32_t TypeClump = 0x00000010;
constexpr uint32_t TypeAtomic = 0x00000014;
constexpr uint32_t TypeGeometryList = 0x0000001A;
constexpr uint32_t TypeMaterialList = 0x00000008;
constexpr uint32_t TypeNightColours = 0x0253F2F9;

constexpr uint32_t LibraryVersion = 0x1803FFFF;

// Offsets from the first byte of the Geometry List.
constexpr uint32_t GeometryListToFirstGeometry = 28;
constexpr uint32_t GeometryListToGeometryData = 52;

// Offsets within the geometry data (the format flags are at 0).
constexpr uint32_t GeometryVertexCountOffset = 8;
constexpr uint32_t GeometryColoursOffset = 16;
constexpr uint16_t FlagPrelit = 0x0008;

// A Material List's index of a Material that follows; a Material Struct's
// textured word.
constexpr int32_t MaterialFollows = -1;
constexpr uint32_t MaterialTexturedOffset = 12;

constexpr uint32_t ColourSize = 4;
constexpr uint32_t NightColourFieldValue = 0x01010101;
// Header and the 4-byte field that precede the colours of a night colour chunk.
constexpr uint32_t NightColourPrefixSize = 16;

}  // namespace rw
