#include "tests/support/MergeOracle.h"

#include <cstring>

namespace testsupport {

namespace {

// The few numbers of the format the oracle needs, restated here on purpose
// rather than taken from rwstream/ (see the header).
constexpr uint32_t Clump = 0x10;
constexpr uint32_t GeometryList = 0x1A;
constexpr uint32_t Extension = 0x03;
constexpr uint32_t NightColours = 0x0253F2F9;
constexpr uint32_t Version = 0x1803FFFF;
constexpr uint64_t Header = 12;

struct File {
    const uint8_t* data;
    uint64_t size;

    bool Has(uint64_t offset, uint64_t width) const {
        return offset <= size && width <= size - offset;
    }
    uint32_t At(uint64_t offset) const {
        const uint8_t* p = data + offset;
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
    uint64_t End(uint64_t chunk) const { return chunk + Header + At(chunk + 4); }
};

void Put(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The sibling walk: from the size field at sizeField, the first later chunk
// of the wanted type, whatever container it lies in. False at the end of the
// file.
bool Find(const File& f, uint64_t sizeField, uint32_t type, uint64_t* found) {
    for (uint64_t at = sizeField;;) {
        if (!f.Has(at, 4)) return false;
        uint64_t next = at + 8 + f.At(at);
        if (!f.Has(next, 4)) return false;
        if (f.At(next) == type) {
            *found = next;
            return true;
        }
        at = next + 4;
    }
}

// The Geometry List, for a file that starts as a model of our version.
bool FindGeometryList(const File& f, uint64_t* list) {
    if (!f.Has(0, 12) || f.At(0) != Clump || f.At(8) != Version) return false;
    return Find(f, 16, GeometryList, list);
}

enum class Prelit { Yes, No, CutOff };

// Flags at list + 52, vertex count at list + 60.
Prelit ReadPrelit(const File& f, uint64_t list, uint32_t* vertexCount) {
    if (!f.Has(list + 52, 2)) return Prelit::CutOff;
    if ((f.data[list + 52] & 0x08) == 0) return Prelit::No;
    if (!f.Has(list + 60, 4)) return Prelit::CutOff;
    *vertexCount = f.At(list + 60);
    return Prelit::Yes;
}

// The old night colour chunk among the Extension's children, if any.
bool FindOldNightChunk(const File& f, uint64_t extension, uint64_t* chunk) {
    uint64_t end = f.End(extension);
    for (uint64_t at = extension + Header; at + Header <= end; at = f.End(at)) {
        if (f.At(at) == NightColours) {
            *chunk = at;
            return true;
        }
    }
    return false;
}

}  // namespace

DayVerdict JudgeDayFile(const uint8_t* day, size_t size, bool alwaysMerge) {
    DayVerdict v;
    File f{day, size};
    uint64_t list = 0;
    uint32_t n = 0;
    if (!FindGeometryList(f, &list) || ReadPrelit(f, list, &n) != Prelit::Yes) return v;
    uint64_t colourBytes = uint64_t{4} * n;
    if (!f.Has(list + 68, colourBytes)) return v;
    if (f.size + colourBytes + 16 > 0xFFFFFFFFu) return v;

    // The Extension: the first type 3 after the Geometry's Struct, and it
    // must be one of that Geometry's children lying wholly in the file.
    uint64_t geometry = list + 28;
    uint64_t extension = 0;
    if (!Find(f, list + 44, Extension, &extension)) return v;
    if (!f.Has(extension, Header)) return v;
    uint64_t extensionEnd = f.End(extension);
    if (extension + Header > f.End(geometry) || extensionEnd > f.size) return v;
    v.extensionOverhangs = extensionEnd > f.End(geometry);

    v.insertionOffset = extensionEnd;
    uint64_t old = 0;
    if (FindOldNightChunk(f, extension, &old)) {
        if (!alwaysMerge || f.End(old) > extensionEnd) return v;
        v.insertionOffset = old;
        v.replacedLength = f.End(old) - old;
    }
    v.accepted = !v.extensionOverhangs;
    v.vertexCount = n;
    v.dayColours.assign(day + list + 68, day + list + 68 + colourBytes);
    return v;
}

Bytes ExpectedOutput(const uint8_t* day, size_t size, const DayVerdict& v, const uint8_t* colours) {
    File f{day, size};
    uint64_t colourBytes = uint64_t{4} * v.vertexCount;
    uint64_t at = v.insertionOffset;
    uint64_t gap = at + v.replacedLength;
    Bytes out(day, day + at);
    out.resize(at + 16 + colourBytes);
    Put(&out[at], NightColours);
    Put(&out[at + 4], static_cast<uint32_t>(4 + colourBytes));
    Put(&out[at + 8], Version);
    Put(&out[at + 12], 0x01010101);
    if (colourBytes) std::memcpy(&out[at + 16], colours, colourBytes);
    out.insert(out.end(), day + gap, day + size);

    // The Clump, the Geometry List, the first Geometry and its Extension,
    // each changed only when it holds the insertion point (a Geometry List
    // behind the Clump's end leaves the Clump alone).
    uint32_t delta = static_cast<uint32_t>(16 + colourBytes - v.replacedLength);
    uint64_t list = 0;
    FindGeometryList(f, &list);
    uint64_t extension = 0;
    Find(f, list + 44, Extension, &extension);
    for (uint64_t chunk : {uint64_t{0}, list, list + 28, extension}) {
        if (chunk + Header <= at && gap <= f.End(chunk)) {
            Put(&out[chunk + 4], f.At(chunk + 4) + delta);
        }
    }
    return out;
}

NightOutcome JudgeNightFile(const uint8_t* night, size_t size, uint32_t dayVertexCount,
                            Bytes& colours, uint64_t* extent) {
    File f{night, size};
    uint64_t list = 0;
    uint32_t m = 0;
    if (!FindGeometryList(f, &list)) return NightOutcome::Refused;
    switch (ReadPrelit(f, list, &m)) {
        case Prelit::No: return NightOutcome::Refused;
        case Prelit::CutOff: return NightOutcome::EitherWay;
        case Prelit::Yes: break;
    }
    // As many whole colours as both counts allow and the file still holds.
    uint64_t wanted = m < dayVertexCount ? m : dayVertexCount;
    uint64_t start = list + 68;
    uint64_t held = start < f.size ? (f.size - start) / 4 : 0;
    uint64_t taken = 4 * (wanted < held ? wanted : held);
    if (taken) std::memcpy(colours.data(), night + start, taken);
    if (extent) *extent = start + taken;
    return NightOutcome::Accepted;
}

}  // namespace testsupport
