// Reading a dropped model, the same way with the same messages for the day
// model, the night model and a listing: its start up to its first
// geometry's prelit colours; its geometries; a geometry's Extension and the
// night colour chunk in it.
#pragma once

#include <cstdint>
#include <vector>

#include "merge/Os.h"
#include "merge/Session.h"

namespace merge {

// A Geometry of the Geometry List: where it is, and its fixed fields.
struct GeometryFields {
    uint64_t offset = 0;  // its first byte
    uint32_t size = 0;
    bool prelit = false;
    uint32_t vertexCount = 0;
    uint64_t colours = 0;  // its first prelit colour
};

struct ModelStart {
    uint64_t geometryList = 0;  // first byte of the Geometry List
    GeometryFields first;       // at its fixed place in the Geometry List
};

// Checks the start of the model in stream as far as its first geometry's
// fixed fields: null, or the message of the first fault. A first geometry
// without prelit colours is one, unless prelitRequired is false.
const char* CheckModelStart(rw::ByteStream& stream, ModelStart* start, bool prelitRequired);

// Logs the opening of path, opens it into *file (and, when stamp is given,
// stamps it before anything is read), logs the analysis and checks the model
// as far as its first geometry's prelit colours, logging their count. A
// first geometry without prelit colours fails, unless it may be left as it
// is (its count is then logged all the same). False once the reason is
// logged.
[[nodiscard]] bool OpenAndCheckModel(Os& os, Session& session, const char* path, InputFile* file,
                                     ModelStart* start, FileStamp* stamp = nullptr,
                                     bool prelitRequired = true);

// The Geometry chunks of the Geometry List at list, each with its fixed
// fields, found by the sibling search kept inside the list. Null, or the
// message of why they cannot be: their number is not the one the list's
// Struct gives, the first is not at its fixed place, or one is cut short.
const char* FindGeometries(rw::ByteStream& file, uint64_t list,
                           std::vector<GeometryFields>* geometries);

// A geometry's Extension, and the first night colour chunk among its
// children. Whether the new chunk can go there is the caller's to judge.
struct ExtensionFields {
    uint64_t offset = 0, end = 0;  // offset 0: no Extension among the Geometry's children
    uint32_t size = 0;
    uint64_t night = 0;  // 0: no night colour chunk
    uint32_t nightSize = 0;
    bool nightPastFile = false;  // its size runs past the end of the file
    bool nightCut = false;       // the Extension ends inside it
    bool childCut = false;       // the Extension ends inside another of its children
};

// Finds them; the message when the Extension runs past the end of the file
// or of its Geometry.
const char* FindExtension(rw::ByteStream& file, const GeometryFields& geometry, uint64_t fileSize,
                          ExtensionFields* extension);

// Why the merge cannot put its chunk into the Extension found (at its end,
// or in place of its night colour chunk), or null: the one judgement of a
// merge, a skip and a listing.
const char* ExtensionProblem(const ExtensionFields& extension);

}  // namespace merge
