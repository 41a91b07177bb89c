// A model's tile: the stages of its merge, run as for a merge but with the
// output left unwritten, then its geometry read again for the views.
#include "merge/Preview.h"

#include <algorithm>
#include <cstring>

#include "merge/Messages.h"
#include "merge/ModelStart.h"
#include "merge/PreviewDraw.h"
#include "merge/PreviewGeometry.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

constexpr Rgb NameColour = {224, 224, 224};
constexpr Rgb NoteColour = {240, 240, 240};
// Behind an error line, in place of the views.
constexpr Rgb ErrorBackground = {56, 40, 40};
constexpr Rgb ErrorColour = {255, 136, 120};
// A vertex of a geometry without prelit colours.
constexpr uint8_t White[rw::ColourSize] = {255, 255, 255, 255};
// Vertices and triangles read at a time.
constexpr uint32_t BatchSize = 4096;
constexpr uint32_t PositionSize = 12, TriangleSize = 8;

// The stages' session, with their log kept: the error line of a refused
// merge goes into the tile.
struct KeptLog final : Session {
    explicit KeptLog(Session& session) : session(session) {}
    bool IsTicked(Option option) override { return session.IsTicked(option); }
    void ColourFieldText(Channel channel, char* buffer, int size) override {
        session.ColourFieldText(channel, buffer, size);
    }
    ChannelAdjustment AdjustmentOf(Channel channel) override {
        return session.AdjustmentOf(channel);
    }
    void EnableOneFileMode(bool enabled) override { session.EnableOneFileMode(enabled); }
    void AppendLog(const char* text) override {
        log += text;
        session.AppendLog(text);
    }
    bool PathFits(const char* path) override { return session.PathFits(path); }

    Session& session;
    std::string log;
};

// The first line of the log that says an error, without its leading blank
// and its line end.
std::string ErrorLine(const std::string& log) {
    const size_t error = log.find(text::Error);
    if (error == std::string::npos) return "";
    const size_t newline = log.rfind('\n', error);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    const size_t end = log.find_first_of("\r\n", error);
    const std::string line = log.substr(start, end == std::string::npos ? end : end - start);
    return line.substr(line.find_first_not_of(' '));
}

struct Tile {
    Picture& picture;
    uint32_t x = 0, y = 0;
};

// The text in place of both views.
void ShowError(Tile& tile, const std::string& line) {
    FillRectangle(tile.picture, tile.x, tile.y, TileWidth, ViewSize, ErrorBackground);
    DrawWrapped(tile.picture, tile.x + TextInset, tile.y + TextInset, TileWidth - 2 * TextInset,
                ViewSize - 2 * TextInset, line, ErrorColour);
}

// The same text in each view.
void ShowNote(Tile& tile, const char* note) {
    for (uint32_t x : {tile.x, tile.x + TileWidth - ViewSize})
        DrawWrapped(tile.picture, x + TextInset, tile.y + TextInset, ViewSize - 2 * TextInset,
                    ViewSize - 2 * TextInset, note, NoteColour);
}

// The plain view's note of a geometry that has nothing to draw, or null.
const char* NothingToDraw(const GeometryData& data) {
    if (data.native) return text::NativeGeometry;
    if (!data.positions) return text::NoPositions;
    if (data.triangleCount == 0) return text::NoTriangles;
    return nullptr;
}

// What a model's views are drawn from, read from the day file.
struct ModelViews {
    Os& os;
    Session& session;
    rw::ByteStream& file;
    const DropSequence& sequence;
    std::vector<GeometryFields> geometries;
    std::vector<GeometryData> data;
    ViewFrame frame;
    uint32_t failed = 0;  // the geometry that a message is about
};

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

// Every drawn position into the frame, read a batch at a time.
bool FramePositions(ModelViews& m, const GeometryData& data) {
    uint8_t batch[BatchSize * PositionSize];
    for (uint32_t done = 0; done < data.vertexCount;) {
        const uint32_t count = std::min(data.vertexCount - done, BatchSize);
        if (!ReadBytes(m.file, data.positions + uint64_t{PositionSize} * done, batch,
                       uint64_t{PositionSize} * count))
            return false;
        for (uint32_t k = 0; k < count; ++k) Widen(m.frame, batch + PositionSize * k);
        done += count;
    }
    return true;
}

// The night colours a merge would leave in geometry k: its new chunk's, or
// its own chunk's over its day colours (a geometry without one: its day
// colours), which are read into night.
const uint8_t* NightColours(ModelViews& m, uint32_t k, const uint8_t* day, Block& night) {
    // A chunk's colours, unless the file was saved anew since they were
    // planned and no longer counts as many vertices.
    // A stripped geometry keeps no night colours.
    const std::vector<NightChunk> none;
    for (const NightChunk& chunk : m.sequence.Plan ? m.sequence.Plan->Chunks : none) {
        if (chunk.Geometry == k && chunk.TakenOut) return day;
        if (chunk.Geometry == k && chunk.VertexCount == m.data[k].vertexCount)
            return chunk.Colours.get();
    }
    ExtensionFields extension;
    if (FindExtension(m.file, m.geometries[k], m.file.Size(), &extension) || !extension.night ||
        extension.nightPastFile || extension.nightSize < 4)
        return day;
    const uint64_t n = m.data[k].vertexCount;
    night = AllocateBlock(m.os, n * rw::ColourSize);
    if (!night) return nullptr;
    std::memcpy(night.get(), day, n * rw::ColourSize);
    // Never a colour past the chunk's end, nor past the geometry's vertices.
    const uint64_t count =
        std::min<uint64_t>((extension.nightSize - 4) / rw::ColourSize, n) * rw::ColourSize;
    ReadBytes(m.file, extension.night + rw::NightColourPrefixSize, night.get(), count);
    return night.get();
}

// Geometry k into both views: its positions projected, its colours, its
// triangles a batch at a time. The message of why not, or null.
const char* DrawGeometry(ModelViews& m, TileViews& views, uint32_t k) {
    const GeometryData& data = m.data[k];
    const uint64_t n = data.vertexCount;
    Block points = AllocateBlock(m.os, n * sizeof(ViewPoint));
    Block day = AllocateBlock(m.os, n * rw::ColourSize);
    if (!points || !day) return text::NoMemory;
    ViewPoint* projected = reinterpret_cast<ViewPoint*>(points.get());
    uint8_t batch[BatchSize * PositionSize];
    for (uint32_t done = 0; done < n;) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(n - done, BatchSize));
        if (!ReadBytes(m.file, data.positions + uint64_t{PositionSize} * done, batch,
                       uint64_t{PositionSize} * count))
            return text::Unreadable;
        for (uint32_t j = 0; j < count; ++j)
            projected[done + j] = Project(m.frame, batch + PositionSize * j);
        done += count;
    }
    if (data.colours) {
        if (!ReadBytes(m.file, data.colours, day.get(), n * rw::ColourSize))
            return text::Unreadable;
    } else {
        for (uint64_t j = 0; j < n; ++j)
            std::memcpy(day.get() + j * rw::ColourSize, White, rw::ColourSize);
    }
    Block night;
    const uint8_t* nightColours = NightColours(m, k, day.get(), night);
    if (!nightColours) return text::NoMemory;
    for (uint32_t done = 0; done < data.triangleCount;) {
        const uint32_t count = std::min(data.triangleCount - done, BatchSize);
        if (!ReadBytes(m.file, data.triangles + uint64_t{TriangleSize} * done, batch,
                       uint64_t{TriangleSize} * count))
            return text::Unreadable;
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
    return nullptr;
}

// The model's geometries (every one with EveryGeometry, else the first) with
// their data. The message of why not.
const char* ReadModel(ModelViews& m) {
    ModelStart start;
    if (const char* problem = CheckModelStart(m.file, &start, false)) return problem;
    m.geometries = {start.first};
    if (m.session.IsTicked(Option::EveryGeometry)) {
        m.geometries.clear();
        if (const char* problem = FindGeometries(m.file, start.geometryList, &m.geometries))
            return problem;
    } else if (!rw::SeekTo(m.file, start.first.offset + 4) ||
               !rw::ReadField32(m.file, &m.geometries[0].size)) {
        return text::Unreadable;
    }
    for (uint32_t k = 0; k < m.geometries.size(); ++k) {
        GeometryData data;
        m.failed = k;
        if (const char* problem = ReadGeometryData(m.file, m.geometries[k].offset, &data))
            return problem;
        m.data.push_back(data);
    }
    return nullptr;
}

// Both views of the model; the message of why they cannot be drawn, or null.
const char* DrawModel(ModelViews& m, Tile& tile) {
    if (const char* problem = ReadModel(m)) return problem;
    // The first geometry's note, unless another has something to draw.
    const char* note = nullptr;
    bool drawable = false;
    for (m.failed = 0; m.failed < m.data.size(); ++m.failed) {
        const char* nothing = NothingToDraw(m.data[m.failed]);
        if (!nothing && !FramePositions(m, m.data[m.failed])) return text::Unreadable;
        drawable = drawable || !nothing;
        if (!note) note = nothing;
    }
    for (uint32_t x : {tile.x, tile.x + TileWidth - ViewSize})
        FillRectangle(tile.picture, x, tile.y, ViewSize, ViewSize, ViewBackground);
    if (!drawable) {
        ShowNote(tile, note);
        return nullptr;
    }
    std::vector<int32_t> depths(size_t{ViewSize} * ViewSize, INT32_MAX);
    TileViews views{tile.picture, tile.x, tile.y, depths.data()};
    for (m.failed = 0; m.failed < m.data.size(); ++m.failed)
        if (!NothingToDraw(m.data[m.failed]))
            if (const char* problem = DrawGeometry(m, views, m.failed)) return problem;
    return nullptr;
}

}  // namespace

bool PreviewModel(Os& os, Session& session, const std::string& day, const std::string& night,
                  PathForm form, Picture& picture, size_t tile) {
    Tile t{picture};
    TileCorner(picture, tile, &t.x, &t.y);
    const size_t name = os.NameStart(day.c_str());
    DrawText(picture, t.x, NameLine(t.y), TileWidth, day.substr(name), NameColour);

    KeptLog kept(session);
    DropSequence sequence;
    sequence.Previews = true;
    DropResult result = HandleDroppedPath(sequence, os, kept, day.c_str(), form);
    if (sequence.state == SequenceState::AwaitingNight)
        result = HandleDroppedPath(sequence, os, kept, night.c_str(), form);
    // A planned output waits for its drawing, which may still log a line.
    const bool planned = sequence.Plan != nullptr;
    if (result != DropResult::LeftAsItIs && !planned) {
        ShowError(t, ErrorLine(kept.log));
        return false;
    }

    // A line about the model, logged and shown in place of its views.
    KeptLog line(session);
    InputFile file;
    const Status opened = OpenInput(os, day.c_str(), &file);
    if (!opened.ok()) {
        ReportLastError(line, " ", opened);
    } else {
        ModelViews m{os, session, *file, sequence, {}, {}, {}};
        if (const char* problem = DrawModel(m, t)) AppendGeometryLine(line, m.failed, problem);
    }
    if (!line.log.empty()) ShowError(t, ErrorLine(line.log));
    // A model left as it is has had its prompt: a line after it gets one more.
    if (planned || !line.log.empty()) ReturnToAwaitingDay(sequence, session);
    return line.log.empty();
}

}  // namespace merge
