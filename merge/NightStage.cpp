// The night stage: the NightFile's prelit colours become the night colours,
// vertex by vertex: its first geometry's, or with every geometry, those of
// the geometry of each chunk's index. The NightFile is read as the day
// model is, with as many geometries as the day model's reading has.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "merge/DropSequence.h"
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
bool TakeGeometryColours(rw::ByteStream& file, Session& session, const GeometryRead& night,
                         const NightChunk& chunk, const Block& colours) {
    const uint32_t m = night.vertexCount, n = chunk.VertexCount;
    if (chunk.Geometry > 0) SayCount(session, chunk.Geometry, m);
    if (m < n) SayAboutGeometry(session, chunk.Geometry, text::TooFewNightVertices);
    if (m > n) SayAboutGeometry(session, chunk.Geometry, text::TooManyNightVertices);
    const uint64_t size = file.Size();
    const uint64_t inFile = night.colours < size ? (size - night.colours) / rw::ColourSize : 0;
    const uint64_t count = std::min<uint64_t>(std::min(m, n), inFile);
    return rw::SeekTo(file, night.colours) && ReadWholeColours(file, colours.get(), count);
}

bool Refuse(Session& session, Fault fault) {
    Say(session, MessageOf(fault));
    return false;
}

}  // namespace

bool TakeNightColours(DropSequence& sequence, Os& os, Session& session) {
    const DayModel& day = *sequence.Day;
    SayAbout(session, text::Opening, sequence.NightPath);
    InputFile night;
    const Status opened = OpenInput(os, sequence.NightPath.c_str(), &night);
    if (!opened.ok()) {
        ReportLastError(session, " ", opened);
        return false;
    }
    Say(session, text::Analyzing);
    // A day model of one geometry takes its night model's first, whatever
    // that holds after it.
    const bool every = day.Reading.every;
    const ModelRead model = ReadModel(*night, every, MergeDepth);
    if (model.fault != Fault::None) return Refuse(session, model.fault);
    const GeometryRead& first = model.geometries[0];
    if (!every && !first.prelit) return Refuse(session, Fault::NoVertexColour);
    if (!first.counted) return Refuse(session, Fault::EndsInGeometry);
    SayCount(session, 0, first.vertexCount);
    if (model.listFault != Fault::None) return Refuse(session, model.listFault);
    const std::vector<NightChunk>& chunks = day.Judged.plan.Chunks;
    for (size_t k = 0; k < chunks.size(); ++k) {
        const uint32_t geometry = chunks[k].Geometry;
        // A geometry the night model lacks keeps the colours made without it.
        if (geometry >= model.geometries.size() || !model.geometries[geometry].prelit) {
            SayAboutGeometry(session, geometry, text::NoNightGeometry);
        } else if (!TakeGeometryColours(*night, session, model.geometries[geometry], chunks[k],
                                        sequence.Colours[k])) {
            return Refuse(session, Fault::Unreadable);
        }
    }
    return true;
}

}  // namespace merge
