#include "tools/modelgen/ModelGen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "rwstream/Chunk.h"
#include "tests/support/ChunkTree.h"

namespace {

using modelgen::Bytes;
using modelgen::ModelSpec;
using modelgen::RawChunk;

uint32_t At32(const Bytes& bytes, size_t offset) { return rw::Load32(bytes.data() + offset); }

void ExpectTree(const Bytes& bytes) {
    std::string why;
    EXPECT_TRUE(testsupport::CheckChunkTree(bytes.data(), bytes.size(), &why)) << why;
}

ModelSpec Plugged(int nightIndex, uint32_t nightVertices) {
    ModelSpec shape;
    shape.geometries[0].plugins = {RawChunk{0x0116, Bytes(8, 1)}, RawChunk{0x050E, Bytes(3, 2)}};
    shape.geometries[0].nightChunkIndex = nightIndex;
    shape.geometries[0].nightChunkVertices = nightVertices;
    return shape;
}

TEST(ModelGen, DefaultModelIsAConsistentTreeWithTheFixedLayout) {
    modelgen::Model model = modelgen::BuildModel(ModelSpec{});
    const Bytes& b = model.bytes;
    const modelgen::ModelLayout& at = model.layout;
    ExpectTree(b);
    EXPECT_EQ(At32(b, 0), rw::TypeClump);
    EXPECT_EQ(At32(b, 4), b.size() - 12);
    EXPECT_EQ(At32(b, 8), rw::LibraryVersion);
    EXPECT_EQ(At32(b, at.geometryList), rw::TypeGeometryList);
    EXPECT_EQ(at.firstGeometry, at.geometryList + 28);
    EXPECT_EQ(at.firstGeometryData, at.geometryList + rw::GeometryListToGeometryData);
    EXPECT_EQ(b[at.firstGeometryData] & rw::FlagPrelit, rw::FlagPrelit);
    EXPECT_EQ(At32(b, at.firstGeometryData + rw::GeometryVertexCountOffset), 3u);
    uint8_t colour[4];
    modelgen::PatternColour(0, 2, colour);
    EXPECT_EQ(At32(b, at.firstGeometryData + rw::GeometryColoursOffset + 8), rw::Load32(colour));
    EXPECT_EQ(At32(b, at.firstExtension), rw::TypeExtension);
    EXPECT_EQ(at.firstExtensionEnd, at.firstExtension + 12 + At32(b, at.firstExtension + 4));
    EXPECT_EQ(at.nightChunk, SIZE_MAX);
}

TEST(ModelGen, NightChunkStandsFirstOrLastAmongThePlugins) {
    for (int index : {0, 2}) {
        modelgen::Model model = modelgen::BuildModel(Plugged(index, 5));
        const modelgen::ModelLayout& at = model.layout;
        ExpectTree(model.bytes);
        EXPECT_EQ(At32(model.bytes, at.nightChunk), rw::TypeNightColours);
        EXPECT_EQ(At32(model.bytes, at.nightChunk + 4), 4u + 4 * 5);
        EXPECT_EQ(at.nightChunkLength, 16u + 4 * 5);
        EXPECT_EQ(model.bytes[at.nightChunk + 16], 0x5A);
        size_t expected = index == 0 ? at.firstExtension + 12 : at.firstExtensionEnd - at.nightChunkLength;
        EXPECT_EQ(at.nightChunk, expected);
    }
}

TEST(ModelGen, OnlyTheFirstGeometryIsInTheLayoutAndEachHasItsOwnColours) {
    ModelSpec shape;
    shape.geometries.resize(3);
    modelgen::Model model = modelgen::BuildModel(shape);
    ExpectTree(model.bytes);
    EXPECT_EQ(At32(model.bytes, model.layout.geometryList + 24), 3u);
    uint8_t first[4], second[4];
    modelgen::PatternColour(0, 1, first);
    modelgen::PatternColour(1, 1, second);
    EXPECT_NE(rw::Load32(first), rw::Load32(second));
    size_t secondGeometry = model.layout.firstGeometry + 12 + At32(model.bytes, model.layout.firstGeometry + 4);
    EXPECT_EQ(At32(model.bytes, secondGeometry), rw::TypeGeometry);
    EXPECT_EQ(At32(model.bytes, secondGeometry + 24 + 16 + 4), rw::Load32(second));
}

TEST(ModelGen, GeometryListBehindOtherChunksOrAfterTheClump) {
    ModelSpec shape;
    shape.chunksBeforeGeometryList = {RawChunk{0x0253F2F8, {}}, RawChunk{0x1A0, Bytes(5, 7)}};
    shape.clumpPlugins = {RawChunk{rw::TypeNightColours, Bytes(8, 0)}};
    modelgen::Model inside = modelgen::BuildModel(shape);
    ExpectTree(inside.bytes);
    EXPECT_EQ(At32(inside.bytes, 36), 0x0253F2F8u);
    shape.geometryListAfterClump = true;
    modelgen::Model after = modelgen::BuildModel(shape);
    ExpectTree(after.bytes);
    EXPECT_EQ(after.bytes.size(), inside.bytes.size());
    EXPECT_EQ(after.layout.geometryList, 12 + At32(after.bytes, 4));
}

TEST(ModelGen, MalformedShapes) {
    ModelSpec shape;
    shape.geometries[0].vertexCount = 4;
    size_t wholeSize = modelgen::BuildModel(shape).bytes.size();

    shape.overrideVertexCount = true;
    shape.vertexCountField = 0xFFFFFFF0;
    modelgen::Model overridden = modelgen::BuildModel(shape);
    EXPECT_EQ(At32(overridden.bytes, overridden.layout.firstGeometryData + 8), 0xFFFFFFF0);
    EXPECT_EQ(overridden.bytes.size(), wholeSize);

    shape.trailing = {1, 2, 3};
    shape.truncateAt = 50;
    modelgen::Model cut = modelgen::BuildModel(shape);
    EXPECT_EQ(cut.bytes.size(), 50u);
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), overridden.bytes.begin()));
    EXPECT_FALSE(testsupport::CheckChunkTree(cut.bytes.data(), cut.bytes.size(), nullptr));

    shape.truncateAt = SIZE_MAX;
    shape.version = 0x1803FFFE;
    shape.firstChunkType = 0x11;
    Bytes tail = modelgen::BuildModel(shape).bytes;
    EXPECT_EQ(tail.size(), wholeSize + 3);
    EXPECT_EQ(tail.back(), 3);
    EXPECT_EQ(At32(tail, 0), 0x11u);
    EXPECT_EQ(At32(tail, 8), 0x1803FFFEu);
    EXPECT_EQ(At32(tail, 20), rw::LibraryVersion);
}

TEST(ModelGen, GeometryWithoutColoursOrExtensionAndWithGivenColours) {
    ModelSpec shape;
    shape.geometries[0].prelit = false;
    shape.geometries[0].hasExtension = false;
    modelgen::Model bare = modelgen::BuildModel(shape);
    ExpectTree(bare.bytes);
    EXPECT_EQ(bare.bytes[bare.layout.firstGeometryData] & rw::FlagPrelit, 0);
    EXPECT_EQ(bare.layout.firstExtension, SIZE_MAX);
    shape = ModelSpec{};
    shape.geometries[0].vertexCount = 0;
    shape.geometries[0].colours = {};
    modelgen::Model empty = modelgen::BuildModel(shape);
    ExpectTree(empty.bytes);
    // Struct: fields, one triangle, the morph target's sphere and flags, positions.
    EXPECT_EQ(At32(bare.bytes, bare.layout.firstGeometryData - 8), 16u + 8 + 24 + 12 * 3);
    EXPECT_EQ(At32(empty.bytes, empty.layout.firstGeometryData - 8), 16u + 8 + 24);
    shape.geometries[0].vertexCount = 2;
    shape.geometries[0].colours = {1, 2, 3, 4, 5, 6, 7, 8};
    modelgen::Model given = modelgen::BuildModel(shape);
    EXPECT_EQ(At32(given.bytes, given.layout.firstGeometryData + 20), 0x08070605u);
}

// The file writer and BuildModel share one layout; a model larger than the
// writer's buffer, cut in the middle, must come out byte for byte the same.
TEST(ModelGen, FileMatchesTheModelInMemory) {
    ModelSpec shape = Plugged(1, 7);
    shape.geometries[0].vertexCount = 300000;
    shape.geometries.push_back(modelgen::GeometrySpec{});
    shape.truncateAt = 3000001;
    std::string path = ::testing::TempDir() + "modelgen_test.dff";
    ASSERT_TRUE(modelgen::WriteModelFile(shape, path));
    std::ifstream file(path, std::ios::binary);
    Bytes written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::remove(path.c_str());
    modelgen::Model model = modelgen::BuildModel(shape);
    EXPECT_EQ(written.size(), 3000001u);
    EXPECT_TRUE(written == model.bytes);
    modelgen::ModelLayout layout = modelgen::LayoutOf(shape);
    EXPECT_EQ(layout.nightChunk, model.layout.nightChunk);
    EXPECT_EQ(layout.firstExtensionEnd, model.layout.firstExtensionEnd);
    EXPECT_FALSE(modelgen::WriteModelFile(shape, ::testing::TempDir() + "no-such-dir/x.dff"));
}

TEST(ModelGen, NightColourChunkBytes) {
    Bytes colours = {0x40, 0x40, 0x40, 0xFF, 0x40, 0x40, 0x40, 0xFF, 0x40, 0x40, 0x40, 0xFF};
    Bytes expected = {0xF9, 0xF2, 0x53, 0x02, 0x10, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18, 1, 1, 1, 1};
    expected.insert(expected.end(), colours.begin(), colours.end());
    EXPECT_EQ(modelgen::NightColourChunk(colours), expected);
}

}  // namespace
