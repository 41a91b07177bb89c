// The start of a dropped model, read the same way with the same messages
// for the day and the night model: up to its first geometry's prelit colours.
#pragma once

#include <cstdint>

#include "merge/Os.h"
#include "merge/Session.h"

namespace merge {

struct GeometryStart {
    uint64_t geometryList = 0;  // first byte of the Geometry List
    uint32_t vertexCount = 0;   // of the first geometry
    uint64_t colours = 0;       // first byte of its prelit colours
};

// Logs the opening of path, opens it into *file (and, when stamp is given,
// stamps it before anything is read), logs the analysis and checks the model
// as far as its first geometry's prelit colours, logging their count; the
// position is then on the first colour. False once the reason is logged;
// *file is then null or still open, and the caller closes it.
bool OpenAndCheckModel(Os& os, Session& session, const char* path, rw::ByteStream** file,
                       GeometryStart* start, FileStamp* stamp = nullptr);

}  // namespace merge
