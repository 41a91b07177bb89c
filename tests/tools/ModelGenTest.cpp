#include "tools/modelgen/ModelGen.h"

#include <gtest/gtest.h>

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
    ModelSpec spec;
    spec.geometries[0].plugins = {RawChunk{0x0116, Bytes(8, 1)}, RawChunk{0x050E, Bytes(3, 2)}};
    spec.geometries[0].nightChunkIndex = nightIndex;
    spec.geometries[0].nightChunkVertices = nightVertices;
    return spec;
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

}  // namespace
