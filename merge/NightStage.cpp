// The night stage: the NightFile's first geometry's prelit colours become the
// night colours, vertex by vertex.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "merge/DropSequence.h"
#include "merge/Messages.h"
#include "merge/ModelStart.h"
#include "rwstream/Format.h"

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

}  // namespace

bool TakeNightColours(DropSequence& sequence, Os& os, Session& session) {
    GeometryStart start;
    if (!OpenAndCheckModel(os, session, sequence.NightPath.c_str(), &sequence.NightFile, &start))
        return false;
    const uint32_t m = start.vertexCount;
    const uint32_t n = sequence.DayVertexCount;
    sequence.NightVertexCount = m;
    if (m < n) session.AppendLog(text::TooFewNightVertices);
    if (m > n) session.AppendLog(text::TooManyNightVertices);

    // Never more than the day's n colours, nor more whole colours than the
    // file holds: the rest keep the colours the day stage made. Fewer than
    // the file's size promised is a read error, and the sequence ends.
    rw::ByteStream& file = *sequence.NightFile;
    const uint64_t size = file.Size();
    const uint64_t inFile = start.colours < size ? (size - start.colours) / rw::ColourSize : 0;
    const uint64_t count = std::min<uint64_t>(std::min(m, n), inFile);
    uint8_t* colours = sequence.OutputImage + sequence.InsertionOffset + rw::NightColourPrefixSize;
    if (!ReadWholeColours(file, colours, count)) {
        session.AppendLog(text::Unreadable);
        return false;
    }
    CloseFile(os, sequence.NightFile);
    return true;
}

}  // namespace merge
