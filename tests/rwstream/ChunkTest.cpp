// The chunk reader's edges that whole merges cannot tell apart or reach.
#include <gtest/gtest.h>

#include "rwstream/Chunk.h"
#include "tests/support/MemoryOs.h"

namespace {

using testsupport::Bytes;

// Type 1 with 4 payload bytes at 0, type 2 with none at 16, type 3 with 8 at
// 28; 48 bytes in all, cut to size. The stream stands on the first size field.
rw::ByteStream* Chunks(testsupport::MemoryOs& os, size_t size) {
    Bytes bytes(48, 0);
    for (const auto& chunk : {std::pair<int, int>{0, 4}, {16, 0}, {28, 8}}) {
        rw::Store32(&bytes[chunk.first], chunk.first / 12 + 1);
        rw::Store32(&bytes[chunk.first + 4], chunk.second);
    }
    bytes.resize(size);
    os.files["chunks"] = bytes;
    rw::ByteStream* stream = nullptr;
    os.OpenForReading("chunks", &stream);
    rw::SeekTo(*stream, 4);
    return stream;
}

TEST(Chunk, SiblingSearches) {
    const struct {
        size_t size;
        uint32_t wanted;
        rw::SearchResult result;
        uint64_t start;
    } unbounded[] = {
        {48, 2, rw::SearchResult::Found, 16},  // a payload stepped over
        {48, 3, rw::SearchResult::Found, 28},  // a zero size stepped over
        {48, 9, rw::SearchResult::ShortOnType, 0}, {34, 9, rw::SearchResult::ShortOnSize, 0},
        {30, 9, rw::SearchResult::ShortOnType, 0}, {22, 9, rw::SearchResult::ShortOnSize, 0},
    };
    for (const auto& c : unbounded) {
        testsupport::MemoryOs os;
        rw::ByteStream* stream = Chunks(os, c.size);
        uint64_t start = 0, position = 0;
        EXPECT_EQ(rw::FindSibling(*stream, c.wanted, &start), c.result) << c.size;
        rw::Skip(*stream, 0, &position);
        EXPECT_EQ(start, c.start);
        EXPECT_TRUE(c.result != rw::SearchResult::Found || position == c.start + 4);
        os.Close(stream);
    }
    // Kept inside a container: a chunk counts when its whole header is in.
    const uint64_t bounded[][3] = {{48, 3, 28}, {40, 3, 28}, {39, 3, 0}, {28, 2, 16}, {27, 2, 0}};
    for (const auto& c : bounded) {
        testsupport::MemoryOs os;
        rw::ByteStream* stream = Chunks(os, 48);
        uint64_t found = 0;
        EXPECT_EQ(rw::FindSiblingWithin(*stream, 0, c[0], static_cast<uint32_t>(c[1]), &found), c[2] != 0);
        EXPECT_EQ(found, c[2]) << c[0];
        os.Close(stream);
    }
}

TEST(Chunk, EditsStayInsideTheBuffer) {
    Bytes buffer(20, 0);
    EXPECT_TRUE(rw::WriteNightColourHeader(buffer.data(), buffer.size(), 4, 3));
    EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.end()),
              (Bytes{0xF9, 0xF2, 0x53, 0x02, 0x10, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18, 1, 1, 1, 1}));
    EXPECT_FALSE(rw::WriteNightColourHeader(buffer.data(), buffer.size(), 5, 3));
    EXPECT_TRUE(rw::AddSizeDelta(buffer.data(), buffer.size(), 16, 0xFFFFFFFF));  // wraps
    EXPECT_FALSE(rw::AddSizeDelta(buffer.data(), buffer.size(), 17, 1));
    EXPECT_EQ(rw::Load32(&buffer[16]), 0x01010100u);
}

}  // namespace
