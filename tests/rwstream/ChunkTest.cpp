#include "rwstream/Chunk.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A chunk header followed by size bytes of payload filled with fill.
void PutChunk(Bytes& out, uint32_t type, uint32_t size, uint8_t fill = 0xAA) {
    Put32(out, type);
    Put32(out, size);
    Put32(out, rw::LibraryVersion);
    out.insert(out.end(), size, fill);
}

// Positions a stream on the size field of the chunk at offset 0, as the
// search expects.
rw::MemoryStream OnFirstSize(const Bytes& bytes) {
    rw::MemoryStream stream(bytes.data(), bytes.size());
    EXPECT_TRUE(rw::SeekTo(stream, 4));
    return stream;
}

TEST(ChunkRead, FieldsAreLittleEndianAndShortReadsFail) {
    Bytes bytes = {0x78, 0x56, 0x34, 0x12, 0x08, 0x00, 0x01};
    rw::MemoryStream stream(bytes.data(), bytes.size());
    uint32_t value = 0;
    uint16_t flags = 0;
    ASSERT_TRUE(rw::ReadField32(stream, &value));
    EXPECT_EQ(value, 0x12345678u);
    ASSERT_TRUE(rw::ReadFlags16(stream, &flags));
    EXPECT_EQ(flags, 0x0008);
    EXPECT_FALSE(rw::ReadField32(stream, &value));
    EXPECT_FALSE(rw::ReadFlags16(stream, &flags));
}

TEST(ChunkRead, SeeksReportThePositionAndRefuseToGoBeforeTheStart) {
    Bytes bytes(10);
    rw::MemoryStream stream(bytes.data(), bytes.size());
    uint64_t at = 0;
    ASSERT_TRUE(rw::Skip(stream, 8, &at));
    EXPECT_EQ(at, 8u);
    ASSERT_TRUE(rw::Skip(stream, -3, &at));
    EXPECT_EQ(at, 5u);
    EXPECT_FALSE(rw::Skip(stream, -6, &at));
    EXPECT_EQ(stream.position, 5u);
    ASSERT_TRUE(rw::Skip(stream, 100, &at));
    EXPECT_EQ(at, 105u);
    uint32_t value;
    EXPECT_FALSE(rw::ReadField32(stream, &value));
}

TEST(SiblingSearch, FindsTheTypeBehindOtherChunksAndReportsItsStart) {
    Bytes bytes;
    PutChunk(bytes, rw::TypeStruct, 12);
    PutChunk(bytes, rw::TypeFrameList, 40);
    PutChunk(bytes, 0x1234, 0);
    PutChunk(bytes, rw::TypeGeometryList, 4, 0x55);
    rw::MemoryStream stream = OnFirstSize(bytes);
    uint64_t start = 0;
    ASSERT_EQ(rw::FindSibling(stream, rw::TypeGeometryList, &start), rw::SearchResult::Found);
    EXPECT_EQ(start, 24u + 52u + 12u);
    EXPECT_EQ(stream.position, start + 4);
}

TEST(SiblingSearch, ZeroSizeChunkIsOnlyItsHeader) {
    Bytes bytes;
    PutChunk(bytes, rw::TypeStruct, 0);
    PutChunk(bytes, rw::TypeExtension, 0);
    rw::MemoryStream stream = OnFirstSize(bytes);
    uint64_t start = 0;
    ASSERT_EQ(rw::FindSibling(stream, rw::TypeExtension, &start), rw::SearchResult::Found);
    EXPECT_EQ(start, 12u);
}

TEST(SiblingSearch, CarriesOnPastTheEndOfTheContainer) {
    // A Clump whose children hold no Geometry List, and one after the Clump.
    Bytes bytes;
    Put32(bytes, rw::TypeClump);
    Put32(bytes, 12 + 4);
    Put32(bytes, rw::LibraryVersion);
    PutChunk(bytes, rw::TypeStruct, 4);
    PutChunk(bytes, rw::TypeGeometryList, 0);
    rw::MemoryStream stream(bytes.data(), bytes.size());
    ASSERT_TRUE(rw::SeekTo(stream, 16));
    uint64_t start = 0;
    ASSERT_EQ(rw::FindSibling(stream, rw::TypeGeometryList, &start), rw::SearchResult::Found);
    EXPECT_EQ(start, 28u);
}

TEST(SiblingSearch, EndsShortOnTypeOrOnSize) {
    Bytes bytes;
    PutChunk(bytes, rw::TypeStruct, 4);
    Bytes atEnd = bytes;  // nothing follows: the next type is missing
    rw::MemoryStream onType = OnFirstSize(atEnd);
    EXPECT_EQ(rw::FindSibling(onType, rw::TypeGeometryList), rw::SearchResult::ShortOnType);

    Bytes cutInType = bytes;
    cutInType.push_back(0x1A);
    rw::MemoryStream partialType = OnFirstSize(cutInType);
    EXPECT_EQ(rw::FindSibling(partialType, rw::TypeGeometryList), rw::SearchResult::ShortOnType);

    Bytes typeOnly = bytes;
    Put32(typeOnly, rw::TypeFrameList);
    typeOnly.push_back(1);  // the size field is cut off
    rw::MemoryStream onSize = OnFirstSize(typeOnly);
    EXPECT_EQ(rw::FindSibling(onSize, rw::TypeGeometryList), rw::SearchResult::ShortOnSize);
}

TEST(SiblingSearch, HugeSizeMovesPastTheEndAndTheSearchEnds) {
    Bytes bytes;
    PutChunk(bytes, rw::TypeStruct, 4);
    Put32(bytes, rw::TypeFrameList);
    Put32(bytes, 0xFFFFFFFF);
    Put32(bytes, rw::LibraryVersion);
    PutChunk(bytes, rw::TypeGeometryList, 0);
    rw::MemoryStream stream = OnFirstSize(bytes);
    EXPECT_EQ(rw::FindSibling(stream, rw::TypeGeometryList), rw::SearchResult::ShortOnType);
    EXPECT_GT(stream.position, 0xFFFFFFFFu);
}

TEST(NightColourHeader, ThreeGreyVerticesMakeTheKnown28Bytes) {
    const uint32_t n = 3;
    Bytes image(rw::NightColourChunkLength(n));
    ASSERT_TRUE(rw::WriteNightColourHeader(image.data(), image.size(), 0, n));
    for (uint32_t k = 0; k < n; ++k) {
        const uint8_t grey[4] = {64, 64, 64, 255};
        std::copy(grey, grey + 4, image.begin() + 16 + 4 * k);
    }
    const Bytes expected = {0xF9, 0xF2, 0x53, 0x02, 0x10, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                            0x03, 0x18, 0x01, 0x01, 0x01, 0x01, 0x40, 0x40, 0x40, 0xFF,
                            0x40, 0x40, 0x40, 0xFF, 0x40, 0x40, 0x40, 0xFF};
    EXPECT_EQ(image, expected);
}

TEST(NightColourHeader, ZeroVerticesGiveSizeFour) {
    Bytes image(16);
    ASSERT_TRUE(rw::WriteNightColourHeader(image.data(), image.size(), 0, 0));
    EXPECT_EQ(rw::Load32(image.data() + 4), 4u);
    EXPECT_EQ(rw::NightColourChunkLength(0), 16u);
}

TEST(SizeBookkeeping, ReplacingALongerChunkWrapsTheSizesDown) {
    Bytes image;
    Put32(image, 1000);
    uint32_t delta = rw::SizeDelta(16 + 4 * 2, 16 + 4 * 10);
    EXPECT_EQ(delta, 0xFFFFFFE0u);
    ASSERT_TRUE(rw::AddSizeDelta(image.data(), image.size(), 0, delta));
    EXPECT_EQ(rw::Load32(image.data()), 968u);
    EXPECT_EQ(rw::SizeDelta(24, 24), 0u);
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
