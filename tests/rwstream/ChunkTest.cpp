// The chunk reader's edges that whole merges do not reach.
#include <gtest/gtest.h>

#include <vector>

#include "rwstream/Chunk.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Chunks of (type, size, payload of that size) from offset 0; start is on
// the first chunk's size field.
Bytes Chunks(std::initializer_list<std::pair<uint32_t, uint32_t>> chunks) {
    Bytes out;
    for (const auto& chunk : chunks) {
        out.resize(out.size() + 12 + chunk.second);
        rw::Store32(&out[out.size() - 12 - chunk.second], chunk.first);
        rw::Store32(&out[out.size() - 8 - chunk.second], chunk.second);
    }
    return out;
}

TEST(Chunk, SiblingSearchOutcomes) {
    const Bytes bytes = Chunks({{1, 4}, {2, 0}, {3, 8}});
    const struct {
        size_t size;  // of the stream: the bytes cut there
        uint32_t wanted;
        rw::SearchResult result;
        uint64_t start;
    } cases[] = {
        {bytes.size(), 2, rw::SearchResult::Found, 16},  // a payload stepped over
        {bytes.size(), 3, rw::SearchResult::Found, 28},  // a zero size stepped over
        {bytes.size(), 9, rw::SearchResult::ShortOnType, 0},
        {34, 9, rw::SearchResult::ShortOnSize, 0},
        {30, 9, rw::SearchResult::ShortOnType, 0},
        {22, 9, rw::SearchResult::ShortOnSize, 0},
        {18, 9, rw::SearchResult::ShortOnType, 0},
    };
    for (const auto& c : cases) {
        rw::MemoryStream stream(bytes.data(), c.size);
        rw::SeekTo(stream, 4);
        uint64_t start = 0;
        EXPECT_EQ(rw::FindSibling(stream, c.wanted, &start), c.result) << c.size << " " << c.wanted;
        EXPECT_EQ(start, c.start);
        if (c.result == rw::SearchResult::Found) {
            uint64_t position = 0;
            rw::Skip(stream, 0, &position);
            EXPECT_EQ(position, c.start + 4);  // on the found chunk's size field
        }
    }
    // A size near 4 GiB moves forward only, and the search ends.
    Bytes huge = Chunks({{1, 0}});
    rw::Store32(&huge[4], 0xFFFFFFFF);
    rw::MemoryStream stream(huge.data(), huge.size());
    rw::SeekTo(stream, 4);
    EXPECT_EQ(rw::FindSibling(stream, 1), rw::SearchResult::ShortOnType);
}

TEST(Chunk, BoundedSearchStaysInsideItsContainer) {
    const Bytes bytes = Chunks({{1, 4}, {2, 0}, {3, 8}});
    const struct {
        uint64_t end;
        uint32_t wanted;
        bool found;
    } cases[] = {{48, 3, true}, {40, 3, true}, {39, 3, false}, {28, 2, true}, {27, 2, false}};
    for (const auto& c : cases) {
        rw::MemoryStream stream(bytes.data(), bytes.size());
        rw::SeekTo(stream, 4);
        uint64_t found = 0;
        EXPECT_EQ(rw::FindSiblingWithin(stream, 0, c.end, c.wanted, &found), c.found) << c.end;
        if (c.found) {
            EXPECT_EQ(found, c.wanted == 3 ? 28u : 16u);
        }
    }
}

TEST(Chunk, EditsStayInsideTheBuffer) {
    Bytes buffer(20, 0);
    EXPECT_TRUE(rw::WriteNightColourHeader(buffer.data(), buffer.size(), 4, 3));
    EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.end()),
              (Bytes{0xF9, 0xF2, 0x53, 0x02, 0x10, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18, 1, 1, 1, 1}));
    EXPECT_FALSE(rw::WriteNightColourHeader(buffer.data(), buffer.size(), 5, 3));
    EXPECT_TRUE(rw::AddSizeDelta(buffer.data(), buffer.size(), 16, 0xFFFFFFFF));  // wraps
    EXPECT_EQ(rw::Load32(&buffer[16]), 0x01010100u);
    EXPECT_FALSE(rw::AddSizeDelta(buffer.data(), buffer.size(), 17, 1));
    EXPECT_EQ(rw::Load32(&buffer[16]), 0x01010100u);
}

TEST(Chunk, MemoryStreamReadsShortAndSeeksNeverBeforeTheStart) {
    const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    rw::MemoryStream stream(ten.data(), ten.size());
    uint8_t buffer[4];
    uint64_t position = 0;
    EXPECT_TRUE(rw::Skip(stream, 8, &position));
    EXPECT_EQ(stream.Read(buffer, 4), 2u);
    EXPECT_TRUE(rw::Skip(stream, 100, &position));
    EXPECT_EQ(stream.Read(buffer, 4), 0u);
    EXPECT_FALSE(rw::Skip(stream, -111, &position));
    EXPECT_TRUE(rw::Skip(stream, -110, &position));
    EXPECT_EQ(position, 0u);
    uint16_t flags = 0;
    EXPECT_TRUE(rw::ReadFlags16(stream, &flags));
    EXPECT_EQ(flags, 0x0100);
}

}  // namespace
