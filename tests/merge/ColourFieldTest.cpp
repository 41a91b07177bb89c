#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

// Every row of the field table, blanks and tabs written out.
const std::pair<const char*, uint8_t> FieldCases[] = {
    {"64", 64},       {"255", 255},      {"256", 0},      {"300", 44},       {"0255", 255},
    {"", 0},          {"00000064", 6},   {" 7", 7},       {"\t 7", 7},       {"&HFF", 255},
    {"&hff", 255},    {"&H1F", 31},      {"&O377", 255},  {"&O17", 15},      {"&O8", 0},
    {"&H", 0},        {"&X1", 0},        {"  &H1F", 31},  {"12.9", 12},      {".5", 0},
    {"-1", 255},      {"-12.9", 244},    {"+7", 7},       {"- 5", 0},        {"-&HFF", 0},
    {"1e3", 1},       {"64abc", 64},     {"1,5", 1},      {"abc", 0},
    // Not in the table: a lone "&" at the end, and ten digits cut to seven.
    {"&", 0},         {"9999999999", 0x7F},
};

TEST(ColourField, TextGivesTheTabledChannel) {
    testsupport::MemoryPlatform platform;
    for (const auto& c : FieldCases) {
        platform.texts[merge::IdFieldG] = c.first;
        EXPECT_EQ(merge::ReadColourField(platform, merge::IdFieldG), c.second) << c.first;
    }
}

}  // namespace
}  // namespace mergetest
