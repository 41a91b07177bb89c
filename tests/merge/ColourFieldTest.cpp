// A colour field's text and the channel value it gives, as the window's
// fields are read: at most 7 characters, "&H" and "&O" prefixes, a sign and a
// fraction cut off, modulo 256.
#include <gtest/gtest.h>

#include "merge/DropSequence.h"
#include "tests/support/Checks.h"

TEST(ColourField, TextsAndTheChannelsTheyGive) {
    const struct {
        const char* text;
        int channel;
    } cases[] = {
        {"64", 64},      {"255", 255},    {"256", 0},    {"300", 44},   {"0255", 255},
        {"", 0},         {"00000064", 6}, {" 7", 7},     {"\t 7", 7},   {"&HFF", 255},
        {"&hff", 255},   {"&H1F", 31},    {"&O377", 255}, {"&o17", 15}, {"&O8", 0},
        {"&H", 0},       {"&X1", 0},      {"  &H1F", 31}, {"12.9", 12}, {".5", 0},
        {"-1", 255},     {"-12.9", 244},  {"+7", 7},     {"- 5", 0},    {"-&HFF", 0},
        {"1e3", 1},      {"64abc", 64},   {"1,5", 1},    {"abc", 0},    {"9999999999", 127},
        {"&Hfffffff", 255}, {"&Haf", 175}, {"&HAG", 10},
    };
    testsupport::MemorySession session;
    for (const auto& c : cases) {
        session.fields[2] = c.text;
        EXPECT_EQ(merge::ReadColourField(session, merge::Channel::Blue), c.channel) << c.text;
    }
}
