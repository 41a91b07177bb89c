// The night stage: the NightFile's prelit colours become the night colours,
// vertex by vertex: its first geometry's, or with every geometry, those of
// the geometry of each chunk's index.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "merge/DropSequence.h"
#include "merge/Messages.h"
#include "merge/ModelStart.h"
#include "rwstream/Chunk.h"

namespace merge {

namespace {

// Reads count colours into colours, whole ones only: through a buffer, so
// that a read that comes up short never leaves half a colour overwritten.
// False when fewer arrive than asked for.
bool ReadWholeColours(rw::ByteStream& file, uint8_t* colours, uint64_t count) {
    uint8_t buffer[4096];
    uint64_t left = count * rw::ColourSize;
    while (left > 0) {
        const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(left, sizeof buffer));
        const uint32_t got = file.Read(buffer, wanted);
        const uint32_t whole = got - got % rw::ColourSize;
        std::memcpy(colours, buffer, whole);
        if (got < wanted) return false;
        colours += whole;
        left -= whole;
    }
    return true;
}

// One geometry's colours into its chunk: never more than the chunk's n,
// nor more whole colours than the file holds; the rest keep the colours the
// day stage made. Fewer than the file's size promised is a read error.
bool TakeGeometryColours(rw::ByteStream& file, Session& session, const GeometryFields& night,
                         const NightChunk& chunk) {
    const uint32_t m = night.vertexCount, n = chunk.VertexCount;
    if (chunk.Geometry > 0) AppendCountLine(session, chunk.Geometry, m);
    if (m < n) AppendGeometryLine(session, chunk.Geometry, text::TooFewNightVertices);
    if (m > n) AppendGeometryLine(session, chunk.Geometry, text::TooManyNightVertices);
    const uint64_t size = file.Size();
    const uint64_t inFile = night.colours < size ? (size - night.colours) / rw::ColourSize : 0;
    const uint64_t count = std::min<uint64_t>(std::min(m, n), inFile);
    return rw::SeekTo(file, night.colours) && ReadWholeColours(file, chunk.Colours.get(), count);
}

}  // namespace

bool TakeNightColours(DropSequence& sequence, Os& os, Session& session) {
    ModelStart start;
    InputFile night;
    if (!OpenAndCheckModel(os, session, sequence.NightPath.c_str(), &night, &start)) return false;
    rw::ByteStream& file = *night;
    std::vector<GeometryFields> geometries = {start.first};
    if (session.IsTicked(Option::EveryGeometry)) {
        geometries.clear();
        if (const char* problem = FindGeometries(file, start.geometryList, &geometries)) {
            session.AppendLog(problem);
            return false;
        }
    }
    for (const NightChunk& chunk : sequence.Plan->Chunks) {
        // A geometry the night model lacks keeps the colours made without it.
        if (chunk.Geometry >= geometries.size() || !geometries[chunk.Geometry].prelit) {
            AppendGeometryLine(session, chunk.Geometry, text::NoNightGeometry);
        } else if (!TakeGeometryColours(file, session, geometries[chunk.Geometry], chunk)) {
            session.AppendLog(text::Unreadable);
            return false;
        }
    }
    return true;
}

}  // namespace merge
