// A model's tile: its views drawn from the one reading of the model that
// its stages made, and the night colours they made, or in their place the
// line that says why it is not drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "merge/DropSequence.h"
#include "preview/Picture.h"

namespace preview {

// What drawing a model came to: None, or the fault that stopped it and the
// geometry it is about.
struct Drawn {
    merge::Fault fault = merge::Fault::None;
    uint32_t geometry = 0;
};

// The views of a model whose stages ran with merge::Action::Keep (or that
// is left as it is): every geometry its reading has, lit by its day colours
// (left) and by the night colours its merge leaves in it (right): the new
// ones where it makes them, its own old ones where it leaves them, none
// where a strip takes them out.
Drawn DrawModel(merge::Os& os, Page& page, size_t tile, const merge::DayModel& day,
                const merge::ColourBlocks& colours);

// A line in place of the tile's views: why the model is not drawn.
void DrawError(Page& page, size_t tile, const std::string& line);

}  // namespace preview
