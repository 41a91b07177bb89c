// The CRC-32 of zlib and PNG (polynomial 0xEDB88320), kept as it goes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace merge {

// crc of what came before (0 for none), carried on over size bytes.
uint32_t Crc32(uint32_t crc, const uint8_t* bytes, size_t size);

}  // namespace merge
