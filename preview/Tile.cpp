#include "preview/Tile.h"

#include <algorithm>
#include <cstring>

#include "merge/Messages.h"
#include "preview/Draw.h"
#include "rwstream/Chunk.h"

namespace preview {

namespace {

using merge::Block;
using merge::Fault;
using merge::GeometryRead;

constexpr Rgb NoteColour = {240, 240, 240};
// Behind an error line, in place of the views.
constexpr Rgb ErrorBackground = {56, 40, 40};
constexpr Rgb ErrorColour = {255, 136, 120};
// A vertex of a geometry without prelit colours.
constexpr uint8_t White[rw::ColourSize] = {255, 255, 255, 255};
// Vertices and triangles read at a time.
constexpr uint32_t BatchSize = 4096;
constexpr uint32_t PositionSize = 12, TriangleSize = 8;

// The same text in each view.
void ShowNote(Page& page, uint32_t x, uint32_t y, const char* note) {
    for (uint32_t view : {x, x + TileWidth - ViewSize})
        DrawWrapped(page, view + TextInset, y + TextInset, ViewSize - 2 * TextInset,
                    ViewSize - 2 * TextInset, note, NoteColour);
}

// The plain view's note of a geometry that has nothing to draw, or null.
const char* NothingToDraw(const GeometryRead& geometry) {
    if (geometry.data.native) return merge::text::NativeGeometry;
    if (!geometry.data.positions) return merge::text::NoPositions;
    if (geometry.data.triangleCount == 0) return merge::text::NoTriangles;
    return nullptr;
}

// count bytes of the file from offset on; false when they cannot be read.
bool ReadBytes(rw::ByteStream& file, uint64_t offset, uint8_t* bytes, uint64_t count) {
    if (!rw::SeekTo(file, offset)) return false;
    for (uint64_t done = 0; done < count;) {
        const uint32_t part = static_cast<uint32_t>(std::min<uint64_t>(count - done, 1u << 20));
        if (file.Read(bytes + done, part) != part) return false;
        done += part;
    }
    return true;
}

struct Drawing {
    merge::Os& os;
    rw::ByteStream& file;
    const merge::DayModel& day;
    const merge::ColourBlocks& colours;
    ViewFrame frame{};
};

// Every drawn position into the frame, read a batch at a time.
bool FramePositions(Drawing& d, const GeometryRead& geometry) {
    uint8_t batch[BatchSize * PositionSize];
    for (uint32_t done = 0; done < geometry.vertexCount;) {
        const uint32_t count = std::min(geometry.vertexCount - done, BatchSize);
        if (!ReadBytes(d.file, geometry.data.positions + uint64_t{PositionSize} * done, batch,
                       uint64_t{PositionSize} * count))
            return false;
        for (uint32_t k = 0; k < count; ++k) Widen(d.frame, batch + PositionSize * k);
        done += count;
    }
    return true;
}

// The night colours a merge would leave in geometry k: its new chunk's, or
// its own chunk's over its day colours (a geometry without one, or stripped
// of it: its day colours), which are read into night.
const uint8_t* NightColours(Drawing& d, uint32_t k, const uint8_t* day, Block& night) {
    const std::vector<merge::NightChunk>& chunks = d.day.Judged.plan.Chunks;
    for (size_t c = 0; c < chunks.size(); ++c) {
        if (chunks[c].Geometry != k) continue;
        return chunks[c].TakenOut ? day : d.colours[c].get();
    }
    const GeometryRead& geometry = d.day.Reading.geometries[k];
    const merge::ExtensionRead& extension = geometry.extension;
    if (!extension.night || extension.nightPastFile || extension.nightSize < 4) return day;
    const uint64_t n = geometry.vertexCount;
    night = merge::AllocateBlock(d.os, n * rw::ColourSize);
    if (!night) return nullptr;
    std::memcpy(night.get(), day, n * rw::ColourSize);
    // Never a colour past the chunk's end, nor past the geometry's vertices.
    const uint64_t count =
        std::min<uint64_t>((extension.nightSize - 4) / rw::ColourSize, n) * rw::ColourSize;
    ReadBytes(d.file, extension.night + rw::NightColourPrefixSize, night.get(), count);
    return night.get();
}

// Geometry k into both views: its positions projected, its colours, its
// triangles a batch at a time.
Fault DrawGeometry(Drawing& d, TileViews& views, uint32_t k) {
    const GeometryRead& geometry = d.day.Reading.geometries[k];
    const uint64_t n = geometry.vertexCount;
    Block points = merge::AllocateBlock(d.os, n * sizeof(ViewPoint));
    Block day = merge::AllocateBlock(d.os, n * rw::ColourSize);
    if (!points || !day) return Fault::NoMemory;
    ViewPoint* projected = reinterpret_cast<ViewPoint*>(points.get());
    uint8_t batch[BatchSize * PositionSize];
    for (uint32_t done = 0; done < n;) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(n - done, BatchSize));
        if (!ReadBytes(d.file, geometry.data.positions + uint64_t{PositionSize} * done, batch,
                       uint64_t{PositionSize} * count))
            return Fault::Unreadable;
        for (uint32_t j = 0; j < count; ++j)
            projected[done + j] = Project(d.frame, batch + PositionSize * j);
        done += count;
    }
    if (geometry.data.colours) {
        if (!ReadBytes(d.file, geometry.data.colours, day.get(), n * rw::ColourSize))
            return Fault::Unreadable;
    } else {
        for (uint64_t j = 0; j < n; ++j)
            std::memcpy(day.get() + j * rw::ColourSize, White, rw::ColourSize);
    }
    Block night;
    const uint8_t* nightColours = NightColours(d, k, day.get(), night);
    if (!nightColours) return Fault::NoMemory;
    const uint32_t triangles = geometry.data.triangleCount;
    for (uint32_t done = 0; done < triangles;) {
        const uint32_t count = std::min(triangles - done, BatchSize);
        if (!ReadBytes(d.file, geometry.data.triangles + uint64_t{TriangleSize} * done, batch,
                       uint64_t{TriangleSize} * count))
            return Fault::Unreadable;
        for (uint32_t t = 0; t < count; ++t) {
            const uint8_t* triangle = batch + TriangleSize * t;
            // The third corner comes after the material index.
            const uint32_t corners[3] = {uint32_t{triangle[0]} | uint32_t{triangle[1]} << 8,
                                         uint32_t{triangle[2]} | uint32_t{triangle[3]} << 8,
                                         uint32_t{triangle[6]} | uint32_t{triangle[7]} << 8};
            if (corners[0] >= n || corners[1] >= n || corners[2] >= n) continue;
            const ViewPoint points3[3] = {projected[corners[0]], projected[corners[1]],
                                          projected[corners[2]]};
            const uint8_t* dayColours[3];
            const uint8_t* nights[3];
            for (int c = 0; c < 3; ++c) {
                dayColours[c] = day.get() + size_t{rw::ColourSize} * corners[c];
                nights[c] = nightColours + size_t{rw::ColourSize} * corners[c];
            }
            FillTriangle(views, points3, dayColours, nights);
        }
        done += count;
    }
    return Fault::None;
}

}  // namespace

void DrawError(Page& page, size_t tile, const std::string& line) {
    uint32_t x = 0, y = 0;
    TileCorner(page, tile, &x, &y);
    FillRectangle(page, x, y, TileWidth, ViewSize, ErrorBackground);
    DrawWrapped(page, x + TextInset, y + TextInset, TileWidth - 2 * TextInset,
                ViewSize - 2 * TextInset, line, ErrorColour);
}

Drawn DrawModel(merge::Os& os, Page& page, size_t tile, const merge::DayModel& day,
                const merge::ColourBlocks& colours) {
    Drawing d{os, *day.File, day, colours};
    const std::vector<GeometryRead>& geometries = day.Reading.geometries;
    // Every count of what is drawn was checked by the reading.
    for (uint32_t k = 0; k < geometries.size(); ++k)
        if (geometries[k].dataFault != Fault::None) return {geometries[k].dataFault, k};
    // The first geometry's note, unless another has something to draw.
    const char* note = nullptr;
    bool drawable = false;
    for (uint32_t k = 0; k < geometries.size(); ++k) {
        const char* nothing = NothingToDraw(geometries[k]);
        if (!nothing && !FramePositions(d, geometries[k])) return {Fault::Unreadable, k};
        drawable = drawable || !nothing;
        if (!note) note = nothing;
    }
    uint32_t x = 0, y = 0;
    TileCorner(page, tile, &x, &y);
    for (uint32_t view : {x, x + TileWidth - ViewSize})
        FillRectangle(page, view, y, ViewSize, ViewSize, ViewBackground);
    if (!drawable) {
        ShowNote(page, x, y, note);
        return {};
    }
    int32_t depths[ViewSize * ViewSize];
    std::fill(std::begin(depths), std::end(depths), INT32_MAX);
    TileViews views{page, x, y, depths};
    for (uint32_t k = 0; k < geometries.size(); ++k) {
        if (NothingToDraw(geometries[k])) continue;
        const Fault fault = DrawGeometry(d, views, k);
        if (fault != Fault::None) return {fault, k};
    }
    return {};
}

}  // namespace preview
