#include "preview/Png.h"

#include <algorithm>
#include <cstring>

#include "merge/Crc32.h"

namespace preview {

namespace {

using merge::Status;

constexpr uint32_t Window = 32768;       // how far back a match may start
constexpr uint32_t MinMatch = 3, MaxMatch = 258;
constexpr uint32_t HashBits = 15;
constexpr uint32_t ChainTries = 8;       // candidates tried for each match
constexpr uint32_t IdatSize = 1 << 16;   // compressed bytes a chunk
constexpr uint32_t BytesPerPixel = 3;

// The lengths and distances deflate codes, from its base of each code.
constexpr uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                       33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Everything the encoder keeps: the window of filtered bytes (twice its
// size, slid down by half), the heads and chains of the match search, and
// the compressed bytes of the chunk being filled.
struct State {
    uint8_t window[2 * Window];
    int32_t head[1 << HashBits];
    int32_t chain[2 * Window];
    uint8_t out[IdatSize];
};

struct Encoder {
    State& s;
    merge::ByteSink& sink;
    Status status{};
    uint32_t filled = 0;     // bytes in out
    uint64_t bits = 0;       // not yet whole bytes, the first in the lowest bits
    uint32_t bitCount = 0;
    uint32_t adler1 = 1, adler2 = 0;
    uint32_t start = 0;      // where the window's unsearched bytes begin
    uint32_t end = 0;        // where they end

    bool Emit(const uint8_t* bytes, uint32_t size) {
        if (!status.ok()) return false;
        status = sink.Put(bytes, size);
        return status.ok();
    }

    // A chunk: its length, type, data and the CRC of its type and data.
    bool Chunk(const char* type, const uint8_t* data, uint32_t size) {
        uint8_t head[8] = {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8),
                           uint8_t(size)};
        std::memcpy(head + 4, type, 4);
        const uint32_t crc = merge::Crc32(merge::Crc32(0, head + 4, 4), data, size);
        const uint8_t tail[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8),
                                 uint8_t(crc)};
        return Emit(head, 8) && Emit(data, size) && Emit(tail, 4);
    }

    void Byte(uint8_t byte) {
        s.out[filled++] = byte;
        if (filled == IdatSize) {
            Chunk("IDAT", s.out, filled);
            filled = 0;
        }
    }

    // count bits of value, the first in its lowest bit.
    void Bits(uint32_t value, uint32_t count) {
        bits |= uint64_t{value} << bitCount;
        bitCount += count;
        for (; bitCount >= 8; bitCount -= 8, bits >>= 8) Byte(static_cast<uint8_t>(bits));
    }

    // A Huffman code, sent from its first bit on.
    void Code(uint32_t code, uint32_t length) {
        uint32_t reversed = 0;
        for (uint32_t k = 0; k < length; ++k) reversed |= ((code >> k) & 1) << (length - 1 - k);
        Bits(reversed, length);
    }

    // A literal or length symbol in the fixed codes.
    void Symbol(uint32_t symbol) {
        if (symbol < 144) return Code(0x30 + symbol, 8);
        if (symbol < 256) return Code(0x190 + symbol - 144, 9);
        if (symbol < 280) return Code(symbol - 256, 7);
        Code(0xC0 + symbol - 280, 8);
    }

    void Match(uint32_t length, uint32_t distance) {
        uint32_t code = 28;
        while (LengthBase[code] > length) --code;
        Symbol(257 + code);
        Bits(length - LengthBase[code], LengthExtra[code]);
        code = 29;
        while (DistanceBase[code] > distance) --code;
        Code(code, 5);
        Bits(distance - DistanceBase[code], DistanceExtra[code]);
    }

    uint32_t Hash(uint32_t at) const {
        const uint32_t v = uint32_t{s.window[at]} << 16 | uint32_t{s.window[at + 1]} << 8 |
                           s.window[at + 2];
        return (v * 2654435761u) >> (32 - HashBits);
    }

    void Insert(uint32_t at) {
        const uint32_t h = Hash(at);
        s.chain[at] = s.head[h];
        s.head[h] = static_cast<int32_t>(at);
    }

    // Compresses the window's bytes from start, all of them when final;
    // otherwise it keeps a longest match's worth for the bytes to come.
    void Compress(bool final) {
        const uint32_t stop = final ? end : (end > MaxMatch ? end - MaxMatch : 0);
        while (start < stop) {
            uint32_t best = 0, distance = 0;
            if (end - start >= MinMatch) {
                const uint32_t most = std::min(MaxMatch, end - start);
                int32_t candidate = s.head[Hash(start)];
                for (uint32_t tries = 0; candidate >= 0 && tries < ChainTries &&
                                         start - static_cast<uint32_t>(candidate) <= Window;
                     ++tries, candidate = s.chain[candidate]) {
                    const uint8_t* a = s.window + candidate;
                    const uint8_t* b = s.window + start;
                    uint32_t length = 0;
                    while (length < most && a[length] == b[length]) ++length;
                    if (length > best) best = length, distance = start - candidate;
                    if (best == most) break;
                }
            }
            if (best >= MinMatch) {
                Match(best, distance);
                for (uint32_t k = 0; k < best; ++k, ++start)
                    if (end - start >= MinMatch) Insert(start);
            } else {
                Symbol(s.window[start]);
                if (end - start >= MinMatch) Insert(start);
                ++start;
            }
        }
    }

    // Slides the window down by half once its second half is reached.
    void Slide() {
        if (end < 2 * Window) return;
        std::memmove(s.window, s.window + Window, Window);
        for (int32_t& h : s.head) h = h >= int32_t{Window} ? h - int32_t{Window} : -1;
        for (uint32_t k = 0; k < Window; ++k) {
            const int32_t c = s.chain[k + Window];
            s.chain[k] = c >= int32_t{Window} ? c - int32_t{Window} : -1;
        }
        start -= Window;
        end -= Window;
    }

    // Filtered bytes into the window, compressed as it fills.
    void Feed(const uint8_t* bytes, uint32_t size) {
        for (uint32_t k = 0; k < size; ++k) {
            adler1 = (adler1 + bytes[k]) % 65521;
            adler2 = (adler2 + adler1) % 65521;
        }
        while (size > 0) {
            Slide();
            const uint32_t part = std::min(size, 2 * Window - end);
            std::memcpy(s.window + end, bytes, part);
            end += part;
            bytes += part;
            size -= part;
            Compress(false);
        }
    }
};

}  // namespace

Status WritePng(merge::Os& os, const Pixels& pixels, merge::ByteSink& sink) {
    merge::Block memory = merge::AllocateBlock(os, sizeof(State));
    if (!memory) return Status{true, 0, "Not enough memory.\r\n"};
    State& state = *reinterpret_cast<State*>(memory.get());
    std::fill(std::begin(state.head), std::end(state.head), -1);
    Encoder e{state, sink};
    static const uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const uint32_t w = pixels.width, h = pixels.height;
    // 8 bits a channel, red, green and blue; no interlace.
    const uint8_t header[13] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                                uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h),
                                8, 2, 0, 0, 0};
    if (!e.Emit(Signature, sizeof Signature) || !e.Chunk("IHDR", header, sizeof header))
        return e.status;
    // The zlib stream: its header, one block in the fixed codes.
    e.Byte(0x78);
    e.Byte(0x01);
    e.Bits(1, 1);
    e.Bits(1, 2);
    const uint32_t stride = w * BytesPerPixel;
    uint8_t row[1 + 3 * 1024];
    for (uint32_t y = 0; y < h && e.status.ok(); ++y) {
        const uint8_t* line = pixels.rgb + size_t{y} * stride;
        // The row's filter, then each byte less the one a pixel to its left,
        // a part of the row at a time.
        const uint8_t filter = 1;
        e.Feed(&filter, 1);
        for (uint32_t x = 0; x < stride; x += sizeof row - 1) {
            const uint32_t part = std::min<uint32_t>(stride - x, sizeof row - 1);
            for (uint32_t k = 0; k < part; ++k)
                row[k] = static_cast<uint8_t>(
                    line[x + k] - (x + k >= BytesPerPixel ? line[x + k - BytesPerPixel] : 0));
            e.Feed(row, part);
        }
    }
    e.Compress(true);
    e.Symbol(256);
    e.Bits(0, (8 - e.bitCount % 8) % 8);
    for (int k = 3; k >= 0; --k) e.Byte(static_cast<uint8_t>((e.adler2 << 16 | e.adler1) >> (8 * k)));
    if (e.filled > 0) e.Chunk("IDAT", state.out, e.filled);
    if (e.status.ok()) e.Chunk("IEND", nullptr, 0);
    return e.status;
}

}  // namespace preview
