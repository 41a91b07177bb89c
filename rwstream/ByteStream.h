// The read/seek interface that the chunk reader works through. A Win32 file,
// a POSIX file and, in the tests, a file in memory each implement it.
#pragma once

#include <cstdint>

namespace rw {

enum class SeekFrom { Start, Current };

struct ByteStream {
    // Reads up to count bytes at the position and moves past them; returns
    // how many arrived (fewer at the end of the stream).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    // Moves the position; a position past the end is allowed (the next read
    // then comes up short), one before the start is not. Returns false when
    // the move is refused, and leaves the position where it was.
    [[nodiscard]] virtual bool Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) = 0;
    virtual uint64_t Size() = 0;

protected:
    ~ByteStream() = default;
};

// For streams that keep their own position: moves it as Seek does, and tells
// whether the move was allowed.
[[nodiscard]] inline bool MovePosition(uint64_t& position, int64_t distance, SeekFrom from,
                                       uint64_t* newPosition) {
    const uint64_t base = from == SeekFrom::Start ? 0 : position;
    if (distance < 0 && uint64_t(0) - static_cast<uint64_t>(distance) > base) return false;
    position = base + static_cast<uint64_t>(distance);
    if (newPosition) *newPosition = position;
    return true;
}

// A stream over bytes in memory, which its owner keeps.
struct MemoryStream final : ByteStream {
    MemoryStream(const uint8_t* bytes, uint64_t size) : bytes(bytes), size(size) {}
    uint32_t Read(void* buffer, uint32_t count) override;
    [[nodiscard]] bool Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) override {
        return MovePosition(position, distance, from, newPosition);
    }
    uint64_t Size() override { return size; }

    const uint8_t* bytes;
    uint64_t size, position = 0;
};

}  // namespace rw
