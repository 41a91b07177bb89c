// The reading's part for lit rules: a geometry's Material List, its
// Materials and their textures' names, and its triangles' materials checked
// against the list; and the walk over the triangles that the lit rules take
// too. Faults are values, as in the rest of the reading.
#pragma once

#include <cstdint>
#include <functional>

#include "merge/Reading.h"

namespace merge {

// The Material List that follows the geometry's Struct, which ends at
// structEnd (any other chunk there: no materials), read into materials;
// then each triangle's material checked against it. The geometry's data
// must have been read.
Fault ReadMaterials(rw::ByteStream& file, uint64_t fileSize, const GeometryRead& geometry,
                    uint64_t structEnd, MaterialsRead* materials);

// A triangle: corner, corner, material, corner, 16 bits each.
constexpr uint32_t TriangleSize = 8;
inline uint32_t TriangleField(const uint8_t* triangle, int field) {
    return uint32_t{triangle[2 * field]} | uint32_t{triangle[2 * field + 1]} << 8;
}
constexpr int TriangleMaterial = 2;
constexpr int TriangleCorners[3] = {0, 1, 3};

// The geometry's triangles (none when it holds native data), handed to
// visit a batch at a time: the first triangle's bytes and their number
// (visit must leave the file's position alone). False when they cannot be
// read.
[[nodiscard]] bool VisitTriangles(rw::ByteStream& file, const GeometryData& data,
                                  const std::function<void(const uint8_t*, uint32_t)>& visit);

}  // namespace merge
