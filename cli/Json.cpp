#include "cli/Json.h"

#include <cstdint>

namespace cli {

namespace {

const char Hex[] = "0123456789abcdef";

std::string Escaped(unsigned value) {
    std::string out = "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += Hex[(value >> shift) & 15];
    return out;
}

// The length of the UTF-8 sequence at text[at], or 0 when there is none.
size_t SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned first = byte(at);
    const size_t length = first < 0x80 ? 1 : first >= 0xC2 && first < 0xE0 ? 2
                                          : first >= 0xE0 && first < 0xF0   ? 3
                                          : first >= 0xF0 && first < 0xF5   ? 4
                                                                            : 0;
    if (length == 0 || at + length > text.size()) return 0;
    uint32_t code = length == 1 ? first : first & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(at + k) & 0x3F);
    }
    // No overlong form, no surrogate, nothing past U+10FFFF.
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return 0;
    return length;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = SequenceLength(text, at);
        if (length == 0) {
            out += Escaped(0xDC00 | c);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Escaped(c);
        } else {
            out.append(text, at, length);
        }
        at += length ? length : 1;
    }
    return out + "\"";
}

}  // namespace cli
