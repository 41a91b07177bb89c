#include "merge/Reading.h"

#include <new>

#include "merge/MaterialList.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// The geometry data after a Geometry's header and its Struct's header.
constexpr uint64_t GeometryToData =
    rw::GeometryListToGeometryData - rw::GeometryListToFirstGeometry;

// The fixed fields of the geometry at geometry.offset (its size already
// read): its flags, and its vertex count where the file holds it.
bool ReadFixedFields(rw::ByteStream& file, uint64_t fileSize, GeometryRead& geometry) {
    uint16_t flags = 0;
    const uint64_t data = geometry.offset + GeometryToData;
    if (!rw::SeekTo(file, data) || !rw::ReadFlags16(file, &flags)) return false;
    geometry.prelit = (flags & rw::FlagPrelit) != 0;
    geometry.colours = data + rw::GeometryColoursOffset;
    geometry.counted = rw::SeekTo(file, data + rw::GeometryVertexCountOffset) &&
                       rw::ReadField32(file, &geometry.vertexCount);
    // In 64 bits: a count the file cannot hold must not wrap.
    geometry.coloursFit =
        geometry.colours + uint64_t{rw::ColourSize} * geometry.vertexCount <= fileSize;
    return true;
}

// The Geometry chunks of the Geometry List, each with its fixed fields,
// found by the sibling search kept inside the list; the fault when they
// are not the number the list's Struct gives, the first is not at its fixed
// place, or one is cut short.
Fault FindGeometries(rw::ByteStream& file, const ModelRead& model, uint32_t count,
                     std::vector<GeometryRead>* geometries) {
    // From the list's Struct (whose type is passed over) to each Geometry.
    const uint64_t list = model.geometryList;
    const uint64_t listEnd = rw::ChunkEnd(list, model.listSize);
    rw::Child found;
    for (uint64_t chunk = list + rw::ChunkHeaderSize;
         rw::FindSibling(file, chunk, listEnd, rw::TypeGeometry, &found); chunk = found.start) {
        GeometryRead geometry;
        geometry.offset = found.start;
        geometry.size = found.size;
        if (!found.sized || !ReadFixedFields(file, model.size, geometry) || !geometry.counted)
            return Fault::EndsInGeometry;
        geometries->push_back(geometry);
    }
    if (geometries->size() != count || geometries->empty() ||
        (*geometries)[0].offset != list + rw::GeometryListToFirstGeometry)
        return Fault::GeometriesMiscounted;
    return Fault::None;
}

// The geometry's Extension among the Geometry's children only, and the
// first night colour chunk among its own children. An Extension that begins
// inside the Geometry is found whether the Geometry's end cuts its header or
// its payload: one fault, one message.
Fault FindExtension(rw::ByteStream& file, const GeometryRead& geometry, uint64_t fileSize,
                    ExtensionRead* extension) {
    const uint64_t structStart = geometry.offset + rw::ChunkHeaderSize;
    const uint64_t geometryEnd = rw::ChunkEnd(geometry.offset, geometry.size);
    rw::Child found;
    for (uint64_t at = structStart;; at = found.end) {
        if (!rw::ReadChild(file, at, geometryEnd, &found) || !found.typed) return Fault::None;
        if (at != structStart && found.type == rw::TypeExtension) break;
        if (found.cut) return Fault::None;
    }
    extension->offset = found.start;
    if (!found.sized) return Fault::ExtensionPastFile;
    extension->size = found.size;
    extension->end = found.end;
    if (extension->end > fileSize) return Fault::ExtensionPastFile;
    // The new chunk would lie outside the Geometry that is to hold it.
    if (found.cut) return Fault::ExtensionPastGeometry;
    // Every child, the first included, up to the first night colour chunk
    // and on: a child that the Extension's end cuts, in its header or its
    // payload, leaves no boundary there for a chunk to go.
    rw::Child child;
    for (uint64_t at = extension->offset + rw::ChunkHeaderSize;
         rw::ReadChild(file, at, extension->end, &child); at = child.end) {
        if (child.type == rw::TypeNightColours && !extension->night) {
            extension->night = child.start;
            extension->nightSize = child.size;
            extension->nightPastFile = child.sized && child.end > fileSize;
            extension->nightCut = child.cut;
        } else {
            extension->childCut = child.cut;
        }
        if (child.cut) break;
    }
    return Fault::None;
}

constexpr uint16_t FlagTextured = 0x0004;
constexpr uint16_t FlagTexturedSets = 0x0080;
constexpr uint32_t FixedFields = 16;
constexpr uint64_t PositionSize = 12, TextureCoordinateSize = 8;
// A morph target's bounding sphere and its two flags.
constexpr uint64_t MorphTargetFields = 24;

uint32_t TextureSets(uint16_t flags, uint8_t sets) {
    if (sets != 0) return sets;
    if (flags & FlagTexturedSets) return 2;
    return flags & FlagTextured ? 1 : 0;
}

// Where the Struct's arrays after the triangles lie, up to its end.
struct ArraysAfter {
    uint64_t at = 0, end = 0;
    uint32_t morphTargets = 0;
};

// The geometry's Struct: +0 flags (16 bits), +2 texture coordinate sets (8
// bits; 0: from the flags), +3 native flag (8 bits; non-zero: no arrays
// follow), +4 triangle count t, +8 vertex count n, +12 morph target count;
// then the prelit colours (4n bytes, when flagged), the texture coordinates
// (8n bytes a set), the triangles (8t bytes) and each morph target. Read up
// to the triangles, every count checked against the Struct's size.
Fault ReadArrays(rw::ByteStream& file, uint64_t fileSize, const GeometryRead& geometry,
                 GeometryData* data, ArraysAfter* after) {
    const uint64_t start = geometry.offset + GeometryToData;
    uint32_t size = 0;
    uint16_t flags = 0;
    uint8_t sets = 0, native = 0;
    if (!rw::SeekTo(file, geometry.offset + rw::ChunkHeaderSize + 4) ||
        !rw::ReadField32(file, &size))
        return Fault::EndsInGeometry;
    if (start + size > fileSize) return Fault::EndsInGeometry;
    if (size < FixedFields) return Fault::GeometryDataMiscounted;
    if (!rw::SeekTo(file, start) || !rw::ReadFlags16(file, &flags) || file.Read(&sets, 1) != 1 ||
        file.Read(&native, 1) != 1 || !rw::ReadField32(file, &data->triangleCount) ||
        !rw::Skip(file, 4) || !rw::ReadField32(file, &after->morphTargets))
        return Fault::EndsInGeometry;
    after->end = start + size;
    data->native = native != 0;
    if (data->native) return Fault::None;
    // In 64 bits: no count can make the sums wrap.
    const uint64_t n = geometry.vertexCount;
    uint64_t at = start + FixedFields;
    if (flags & rw::FlagPrelit) {
        data->colours = at;
        at += rw::ColourSize * n;
    }
    at += TextureCoordinateSize * n * TextureSets(flags, sets);
    data->triangles = at;
    at += uint64_t{TriangleSize} * data->triangleCount;
    after->at = at;
    return at > after->end ? Fault::GeometryDataMiscounted : Fault::None;
}

// Each morph target after the triangles: bounding sphere (16 bytes), has
// positions, has normals (32 bits each), then the positions and the normals
// (12n bytes each, when it has them); the first one's positions are drawn.
Fault ReadMorphTargets(rw::ByteStream& file, uint64_t n, const ArraysAfter& after,
                       GeometryData* data) {
    uint64_t at = after.at;
    if (uint64_t{after.morphTargets} * MorphTargetFields > after.end - at)
        return Fault::GeometryDataMiscounted;
    for (uint32_t target = 0; target < after.morphTargets; ++target) {
        uint32_t has[2] = {};
        if (!rw::SeekTo(file, at + 16) || !rw::ReadField32(file, &has[0]) ||
            !rw::ReadField32(file, &has[1]))
            return Fault::EndsInGeometry;
        at += MorphTargetFields;
        if (target == 0 && has[0]) data->positions = at;
        at += PositionSize * n * ((has[0] != 0) + (has[1] != 0));
        if (at > after.end) return Fault::GeometryDataMiscounted;
    }
    return Fault::None;
}

// The Clump, its version and the Geometry List's layout up to its first
// geometry's flags; the fault of the first that fails.
Fault ReadStart(rw::ByteStream& file, ModelRead& model, uint32_t* listCount) {
    uint32_t value = 0;
    // The Clump's size is not needed for the search: it is bounded by the file.
    if (!rw::ReadField32(file, &value) || value != rw::TypeClump ||
        !rw::ReadField32(file, &model.clumpSize) || !rw::ReadField32(file, &value))
        return Fault::NoClump;
    if (value != rw::LibraryVersion) return Fault::WrongVersion;
    // From the Clump's Struct, whose type is never examined, in no bounds
    // but the file's.
    rw::Child list;
    if (!rw::FindSibling(file, rw::ChunkHeaderSize, rw::NoContainerEnd, rw::TypeGeometryList,
                         &list))
        return Fault::NoGeometryList;
    model.geometryList = list.start;
    model.listSize = list.size;
    // The first Geometry is taken at its fixed place: only where a Struct of
    // 4 bytes, the count, puts a Geometry, never inside a longer Struct.
    GeometryRead first;
    first.offset = list.start + rw::GeometryListToFirstGeometry;
    uint32_t structSize = 0, firstType = 0;
    if (!rw::SeekTo(file, list.start + rw::ChunkHeaderSize + 4) ||
        !rw::ReadField32(file, &structSize) || !rw::Skip(file, 4) ||
        !rw::ReadField32(file, listCount) || !rw::ReadField32(file, &firstType))
        return Fault::EndsInGeometry;
    if (structSize != 4 || firstType != rw::TypeGeometry) return Fault::ListNotAsLaidOut;
    if (!rw::ReadField32(file, &first.size) || !ReadFixedFields(file, model.size, first))
        return Fault::EndsInGeometry;
    model.geometries.push_back(first);
    return Fault::None;
}

}  // namespace

namespace {

ModelRead Read(rw::ByteStream& file, bool every, ReadDepth depth) {
    ModelRead model;
    model.size = file.Size();
    uint32_t listCount = 0;
    if ((model.fault = ReadStart(file, model, &listCount)) != Fault::None) return model;
    model.every = every && listCount != 1;
    if (model.every && model.geometries[0].counted) {
        std::vector<GeometryRead> all;
        model.listFault = FindGeometries(file, model, listCount, &all);
        if (model.listFault == Fault::None) model.geometries = all;
    }
    // Each geometry as far as it can be in the file's order, so that what
    // the stream reads ahead serves: the Struct's fields, the chunks after
    // the Struct (the Material List, the Extension), then its arrays.
    for (GeometryRead& geometry : model.geometries) {
        const bool deeper = geometry.counted && (depth.data || depth.materials);
        ArraysAfter after;
        const Fault arrays =
            deeper ? ReadArrays(file, model.size, geometry, &geometry.data, &after) : Fault::None;
        geometry.extensionFault = FindExtension(file, geometry, model.size, &geometry.extension);
        if (!deeper) continue;
        if (depth.materials)
            geometry.materialFault =
                arrays == Fault::None
                    ? ReadMaterials(file, model.size, geometry, after.end, &geometry.materials)
                    : arrays;
        const uint64_t n = geometry.vertexCount;
        const bool whole = arrays == Fault::None && !geometry.data.native;
        if (depth.data)
            geometry.dataFault = whole ? ReadMorphTargets(file, n, after, &geometry.data) : arrays;
    }
    return model;
}

}  // namespace

ModelRead ReadModel(rw::ByteStream& file, bool every, ReadDepth depth) {
    // What the reading keeps grows with what the file holds (its geometries,
    // its materials): a file that holds more than memory does is refused as
    // such, never the end of the program.
    try {
        return Read(file, every, depth);
    } catch (const std::bad_alloc&) {
        ModelRead model;
        model.fault = Fault::NoMemory;
        return model;
    }
}

}  // namespace merge
