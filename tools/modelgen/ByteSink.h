// Where the model generator's bytes go: a byte vector, a buffered file, or
// nowhere at all (a counter, used to learn a chunk's size before its header is
// written). One writer serves all three, so the layout exists only once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace modelgen {

struct ModelLayout;

struct ByteSink {
    std::vector<uint8_t>* memory = nullptr;  // when building in memory
    std::FILE* file = nullptr;               // when writing a file
    // Bytes of the model emitted so far, whether kept or cut off: the offset
    // of the next byte in the untruncated model.
    uint64_t position = 0;
    // Bytes at or past this offset are dropped (a truncated model).
    uint64_t limit = UINT64_MAX;
    bool failed = false;  // a write to the file failed
    // Where the writer notes the offsets of the chunks the tests look at;
    // null while only counting.
    ModelLayout* layout = nullptr;

    // Staging block between the writer and the vector or file, so that
    // millions of small fields cost a store each rather than a call each.
    // Left uninitialised: a small model touches only its first pages.
    std::unique_ptr<uint8_t[]> block;
    size_t used = 0;
};

// A sink that only counts the bytes passed to it.
inline bool IsCounting(const ByteSink& sink) { return !sink.memory && !sink.file; }

// Room for count bytes (at most the block size) to be filled by the caller.
// Null when counting: the position has moved and there is nothing to fill.
uint8_t* Reserve(ByteSink& sink, size_t count);

void PutBytes(ByteSink& sink, const void* data, size_t count);
void PutFill(ByteSink& sink, uint8_t value, size_t count);
void Put16(ByteSink& sink, uint16_t value);
void Put32(ByteSink& sink, uint32_t value);
void PutFloat(ByteSink& sink, float value);

// Hands the staged bytes on to the vector or file (minus what lies past the
// limit). A failed file write is kept in failed.
void Flush(ByteSink& sink);

}  // namespace modelgen
