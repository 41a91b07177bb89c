// The night colours made without a night model: copies of the day model's
// own colours, or one constant colour from the four colour fields; and
// every night colour's channels scaled and moved as the session asks.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "merge/DropSequence.h"
#include "rwstream/Format.h"

namespace merge {

namespace {

// GetDlgItemTextA into 8 bytes: at most 7 characters of a field count.
constexpr int FieldBufferSize = 8;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Digits of the base from text on; the scan ends at the first other character.
// Unsigned arithmetic, so that even an uncut text cannot overflow.
uint32_t ReadDigits(const char* text, uint32_t base) {
    uint32_t value = 0;
    for (; static_cast<uint32_t>(DigitValue(*text)) < base; ++text)
        value = value * base + DigitValue(*text);
    return value;
}

// The number a field's text stands for, truncated toward zero, as a 32-bit
// two's complement value: "&H" and "&O" prefixes for hexadecimal and octal,
// otherwise a signed decimal whose fraction, cut off, cannot change the whole
// part.
uint32_t FieldNumber(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '&') {
        if (text[1] == 'H' || text[1] == 'h') return ReadDigits(text + 2, 16);
        if (text[1] == 'O' || text[1] == 'o') return ReadDigits(text + 2, 8);
        return 0;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    const uint32_t whole = ReadDigits(text, 10);
    return negative ? 0u - whole : whole;
}

}  // namespace

uint8_t ReadColourField(Session& session, Channel channel) {
    char text[FieldBufferSize] = {};
    session.ColourFieldText(channel, text, FieldBufferSize);
    // The low 8 bits in two's complement: the value modulo 256, not clamped.
    return static_cast<uint8_t>(FieldNumber(text));
}

void FillNightColours(DropSequence& sequence, Session& session) {
    // Each chunk's colours are its geometry's own already: kept as they are,
    // or all of them one colour.
    if (session.IsTicked(Option::CopyDayColours)) return;
    const uint8_t colour[rw::ColourSize] = {
        ReadColourField(session, Channel::Red), ReadColourField(session, Channel::Green),
        ReadColourField(session, Channel::Blue), ReadColourField(session, Channel::Alpha)};
    const std::vector<NightChunk>& chunks = sequence.Day->Judged.plan.Chunks;
    for (size_t c = 0; c < chunks.size(); ++c)
        for (uint32_t k = 0; !chunks[c].TakenOut && k < chunks[c].VertexCount; ++k)
            std::memcpy(sequence.Colours[c].get() + size_t{rw::ColourSize} * k, colour,
                        rw::ColourSize);
}

uint8_t AdjustChannel(uint8_t value, ChannelAdjustment adjustment) {
    // value * Scale + 50 is never negative: the division rounds half up.
    const int scaled = (value * adjustment.Scale + 50) / 100 + adjustment.Offset;
    return static_cast<uint8_t>(std::min(255, std::max(0, scaled)));
}

void AdjustNightColours(DropSequence& sequence, Session& session) {
    // A table per channel: a large model costs one look-up per byte.
    uint8_t tables[rw::ColourSize][256];
    bool changes = false;
    for (uint32_t channel = 0; channel < rw::ColourSize; ++channel) {
        const ChannelAdjustment adjustment = session.AdjustmentOf(static_cast<Channel>(channel));
        for (int value = 0; value < 256; ++value) {
            tables[channel][value] = AdjustChannel(static_cast<uint8_t>(value), adjustment);
            changes = changes || tables[channel][value] != value;
        }
    }
    if (!changes) return;
    const std::vector<NightChunk>& chunks = sequence.Day->Judged.plan.Chunks;
    for (size_t c = 0; c < chunks.size(); ++c) {
        uint8_t* colour = sequence.Colours[c].get();
        for (uint32_t k = 0; !chunks[c].TakenOut && k < chunks[c].VertexCount;
             ++k, colour += rw::ColourSize)
            for (uint32_t channel = 0; channel < rw::ColourSize; ++channel)
                colour[channel] = tables[channel][colour[channel]];
    }
}

}  // namespace merge
