// What the stages share: the reading of a dropped model up to its first
// geometry's colours (the day and the night stage make the same checks with
// the same messages), the search for a chunk among a container's children,
// and the release of files and memory blocks.
#pragma once

#include <cstdint>

#include "merge/DropSequence.h"
#include "merge/Platform.h"
#include "rwstream/ByteStream.h"

namespace merge {

// A file that delivers fewer bytes than its size promised: a read error,
// not a file that ends early.
extern const char* const TextUnreadable;

struct GeometryStart {
    uint64_t geometryList = 0;  // first byte of the Geometry List
    uint32_t vertexCount = 0;   // of the first geometry
    uint64_t colours = 0;       // first byte of its prelit colours
};

// Logs the opening of path, opens it into *file, logs the analysis and reads
// as far as the first geometry's prelit colours, logging the vertex count;
// the position is then on the first colour. False once the reason is logged;
// *file is then null or still open, and the caller closes it.
bool ReadToGeometryColours(Platform& platform, const char* path, rw::ByteStream** file,
                           GeometryStart* start);

// The sibling search kept inside a container: starts on the size field of
// the chunk at chunkStart, whose type is passed over, and compares the types
// of the chunks after it that begin inside the container (their whole header
// before containerEnd). True with the position on the found chunk's size
// field; false when none is there or the file ends first.
bool FindLaterChild(rw::ByteStream& file, uint64_t chunkStart, uint64_t containerEnd,
                    uint32_t wantedType, uint64_t* foundStart);

// Each closes or releases only what is there, and leaves the pointer null.
void CloseFile(Platform& platform, rw::ByteStream*& file);
void ReleaseBlock(Platform& platform, uint8_t*& block);
// OutputImage, then DayColourBuffer.
void ReleaseDayBlocks(DropSequence& sequence, Platform& platform);

}  // namespace merge
