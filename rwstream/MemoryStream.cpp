#include "rwstream/ByteStream.h"

#include <cstring>

namespace rw {

MemoryStream::MemoryStream(const void* bytes, size_t length)
    : data(static_cast<const uint8_t*>(bytes)), size(length) {}

uint32_t MemoryStream::Read(void* buffer, uint32_t count) {
    if (position >= size) return 0;
    uint64_t available = size - position;
    uint32_t n = available < count ? static_cast<uint32_t>(available) : count;
    if (n > 0) std::memcpy(buffer, data + position, n);
    position += n;
    return n;
}

bool MemoryStream::Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) {
    uint64_t base = from == SeekFrom::Start ? 0 : position;
    uint64_t target;
    if (distance < 0) {
        uint64_t back = static_cast<uint64_t>(-(distance + 1)) + 1;
        if (back > base) return false;
        target = base - back;
    } else {
        target = base + static_cast<uint64_t>(distance);
        if (target < base) return false;
    }
    position = target;
    if (newPosition) *newPosition = position;
    return true;
}

uint64_t MemoryStream::Size() { return size; }

}  // namespace rw
