// What a view needs of a Geometry's Struct, after the fields the merge reads:
// where its colours, its triangles and its first morph target's positions
// lie. Every count is checked against the Struct's size before anything is
// read or allocated.
//
// Geometry data: +0 flags (16 bits), +2 texture coordinate sets (8 bits; 0:
// from the flags), +3 native flag (8 bits; non-zero: no arrays follow), +4
// triangle count t, +8 vertex count n, +12 morph target count; then the
// prelit colours (4n bytes, when flagged), the texture coordinates (8n bytes
// a set), the triangles (8t bytes: vertex, vertex, material, vertex, 16 bits
// each) and each morph target: bounding sphere (16 bytes), has positions, has
// normals (32 bits each), positions (12n bytes, when it has them), normals.
#pragma once

#include <cstdint>

#include "rwstream/ByteStream.h"

namespace merge {

struct GeometryData {
    uint32_t triangleCount = 0, vertexCount = 0;
    bool native = false;
    // First bytes in the file; 0 for none.
    uint64_t colours = 0, triangles = 0, positions = 0;
};

// Reads the data of the Geometry at geometry: null, or the message of why it
// cannot be (the file ends inside it, or it does not hold what it counts).
const char* ReadGeometryData(rw::ByteStream& file, uint64_t geometry, GeometryData* data);

}  // namespace merge
