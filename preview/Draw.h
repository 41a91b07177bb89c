// Drawing a preview's tiles: the text, and the views of a model's geometry,
// orthographic from one fixed direction above and to the side, filled with
// the vertex colours interpolated across each triangle, nearer triangles
// hiding farther ones. The views are made in integer arithmetic once the
// positions are projected, so that every build draws the same pixels.
#pragma once

#include <cstdint>
#include <string>

#include "preview/Picture.h"

namespace preview {

// The bounding box, in the view's directions, of every position of a model's
// geometries that it draws.
struct ViewFrame {
    double left = 0, right = 0, bottom = 0, top = 0, nearest = 0, farthest = 0;
    bool empty = true;
};

// Widens the frame by a position (three floats as the file holds them); a
// position that is not a finite number is never drawn.
void Widen(ViewFrame& frame, const uint8_t position[12]);

// A position in the view: sixteenths of a pixel from its corner, and its
// depth (0 the nearest); x is negative for one that is not drawn. As large
// as the position it is made from, so that a model's positions can be held
// projected.
struct ViewPoint {
    int32_t x = -1, y = 0, depth = 0;
};

ViewPoint Project(const ViewFrame& frame, const uint8_t position[12]);

// The two views of one tile, drawn together: the same triangles, each with
// its day colours in the left view and its night colours in the right one.
struct TileViews {
    Page& page;
    uint32_t x, y;    // the left view's first pixel
    int32_t* depths;  // ViewSize x ViewSize, the depth each pixel shows
};

// Fills a triangle; colours are R G B A, alpha ignored.
void FillTriangle(TileViews& views, const ViewPoint corners[3], const uint8_t* day[3],
                  const uint8_t* night[3]);

}  // namespace preview
