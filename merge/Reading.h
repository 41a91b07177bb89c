// The one reading of a model: its start, its geometries (the first, or every
// one of its Geometry List), each with its fixed fields, its Extension and
// the night colour chunk in it; for those who draw it, where its Struct's
// arrays lie; and for lit rules, its materials' textures and its triangles'
// materials. Faults are kept as values; what they come to is the
// judgement's (Judgement.h), and every mode acts on the same reading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "merge/Messages.h"
#include "rwstream/ByteStream.h"

namespace merge {

// A geometry's Extension, and the first night colour chunk among its
// children.
struct ExtensionRead {
    uint64_t offset = 0, end = 0;  // offset 0: no Extension among the Geometry's children
    uint32_t size = 0;
    uint64_t night = 0;  // 0: no night colour chunk
    uint32_t nightSize = 0;
    bool nightPastFile = false;  // its size runs past the end of the file
    bool nightCut = false;       // the Extension ends inside it
    bool childCut = false;       // the Extension ends inside another of its children
};

// Where a geometry's Struct holds its arrays, every count checked against
// the Struct's size: its prelit colours, triangles (8 bytes each: corner,
// corner, material, corner, 16 bits each) and its first morph target's
// positions (12 bytes a vertex). 0: none.
struct GeometryData {
    uint32_t triangleCount = 0;
    bool native = false;  // native data: no arrays follow
    uint64_t colours = 0, triangles = 0, positions = 0;
};

// A Material of a Material List: whether it has a texture, and the
// texture's name (what its String holds before its first zero byte).
struct MaterialRead {
    bool textured = false;
    std::string texture;
};

// A geometry's Material List: its Material chunks, in order, and for each
// index of the list, in list order, the chunk it stands for. Both grow only
// by what the file holds, never by a count it gives.
struct MaterialsRead {
    std::vector<MaterialRead> materials;
    std::vector<uint32_t> entries;
};

struct GeometryRead {
    uint64_t offset = 0;  // its first byte
    uint32_t size = 0;
    bool prelit = false;
    bool counted = false;  // its vertex count could be read
    uint32_t vertexCount = 0;
    uint64_t colours = 0;     // its first prelit colour
    bool coloursFit = false;  // the file holds every one of them
    ExtensionRead extension;
    Fault extensionFault = Fault::None;  // its Extension runs past the file or the Geometry
    // Read only when asked for (ReadDepth): the arrays for a drawing; the
    // triangles' place and the materials for lit rules (a geometry without
    // a Material List after its Struct has none), each triangle's material
    // checked against them.
    GeometryData data;
    Fault dataFault = Fault::None;
    MaterialsRead materials;
    Fault materialFault = Fault::None;
};

struct ModelRead {
    uint64_t size = 0;          // of the file
    Fault fault = Fault::None;  // of the model's start: nothing is known of its geometries
    uint64_t geometryList = 0;  // first byte of the Geometry List
    uint32_t clumpSize = 0, listSize = 0;
    // The geometries are every one of the list's, more than one; otherwise
    // the first alone, at its fixed place (a list that counts one geometry
    // is read so however it was asked for).
    bool every = false;
    Fault listFault = Fault::None;  // with every: the list does not hold what it counts
    std::vector<GeometryRead> geometries;  // the first always, when the start holds
};

// How far a model is read: what a merge, a strip, a skip and a listing
// need, and beyond it, when asked for:
struct ReadDepth {
    bool data = false;       // each geometry's arrays, for a drawing
    bool materials = false;  // its materials and its triangles', for lit rules
};
inline constexpr ReadDepth MergeDepth = {}, DrawingDepth = {true, false};

// Reads the model in file, every geometry of it or its first.
ModelRead ReadModel(rw::ByteStream& file, bool every, ReadDepth depth);

}  // namespace merge
