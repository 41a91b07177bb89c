// The read/seek interface that the chunk reader works through. A Win32 file,
// a POSIX file and a byte buffer each implement it.
#pragma once

#include <cstddef>
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
    virtual bool Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) = 0;
    virtual uint64_t Size() = 0;

protected:
    ~ByteStream() = default;
};

// A ByteStream over bytes in memory that it does not own.
struct MemoryStream final : ByteStream {
    MemoryStream(const void* data, size_t size);
    uint32_t Read(void* buffer, uint32_t count) override;
    bool Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) override;
    uint64_t Size() override;

    const uint8_t* data;
    size_t size;
    uint64_t position = 0;
};

}  // namespace rw
