// The sibling search over whole models from the generator, started where the
// day stage starts it: on the size field of the Clump's Struct.
#include <gtest/gtest.h>

#include "rwstream/Chunk.h"
#include "tools/modelgen/ModelGen.h"

namespace {

using modelgen::ModelSpec;
using modelgen::RawChunk;

constexpr uint64_t ClumpStructSize = 16;

rw::SearchResult SearchForList(const modelgen::Model& model, uint64_t* start) {
    rw::MemoryStream stream(model.bytes.data(), model.bytes.size());
    EXPECT_TRUE(rw::SeekTo(stream, ClumpStructSize));
    rw::SearchResult result = rw::FindSibling(stream, rw::TypeGeometryList, start);
    if (result == rw::SearchResult::Found) {
        EXPECT_EQ(stream.position, *start + 4);
    }
    return result;
}

TEST(SearchOverModels, GeometryListBehindSeveralOtherChunks) {
    ModelSpec shape;
    shape.chunksBeforeGeometryList = {RawChunk{0x11F, {}}, RawChunk{0x0F, modelgen::Bytes(40, 0x1A)},
                                     RawChunk{rw::TypeStruct, modelgen::Bytes(3, 0)}};
    modelgen::Model model = modelgen::BuildModel(shape);
    uint64_t start = 0;
    ASSERT_EQ(SearchForList(model, &start), rw::SearchResult::Found);
    EXPECT_EQ(start, model.layout.geometryList);
}

TEST(SearchOverModels, GeometryListAfterTheEndOfTheClumpIsFound) {
    ModelSpec shape;
    shape.geometryListAfterClump = true;
    shape.clumpPlugins = {RawChunk{0x253F2F8, modelgen::Bytes(12, 0)}};
    modelgen::Model model = modelgen::BuildModel(shape);
    ASSERT_GT(model.layout.geometryList, rw::Load32(model.bytes.data() + 4));
    uint64_t start = 0;
    ASSERT_EQ(SearchForList(model, &start), rw::SearchResult::Found);
    EXPECT_EQ(start, model.layout.geometryList);
}

TEST(SearchOverModels, ModelCutBeforeItsGeometryListEndsShort) {
    ModelSpec shape;
    shape.geometryListAfterClump = true;
    size_t list = modelgen::BuildModel(shape).layout.geometryList;
    uint64_t start = 0;
    shape.truncateAt = list + 3;  // the list's type field is cut
    EXPECT_EQ(SearchForList(modelgen::BuildModel(shape), &start), rw::SearchResult::ShortOnType);
    shape.truncateAt = list - 12 + 6;  // inside the size field of the Clump's empty Extension
    EXPECT_EQ(SearchForList(modelgen::BuildModel(shape), &start), rw::SearchResult::ShortOnSize);
}

}  // namespace
