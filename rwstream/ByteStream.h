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
    virtual bool Seek(int64_t distance, SeekFrom from, uint64_t* newPosition) = 0;
    virtual uint64_t Size() = 0;

protected:
    ~ByteStream() = default;
};

}  // namespace rw
