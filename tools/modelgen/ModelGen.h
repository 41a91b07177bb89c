// Writes synthetic RW binary stream models (DFF) of our own making, for the
// tests, the benchmarks and the demo: a Clump with its Struct, a Frame List,
// a Geometry List with its Struct and one or more Geometries (Struct with the
// geometry data, Material List, Extension), Atomics and the Clump's own
// Extension, every size consistent unless a malformed shape is asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace modelgen {

using Bytes = std::vector<uint8_t>;

// A chunk of any type with a payload of plain bytes (a stand-in plugin).
struct RawChunk {
    uint32_t type = 0;
    Bytes payload;
};

// A material of a geometry's Material List: with a texture of this name, or
// without a texture.
struct MaterialShape {
    bool textured = false;
    std::string texture;
};

struct GeometryShape {
    uint32_t vertexCount = 3;
    uint32_t triangleCount = 1;
    bool prelit = true;  // flag 0x08 and the colour array
    // Texture coordinate sets, 8 x vertexCount bytes each after the colours:
    // one is flagged 0x04, two 0x80, more are counted in their own byte.
    uint8_t textureSets = 0;
    // The Material List's materials, in list order: one without a texture
    // unless others are given.
    std::vector<MaterialShape> materials = {MaterialShape{}};
    // Each triangle's material: triangle t takes triangleMaterials[t % size]
    // (when empty, material 0).
    std::vector<uint16_t> triangleMaterials;
    // The Material List's indices as written, for a malformed model (a
    // material missing, one not given earlier); when empty, -1 for each
    // material: each follows.
    std::vector<int32_t> materialIndices;
    // Each texture name written without its zero byte, filling its String.
    bool unterminatedTextures = false;
    // 4 x vertexCount bytes; when empty, a pattern that differs per vertex
    // and per geometry is used.
    Bytes colours;
    bool hasExtension = true;
    // Children of the geometry's Extension, in order.
    std::vector<RawChunk> plugins;
    // An existing night colour chunk in the Extension: inserted before
    // plugins[nightChunkIndex] (nightChunkIndex == plugins.size() puts it
    // last); -1 for none. Its size field is 4 + 4 x nightChunkVertices and its
    // colours are nightColours, or 0x5A bytes when that is empty.
    int nightChunkIndex = -1;
    uint32_t nightChunkVertices = 0;
    Bytes nightColours;
    // Added to the size fields of the Geometry and its Extension as written
    // (a malformed model: an Extension cut inside a child, say).
    int32_t geometrySizeChange = 0;
    int32_t extensionSizeChange = 0;
};

struct ModelShape {
    uint32_t firstChunkType = 0x10;  // Clump
    uint32_t version = 0x1803FFFF;   // of the Clump
    std::vector<GeometryShape> geometries = {GeometryShape{}};
    // Chunks between the Clump's Struct and the Frame List.
    std::vector<RawChunk> chunksBeforeGeometryList;
    // The Geometry List stands after the end of the Clump instead of inside it.
    bool geometryListAfterClump = false;
    // Bytes after the count in the Geometry List's Struct, which is then
    // longer than its usual 4 bytes.
    Bytes listStructExtra;
    // Children of the Clump's own Extension (may hold a night colour chunk).
    std::vector<RawChunk> clumpPlugins;
    // Bytes appended after the Clump (another Clump, rubbish...).
    Bytes trailing;
    // Overrides the first geometry's vertex count field only (the colours
    // written stay those of geometries[0].vertexCount): a count larger than
    // the file can hold.
    bool overrideVertexCount = false;
    uint32_t vertexCountField = 0;
    // Added to the size fields of the Clump and the Geometry List as written.
    int32_t clumpSizeChange = 0;
    int32_t geometryListSizeChange = 0;
    // Cut the file after this many bytes (SIZE_MAX keeps it whole).
    size_t truncateAt = SIZE_MAX;
};

// Byte offsets of the chunks that the tool reads or changes (first byte of
// each chunk header), valid for the untruncated model.
struct ModelLayout {
    size_t clump = 0;
    size_t geometryList = 0;
    size_t firstGeometry = 0;
    size_t firstGeometryData = 0;  // first byte of its Struct payload
    size_t firstExtension = 0;     // SIZE_MAX when the geometry has none
    size_t firstExtensionEnd = 0;  // first byte after its payload
    size_t nightChunk = 0;         // SIZE_MAX when there is none
};

struct Model {
    Bytes bytes;
    ModelLayout layout;
};

Model BuildModel(const ModelShape& shape);

// The layout BuildModel would report, without making the bytes: for models
// written with WriteModelFile.
ModelLayout LayoutOf(const ModelShape& shape);

// The corners of triangle t of a geometry of n vertices, as BuildModel
// writes them: the grid's cells, two triangles a cell, a corner past the
// last vertex wrapped to the first ones.
void TriangleCorners(uint32_t vertexCount, uint32_t triangle, uint32_t corners[3]);

// The colours BuildModel writes for vertex k of geometry g when none are given.
void PatternColour(uint32_t geometry, uint32_t vertex, uint8_t out[4]);

// Writes the model straight to a file, without holding it in memory; fast
// enough for models of hundreds of megabytes. False when the file cannot be
// written.
[[nodiscard]] bool WriteModelFile(const ModelShape& shape, const std::string& path);

// A night colour chunk's header, 4-byte field and colours.
Bytes NightColourChunk(const Bytes& colours);

// The model of this shape with a night colour chunk of these colours (4
// bytes for each vertex of its first geometry) in its first geometry's
// Extension: in place of its old one, or as its last child.
Model WithNightColours(ModelShape shape, const Bytes& colours);
// The same for each geometry, by index from 0, that has colours here.
Model WithNightColours(ModelShape shape, const std::map<uint32_t, Bytes>& colours);

// What tintweld-cli's --scale and --offset do to each channel R, G, B and A
// of a night colour: scaled by a whole percentage, rounded half up, moved by
// an offset, kept within 0 to 255.
struct ColourAdjustment {
    uint32_t scale[4] = {100, 100, 100, 100};
    int32_t offset[4] = {0, 0, 0, 0};
};
Bytes Adjusted(const Bytes& colours, const ColourAdjustment& adjustment);

// The shape with no night colour chunk in its first geometry (in every
// geometry when every): what a strip makes of it.
ModelShape WithoutNightColours(ModelShape shape, bool every);

// n copies of one colour; PatternColour for the first n vertices of geometry g.
Bytes Repeat(const Bytes& colour, uint32_t n);
Bytes PatternColours(uint32_t geometry, uint32_t n);

}  // namespace modelgen
