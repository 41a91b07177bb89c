// A preview's picture, a page at a time: each model a tile of two views of
// its geometry, lit by its day colours (left) and by the night colours that
// a merge would leave in it (right), its path under them, the tiles in a
// grid under a key that says which view is which. No page is larger than
// viewers take: more tiles go on more pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "merge/Os.h"
#include "merge/Session.h"
#include "merge/Writer.h"

namespace preview {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// Red, green and blue, three bytes a pixel, rows from the top, in the
// system's memory.
struct Page {
    uint32_t width = 0, height = 0;
    uint32_t columns = 0;  // tiles a row
    merge::Block pixels;
};

// A tile: two square views side by side, the model's path under them.
constexpr uint32_t ViewSize = 96;
constexpr uint32_t ViewGap = 2;
constexpr uint32_t TileWidth = 2 * ViewSize + ViewGap;
// Text in place of the views (an error line, or in each view a note that it
// has nothing to draw) starts this far in from their top left corner.
constexpr uint32_t TextInset = 4;
// The picture's colour between the tiles, and a view's behind the model.
constexpr Rgb PictureBackground = {32, 32, 32};
constexpr Rgb ViewBackground = {112, 122, 142};
// No page is wider or higher than this.
constexpr uint32_t MaxPageSide = 16384;

// How many tiles a page holds at most.
size_t TilesPerPage();

// A page for count tiles (at most TilesPerPage), in its background colour,
// with its key; false when the system has no memory for it.
[[nodiscard]] bool MakePage(merge::Os& os, size_t count, Page* page);

// The name of the page of this index from 0: the path given for the first,
// and for the others its name with "-2", "-3", ... before its extension.
std::string PagePath(const std::string& path, size_t page);

// The first pixel of the tile's left view (its right view lies TileWidth -
// ViewSize further right); tile counts from the page's first.
void TileCorner(const Page& page, size_t tile, uint32_t* x, uint32_t* y);

// The tile's label under its views: its path, cut from the left to fit.
void DrawLabel(Page& page, size_t tile, const std::string& label);

void SetPixel(Page& page, uint32_t x, uint32_t y, Rgb colour);
void FillRectangle(Page& page, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   Rgb colour);
// One line of text from (x, y) on, cut at width pixels: a character of a
// file name as a glyph of the font, any other as a box.
void DrawText(Page& page, uint32_t x, uint32_t y, uint32_t width, const std::string& text,
              Rgb colour);
// Text over lines of at most width pixels, broken at blanks, as many lines
// as height holds.
void DrawWrapped(Page& page, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                 const std::string& text, Rgb colour);

// The page as a PNG file prepared by the writer (its commit is the
// caller's), its pixels released; false once why not is logged.
[[nodiscard]] bool PreparePageFile(merge::Os& os, merge::Session& session, Page& page,
                                   const merge::FileRequest& request, merge::PreparedFile* file);

}  // namespace preview
