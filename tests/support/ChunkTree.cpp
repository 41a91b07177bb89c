#include "tests/support/ChunkTree.h"

#include <cstdio>
#include <vector>

#include "rwstream/Chunk.h"

namespace testsupport {

namespace {

constexpr uint32_t TypeMaterial = 0x00000007;

bool IsContainer(uint32_t type) {
    switch (type) {
        case rw::TypeClump:
        case rw::TypeFrameList:
        case rw::TypeGeometryList:
        case rw::TypeGeometry:
        case rw::TypeMaterialList:
        case TypeMaterial:
        case rw::TypeAtomic:
        case rw::TypeExtension:
            return true;
        default:
            return false;
    }
}

bool Fail(std::string* why, const char* what, uint64_t offset, uint32_t type) {
    if (why) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: chunk at offset %llu (type 0x%08X)", what,
                      static_cast<unsigned long long>(offset), static_cast<unsigned>(type));
        *why = text;
    }
    return false;
}

}  // namespace

bool CheckChunkTree(const uint8_t* data, size_t size, std::string* why) {
    if (size == 0) {
        if (why) *why = "empty file";
        return false;
    }
    // Ends of the open containers, innermost last; the file is the outermost.
    // A loop rather than recursion, since a hostile file may nest deeply.
    std::vector<uint64_t> ends = {size};
    uint64_t at = 0;
    while (true) {
        while (ends.size() > 1 && at == ends.back()) ends.pop_back();
        if (at == size) return true;
        uint64_t end = ends.back();
        bool inFile = ends.size() == 1;
        uint32_t type = end - at >= 4 ? rw::Load32(data + at) : 0;
        if (end - at < rw::ChunkHeaderSize) {
            return Fail(why, inFile ? "header cut off by the end of the file" : "header runs past its container",
                        at, type);
        }
        uint64_t chunkEnd = at + rw::ChunkHeaderSize + rw::Load32(data + at + 4);
        if (chunkEnd > end) {
            return Fail(why, inFile ? "payload runs past the end of the file" : "payload runs past its container",
                        at, type);
        }
        if (IsContainer(type)) {
            ends.push_back(chunkEnd);
            at += rw::ChunkHeaderSize;
        } else {
            at = chunkEnd;
        }
    }
}

}  // namespace testsupport
