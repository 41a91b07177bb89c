#include "tools/modelgen/ByteSink.h"

#include <algorithm>
#include <cstring>


namespace modelgen {

namespace {

constexpr size_t BlockSize = size_t{1} << 20;

}  // namespace

void Flush(ByteSink& sink) {
    if (sink.used == 0) return;
    // The staged bytes end at sink.position; keep those below the limit.
    uint64_t first = sink.position - sink.used;
    size_t keep = 0;
    if (first < sink.limit)
        keep = static_cast<size_t>(std::min<uint64_t>(sink.used, sink.limit - first));
    if (keep > 0 && sink.memory) {
        sink.memory->insert(sink.memory->end(), sink.block.get(), sink.block.get() + keep);
    } else if (keep > 0 && sink.file && !sink.failed) {
        if (std::fwrite(sink.block.get(), 1, keep, sink.file) != keep) sink.failed = true;
    }
    sink.used = 0;
}

uint8_t* Reserve(ByteSink& sink, size_t count) {
    if (IsCounting(sink)) {
        sink.position += count;
        return nullptr;
    }
    if (!sink.block) sink.block.reset(new uint8_t[BlockSize]);
    if (BlockSize - sink.used < count) Flush(sink);
    sink.position += count;
    uint8_t* room = sink.block.get() + sink.used;
    sink.used += count;
    return room;
}

void PutBytes(ByteSink& sink, const void* data, size_t count) {
    const uint8_t* from = static_cast<const uint8_t*>(data);
    while (count > 0) {
        size_t part = std::min(count, BlockSize);
        uint8_t* room = Reserve(sink, part);
        if (room) std::memcpy(room, from, part);
        from += part;
        count -= part;
    }
}

void PutFill(ByteSink& sink, uint8_t value, size_t count) {
    while (count > 0) {
        size_t part = std::min(count, BlockSize);
        uint8_t* room = Reserve(sink, part);
        if (room) std::memset(room, value, part);
        count -= part;
    }
}

void Put16(ByteSink& sink, uint16_t value) {
    uint8_t* room = Reserve(sink, 2);
    if (!room) return;
    room[0] = static_cast<uint8_t>(value);
    room[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(ByteSink& sink, uint32_t value) {
    uint8_t* room = Reserve(sink, 4);
    for (int k = 0; room && k < 4; ++k) room[k] = static_cast<uint8_t>(value >> (8 * k));
}

void PutFloat(ByteSink& sink, float value) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof value, "32-bit floats");
    std::memcpy(&bits, &value, sizeof bits);
    Put32(sink, bits);
}

}  // namespace modelgen
