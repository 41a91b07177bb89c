#include "tools/modelgen/ModelGen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/modelgen/ByteSink.h"

namespace modelgen {

namespace {

// The format's numbers, written here from the format itself and not from
// the tool's own header, so that a wrong number there fails the tests.
constexpr uint32_t TypeStruct = 0x01, TypeString = 0x02, TypeExtension = 0x03,
                   TypeTexture = 0x06, TypeMaterial = 0x07, TypeMaterialList = 0x08,
                   TypeFrameList = 0x0E, TypeGeometry = 0x0F,
                   TypeAtomic = 0x14, TypeGeometryList = 0x1A, TypeNightColours = 0x0253F2F9;
constexpr uint32_t LibraryVersion = 0x1803FFFF;
constexpr uint32_t NightColourField = 0x01010101;
constexpr uint32_t ColourSize = 4, ChunkHeaderSize = 12;
constexpr uint16_t FlagPrelit = 0x0008;
// Every chunk but the first carries the stamp the tool itself writes.
constexpr uint32_t ChunkVersion = LibraryVersion;

// Flag bits that a typical mesh carries besides prelit: triangle strips,
// positions, lighting. Prelit stays the only one the tool looks at.
constexpr uint16_t FlagTriStrip = 0x0001;
constexpr uint16_t FlagPositions = 0x0002;
constexpr uint16_t FlagLight = 0x0020;
constexpr uint16_t FlagTextured = 0x0004;
constexpr uint16_t FlagTexturedSets = 0x0080;
constexpr uint32_t TextureCoordinateSize = 8;
constexpr uint8_t TextureFill = 0x3C;

constexpr uint8_t NightChunkFill = 0x5A;
constexpr uint32_t NoParentFrame = 0xFFFFFFFF;
// A Material List's index of a material that follows it.
constexpr uint32_t MaterialFollows = 0xFFFFFFFF;
constexpr uint32_t MaterialWhite = 0xFFFFFFFF;
// A texture's filtering and addressing, which the tool never reads.
constexpr uint32_t TextureFiltering = 0x1106;
constexpr uint32_t AtomicRenderFlags = 0x05;
// A geometry's vertices lie on a square grid in the plane z = its index,
// as few a side as hold them all, one unit apart; its triangles cover the
// grid's cells, two a cell, row by row.
uint32_t GridSide(uint32_t vertexCount) {
    uint32_t side = 2;
    while (uint64_t{side} * side < vertexCount) ++side;
    return side;
}

// The corners of triangle t on the grid of that side.
void GridCorners(uint32_t n, uint32_t side, uint32_t t, uint32_t corners[3]) {
    const uint32_t cell = t / 2, a = cell / (side - 1) * side + cell % (side - 1);
    const uint32_t grid[3] = {t % 2 ? a + 1 : a, t % 2 ? a + side + 1 : a + 1, a + side};
    for (int i = 0; i < 3; ++i) corners[i] = n ? grid[i] % n : 0;
}

// Writes a chunk whose payload is whatever putPayload emits. The size in the
// header comes from a first run of putPayload into a counting sink (plus
// sizeChange, wrapping, for a malformed model); a sink that only counts needs
// no such run, so nesting stays cheap.
template <typename Payload>
void PutChunk(ByteSink& sink, uint32_t type, uint32_t version, Payload putPayload,
              int32_t sizeChange = 0) {
    uint64_t size = 0;
    if (!IsCounting(sink)) {
        ByteSink counter;
        putPayload(counter);
        size = counter.position;
    }
    Put32(sink, type);
    Put32(sink, static_cast<uint32_t>(size) + static_cast<uint32_t>(sizeChange));
    Put32(sink, version);
    putPayload(sink);
}

// When the sink only counts, moves it over count bytes of bulk data and
// says so, sparing the loop that would make them.
bool CountedOnly(ByteSink& sink, uint64_t count) {
    if (!IsCounting(sink)) return false;
    sink.position += count;
    return true;
}

void PutRawChunk(ByteSink& sink, const RawChunk& chunk) {
    PutChunk(sink, chunk.type, ChunkVersion,
             [&](ByteSink& s) { PutBytes(s, chunk.payload.data(), chunk.payload.size()); });
}

void PutNightColourPrefix(ByteSink& sink, uint64_t colourBytes) {
    Put32(sink, TypeNightColours);
    Put32(sink, static_cast<uint32_t>(4 + colourBytes));
    Put32(sink, LibraryVersion);
    Put32(sink, NightColourField);
}

void PutColours(ByteSink& sink, const GeometryShape& geometry, uint32_t index) {
    if (!geometry.colours.empty()) {
        PutBytes(sink, geometry.colours.data(), geometry.colours.size());
        return;
    }
    if (CountedOnly(sink, uint64_t{ColourSize} * geometry.vertexCount)) return;
    for (uint32_t v = 0; v < geometry.vertexCount; ++v) PatternColour(index, v, Reserve(sink, 4));
}

// Corner, corner, material, corner: 16 bits each, as in the format, so
// large meshes wrap around.
void PutTriangles(ByteSink& sink, const GeometryShape& geometry) {
    if (CountedOnly(sink, uint64_t{8} * geometry.triangleCount)) return;
    const std::vector<uint16_t>& materials = geometry.triangleMaterials;
    const uint32_t side = GridSide(geometry.vertexCount);
    for (uint32_t t = 0; t < geometry.triangleCount; ++t) {
        uint32_t corners[3];
        GridCorners(geometry.vertexCount, side, t, corners);
        const uint32_t fields[4] = {corners[0], corners[1],
                                    materials.empty() ? 0u : materials[t % materials.size()],
                                    corners[2]};
        uint8_t* room = Reserve(sink, 8);
        for (int i = 0; i < 4; ++i) {
            room[2 * i] = static_cast<uint8_t>(fields[i]);
            room[2 * i + 1] = static_cast<uint8_t>(fields[i] >> 8);
        }
    }
}

// A String: the text, then zero bytes up to a multiple of 4 (at least one),
// or, unterminated, the text alone.
void PutString(ByteSink& sink, const std::string& text, bool terminated) {
    PutChunk(sink, TypeString, ChunkVersion, [&](ByteSink& s) {
        PutBytes(s, text.data(), text.size());
        if (terminated) PutFill(s, 0, 4 - text.size() % 4);
    });
}

// A Material: its Struct (flags, colour, an unused word, textured, and the
// ambient, specular and diffuse factors), its Texture when it has one
// (Struct, name, mask name, Extension), its Extension.
void PutMaterial(ByteSink& sink, const MaterialShape& material, bool terminated) {
    PutChunk(sink, TypeMaterial, ChunkVersion, [&](ByteSink& m) {
        PutChunk(m, TypeStruct, ChunkVersion, [&](ByteSink& d) {
            Put32(d, 0);
            Put32(d, MaterialWhite);
            Put32(d, 0);
            Put32(d, material.textured ? 1 : 0);
            for (int i = 0; i < 3; ++i) PutFloat(d, 1.0f);
        });
        if (material.textured) {
            PutChunk(m, TypeTexture, ChunkVersion, [&](ByteSink& t) {
                PutChunk(t, TypeStruct, ChunkVersion,
                         [](ByteSink& d) { Put32(d, TextureFiltering); });
                PutString(t, material.texture, terminated);
                PutString(t, "", true);
                PutChunk(t, TypeExtension, ChunkVersion, [](ByteSink&) {});
            });
        }
        PutChunk(m, TypeExtension, ChunkVersion, [](ByteSink&) {});
    });
}

// Its Struct: the count of indices, then each index (-1: a material that
// follows); then the materials.
void PutMaterialList(ByteSink& sink, const GeometryShape& geometry) {
    PutChunk(sink, TypeMaterialList, ChunkVersion, [&](ByteSink& m) {
        PutChunk(m, TypeStruct, ChunkVersion, [&](ByteSink& d) {
            const std::vector<int32_t>& indices = geometry.materialIndices;
            const size_t count = indices.empty() ? geometry.materials.size() : indices.size();
            Put32(d, static_cast<uint32_t>(count));
            for (size_t i = 0; i < count; ++i)
                Put32(d, indices.empty() ? MaterialFollows : static_cast<uint32_t>(indices[i]));
        });
        for (const MaterialShape& material : geometry.materials)
            PutMaterial(m, material, !geometry.unterminatedTextures);
    });
}

void PutMorphTarget(ByteSink& sink, const GeometryShape& geometry, uint32_t index) {
    const uint32_t side = GridSide(geometry.vertexCount);
    const float half = (side - 1) / 2.0f;
    PutFloat(sink, half);  // bounding sphere: centre and radius
    PutFloat(sink, half);
    PutFloat(sink, static_cast<float>(index));
    PutFloat(sink, static_cast<float>(side));
    Put32(sink, 1);  // has positions
    Put32(sink, 0);  // has normals
    if (CountedOnly(sink, uint64_t{12} * geometry.vertexCount)) return;
    for (uint32_t v = 0; v < geometry.vertexCount; ++v) {
        PutFloat(sink, static_cast<float>(v % side));
        PutFloat(sink, static_cast<float>(v / side));
        PutFloat(sink, static_cast<float>(index));
    }
}

void PutGeometryData(ByteSink& sink, const GeometryShape& geometry, uint32_t index,
                     uint32_t vertexCountField) {
    uint16_t flags = FlagTriStrip | FlagPositions | FlagLight;
    if (geometry.prelit) flags |= FlagPrelit;
    const uint8_t sets = geometry.textureSets;
    if (sets == 1) flags |= FlagTextured;
    if (sets == 2) flags |= FlagTexturedSets;
    Put16(sink, flags);
    const uint8_t setsAndNative[2] = {static_cast<uint8_t>(sets > 2 ? sets : 0), 0};
    PutBytes(sink, setsAndNative, 2);
    Put32(sink, geometry.triangleCount);
    Put32(sink, vertexCountField);
    Put32(sink, 1);  // morph targets
    if (geometry.prelit) PutColours(sink, geometry, index);
    PutFill(sink, TextureFill, size_t{TextureCoordinateSize} * sets * geometry.vertexCount);
    PutTriangles(sink, geometry);
    PutMorphTarget(sink, geometry, index);
}

void PutGeometryExtension(ByteSink& sink, const GeometryShape& geometry, bool first) {
    ModelLayout* layout = first ? sink.layout : nullptr;
    if (layout) layout->firstExtension = sink.position;
    PutChunk(sink, TypeExtension, ChunkVersion, [&](ByteSink& s) {
        for (size_t i = 0; i <= geometry.plugins.size(); ++i) {
            if (geometry.nightChunkIndex == static_cast<int>(i)) {
                uint64_t colourBytes = uint64_t{ColourSize} * geometry.nightChunkVertices;
                if (layout && s.layout) layout->nightChunk = s.position;
                PutNightColourPrefix(s, colourBytes);
                if (geometry.nightColours.empty())
                    PutFill(s, NightChunkFill, colourBytes);
                else
                    PutBytes(s, geometry.nightColours.data(), geometry.nightColours.size());
            }
            if (i < geometry.plugins.size()) PutRawChunk(s, geometry.plugins[i]);
        }
    }, geometry.extensionSizeChange);
    if (layout) layout->firstExtensionEnd = sink.position;
}

void PutGeometry(ByteSink& sink, const ModelShape& shape, uint32_t index) {
    const GeometryShape& geometry = shape.geometries[index];
    bool first = index == 0;
    uint32_t vertexCountField =
        first && shape.overrideVertexCount ? shape.vertexCountField : geometry.vertexCount;
    if (first && sink.layout) sink.layout->firstGeometry = sink.position;
    PutChunk(sink, TypeGeometry, ChunkVersion, [&](ByteSink& s) {
        if (first && s.layout) s.layout->firstGeometryData = s.position + ChunkHeaderSize;
        PutChunk(s, TypeStruct, ChunkVersion,
                 [&](ByteSink& d) { PutGeometryData(d, geometry, index, vertexCountField); });
        PutMaterialList(s, geometry);
        if (geometry.hasExtension) PutGeometryExtension(s, geometry, first);
    }, geometry.geometrySizeChange);
}

void PutGeometryList(ByteSink& sink, const ModelShape& shape) {
    uint32_t count = static_cast<uint32_t>(shape.geometries.size());
    if (sink.layout) sink.layout->geometryList = sink.position;
    PutChunk(sink, TypeGeometryList, ChunkVersion, [&](ByteSink& s) {
        PutChunk(s, TypeStruct, ChunkVersion, [&](ByteSink& d) {
            Put32(d, count);
            PutBytes(d, shape.listStructExtra.data(), shape.listStructExtra.size());
        });
        for (uint32_t g = 0; g < count; ++g) PutGeometry(s, shape, g);
    }, shape.geometryListSizeChange);
}

void PutFrameList(ByteSink& sink) {
    PutChunk(sink, TypeFrameList, ChunkVersion, [](ByteSink& s) {
        PutChunk(s, TypeStruct, ChunkVersion, [](ByteSink& d) {
            Put32(d, 1);  // frames
            const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
            for (float value : identity) PutFloat(d, value);
            for (int i = 0; i < 3; ++i) PutFloat(d, 0);  // position
            Put32(d, NoParentFrame);
            Put32(d, 0);  // flags
        });
        PutChunk(s, TypeExtension, ChunkVersion, [](ByteSink&) {});
    });
}

void PutAtomic(ByteSink& sink, uint32_t geometry) {
    PutChunk(sink, TypeAtomic, ChunkVersion, [&](ByteSink& s) {
        PutChunk(s, TypeStruct, ChunkVersion, [&](ByteSink& d) {
            Put32(d, 0);  // frame
            Put32(d, geometry);
            Put32(d, AtomicRenderFlags);
            Put32(d, 0);
        });
        PutChunk(s, TypeExtension, ChunkVersion, [](ByteSink&) {});
    });
}

void PutModel(ByteSink& sink, const ModelShape& shape) {
    if (sink.layout) {
        *sink.layout = ModelLayout{};
        sink.layout->clump = static_cast<size_t>(sink.position);
        sink.layout->firstGeometry = SIZE_MAX;
        sink.layout->firstGeometryData = SIZE_MAX;
        sink.layout->firstExtension = SIZE_MAX;
        sink.layout->firstExtensionEnd = SIZE_MAX;
        sink.layout->nightChunk = SIZE_MAX;
    }
    uint32_t atomics = static_cast<uint32_t>(shape.geometries.size());
    PutChunk(sink, shape.firstChunkType, shape.version, [&](ByteSink& s) {
        PutChunk(s, TypeStruct, ChunkVersion, [&](ByteSink& d) {
            Put32(d, atomics);
            Put32(d, 0);  // lights
            Put32(d, 0);  // cameras
        });
        for (const RawChunk& chunk : shape.chunksBeforeGeometryList) PutRawChunk(s, chunk);
        PutFrameList(s);
        if (!shape.geometryListAfterClump) PutGeometryList(s, shape);
        for (uint32_t a = 0; a < atomics; ++a) PutAtomic(s, a);
        PutChunk(s, TypeExtension, ChunkVersion, [&](ByteSink& e) {
            for (const RawChunk& chunk : shape.clumpPlugins) PutRawChunk(e, chunk);
        });
    }, shape.clumpSizeChange);
    if (shape.geometryListAfterClump) PutGeometryList(sink, shape);
    PutBytes(sink, shape.trailing.data(), shape.trailing.size());
}

}  // namespace

void TriangleCorners(uint32_t vertexCount, uint32_t triangle, uint32_t corners[3]) {
    GridCorners(vertexCount, GridSide(vertexCount), triangle, corners);
}

void PatternColour(uint32_t geometry, uint32_t vertex, uint8_t out[4]) {
    out[0] = static_cast<uint8_t>(vertex + 7 * geometry);
    out[1] = static_cast<uint8_t>(vertex >> 8);
    out[2] = static_cast<uint8_t>((vertex >> 16) + 0x35 * geometry);
    out[3] = static_cast<uint8_t>(0xFF - geometry);
}

ModelLayout LayoutOf(const ModelShape& shape) {
    ModelLayout layout;
    ByteSink counter;
    counter.layout = &layout;
    PutModel(counter, shape);
    return layout;
}

Model BuildModel(const ModelShape& shape) {
    Model model;
    ByteSink counter;
    PutModel(counter, shape);
    model.bytes.reserve(
        static_cast<size_t>(std::min<uint64_t>(counter.position, shape.truncateAt)));
    ByteSink sink;
    sink.memory = &model.bytes;
    sink.limit = shape.truncateAt;
    sink.layout = &model.layout;
    PutModel(sink, shape);
    Flush(sink);
    return model;
}

bool WriteModelFile(const ModelShape& shape, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    ByteSink sink;
    sink.file = file;
    sink.limit = shape.truncateAt;
    PutModel(sink, shape);
    Flush(sink);
    return std::fclose(file) == 0 && !sink.failed;
}

Bytes NightColourChunk(const Bytes& colours) {
    Bytes chunk;
    ByteSink sink;
    sink.memory = &chunk;
    PutNightColourPrefix(sink, colours.size());
    PutBytes(sink, colours.data(), colours.size());
    Flush(sink);
    return chunk;
}

Model WithNightColours(ModelShape shape, const Bytes& colours) {
    return WithNightColours(std::move(shape), std::map<uint32_t, Bytes>{{0, colours}});
}

Model WithNightColours(ModelShape shape, const std::map<uint32_t, Bytes>& colours) {
    for (const auto& entry : colours) {
        GeometryShape& geometry = shape.geometries[entry.first];
        if (geometry.nightChunkIndex < 0)
            geometry.nightChunkIndex = static_cast<int>(geometry.plugins.size());
        geometry.nightChunkVertices = static_cast<uint32_t>(entry.second.size() / ColourSize);
        geometry.nightColours = entry.second;
    }
    return BuildModel(shape);
}

Bytes Adjusted(const Bytes& colours, const ColourAdjustment& adjustment) {
    Bytes out(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        // A half is exact in binary: lround takes it up, as the tool does.
        const long scaled = std::lround(colours[i] * adjustment.scale[i % 4] / 100.0);
        out[i] = static_cast<uint8_t>(std::clamp<long>(scaled + adjustment.offset[i % 4], 0, 255));
    }
    return out;
}

ModelShape WithoutNightColours(ModelShape shape, bool every) {
    const size_t all = shape.geometries.size(), count = every ? all : std::min<size_t>(1, all);
    for (size_t k = 0; k < count; ++k) {
        shape.geometries[k].nightChunkIndex = -1;
        shape.geometries[k].nightColours.clear();
    }
    return shape;
}

Bytes Repeat(const Bytes& colour, uint32_t n) {
    Bytes out;
    for (uint32_t k = 0; k < n; ++k) out.insert(out.end(), colour.begin(), colour.end());
    return out;
}

Bytes PatternColours(uint32_t geometry, uint32_t n) {
    Bytes out(size_t{ColourSize} * n);
    for (uint32_t k = 0; k < n; ++k) PatternColour(geometry, k, &out[size_t{ColourSize} * k]);
    return out;
}

}  // namespace modelgen
