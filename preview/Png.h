// A picture as a PNG file, made as it is written: each row filtered
// against the pixel on its left, compressed with deflate (fixed codes, a
// greedy search back over a window of 32 KB) and put into the writer's file
// a part at a time, so that no more than a fixed window passes through
// memory besides the picture itself.
#pragma once

#include <cstdint>

#include "merge/Os.h"
#include "merge/Writer.h"

namespace preview {

// Red, green and blue, three bytes a pixel, rows from the top.
struct Pixels {
    uint32_t width = 0, height = 0;
    const uint8_t* rgb = nullptr;
};

// The PNG of the pixels into sink; the sink's failure, or, when the
// system's memory gives no room for the encoder's window, a failure whose
// text is "Not enough memory.".
merge::Status WritePng(merge::Os& os, const Pixels& pixels, merge::ByteSink& sink);

}  // namespace preview
