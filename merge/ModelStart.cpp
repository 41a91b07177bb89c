#include "merge/ModelStart.h"

#include "merge/Messages.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// The geometry data after a Geometry's header and its Struct's header.
constexpr uint64_t GeometryToData =
    rw::GeometryListToGeometryData - rw::GeometryListToFirstGeometry;

// The fixed fields of the geometry at geometry.offset (its size already
// read): false when the file ends inside its flags or vertex count.
bool ReadGeometryData(rw::ByteStream& file, GeometryFields& geometry) {
    uint16_t flags = 0;
    const uint64_t data = geometry.offset + GeometryToData;
    if (!rw::SeekTo(file, data) || !rw::ReadFlags16(file, &flags)) return false;
    geometry.prelit = (flags & rw::FlagPrelit) != 0;
    geometry.colours = data + rw::GeometryColoursOffset;
    return rw::SeekTo(file, data + rw::GeometryVertexCountOffset) &&
           rw::ReadField32(file, &geometry.vertexCount);
}

}  // namespace

const char* CheckModelStart(rw::ByteStream& stream, ModelStart* start, bool prelitRequired) {
    uint32_t value = 0;
    // The Clump's size is not read: the search below is bounded by the file.
    if (!rw::ReadField32(stream, &value) || value != rw::TypeClump || !rw::Skip(stream, 4) ||
        !rw::ReadField32(stream, &value))
        return text::NoClump;
    if (value != rw::LibraryVersion) return text::WrongVersion;
    // From the Clump's Struct, whose type is never examined, in no bounds
    // but the file's.
    rw::Child list;
    if (!rw::FindSibling(stream, rw::ChunkHeaderSize, rw::NoContainerEnd, rw::TypeGeometryList,
                         &list))
        return text::NoGeometryList;
    start->geometryList = list.start;
    GeometryFields& first = start->first;
    first.offset = start->geometryList + rw::GeometryListToFirstGeometry;
    // The first Geometry is taken at its fixed place: only where a Struct of
    // 4 bytes, the count, puts a Geometry, never inside a longer Struct.
    uint32_t structSize = 0, firstType = 0;
    if (!rw::SeekTo(stream, list.start + rw::ChunkHeaderSize + 4) ||
        !rw::ReadField32(stream, &structSize) || !rw::SeekTo(stream, first.offset) ||
        !rw::ReadField32(stream, &firstType))
        return text::EndsInGeometry;
    if (structSize != 4 || firstType != rw::TypeGeometry) return text::ListNotAsLaidOut;
    uint16_t flags = 0;
    if (!rw::SeekTo(stream, first.offset + GeometryToData) || !rw::ReadFlags16(stream, &flags))
        return text::EndsInGeometry;
    if (!(flags & rw::FlagPrelit) && prelitRequired) return text::NoVertexColour;
    return ReadGeometryData(stream, first) ? nullptr : text::EndsInGeometry;
}

bool OpenAndCheckModel(Os& os, Session& session, const char* path, InputFile* file,
                       ModelStart* start, FileStamp* stamp, bool prelitRequired) {
    session.AppendLog(text::Opening);
    session.AppendLog(path);
    session.AppendLog(text::LineEnd);
    Status opened = OpenInput(os, path, file);
    if (opened.ok() && stamp) opened = os.StampOf(file->get(), stamp);
    if (!opened.ok()) {
        ReportLastError(session, " ", opened);
        return false;
    }
    session.AppendLog(text::Analyzing);
    if (const char* problem = CheckModelStart(**file, start, prelitRequired)) {
        session.AppendLog(problem);
        return false;
    }
    AppendCountLine(session, 0, start->first.vertexCount);
    return true;
}

const char* FindGeometries(rw::ByteStream& file, uint64_t list,
                           std::vector<GeometryFields>* geometries) {
    uint32_t listSize = 0, count = 0;
    if (!rw::SeekTo(file, list + 4) || !rw::ReadField32(file, &listSize) ||
        !rw::SeekTo(file, list + rw::ChunkHeaderSize + rw::ChunkHeaderSize) ||
        !rw::ReadField32(file, &count))
        return text::EndsInGeometry;
    // From the list's Struct (whose type is passed over) to each Geometry.
    const uint64_t listEnd = rw::ChunkEnd(list, listSize);
    rw::Child found;
    for (uint64_t chunk = list + rw::ChunkHeaderSize;
         rw::FindSibling(file, chunk, listEnd, rw::TypeGeometry, &found); chunk = found.start) {
        GeometryFields geometry;
        geometry.offset = found.start;
        geometry.size = found.size;
        if (!found.sized || !ReadGeometryData(file, geometry)) return text::EndsInGeometry;
        geometries->push_back(geometry);
    }
    if (geometries->size() != count || geometries->empty() ||
        (*geometries)[0].offset != list + rw::GeometryListToFirstGeometry)
        return text::GeometriesMiscounted;
    return nullptr;
}

const char* FindExtension(rw::ByteStream& file, const GeometryFields& geometry, uint64_t fileSize,
                          ExtensionFields* extension) {
    // From the geometry's Struct (whose type is passed over) to the
    // Extension, among the Geometry's children only. An Extension that
    // begins inside the Geometry is found whether the Geometry's end cuts
    // its header or its payload: one fault, one message.
    const uint64_t structStart = geometry.offset + rw::ChunkHeaderSize;
    const uint64_t geometryEnd = rw::ChunkEnd(geometry.offset, geometry.size);
    rw::Child found;
    extension->offset = 0;
    for (uint64_t at = structStart;; at = found.end) {
        if (!rw::ReadChild(file, at, geometryEnd, &found) || !found.typed) return nullptr;
        if (at != structStart && found.type == rw::TypeExtension) break;
        if (found.cut) return nullptr;
    }
    extension->offset = found.start;
    if (!found.sized) return text::ExtensionPastFile;
    extension->size = found.size;
    extension->end = found.end;
    if (extension->end > fileSize) return text::ExtensionPastFile;
    // The new chunk would lie outside the Geometry that is to hold it.
    if (found.cut) return text::ExtensionPastGeometry;
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
    return nullptr;
}

const char* ExtensionProblem(const ExtensionFields& extension) {
    if (extension.night && extension.nightPastFile) return text::NightPastFile;
    if (extension.night && extension.nightCut) return text::NightPastExtension;
    if (extension.childCut) return text::ChunkPastExtension;
    return nullptr;
}

}  // namespace merge
