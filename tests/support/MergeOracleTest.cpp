// The oracle checked against models whose layout the generator reports, so
// that the fuzzer's yardstick is itself measured once.
#include <gtest/gtest.h>

#include "tests/support/ChunkTree.h"
#include "tests/support/MergeOracle.h"
#include "tools/modelgen/ModelGen.h"

namespace {

using modelgen::ModelShape;
using testsupport::Bytes;

uint32_t SizeAt(const Bytes& b, size_t chunk) {
    return b[chunk + 4] | b[chunk + 5] << 8 | b[chunk + 6] << 16 | uint32_t{b[chunk + 7]} << 24;
}

struct Merged {
    testsupport::DayVerdict verdict;
    Bytes out;
};

Merged Merge(const modelgen::Model& model, bool alwaysMerge) {
    Merged m;
    m.verdict = testsupport::JudgeDayFile(model.bytes.data(), model.bytes.size(), alwaysMerge);
    if (m.verdict.accepted) {
        m.out = testsupport::ExpectedOutput(model.bytes.data(), model.bytes.size(), m.verdict,
                                            m.verdict.dayColours.data());
    }
    return m;
}

TEST(MergeOracle, InsertsAtTheExtensionsEndAndGrowsTheFourEnclosingChunks) {
    modelgen::Model model = modelgen::BuildModel(ModelShape{});
    Merged m = Merge(model, false);
    ASSERT_TRUE(m.verdict.accepted);
    EXPECT_EQ(m.verdict.insertionOffset, model.layout.firstExtensionEnd);
    ASSERT_EQ(m.out.size(), model.bytes.size() + 28);
    for (size_t chunk : {model.layout.clump, model.layout.geometryList, model.layout.firstGeometry,
                         model.layout.firstExtension})
        EXPECT_EQ(SizeAt(m.out, chunk), SizeAt(model.bytes, chunk) + 28);
    EXPECT_TRUE(testsupport::CheckChunkTree(m.out.data(), m.out.size(), nullptr));
}

TEST(MergeOracle, ReplacingAChunkOfTheSameLengthKeepsEverySize) {
    ModelShape shape;
    shape.geometries[0].plugins = {{0x0116, {1, 2, 3, 4}}};
    shape.geometries[0].nightChunkIndex = 0;
    shape.geometries[0].nightChunkVertices = 3;
    modelgen::Model model = modelgen::BuildModel(shape);
    EXPECT_FALSE(Merge(model, false).verdict.accepted);
    Merged m = Merge(model, true);
    ASSERT_TRUE(m.verdict.accepted);
    EXPECT_EQ(m.verdict.insertionOffset, model.layout.nightChunk);
    ASSERT_EQ(m.out.size(), model.bytes.size());
    for (size_t chunk : {model.layout.clump, model.layout.firstExtension})
        EXPECT_EQ(SizeAt(m.out, chunk), SizeAt(model.bytes, chunk));
}

TEST(MergeOracle, AGeometryListBehindTheClumpLeavesTheClumpsSize) {
    ModelShape shape;
    shape.geometryListAfterClump = true;
    modelgen::Model model = modelgen::BuildModel(shape);
    Merged m = Merge(model, false);
    ASSERT_TRUE(m.verdict.accepted);
    EXPECT_EQ(SizeAt(m.out, 0), SizeAt(model.bytes, 0));
    EXPECT_EQ(SizeAt(m.out, model.layout.geometryList),
              SizeAt(model.bytes, model.layout.geometryList) + 28);
    EXPECT_TRUE(testsupport::CheckChunkTree(m.out.data(), m.out.size(), nullptr));
}

TEST(MergeOracle, RefusesFilesCutShortOrWithoutAnExtension) {
    modelgen::Model model = modelgen::BuildModel(ModelShape{});
    for (size_t cut : {model.layout.firstGeometryData + 9, model.layout.firstGeometryData + 20,
                       model.layout.firstExtensionEnd - 1}) {
        EXPECT_FALSE(testsupport::JudgeDayFile(model.bytes.data(), cut, true).accepted) << cut;
    }
    ModelShape shape;
    shape.geometries[0].hasExtension = false;
    shape.geometries.push_back(modelgen::GeometryShape{});  // its Extension is not the first's
    EXPECT_FALSE(Merge(modelgen::BuildModel(shape), true).verdict.accepted);
}

TEST(MergeOracle, NightColoursStopAtTheShorterCountAndTheEndOfTheFile) {
    ModelShape shape;
    shape.geometries[0].vertexCount = 2;
    modelgen::Model model = modelgen::BuildModel(shape);
    Bytes colours(12, 0xEE);
    ASSERT_EQ(testsupport::JudgeNightFile(model.bytes.data(), model.bytes.size(), 3, colours),
              testsupport::NightOutcome::Accepted);
    uint8_t second[4];
    modelgen::PatternColour(0, 1, second);
    EXPECT_EQ(Bytes(colours.begin() + 4, colours.begin() + 8), Bytes(second, second + 4));
    EXPECT_EQ(colours[8], 0xEE);

    size_t data = model.layout.firstGeometryData;
    uint8_t first[4];
    modelgen::PatternColour(0, 0, first);
    Bytes some(12, 0xEE);
    EXPECT_EQ(testsupport::JudgeNightFile(model.bytes.data(), data + 1, 3, some),
              testsupport::NightOutcome::EitherWay);
    ASSERT_EQ(testsupport::JudgeNightFile(model.bytes.data(), data + 18, 3, some),
              testsupport::NightOutcome::Accepted);
    EXPECT_EQ(some[1], 0xEE);  // half a colour in the file is none
    ASSERT_EQ(testsupport::JudgeNightFile(model.bytes.data(), data + 20, 3, some),
              testsupport::NightOutcome::Accepted);
    EXPECT_EQ(Bytes(some.begin(), some.begin() + 4), Bytes(first, first + 4));
    EXPECT_EQ(some[4], 0xEE);
}

}  // namespace
