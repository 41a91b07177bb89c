#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using DayStage = MergeTest;
using Layout = modelgen::ModelLayout;
using testsupport::Operation;

Bytes Cut(ModelShape shape, size_t at) {
    shape.truncateAt = at;
    return Build(shape);
}

// The model with the size field of one of its chunks set to size.
Bytes Resized(const ModelShape& shape, size_t Layout::*chunk, uint32_t size) {
    Model model = modelgen::BuildModel(shape);
    Set32(model.bytes, model.layout.*chunk + 4, size);
    return model.bytes;
}

struct Refusal {
    const char* name;
    Bytes file;  // none: the file is missing
    std::string log;  // after the line " Opening file: ..."
    bool alwaysMerge = false;
    int failedAllocation = 0;   // which allocation fails, if one does
    uint64_t declaredSize = 0;  // the size the file claims, if not its own
};

std::vector<Refusal> Refusals() {
    const ModelShape three = WithVertices(3);
    const size_t data = modelgen::LayoutOf(three).firstGeometryData;
    ModelShape notClump = three, other = three, notPrelit = three, noExtension = three, huge = three,
              laterExtension = three;
    notClump.firstChunkType = 0x0E;
    other.version = 0x1803FFFE;
    notPrelit.geometries[0].prelit = false;
    noExtension.geometries[0].hasExtension = false;
    laterExtension.geometries[0].hasExtension = false;
    laterExtension.geometries.push_back(modelgen::GeometryShape{});
    huge.overrideVertexCount = true;
    huge.vertexCountField = 0xFFFFFFFF;
    const std::string a = " Analyzing file...\r\n",
                      noClump = a + " Error: File doesn't contain Clump.\r\n",
                      n3 = a + " 3 vertex.\r\n", n4 = a + " 4 vertex.\r\n",
                      inData = a + " Error: File ends inside the geometry data.\r\n",
                      tooMany = " Error: Vertex count doesn't fit the file.\r\n";
    return {
        {"Missing", {}, " Error: The system cannot find the file specified.\r\n"},
        {"Short", {0x10, 0, 0}, noClump},
        {"NotClump", Build(notClump), noClump},
        {"ClumpCutBeforeVersion", {0x10, 0, 0, 0, 0, 0, 0, 0, 0xFF}, noClump},
        {"OtherVersion", Build(other), a + " Error: RW Version ID doesn't match.\r\n"},
        {"NoGeometryList", Cut(three, modelgen::LayoutOf(three).geometryList + 2),
         a + " Error: File doesn't contain Geometry List.\r\n"},
        {"NotPrelit", Build(notPrelit), a + " Error: File doesn't contain Vertex Color.\r\n"},
        {"NoExtension", Build(noExtension), n3 + " Error: File doesn't contain Extension.\r\n"},
        // The search for the Extension stays inside the first Geometry.
        {"ExtensionOnlyInALaterGeometry", Build(laterExtension),
         n3 + " Error: File doesn't contain Extension.\r\n"},
        {"HasNightColours", Build(WithOldChunk(1, 4)),
         n4 + " Error: File already contain Night Vertex Color.\r\n"},
        // Left open by the format's own rules: each now a clear error.
        {"EndsInFlags", Cut(three, data + 1), inData},
        {"EndsInVertexCount", Cut(three, data + 10), inData},
        {"EndsInColours", Cut(three, data + 16 + 10), n3 + tooMany},
        {"HugeVertexCountAllocatesNothing", Build(huge), a + " 4294967295 vertex.\r\n" + tooMany},
        {"ExtensionPastFile", Resized(three, &Layout::firstExtension, 0x7FFFFFF0),
         n3 + " Error: Extension runs past the end of the file.\r\n"},
        {"ExtensionPastGeometry", Resized(three, &Layout::firstExtension, 12),
         n3 + " Error: Extension runs past the end of the Geometry.\r\n"},
        {"OldChunkPastFile", Resized(WithOldChunk(2, 1), &Layout::nightChunk, 0x7FFFFFF0),
         n4 + " Error: Night Vertex Color runs past the end of the file.\r\n", true},
        {"OldChunkPastExtension", Resized(WithOldChunk(2, 1), &Layout::nightChunk, 8 + 12),
         n4 + " Error: Night Vertex Color runs past the end of the Extension.\r\n", true},
        // ImageSize = file size + 16 + 4n must fit 32 bits; checked before allocating.
        {"ImageOver32Bits", Build(three), n3 + " Error: File is too large.\r\n", false, 0,
         0xFFFFFFFFu - 28 + 1},
        {"FirstAllocationFails", Build(three), n3 + " Error: Not enough memory.\r\n", false, 1},
        {"SecondAllocationFails", Build(three), n3 + " Error: Not enough memory.\r\n", false, 2},
        {"ImageOfExactly32BitsFindsNoMemory", Build(three), n3 + " Error: Not enough memory.\r\n",
         false, 0, 0xFFFFFFFFu - 28},
    };
}

TEST_F(DayStage, RefusedFilesAreLeftAloneAndEverythingIsReleased) {
    for (const Refusal& r : Refusals()) {
        SCOPED_TRACE(r.name);
        platform.log.clear();
        platform.checked[AlwaysMerge] = r.alwaysMerge;
        platform.files.clear();
        if (!r.file.empty()) platform.files[DayPath] = r.file;
        platform.declaredSize.clear();
        if (r.declaredSize) platform.declaredSize[DayPath] = r.declaredSize;
        const int allocations = platform.calls[static_cast<int>(Operation::Allocate)];
        if (r.failedAllocation)
            platform.FailCall(Operation::Allocate, allocations + r.failedAllocation,
                              testsupport::SystemError::NotEnoughMemory);
        platform.largestAllocation = 0;
        const auto before = platform.files;
        Drop(DayPath);
        EXPECT_EQ(platform.log,
                  " Opening file: " + std::string(DayPath) + "\r\n" + r.log + Ready);
        EXPECT_EQ(platform.files, before);
        if (r.declaredSize != 0xFFFFFFFFu - 28) {  // the largest image that fits is tried
            EXPECT_LT(platform.largestAllocation, size_t{1} << 20);
        }
        ExpectBackToDay();
    }
}

// The new chunk replaces the old one or ends the first Extension; exactly the
// chunks that hold it change their sizes.
TEST_F(DayStage, NewChunkGoesIntoTheFirstExtensionAndItsContainersGrow) {
    const ModelShape three = WithVertices(3);
    ModelShape plugged = three, two = three, listAfter = WithVertices(5), inClumpExtension = three,
              clumpChild = three, afterClump = three, afterEmpty = three;
    plugged.geometries[0].plugins = {Plugin(0x0116, 8)};
    plugged.chunksBeforeGeometryList = {Plugin(0x0253F2F8, 6)};
    two.geometries.push_back(WithVertices(9).geometries[0]);
    listAfter.geometryListAfterClump = true;
    // Only a child of the first Geometry's Extension counts as an old chunk.
    inClumpExtension.clumpPlugins = {{0x0253F2F9, Bytes(4 + 4 * 3, 0x77)}};
    clumpChild.clumpPlugins = {Plugin(0x0116, 12)};
    afterClump.trailing = modelgen::NightColourChunk(Pattern(1, 3));
    afterEmpty.geometryListAfterClump = true;   // the empty Extension ends the file...
    afterEmpty.trailing = afterClump.trailing;  // ...but for this chunk
    const unsigned notClump = List | Geometry | Extension;
    struct Case {
        std::string name;
        Model day;
        uint32_t n;
        unsigned grow;
    };
    std::vector<Case> cases = {
        {"Plugged", modelgen::BuildModel(plugged), 3, All},
        {"ZeroVertices", modelgen::BuildModel(WithVertices(0)), 0, All},
        {"OnlyTheFirstOfTwoGeometries", modelgen::BuildModel(two), 3, All},
        {"GeometryListAfterTheClump", modelgen::BuildModel(listAfter), 5, notClump},
        {"NightChunkInTheClumpsExtension", modelgen::BuildModel(inClumpExtension), 3, All},
        {"NightChunkAsAClumpChild", modelgen::BuildModel(clumpChild), 3, All},
        {"NightChunkAfterTheClump", modelgen::BuildModel(afterClump), 3, All},
        {"NightChunkAfterAnEmptyExtension", modelgen::BuildModel(afterEmpty), 3, notClump},
    };
    // The Clump's Extension, its last child, made a night colour chunk.
    Bytes& patched = cases[5].day.bytes;
    Set32(patched, 12 + Get32(patched, 4) - 36, 0x0253F2F9);
    // Old chunks first, between plugins or last; shorter, as long or longer.
    for (int index : {0, 1, 2})
        for (uint32_t n : {1u, 4u, 9u})
            cases.push_back({"OldChunk" + std::to_string(index) + "Of" + std::to_string(n),
                             modelgen::BuildModel(WithOldChunk(index, n)), 4, All});
    platform.checked[OneFileMode] = true;
    platform.checked[AlwaysMerge] = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.files[DayPath] = c.day.bytes;
        Drop(DayPath);
        EXPECT_EQ(File(DayPath), Expected(c.day, Grey(c.n), c.grow));
        EXPECT_TRUE(IsChunkTree(File(DayPath)));
    }
    ExpectBackToDay();
}

TEST_F(DayStage, DayFileIsReadAtMostTwice) {
    ModelShape shape = WithVertices(5000);
    shape.geometries[0].plugins = {Plugin(0x0116, 64), Plugin(0x0120, 64)};
    Model day = MergeOneFile(shape);
    EXPECT_EQ(platform.opensForReading[DayPath], 1);
    // Once whole; before that only headers, the geometry's fields and colours.
    EXPECT_LE(platform.bytesRead[DayPath], day.bytes.size() + 4 * 5000 + 200);
}

}  // namespace
}  // namespace mergetest
