#include <functional>

#include "tests/merge/MergeFixture.h"

namespace mergetest {
namespace {

using DayStage = MergeTest;

const char* const Analyzing = " Analyzing file...\r\n";

modelgen::RawChunk Plugin(uint32_t type, size_t length) { return {type, Bytes(length, 0xC3)}; }

modelgen::RawChunk NightChunkOf(uint32_t n) { return {0x0253F2F9, Bytes(4 + size_t{4} * n, 0x77)}; }

// A model with one plugin before and one after the spot of an old chunk.
ModelSpec WithOldChunk(int index, uint32_t vertices) {
    ModelSpec shape = WithVertices(4);
    shape.geometries[0].plugins = {Plugin(0x0116, 8), Plugin(0x0120, 12)};
    shape.geometries[0].nightChunkIndex = index;
    shape.geometries[0].nightChunkVertices = vertices;
    return shape;
}

// The day file is refused: the log after the analysis line, nothing written,
// nothing held.
struct Refusal {
    const char* name;
    std::function<Bytes()> file;
    std::string log;  // after " Analyzing file..."
    bool alwaysMerge;
};

Bytes Cut(ModelSpec shape, size_t at) {
    shape.truncateAt = at;
    return modelgen::BuildModel(shape).bytes;
}

Bytes Patched(const ModelSpec& shape, size_t (*where)(const modelgen::ModelLayout&), uint32_t v) {
    Model model = modelgen::BuildModel(shape);
    Set32(model.bytes, where(model.layout), v);
    return model.bytes;
}

size_t DataOf(const ModelSpec& shape) { return modelgen::LayoutOf(shape).firstGeometryData; }

std::vector<Refusal> Refusals() {
    const ModelSpec three = WithVertices(3);
    ModelSpec other = three, notPrelit = three, noExtension = three, huge = three;
    other.version = 0x1803FFFE;
    notPrelit.geometries[0].prelit = false;
    noExtension.geometries[0].hasExtension = false;
    huge.overrideVertexCount = true;
    huge.vertexCountField = 0xFFFFFFFF;
    const std::string count = " 3 vertex.\r\n";
    return {
        {"Short",
         [] {
             return Bytes{0x10, 0, 0};
         },
         " Error: File doesn't contain Clump.\r\n", false},
        {"NotClump",
         [] {
             ModelSpec s;
             s.firstChunkType = 0x0E;
             return modelgen::BuildModel(s).bytes;
         },
         " Error: File doesn't contain Clump.\r\n", false},
        {"ClumpCutBeforeVersion", [] { return Bytes{0x10, 0, 0, 0, 0, 0, 0, 0, 0xFF}; },
         " Error: File doesn't contain Clump.\r\n", false},
        {"OtherVersion", [=] { return modelgen::BuildModel(other).bytes; },
         " Error: RW Version ID doesn't match.\r\n", false},
        {"NoGeometryList", [=] { return Cut(three, modelgen::LayoutOf(three).geometryList + 2); },
         " Error: File doesn't contain Geometry List.\r\n", false},
        {"NotPrelit", [=] { return modelgen::BuildModel(notPrelit).bytes; },
         " Error: File doesn't contain Vertex Color.\r\n", false},
        {"NoExtension", [=] { return modelgen::BuildModel(noExtension).bytes; },
         count + " Error: File doesn't contain Extension.\r\n", false},
        {"HasNightColours", [] { return modelgen::BuildModel(WithOldChunk(1, 4)).bytes; },
         " 4 vertex.\r\n Error: File already contain Night Vertex Color.\r\n", false},
        // Left open by the format's own rules: each now a clear error.
        {"EndsInFlags", [=] { return Cut(three, DataOf(three) + 1); },
         " Error: File ends inside the geometry data.\r\n", false},
        {"EndsInVertexCount", [=] { return Cut(three, DataOf(three) + 10); },
         " Error: File ends inside the geometry data.\r\n", false},
        {"EndsInColours", [=] { return Cut(three, DataOf(three) + 16 + 10); },
         count + " Error: Vertex count doesn't fit the file.\r\n", false},
        {"HugeVertexCount", [=] { return modelgen::BuildModel(huge).bytes; },
         " 4294967295 vertex.\r\n Error: Vertex count doesn't fit the file.\r\n", false},
        {"ExtensionPastFile",
         [=] {
             return Patched(
                 three, [](const modelgen::ModelLayout& l) { return l.firstExtension + 4; },
                 0x7FFFFFF0);
         },
         count + " Error: Extension runs past the end of the file.\r\n", false},
        {"ExtensionPastGeometry",
         [=] {
             return Patched(
                 three, [](const modelgen::ModelLayout& l) { return l.firstExtension + 4; }, 12);
         },
         count + " Error: Extension runs past the end of the Geometry.\r\n", false},
        {"OldChunkPastFile",
         [] {
             return Patched(
                 WithOldChunk(2, 1),
                 [](const modelgen::ModelLayout& l) { return l.nightChunk + 4; }, 0x7FFFFFF0);
         },
         " 4 vertex.\r\n Error: Night Vertex Color runs past the end of the file.\r\n", true},
        {"OldChunkPastExtension",
         [] {
             return Patched(
                 WithOldChunk(2, 1),
                 [](const modelgen::ModelLayout& l) { return l.nightChunk + 4; }, 8 + 12);
         },
         " 4 vertex.\r\n Error: Night Vertex Color runs past the end of the Extension.\r\n", true},
    };
}

TEST_F(DayStage, RefusedFilesAreLeftAloneAndEverythingIsReleased) {
    for (const Refusal& r : Refusals()) {
        SCOPED_TRACE(r.name);
        platform.log.clear();
        platform.checked[AlwaysMerge] = r.alwaysMerge;
        platform.files = {{DayPath, r.file()}};
        const Bytes before = File(DayPath);
        Drop(DayPath);
        EXPECT_EQ(LogFrom(Analyzing), Analyzing + r.log + Ready);
        EXPECT_EQ(platform.files.size(), 1u);
        EXPECT_EQ(File(DayPath), before);
        EXPECT_LT(platform.largestAllocation, size_t{1} << 20);
        ExpectBackToDay();
    }
}

TEST_F(DayStage, MissingFileGivesTheSystemsText) {
    Drop(DayPath);
    EXPECT_EQ(platform.log, std::string(" Opening file: ") + DayPath +
                                "\r\n Error: The system cannot find the file specified.\r\n" +
                                Ready);
    EXPECT_EQ(platform.allocations, 0);
    ExpectBackToDay();
}

TEST_F(DayStage, FailedAllocationsAreReportedAndTheFirstBlockReleased) {
    for (int k : {1, 2}) {
        SCOPED_TRACE(k);
        platform.FailCall(testsupport::Operation::Allocate,
                          platform.calls[static_cast<int>(testsupport::Operation::Allocate)] + k,
                          testsupport::SystemError::NotEnoughMemory);
        Put(DayPath, WithVertices(3));
        platform.log.clear();
        Drop(DayPath);
        EXPECT_EQ(LogFrom(Analyzing),
                  std::string(Analyzing) + " 3 vertex.\r\n Error: Not enough memory.\r\n" + Ready);
        ExpectBackToDay();
    }
}

// ImageSize = file size + 16 + 4n must fit 32 bits; checked before allocating.
TEST_F(DayStage, ImageOfMoreThan32BitsIsRefusedBeforeAllocating) {
    Put(DayPath, WithVertices(3));
    platform.declaredSize[DayPath] = 0xFFFFFFFFu - 28 + 1;
    Drop(DayPath);
    EXPECT_EQ(LogFrom(" 3 vertex."),
              " 3 vertex.\r\n Error: File is too large.\r\n" + std::string(Ready));
    EXPECT_EQ(platform.largestAllocation, 0u);
    platform.declaredSize[DayPath] = 0xFFFFFFFFu - 28;  // fits, but not in this memory
    Drop(DayPath);
    EXPECT_EQ(LogFrom(" 3 vertex."),
              " 3 vertex.\r\n Error: Not enough memory.\r\n" + std::string(Ready));
    EXPECT_EQ(platform.largestAllocation, 0xFFFFFFFFu);
    ExpectBackToDay();
}

TEST_F(DayStage, UnreadableFileIsRefusedNotWrittenWithHoles) {
    Model day = Put(DayPath, WithVertices(3));
    platform.readableUpTo[DayPath] = day.layout.firstExtensionEnd + 3;
    Drop(DayPath);
    EXPECT_NE(platform.log.find(" Error: File could not be read.\r\n"), std::string::npos);
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

TEST_F(DayStage, NewChunkEndsTheFirstExtensionAndFourSizesGrow) {
    ModelSpec shape = WithVertices(3);
    shape.geometries[0].plugins = {Plugin(0x0116, 8)};
    shape.chunksBeforeGeometryList = {Plugin(0x0253F2F8, 6)};
    Model day = MergeOneFile(shape);
    EXPECT_EQ(File(DayPath), Expected(day, Repeat({64, 64, 64, 255}, 3)));
    EXPECT_TRUE(IsChunkTree(File(DayPath)));
    ExpectBackToDay();
}

TEST_F(DayStage, ZeroVerticesGetAnEmptyChunk) {
    Model day = MergeOneFile(WithVertices(0));
    EXPECT_NE(platform.log.find(" 0 vertex.\r\n"), std::string::npos);
    EXPECT_EQ(File(DayPath), Expected(day, {}));
    EXPECT_EQ(File(DayPath).size(), day.bytes.size() + 16);
    EXPECT_TRUE(IsChunkTree(File(DayPath)));
}

TEST_F(DayStage, OnlyTheFirstOfTwoGeometriesGetsTheChunk) {
    ModelSpec shape = WithVertices(3);
    shape.geometries.push_back(modelgen::GeometrySpec{});
    shape.geometries[1].vertexCount = 9;
    Model day = MergeOneFile(shape);
    EXPECT_EQ(File(DayPath), Expected(day, Repeat({64, 64, 64, 255}, 3)));
    EXPECT_EQ(platform.log.find(" 9 vertex."), std::string::npos);
    EXPECT_TRUE(IsChunkTree(File(DayPath)));
}

TEST_F(DayStage, OldChunkFirstOrLaterOfAnyLengthIsReplacedWhole) {
    for (int index : {0, 1, 2}) {
        for (uint32_t vertices : {4u, 1u, 9u}) {
            SCOPED_TRACE(testing::Message() << index << " " << vertices);
            platform.log.clear();
            platform.checked[AlwaysMerge] = true;
            Model day = MergeOneFile(WithOldChunk(index, vertices));
            EXPECT_NE(platform.log.find(
                          " 4 vertex.\r\n Warning: File already contain Night Vertex Color.\r\n"),
                      std::string::npos);
            EXPECT_EQ(File(DayPath), Expected(day, Repeat({64, 64, 64, 255}, 4)));
            EXPECT_TRUE(IsChunkTree(File(DayPath)));
            if (vertices == 4) {
                EXPECT_EQ(File(DayPath).size(), day.bytes.size());
            }
            ExpectBackToDay();
        }
    }
}

TEST_F(DayStage, WrittenModelDroppedAgainIsReplacedInPlace) {
    MergeOneFile(WithVertices(2));
    const Bytes first = File(DayPath);
    platform.checked[AlwaysMerge] = true;
    Drop(DayPath);
    EXPECT_EQ(File(DayPath), first);
    platform.checked[AlwaysMerge] = false;
    Drop(DayPath);
    EXPECT_NE(platform.log.find(" Error: File already contain Night Vertex Color.\r\n"),
              std::string::npos);
    EXPECT_EQ(File(DayPath), first);
}

// The search for the Extension stays inside the first Geometry.
TEST_F(DayStage, ExtensionOfALaterGeometryIsNotTaken) {
    ModelSpec shape = WithVertices(3);
    shape.geometries[0].hasExtension = false;
    shape.geometries.push_back(modelgen::GeometrySpec{});
    Model day = MergeOneFile(shape);
    EXPECT_NE(platform.log.find(" Error: File doesn't contain Extension.\r\n"), std::string::npos);
    EXPECT_EQ(File(DayPath), day.bytes);
    ExpectBackToDay();
}

// Only a child of the first Extension counts as an old night colour chunk.
TEST_F(DayStage, NightChunksOutsideTheExtensionAreLeftAlone) {
    ModelSpec inClumpExtension = WithVertices(3), clumpChild = WithVertices(3),
              afterClump = WithVertices(3), afterEmpty = WithVertices(3);
    inClumpExtension.clumpPlugins = {NightChunkOf(3)};
    clumpChild.clumpPlugins = {Plugin(0x0116, 12)};
    afterClump.trailing = modelgen::NightColourChunk(Repeat({1, 2, 3, 4}, 3));
    afterEmpty.geometryListAfterClump = true;   // the empty Extension ends the file...
    afterEmpty.trailing = afterClump.trailing;  // ...but for this chunk
    std::vector<std::pair<Model, unsigned>> cases = {
        {modelgen::BuildModel(inClumpExtension), All},
        {modelgen::BuildModel(clumpChild), All},
        {modelgen::BuildModel(afterClump), All},
        {modelgen::BuildModel(afterEmpty), List | Geometry | Extension}};
    // The Clump's Extension, its last child, made a night colour chunk.
    Bytes& patched = cases[1].first.bytes;
    Set32(patched, 12 + Get32(patched, 4) - 36, 0x0253F2F9);
    for (bool alwaysMerge : {false, true}) {
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(testing::Message() << i << alwaysMerge);
            platform.log.clear();
            platform.checked[AlwaysMerge] = alwaysMerge;
            platform.checked[OneFileMode] = true;
            platform.files[DayPath] = cases[i].first.bytes;
            Drop(DayPath);
            EXPECT_EQ(platform.log.find("Night Vertex Color"), std::string::npos);
            EXPECT_EQ(File(DayPath),
                      Expected(cases[i].first, Repeat({64, 64, 64, 255}, 3), cases[i].second));
            EXPECT_TRUE(IsChunkTree(File(DayPath)));
        }
    }
}

// Exactly the chunks that hold the new chunk grow.
TEST_F(DayStage, GeometryListAfterTheClumpLeavesTheClumpsSize) {
    ModelSpec shape = WithVertices(5);
    shape.geometryListAfterClump = true;
    Model day = MergeOneFile(shape);
    EXPECT_EQ(File(DayPath),
              Expected(day, Repeat({64, 64, 64, 255}, 5), List | Geometry | Extension));
    EXPECT_TRUE(IsChunkTree(File(DayPath)));
}

TEST_F(DayStage, DayFileIsReadAtMostTwice) {
    ModelSpec shape = WithVertices(5000);
    shape.geometries[0].plugins = {Plugin(0x0116, 64), Plugin(0x0120, 64)};
    Model day = MergeOneFile(shape);
    EXPECT_EQ(platform.opensForReading[DayPath], 1);
    // Once whole; before that only headers, the geometry's fields and colours.
    EXPECT_LE(platform.bytesRead[DayPath], day.bytes.size() + 4 * 5000 + 200);
    EXPECT_EQ(platform.allocations, 2);
    EXPECT_EQ(platform.largestAllocation, day.bytes.size() + 16 + 4 * 5000);
}

TEST_F(DayStage, PathsOfMoreThan259CharactersAreRefusedNotCut) {
    const std::string longest = "C:\\" + std::string(252, 'a') + ".dff";  // 259
    Put(longest.c_str(), WithVertices(1));
    const std::string tooLong = longest + "x";  // cut, it would name the other file
    Drop(tooLong.c_str());
    EXPECT_EQ(platform.log, std::string(" Error: Path is longer than 259 characters.\r\n") + Ready);
    EXPECT_EQ(platform.opensForReading.size(), 0u);
    platform.checked[OneFileMode] = true;
    Drop(longest.c_str());
    EXPECT_NE(platform.log.find("DFF created: " + longest + "\r\n"), std::string::npos);
    ExpectBackToDay();
}

}  // namespace
}  // namespace mergetest
