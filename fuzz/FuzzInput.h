// How one fuzz input is cut into the options of a drop sequence, the day file
// and the night file. Shared by the fuzz target and the seed writer, so the
// seeds stay readable by the target.
//
//   +0  option bits (below)
//   +1  R, G, B, A: a channel value written as decimal text, or, with
//       OptionOddFieldTexts, an index into the table of odd field texts
//   +5  fault: 0 none, otherwise which operation fails (see the fuzz target)
//   +6  day file length (32 bits, little-endian; taken modulo what is left + 1)
//   +10 the day file, then the night file (the rest)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzinput {

constexpr uint8_t OptionAlwaysMerge = 0x01;
constexpr uint8_t OptionCopyDayColours = 0x02;
constexpr uint8_t OptionOneFile = 0x04;
constexpr uint8_t OptionDffFolder = 0x08;
constexpr uint8_t OptionOddFieldTexts = 0x10;
// An earlier output already stands where this one goes.
constexpr uint8_t OptionExistingOutput = 0x20;
// A day path of 256 characters: too long once "\dff" is put in.
constexpr uint8_t OptionLongPath = 0x40;
// The day file is dropped again as the night file.
constexpr uint8_t OptionNightIsDay = 0x80;

constexpr size_t HeaderSize = 10;

struct FuzzInput {
    uint8_t options = 0;
    uint8_t channels[4] = {64, 64, 64, 255};
    uint8_t fault = 0;
    const uint8_t* day = nullptr;
    size_t daySize = 0;
    const uint8_t* night = nullptr;
    size_t nightSize = 0;
};

// False when the input is too short to hold the header.
inline bool Decode(const uint8_t* data, size_t size, FuzzInput* in) {
    if (size < HeaderSize) return false;
    in->options = data[0];
    for (int i = 0; i < 4; ++i) in->channels[i] = data[1 + i];
    in->fault = data[5];
    size_t rest = size - HeaderSize;
    uint32_t length = uint32_t{data[6]} | uint32_t{data[7]} << 8 | uint32_t{data[8]} << 16 |
                      uint32_t{data[9]} << 24;
    in->day = data + HeaderSize;
    in->daySize = length % (rest + 1);
    in->night = in->day + in->daySize;
    in->nightSize = rest - in->daySize;
    return true;
}

inline std::vector<uint8_t> Encode(uint8_t options, const uint8_t channels[4], uint8_t fault,
                                   const std::vector<uint8_t>& day,
                                   const std::vector<uint8_t>& night) {
    std::vector<uint8_t> out = {options, channels[0], channels[1], channels[2], channels[3], fault};
    uint32_t length = static_cast<uint32_t>(day.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), day.begin(), day.end());
    out.insert(out.end(), night.begin(), night.end());
    return out;
}

}  // namespace fuzzinput
