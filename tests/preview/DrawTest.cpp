// A preview's triangles, pixel by pixel: corners in sixteenths of a pixel, colours blended by
// the pixel centre's weights, the nearest triangle shown, the night colours in the right view.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "preview/Draw.h"
#include "tests/support/MemoryOs.h"

namespace {

using preview::TileWidth;
using preview::ViewPoint;
using preview::ViewSize;
using Rgb = std::vector<int>;

// A page of width by height black pixels.
preview::Page Black(merge::Os& os, uint32_t width, uint32_t height) {
    preview::Page page;
    page.width = width, page.height = height, page.columns = 1;
    page.pixels = merge::AllocateBlock(os, size_t{width} * height * 3);
    return page;
}

TEST(PreviewDraw, TrianglesBlendTheirCornersAndTheNearestHidesTheRest) {
    testsupport::MemoryOs os;
    preview::Page picture = Black(os, TileWidth, ViewSize);
    std::vector<int32_t> depths(ViewSize * ViewSize, INT32_MAX);
    preview::TileViews views{picture, 0, 0, depths.data()};
    const uint8_t red[4] = {200, 0, 0, 9}, green[4] = {0, 100, 0, 9}, blue[4] = {0, 0, 40, 9},
                  white[4] = {255, 255, 255, 9};
    const uint8_t *day[3] = {red, green, blue}, *night[3] = {blue, red, green},
                  *whites[3] = {white, white, white}, *reds[3] = {red, red, red};
    const auto fill = [&](ViewPoint a, ViewPoint b, ViewPoint c, const uint8_t* colours[3]) {
        const ViewPoint corners[3] = {a, b, c};
        preview::FillTriangle(views, corners, colours, colours == day ? night : colours);
    };
    const auto pixel = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = picture.pixels.get() + (y * TileWidth + x) * 3;
        return Rgb{p[0], p[1], p[2]};
    };
    const uint32_t right = TileWidth - ViewSize;  // the right view's first column
    // Two pixels wide: weights 1/4 1/4 1/2 at the first centre, 3/4 1/4 0 at the next.
    fill({32, 0, 10}, {0, 32, 10}, {0, 0, 10}, day);
    EXPECT_EQ(pixel(0, 0), Rgb({50, 25, 20}));
    EXPECT_EQ(pixel(1, 0), Rgb({150, 25, 0}));
    EXPECT_EQ(pixel(right, 0), Rgb({50, 50, 10}));
    EXPECT_EQ(pixel(right + 1, 0), Rgb({50, 0, 30}));
    // The smallest area over a pixel centre, nearer: shown; at the same depth, either winding,
    // or farther: hidden; a corner not drawn, or no area: nothing.
    fill({8, 8, 5}, {8, 9, 5}, {9, 8, 5}, whites);
    fill({8, 8, 5}, {9, 8, 5}, {8, 9, 5}, reds);
    fill({0, 0, 9}, {32, 0, 9}, {0, 32, 9}, reds);
    fill({0, 32, 11}, {0, 0, 11}, {32, 0, 11}, reds);
    fill({-1, 0, 0}, {32, 0, 0}, {0, 32, 0}, reds);
    fill({0, 0, 0}, {16, 16, 0}, {32, 32, 0}, reds);
    EXPECT_EQ(pixel(0, 0), Rgb({255, 255, 255}));
    EXPECT_EQ(pixel(right, 0), Rgb({255, 255, 255}));
    EXPECT_EQ(pixel(1, 0), Rgb({200, 0, 0}));  // nearer than the first
    fill({8, 8, 4}, {9, 8, 4}, {8, 9, 4}, reds);
    EXPECT_EQ(pixel(0, 0), Rgb({200, 0, 0}));
    EXPECT_EQ(pixel(1, 1), Rgb({0, 0, 0}));  // outside each of them
}

// "|" is one column of 7 pixels, the third of 5, a character every 6 pixels, a line every 9.
TEST(PreviewDraw, TextBreaksAtTheLastBlankThatFitsAndStopsAtItsHeight) {
    testsupport::MemoryOs os;
    preview::Page picture = Black(os, 20, 30);
    preview::DrawWrapped(picture, 0, 0, 18, 18, "| ||\xC3\xA9 |||", {255, 255, 255});
    std::string lit;  // the first row of each line
    for (uint32_t y : {0, 9, 18}) {
        for (uint32_t x = 0; x < 20; ++x) lit += picture.pixels[(y * 20 + x) * 3] ? '#' : '.';
        lit += '/';
    }
    EXPECT_EQ(lit, "..#................./..#.....#...#####.../..................../");
}

}  // namespace
