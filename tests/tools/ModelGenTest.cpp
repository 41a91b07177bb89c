#include "tools/modelgen/ModelGen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "rwstream/Chunk.h"
#include "tests/support/ChunkTree.h"
#include "tools/modelgen/CommandLine.h"

namespace {

using modelgen::Bytes;
using modelgen::ModelLayout;
using modelgen::ModelShape;

uint32_t At32(const Bytes& bytes, size_t offset) { return rw::Load32(bytes.data() + offset); }

ModelShape Shape(void (*change)(ModelShape&)) {
    ModelShape shape;
    change(shape);
    return shape;
}

void NightChunkAt(ModelShape& s, int index) {
    s.geometries[0].plugins = {{0x0116, Bytes(8, 1)}, {0x050E, Bytes(3, 2)}};
    s.geometries[0].nightChunkIndex = index;
    s.geometries[0].nightChunkVertices = 5;
}

// The layout that the pipeline tests build their expectations on, held to
// the bytes, for shapes of every kind.
TEST(ModelGen, ShapesAreConsistentTreesWithTheirLayout) {
    const ModelShape shapes[] = {
        ModelShape{},
        Shape([](ModelShape& s) { NightChunkAt(s, 0); }),
        Shape([](ModelShape& s) { NightChunkAt(s, 2); }),
        Shape([](ModelShape& s) {
            s.chunksBeforeGeometryList = {{0x0253F2F8, {}}, {0x1A0, Bytes(5, 7)}};
            s.clumpPlugins = {{rw::TypeNightColours, Bytes(8, 0)}};
        }),
        Shape([](ModelShape& s) { s.geometryListAfterClump = true; }),
        Shape([](ModelShape& s) {
            s.geometries[0].prelit = false;
            s.geometries[0].hasExtension = false;
        }),
        Shape([](ModelShape& s) { s.geometries[0].vertexCount = 0; }),
    };
    for (const ModelShape& shape : shapes) {
        const modelgen::GeometryShape& first = shape.geometries[0];
        SCOPED_TRACE(testing::Message() << &shape - shapes);
        const modelgen::Model model = modelgen::BuildModel(shape);
        const Bytes& b = model.bytes;
        const ModelLayout& at = model.layout;
        std::string why;
        EXPECT_TRUE(testsupport::CheckChunkTree(b.data(), b.size(), &why)) << why;
        EXPECT_EQ(at.geometryList >= 12 + At32(b, 4), shape.geometryListAfterClump);
        EXPECT_EQ(At32(b, at.geometryList), rw::TypeGeometryList);
        EXPECT_EQ(at.firstGeometryData, at.geometryList + rw::GeometryListToGeometryData);
        EXPECT_EQ(At32(b, at.firstGeometryData + rw::GeometryVertexCountOffset), first.vertexCount);
        ASSERT_EQ(at.firstExtension != SIZE_MAX, first.hasExtension);
        if (first.hasExtension) {
            const size_t extension = at.firstExtension;
            EXPECT_EQ(At32(b, extension), rw::TypeExtension);
            EXPECT_EQ(at.firstExtensionEnd, extension + 12 + At32(b, extension + 4));
        }
        ASSERT_EQ(at.nightChunk != SIZE_MAX, first.nightChunkIndex >= 0);
        if (first.nightChunkIndex >= 0) {
            EXPECT_EQ(At32(b, at.nightChunk), rw::TypeNightColours);
            EXPECT_EQ(at.nightChunkLength, 12 + At32(b, at.nightChunk + 4));
            EXPECT_EQ(at.nightChunk, first.nightChunkIndex == 0
                                         ? at.firstExtension + 12
                                         : at.firstExtensionEnd - at.nightChunkLength);
        }
    }
}

// Each malformation changes what it says and nothing else.
TEST(ModelGen, MalformedShapes) {
    const modelgen::Model whole = modelgen::BuildModel(ModelShape{});
    Bytes count = whole.bytes, version = whole.bytes, type = whole.bytes, trailing = whole.bytes;
    rw::Store32(&count[whole.layout.firstGeometryData + rw::GeometryVertexCountOffset], 0xFFFFFFF0);
    rw::Store32(&version[8], 0x1803FFFE);
    rw::Store32(&type[0], 0x11);
    trailing.insert(trailing.end(), {1, 2, 3});
    const std::pair<ModelShape, Bytes> cases[] = {
        {Shape([](ModelShape& s) {
             s.overrideVertexCount = true;
             s.vertexCountField = 0xFFFFFFF0;
         }),
         count},
        {Shape([](ModelShape& s) { s.version = 0x1803FFFE; }), version},
        {Shape([](ModelShape& s) { s.firstChunkType = 0x11; }), type},
        {Shape([](ModelShape& s) { s.trailing = {1, 2, 3}; }), trailing},
        {Shape([](ModelShape& s) { s.truncateAt = 50; }),
         Bytes(whole.bytes.begin(), whole.bytes.begin() + 50)},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(modelgen::BuildModel(c.first).bytes == c.second) << &c - cases;
}

// The file writer and BuildModel share one layout; a model larger than the
// writer's buffer, cut in the middle, must come out byte for byte the same.
TEST(ModelGen, FileMatchesTheModelInMemory) {
    ModelShape shape;
    NightChunkAt(shape, 1);
    shape.geometries[0].vertexCount = 300000;
    shape.geometries.push_back(modelgen::GeometryShape{});
    shape.truncateAt = 3000001;
    const std::string path = ::testing::TempDir() + "modelgen_test.dff";
    ASSERT_TRUE(modelgen::WriteModelFile(shape, path));
    std::ifstream file(path, std::ios::binary);
    const Bytes written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::remove(path.c_str());
    const modelgen::Model model = modelgen::BuildModel(shape);
    EXPECT_EQ(written.size(), 3000001u);
    EXPECT_TRUE(written == model.bytes);
    EXPECT_EQ(modelgen::LayoutOf(shape).nightChunk, model.layout.nightChunk);
    EXPECT_EQ(modelgen::LayoutOf(shape).firstExtensionEnd, model.layout.firstExtensionEnd);
    EXPECT_FALSE(modelgen::WriteModelFile(shape, ::testing::TempDir() + "no-such-dir/x.dff"));
}

TEST(ModelGen, CommandLineUsageErrorsSayWhat) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no output file given"},
        {{"--vertices", "-3", "a.dff"}, "invalid value '-3' for option '--vertices'"},
        {{"--night-chunk", "1:3", "a.dff"}, "night chunk index 1 is past the 0 plugin(s)"},
    };
    for (const auto& c : cases) {
        modelgen::CommandLine line;
        std::string error;
        EXPECT_FALSE(modelgen::ParseCommandLine(c.first, &line, &error));
        EXPECT_EQ(error, c.second);
    }
}

}  // namespace
