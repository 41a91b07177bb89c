// A preview: for each model a tile of two views of its geometry, lit by its
// day colours (left) and by the night colours that a merge would leave in it
// (right), the tiles in a grid in one picture. The stages run as for a
// merge, but nothing is ever written but the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "merge/DropSequence.h"

namespace merge {

// Red, green and blue, three bytes a pixel, rows from the top.
struct Picture {
    uint32_t width = 0, height = 0;
    uint32_t columns = 0;  // tiles a row
    std::vector<uint8_t> pixels;
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// A tile: two square views side by side, the model's name under them.
constexpr uint32_t ViewSize = 96;
constexpr uint32_t ViewGap = 2;
constexpr uint32_t TileWidth = 2 * ViewSize + ViewGap;
// Text in place of the views (an error line, or in each view a note that it
// has nothing to draw) starts this far in from their top left corner.
constexpr uint32_t TextInset = 4;
// The picture's colour between the tiles, and a view's behind the model.
constexpr Rgb PictureBackground = {32, 32, 32};
constexpr Rgb ViewBackground = {112, 122, 142};

// A picture for count tiles, in its background colour; false when it would
// be too large to write.
[[nodiscard]] bool MakePreviewPicture(size_t count, Picture* picture);

// The first pixel of the tile's left view (its right view lies TileWidth -
// ViewSize further right), and of the line with its name.
void TileCorner(const Picture& picture, size_t tile, uint32_t* x, uint32_t* y);
uint32_t NameLine(uint32_t tileY);

// One line of text from (x, y) on, cut at width pixels: a character of a
// file name as a glyph of the font, any other as a box.
void DrawText(Picture& picture, uint32_t x, uint32_t y, uint32_t width, const std::string& text,
              Rgb colour);

// Runs the stages of a merge of day (and of night, unless it is empty),
// logged as for a merge, but writes nothing: draws the model's tile instead,
// with the colours the merge would leave in it, or its error line. True when
// it shows the views, false when an error line.
[[nodiscard]] bool PreviewModel(Os& os, Session& session, const std::string& day,
                                const std::string& night, PathForm form, Picture& picture,
                                size_t tile);

// Writes the picture as a PNG file at path, as every output is written (a
// new file beside it, flushed, then moved over it), and logs "Preview
// written: " and the path, or why not.
[[nodiscard]] bool WritePicture(Os& os, Session& session, const std::string& path,
                                const Picture& picture);

}  // namespace merge
