#include "rwstream/Chunk.h"

#include <gtest/gtest.h>

#include "tools/modelgen/ModelGen.h"

namespace {

using modelgen::Bytes;

// Chunks back to back: headers, each with size bytes of payload (none for a
// size too large to hold), the whole cut after cut bytes.
Bytes Chunks(std::initializer_list<std::pair<uint32_t, uint32_t>> chunks, size_t cut = SIZE_MAX) {
    Bytes out;
    for (const auto& c : chunks) {
        for (uint32_t field : {c.first, c.second, rw::LibraryVersion})
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(field >> (8 * i)));
        out.resize(out.size() + (c.second > 0xFFFF ? 0 : c.second), 0xAA);
    }
    if (cut < out.size()) out.resize(cut);
    return out;
}

// Started on a chunk's size field, the search steps from sibling to sibling,
// past the end of any container, until a Geometry List or the end of the file.
TEST(SiblingSearch, FoundOrShortOnSizeOrOnType) {
    using rw::SearchResult;
    modelgen::ModelShape behind, after;
    behind.chunksBeforeGeometryList = {{0x11F, {}}, {0x0F, Bytes(40, 0x1A)}, {1, Bytes(3, 0)}};
    after.geometryListAfterClump = true;
    after.clumpPlugins = {{0x253F2F8, Bytes(12, 0)}};
    const modelgen::Model behindOthers = modelgen::BuildModel(behind);
    const modelgen::Model afterClump = modelgen::BuildModel(after);
    const struct {
        const char* name;
        Bytes bytes;
        uint64_t from;  // the size field the search starts on
        SearchResult result;
        uint64_t start = 0;  // of the chunk found
    } cases[] = {
        {"ZeroSizeChunk", Chunks({{1, 0}, {rw::TypeGeometryList, 0}}), 4, SearchResult::Found, 12},
        {"BehindSeveralChunks", behindOthers.bytes, 16, SearchResult::Found,
         behindOthers.layout.geometryList},
        {"AfterTheEndOfTheClump", afterClump.bytes, 16, SearchResult::Found,
         afterClump.layout.geometryList},
        {"NothingFollows", Chunks({{1, 4}}), 4, SearchResult::ShortOnType},
        {"TypeCut", Chunks({{1, 4}, {0x1A, 0}}, 16 + 1), 4, SearchResult::ShortOnType},
        {"SizeCut", Chunks({{1, 4}, {0x0E, 0}}, 16 + 5), 4, SearchResult::ShortOnSize},
        // A huge size moves past the end of the file: the search ends there.
        {"HugeSize", Chunks({{1, 4}, {0x0E, 0xFFFFFFFF}, {rw::TypeGeometryList, 0}}), 4,
         SearchResult::ShortOnType},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rw::MemoryStream stream(c.bytes.data(), c.bytes.size());
        ASSERT_TRUE(rw::SeekTo(stream, c.from));
        uint64_t start = 0;
        ASSERT_EQ(rw::FindSibling(stream, rw::TypeGeometryList, &start), c.result);
        if (c.result == SearchResult::Found) {
            EXPECT_EQ(start, c.start);
            EXPECT_EQ(stream.position, start + 4);
        }
    }
}

TEST(NightColourHeader, ThreeGreyVerticesMakeTheKnown28Bytes) {
    Bytes image(rw::NightColourChunkLength(3), 0x40);
    ASSERT_TRUE(rw::WriteNightColourHeader(image.data(), image.size(), 0, 3));
    for (size_t k = 16 + 3; k < image.size(); k += 4) image[k] = 0xFF;
    const Bytes expected = {0xF9, 0xF2, 0x53, 0x02, 0x10, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                            0x03, 0x18, 0x01, 0x01, 0x01, 0x01, 0x40, 0x40, 0x40, 0xFF,
                            0x40, 0x40, 0x40, 0xFF, 0x40, 0x40, 0x40, 0xFF};
    EXPECT_EQ(image, expected);
}

TEST(SizeBookkeeping, ReplacingALongerChunkWrapsTheSizesDown) {
    uint8_t size[4] = {0xE8, 0x03, 0, 0};  // 1000
    const uint32_t delta = rw::SizeDelta(16 + 4 * 2, 16 + 4 * 10);
    EXPECT_EQ(delta, 0xFFFFFFE0u);
    ASSERT_TRUE(rw::AddSizeDelta(size, 4, 0, delta));
    EXPECT_EQ(rw::Load32(size), 968u);
}

TEST(MemoryEdits, RefuseFieldsNotWhollyInsideTheBuffer) {
    Bytes image(20, 0x11);
    const Bytes before = image;
    EXPECT_FALSE(rw::WriteNightColourHeader(image.data(), image.size(), 5, 1));
    EXPECT_FALSE(rw::AddSizeDelta(image.data(), image.size(), 17, 1));
    EXPECT_FALSE(rw::AddSizeDelta(image.data(), image.size(), 0xFFFFFFFFFFFFFFFEull, 1));
    EXPECT_FALSE(rw::WriteNightColourHeader(image.data(), image.size(), 0xFFFFFFFFFFFFFFF8ull, 1));
    EXPECT_EQ(image, before);
    EXPECT_TRUE(rw::WriteNightColourHeader(image.data(), image.size(), 4, 1));
    EXPECT_TRUE(rw::AddSizeDelta(image.data(), image.size(), 16, 1));
}

}  // namespace
