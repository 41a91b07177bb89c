#include "merge/ModelStart.h"

#include "merge/Messages.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// From the Geometry List's type field (where its search leaves the position)
// over the rest of its header, its Struct, the first Geometry's header and
// that Geometry's Struct header, to the geometry data.
constexpr int64_t TypeFieldToGeometryData = rw::GeometryListToGeometryData - 4;
// From behind the format flags over the two further flag bytes and the
// triangle count, to the vertex count.
constexpr int64_t FlagsToVertexCount = rw::GeometryVertexCountOffset - 2;
// Over the morph target count, to the first colour.
constexpr int64_t VertexCountToColours =
    rw::GeometryColoursOffset - rw::GeometryVertexCountOffset - 4;

bool Fail(Session& session, const char* message) {
    session.AppendLog(message);
    return false;
}

}  // namespace

bool OpenAndCheckModel(Os& os, Session& session, const char* path, rw::ByteStream** file,
                       GeometryStart* start, FileStamp* stamp) {
    session.AppendLog(text::Opening);
    session.AppendLog(path);
    session.AppendLog(text::LineEnd);
    *file = nullptr;
    Status opened = os.OpenForReading(path, file);
    if (opened.ok() && stamp) opened = os.StampOf(*file, stamp);
    if (!opened.ok()) {
        ReportLastError(session, " ", opened);
        return false;
    }
    session.AppendLog(text::Analyzing);
    rw::ByteStream& stream = **file;

    uint32_t value = 0;
    if (!rw::ReadField32(stream, &value) || value != rw::TypeClump)
        return Fail(session, text::NoClump);
    rw::Skip(stream, 4);
    if (!rw::ReadField32(stream, &value)) return Fail(session, text::NoClump);
    if (value != rw::LibraryVersion) return Fail(session, text::WrongVersion);
    // Over the type of the Clump's Struct, which is never examined, onto its size.
    rw::Skip(stream, 4);
    if (rw::FindSibling(stream, rw::TypeGeometryList, &start->geometryList) !=
        rw::SearchResult::Found)
        return Fail(session, text::NoGeometryList);

    uint16_t flags = 0;
    rw::Skip(stream, TypeFieldToGeometryData);
    if (!rw::ReadFlags16(stream, &flags)) return Fail(session, text::EndsInGeometry);
    rw::Skip(stream, FlagsToVertexCount);
    if (!(flags & rw::FlagPrelit)) return Fail(session, text::NoVertexColour);
    if (!rw::ReadField32(stream, &start->vertexCount)) return Fail(session, text::EndsInGeometry);
    AppendCountLine(session, start->vertexCount);
    rw::Skip(stream, VertexCountToColours, &start->colours);
    return true;
}

}  // namespace merge
