#include "merge/Crc32.h"

#include <array>

namespace merge {

namespace {

struct Table {
    std::array<uint32_t, 256> entries;
    Table() : entries() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
    }
};

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* bytes, size_t size) {
    static const Table table;
    crc = ~crc;
    for (size_t k = 0; k < size; ++k) crc = table.entries[(crc ^ bytes[k]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace merge
