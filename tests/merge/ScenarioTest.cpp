// Whole drop sequences over the in-memory system, one row each: the options,
// the models, a fault, and what the log and every file hold afterwards, the
// models from the generator, never from the pipeline's own reading. Then the
// rules of a colour field's text, and edits no sequence makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "merge/Listing.h"
#include "rwstream/Chunk.h"
#include "tests/support/Models.h"
#include "tests/support/ProblemsAtEnd.h"

namespace {

using namespace testsupport;
using merge::Option;
using modelgen::Adjusted;
using modelgen::ModelShape;
using Layout = modelgen::ModelLayout;
using Prepare = std::function<void(MemoryOs&, MemorySession&)>;
using Change = std::function<void(ModelShape&)>;

const std::string Day = "C:\\models\\car.dff", Night = "C:\\models\\car_night.dff",
                  InDff = "C:\\models\\dff\\car.dff",
                  NightPrompt = "\r\nDrop night dff file.\r\n", Analyzing = " Analyzing file...\r\n",
                  Replacing = " Warning: File already contain Night Vertex Color.\r\n",
                  Fewer = " Warning: Night DFF contains not enough vertex.\r\n",
                  More = " Warning: Night DFF contains too much vertex.\r\n";
const std::set<Option> OneFile = {Option::OneFileMode}, Dff = {Option::OneFileMode, Option::OutputInDffFolder},
                       Merging = {Option::OneFileMode, Option::AlwaysMerge},
                       // Without one-file mode: a strip asks for no night model.
                       Stripping = {Option::Strip};
const std::string NothingToStrip = " Skipped: File doesn't contain Night Vertex Color.\r\n";


ModelShape With(ModelShape shape, const Change& change) {
    change(shape);
    return shape;
}
Bytes Cut(ModelShape shape, size_t at) {
    shape.truncateAt = at;
    return Build(shape);
}
// The model with the size field of one of its chunks set to size.
Bytes Resized(const ModelShape& shape, size_t Layout::*chunk, uint32_t size) {
    modelgen::Model model = modelgen::BuildModel(shape);
    rw::Store32(&model.bytes[model.layout.*chunk + 4], size);
    return model.bytes;
}
modelgen::RawChunk Plugin(uint32_t type, size_t n) { return {type, Bytes(n, 0xC3)}; }
// 4 vertices, with a plugin before and one after an old night colour chunk.
ModelShape WithOldChunk(int index, uint32_t vertices) {
    return With(Shape(4), [&](ModelShape& s) {
        s.geometries[0].plugins = {Plugin(0x0116, 8), Plugin(0x0120, 12)};
        s.geometries[0].nightChunkIndex = index;
        s.geometries[0].nightChunkVertices = vertices;
    });
}
// Three vertices, and in the Geometry List's Struct, after the count, the
// first Geometry of model: where a Struct of 4 bytes puts the first Geometry.
ModelShape GeometryInTheListsStruct(const Bytes& model) {
    const size_t at = modelgen::LayoutOf(Shape(1)).firstGeometry;
    const auto geometry = model.begin() + static_cast<std::ptrdiff_t>(at);
    const auto end = geometry + 12 + rw::Load32(&model[at + 4]);
    return With(Shape(3), [&](ModelShape& s) { s.listStructExtra.assign(geometry, end); });
}
// base with its first bytes replaced by front.
Bytes Over(Bytes base, const Bytes& front) {
    std::copy(front.begin(), front.end(), base.begin());
    return base;
}
// A night model of m vertices with geometry 1's colours.
Bytes NightModel(uint32_t m, const Change& change = [](ModelShape&) {}) {
    return Build(With(Shape(m, PatternColours(1, m)), change));
}
Prepare Fail(Call call, int k, SystemError error) {
    return [=](MemoryOs& os, MemorySession&) { os.FailCall(call, k, error); };
}

const size_t Data = modelgen::LayoutOf(ModelShape{}).firstGeometryData;

struct Row {
    std::string name;
    std::set<Option> options;
    Bytes day = {}, night = {};  // none: no file
    std::string log = "";
    std::map<std::string, Bytes> after = {};  // the files that change or appear (or go: empty)
    Prepare setup = nullptr;
    std::string dayPath = Day, nightPath = Night;
    merge::PathForm form = merge::PathForm::Exact;
};

void RunSequence(const Row& row, const std::function<void(MemorySession&)>& betweenDrops = nullptr) {
    SCOPED_TRACE(row.name);
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    session.ticked = row.options;
    if (!row.day.empty()) os.files[row.dayPath] = row.day;
    if (!row.night.empty()) os.files[row.nightPath] = row.night;
    if (row.setup) row.setup(os, session);
    std::map<std::string, Bytes> expected = os.files;
    const std::set<std::string> folders = os.folders;
    const size_t daySize = expected.count(row.dayPath) ? expected[row.dayPath].size() : 0;
    for (const auto& file : row.after) expected[file.first] = file.second;
    for (auto it = expected.begin(); it != expected.end();) it = it->second.empty() ? expected.erase(it) : ++it;

    merge::DropResult result = merge::HandleDroppedPath(sequence, os, session, row.dayPath.c_str(), row.form);
    if (sequence.state == merge::SequenceState::AwaitingNight) {
        EXPECT_FALSE(session.oneFileModeEnabled);
        if (betweenDrops) betweenDrops(session);
        result = merge::HandleDroppedPath(sequence, os, session, row.nightPath.c_str());
    }
    const bool written = result == merge::DropResult::Written;
    const bool anError = session.log.find(" Error: ") != std::string::npos;
    EXPECT_EQ(session.log, row.log);
    EXPECT_EQ(written, session.log.find("DFF created") != std::string::npos && !anError);
    EXPECT_TRUE(os.files == expected);
    if (!written) {
        EXPECT_EQ(os.folders, folders);  // a "dff" folder made in vain is gone
    }
    EXPECT_EQ(ProblemsAtEnd(os, session, sequence), "");
    // Nothing the file cannot hold is ever asked for, and the day model is
    // read whole once, and before that only its headers and colours.
    EXPECT_TRUE(!os.declaredSize.empty() || os.largestAllocation < size_t{1} << 20);
    EXPECT_TRUE(row.dayPath == row.nightPath || os.bytesRead[row.dayPath] <= daySize * 5 / 4 + 200);
}

// The error line of a log ("" for none), from "Error: " to its line end.
std::string ErrorIn(const std::string& log) {
    const size_t error = log.find("Error: ");
    return error == std::string::npos ? "" : log.substr(error, log.find('\r', error) - error);
}

// One plan, every reader: over the row's day model, a skip refuses what
// "Always Merge" refuses, with its message, and leaves exactly the models
// whose night colours that would replace; a listing refuses what "Always
// Merge" with every geometry refuses.
void ListSkipAndReplaceAgree(const Row& row) {
    if (row.setup || row.dayPath != Day || row.form != merge::PathForm::Exact) return;
    SCOPED_TRACE(row.name + " listed, skipped and replaced");
    std::string refusal;  // of "Always Merge" with every geometry
    for (const bool every : {false, true}) {
        std::string logs[2];
        merge::DropResult results[2];
        for (const Option option : {Option::AlwaysMerge, Option::SkipMerged}) {
            MemoryOs os;
            MemorySession session;
            merge::DropSequence sequence;
            os.folders = {"C:", "C:\\models"};
            os.files[Day] = row.day;
            session.ticked = {Option::OneFileMode, option};
            if (every) session.ticked.insert(Option::EveryGeometry);
            const bool skip = option == Option::SkipMerged;
            results[skip] = merge::HandleDroppedPath(sequence, os, session, Day.c_str());
            logs[skip] = session.log;
        }
        refusal = ErrorIn(logs[0]);
        // With every geometry, a skip leaves each geometry on its own and
        // plans no replacement for it.
        if (every) continue;
        EXPECT_EQ(ErrorIn(logs[1]), refusal);
        const bool replaced = refusal.empty() && logs[0].find(Replacing) != std::string::npos;
        EXPECT_EQ(results[1] == merge::DropResult::LeftAsItIs, replaced);
    }
    MemoryOs os;
    os.files[Day] = row.day;
    std::string lines;
    const bool listed = merge::ListModel(os, Day, &lines);
    const bool noneCanTakeColours = refusal == "Error: File doesn't contain Vertex Color." ||
                                    refusal == "Error: File doesn't contain Extension.";
    EXPECT_EQ(listed, refusal.empty() || noneCanTakeColours) << lines;
    if (!listed) {
        EXPECT_EQ(lines, merge::ListedPath(Day) + "\t" + refusal + "\r\n");
    }
}

TEST(Scenario, DayModelsRefusedAreLeftAsTheyWere) {
    const ModelShape three = Shape(3);
    const std::string noClump = Analyzing + Error("File doesn't contain Clump."),
                      inData = Analyzing + Error("File ends inside the geometry data."),
                      noFit = Error("Vertex count doesn't fit the file."),
                      noExtension = Counted(3) + Error("File doesn't contain Extension."),
                      noMemory = Counted(3) + Error("Not enough memory."),
                      longPath = "C:\\models\\" + std::string(246, 'n') + ".dff";  // 260
    const auto change = [&](const Change& c) { return Build(With(three, c)); };
    const std::string hasNight = Error("File already contain Night Vertex Color."),
                      nightPastExtension = Error("Night Vertex Color runs past the end of the Extension."),
                      chunkPastExtension = Error("A chunk runs past the end of the Extension.");
    // One vertex and an old chunk of 20 bytes that the Extension's size cuts
    // after its size field.
    const ModelShape cutOld = With(WithOldChunk(0, 1), [](ModelShape& s) {
        s.geometries[0].vertexCount = 1;
        s.geometries[0].plugins.clear();
        s.geometries[0].extensionSizeChange = -12;
    });
    // The Clump ends inside the old chunk that the new one replaces.
    const ModelShape shortClump = With(WithOldChunk(2, 4), [](ModelShape& s) {
        const Layout layout = modelgen::LayoutOf(s);
        s.clumpSizeChange = static_cast<int32_t>(layout.nightChunk + 1) -
                            static_cast<int32_t>(Build(s).size());
    });
    const size_t extensionAt = modelgen::LayoutOf(three).firstExtension;
    const auto size = [](uint64_t size) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = size; };
    };
    const std::vector<Row> rows = {
        {"Missing", OneFile, {}, {}, Error("The system cannot find the file specified.")},
        {"Short", OneFile, {0x10, 0, 0}, {}, noClump},
        {"NotClump", OneFile, change([](ModelShape& s) { s.firstChunkType = 0x0E; }), {}, noClump},
        {"ClumpCutBeforeVersion", OneFile, {0x10, 0, 0, 0, 0, 0, 0, 0, 0xFF}, {}, noClump},
        {"OtherVersion", OneFile, change([](ModelShape& s) { s.version--; }), {},
         Analyzing + Error("RW Version ID doesn't match.")},
        {"NoGeometryList", OneFile, Cut(three, modelgen::LayoutOf(three).geometryList + 2), {},
         Analyzing + Error("File doesn't contain Geometry List.")},
        {"NotPrelit", OneFile, change([](ModelShape& s) { s.geometries[0].prelit = false; }), {},
         Analyzing + Error("File doesn't contain Vertex Color.")},
        {"NoExtension", OneFile, change([](ModelShape& s) { s.geometries[0].hasExtension = false; }), {},
         noExtension},
        // The search for the Extension stays inside the first Geometry.
        {"ExtensionOnlyInALaterGeometry", OneFile, change([](ModelShape& s) {
             s.geometries[0].hasExtension = false;
             s.geometries.push_back(modelgen::GeometryShape{});
         }), {}, noExtension},
        {"HasNightColours", OneFile, Build(WithOldChunk(1, 4)), {},
         Counted(4) + Error("File already contain Night Vertex Color.")},
        // Left open by the format's own rules: each a clear error.
        {"EndsInFlags", OneFile, Cut(three, Data + 1), {}, inData},
        {"EndsInVertexCount", OneFile, Cut(three, Data + 10), {}, inData},
        {"EndsInColours", OneFile, Cut(three, Data + 16 + 10), {}, Counted(3) + noFit},
        {"EndsAfterItsColours", OneFile, Cut(three, Data + 16 + 12), {}, noExtension},
        // Cut after the type of the Material List, the Struct's sibling.
        {"EndsInTheGeometrysChildren", OneFile, Cut(three, Data + rw::Load32(&Build(three)[Data - 8]) + 4), {},
         noExtension},
        {"HugeVertexCountAllocatesNothing", OneFile, change([](ModelShape& s) {
             s.overrideVertexCount = true;
             s.vertexCountField = 0xFFFFFFFF;
         }), {}, Counted(0xFFFFFFFF) + noFit},
        {"ExtensionPastFile", OneFile, Resized(three, &Layout::firstExtension, 0x7FFFFFF0), {},
         Counted(3) + Error("Extension runs past the end of the file.")},
        // Found by the fuzzer: the new chunk went inside the next chunk's header.
        {"ExtensionPastGeometry", OneFile, Resized(three, &Layout::firstExtension, 12), {},
         Counted(3) + Error("Extension runs past the end of the Geometry.")},
        // The Geometry's end cuts its Extension's header: the same fault.
        {"GeometryEndsInTheExtensionsHeader", OneFile,
         Resized(three, &Layout::firstGeometry,
                 static_cast<uint32_t>(extensionAt - modelgen::LayoutOf(three).firstGeometry - 8)),
         {}, Counted(3) + Error("Extension runs past the end of the Geometry.")},
        // Only a Struct of 4 bytes puts the first Geometry at its fixed
        // place; a longer one that holds a Geometry there is refused.
        {"GeometryInTheListsStruct", OneFile, Build(GeometryInTheListsStruct(Build(Shape(1)))), {},
         Analyzing + Error("Geometry List doesn't begin with a Struct of 4 bytes and a Geometry.")},
        {"OldChunkPastFile", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 0x7FFFFFF0), {},
         Counted(4) + Error("Night Vertex Color runs past the end of the file.")},
        {"OldChunkPastExtension", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 20), {},
         Counted(4) + Error("Night Vertex Color runs past the end of the Extension.")},
        // Its size 2: what follows it is cut by the Extension's end.
        {"OldChunkOfSize2", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 2), {},
         Counted(4) + Error("A chunk runs past the end of the Extension.")},
        // The Extension ends inside its children: no chunk boundary to put the
        // new chunk at. In an old chunk's header, between its size and version:
        {"EndsInOldChunksHeader", OneFile, Build(cutOld), {}, Counted(1) + hasNight},
        {"EndsInOldChunksHeaderMerging", Merging, Build(cutOld), {}, Counted(1) + nightPastExtension},
        {"EndsInAPluginsHeader", Merging, change([](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8), Plugin(0x0120, 12)};
             s.geometries[0].extensionSizeChange = -30;
         }), {}, Counted(3) + chunkPastExtension},
        {"EndsInAPluginsPayload", OneFile, change([](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8)};
             s.geometries[0].extensionSizeChange = -1;
         }), {}, Counted(3) + chunkPastExtension},
        // Found by the fuzzer: cut after the old chunk that would be replaced.
        {"EndsInAPluginAfterTheOldChunk", Merging,
         Build(With(WithOldChunk(1, 4), [](ModelShape& s) { s.geometries[0].extensionSizeChange = -14; })), {},
         Counted(4) + chunkPastExtension},
        // A chunk that must grow does not hold the new chunk.
        {"GeometryListTooShort", OneFile, change([](ModelShape& s) { s.geometryListSizeChange = -1; }), {},
         Counted(3) + Error("Geometry runs past the end of the Geometry List.")},
        {"ClumpTooShortForTheOldChunk", Merging, Build(shortClump), {},
         Counted(4) + Replacing + Error("Geometry List runs past the end of the Clump.")},
        // A chunk is taken out only where it could be put in.
        {"StripOldChunkPastFile", Stripping, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 0x7FFFFFF0), {},
         Counted(4) + Error("Night Vertex Color runs past the end of the file.")},
        {"StripOldChunkPastExtension", Stripping, Build(cutOld), {}, Counted(1) + nightPastExtension},
        {"StripEndsInAPluginAfterTheOldChunk", Stripping,
         Build(With(WithOldChunk(1, 4), [](ModelShape& s) { s.geometries[0].extensionSizeChange = -14; })), {},
         Counted(4) + chunkPastExtension},
        {"StripClumpTooShort", Stripping, Build(shortClump), {},
         Counted(4) + Error("Geometry List runs past the end of the Clump.")},
        // Found by the fuzzer: grown, a size would wrap around 32 bits; each
        // points past the end of the file, and says so.
        {"GrownSizeOver32Bits", OneFile, Resized(three, &Layout::firstGeometry, 0xFFFFFFFF), {},
         Counted(3) + Error("Geometry runs past the end of the file.")},
        {"GrownListSizeOver32Bits", OneFile, Resized(three, &Layout::geometryList, 0xFFFFFFFF - 27), {},
         Counted(3) + Error("Geometry List runs past the end of the file.")},
        {"GrownClumpSizeOver32Bits", OneFile, Resized(three, &Layout::clump, 0xFFFFFFFF - 27), {},
         Counted(3) + Error("Clump runs past the end of the file.")},
        // ImageSize = file size + 16 + 4n must fit 32 bits; checked before allocating.
        {"ImageOver32Bits", OneFile, Build(three), {}, Counted(3) + Error("File is too large."), {},
         size(0xFFFFFFFFu - 28 + 1)},
        // The largest, and one that cannot be read as far as its size says.
        {"ImageOf32Bits", OneFile, Build(three), {}, Counted(3) + Error("File could not be read."), {},
         size(0xFFFFFFFFu - 28)},
        {"NoMemoryForTheColours", OneFile, Build(three), {}, noMemory, {},
         Fail(Call::Allocate, 1, SystemError::AccessDenied)},
        {"NotStamped", OneFile, Build(three), {}, Error("Access is denied."), {},
         Fail(Call::StampOf, 1, SystemError::AccessDenied)},
        // Refused whole, and named: cut, it could name another file.
        {"PathTooLong", OneFile, Build(three), {}, Error("Path is longer than 259 characters."), {},
         nullptr, longPath},
        {"NameTheCodePageCannotHold", OneFile, Build(three), {},
         Error("The name has characters that this system's code page cannot hold."), {}, nullptr, Day,
         Night, merge::PathForm::Approximated},
    };
    for (Row row : rows) {
        row.log = Open(row.dayPath) + row.log + Ready;
        RunSequence(row);
        ListSkipAndReplaceAgree(row);
    }
}

TEST(Scenario, NewChunkGoesIntoTheFirstExtensionAndItsContainersGrow) {
    const ModelShape three = Shape(3);
    std::vector<std::pair<std::string, ModelShape>> shapes = {
        {"Plugged", With(three, [](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8)};
             s.chunksBeforeGeometryList = {Plugin(0x0253F2F8, 6)};
         })},
        {"ZeroVertices", Shape(0)},
        {"FirstOfTwoGeometries", With(three, [](ModelShape& s) { s.geometries.push_back(Shape(9).geometries[0]); })},
        // The Clump does not hold the new chunk: its size stays.
        {"GeometryListAfterTheClump", With(Shape(5), [](ModelShape& s) { s.geometryListAfterClump = true; })},
        {"OldChunkEndsTheFile", With(WithOldChunk(2, 4), [](ModelShape& s) { s.geometryListAfterClump = true; })},
        // Grown, the sizes just fit 32 bits.
        {"SizesOf32Bits", With(three, [](ModelShape& s) {
             const uint32_t most = 0xFFFFFFFF - 28;
             const Bytes plain = Build(s);
             const Layout layout = modelgen::LayoutOf(s);
             s.clumpSizeChange = static_cast<int32_t>(most - rw::Load32(&plain[layout.clump + 4]));
             s.geometryListSizeChange = static_cast<int32_t>(most - rw::Load32(&plain[layout.geometryList + 4]));
             s.geometries[0].geometrySizeChange =
                 static_cast<int32_t>(most - rw::Load32(&plain[layout.firstGeometry + 4]));
         })},
        // Only a child of the first Geometry's Extension counts as an old chunk.
        {"NightChunkAfterAnEmptyExtension", With(three, [](ModelShape& s) {
             s.geometryListAfterClump = true;
             s.trailing = modelgen::NightColourChunk(PatternColours(1, 3));
         })},
        // Nor does one in a later geometry's Extension, among the Clump's
        // children or in the Clump's own Extension.
        {"NightChunksElsewhere", With(three, [](ModelShape& s) {
             s.geometries.push_back(WithOldChunk(0, 4).geometries[0]);
             s.chunksBeforeGeometryList = {Plugin(rw::TypeNightColours, 20)};
             s.clumpPlugins = {Plugin(rw::TypeNightColours, 20)};
         })},
        // The old chunk is longer than the way from the Clump's end to it.
        {"LongOldChunkAfterTheClump",
         With(WithOldChunk(0, 60), [](ModelShape& s) { s.geometryListAfterClump = true; })},
    };
    // Old chunks first, between plugins or last; shorter, as long or longer.
    for (int index : {0, 1, 2})
        for (uint32_t n : {1u, 4u, 9u})
            shapes.push_back({"Old" + std::to_string(index) + "Of" + std::to_string(n), WithOldChunk(index, n)});
    for (const auto& shape : shapes) {
        const uint32_t n = shape.second.geometries[0].vertexCount;
        const bool old = shape.second.geometries[0].nightChunkIndex >= 0;
        RunSequence({shape.first, Merging, Build(shape.second), {},
                     Open(Day) + Counted(n) + (old ? Replacing : "") + Created(Day),
                     {{Day, Merged(shape.second, Grey(n))}}});
        // Stripped, merged or not, the model comes back without night colours.
        const Bytes plain = Build(modelgen::WithoutNightColours(shape.second, false));
        RunSequence({shape.first + "Stripped", Stripping, Merged(shape.second, Grey(n)), {},
                     Open(Day) + Counted(n) + Created(Day), {{Day, plain}}});
        RunSequence({shape.first + "StrippedUnmerged", Stripping, Build(shape.second), {},
                     Open(Day) + Counted(n) + (old ? Created(Day) : NothingToStrip + Ready),
                     {{Day, plain}}});
    }
    // Read only as far as the merge needs: cut after its first geometry, a
    // model is merged and stays cut.
    const ModelShape two =
        With(three, [](ModelShape& s) { s.geometries.push_back(Shape(9).geometries[0]); });
    const size_t end = modelgen::LayoutOf(two).firstExtensionEnd;
    Bytes cut = Merged(two, Grey(3));
    cut.resize(end + rw::NightColourChunkLength(3));
    RunSequence({"CutAfterTheFirstGeometry", OneFile, Cut(two, end), {},
                 Open(Day) + Counted(3) + Created(Day), {{Day, cut}}});
}

// Every channel changed another way: darker, lower, bluer, and alpha
// scaled to its ends.
const modelgen::ColourAdjustment Darker = {{45, 100, 160, 1000}, {0, -10, 8, -255}};
void Darken(MemoryOs&, MemorySession& session) {
    for (int c = 0; c < 4; ++c)
        session.adjustments[c] = {static_cast<int>(Darker.scale[c]), Darker.offset[c]};
}

TEST(Scenario, NightColoursComeFromAModelTheDayItselfOrTheFields) {
    const ModelShape three = Shape(3), five = Shape(5);
    const Bytes day = Build(five), own = PatternColours(0, 5), night = PatternColours(1, 5);
    const auto pair = [&](const std::string& log, const std::string& path = Night) {
        return Open(Day) + Counted(5) + NightPrompt + Open(path) + log + Created(Day);
    };
    const std::vector<Row> rows = {
        {"CopyDayColours", {Option::OneFileMode, Option::CopyDayColours}, Build(three), {},
         Open(Day) + Counted(3) + Created(Day), {{Day, Merged(three, PatternColours(0, 3))}},
         [](MemoryOs&, MemorySession& s) { s.fields[0] = "7"; }},  // not read
        {"ColourFields", OneFile, Build(three), {}, Open(Day) + Counted(3) + Created(Day),
         {{Day, Merged(three, Repeat({1, 2, 255, 255}, 3))}}, [](MemoryOs&, MemorySession& s) {
             s.fields[0] = "1", s.fields[1] = "2", s.fields[2] = "-1", s.fields[3] = "&HFF";
         }},
        {"Same", {}, day, NightModel(5), pair(Counted(5)), {{Day, Merged(five, night)}}},
        {"Fewer", {}, day, NightModel(3), pair(Counted(3) + Fewer),
         {{Day, Merged(five, Over(Grey(5), PatternColours(1, 3)))}}},
        {"FewerOverDayColours", {Option::CopyDayColours}, day, NightModel(3), pair(Counted(3) + Fewer),
         {{Day, Merged(five, Over(own, PatternColours(1, 3)))}}},
        {"More", {}, day, NightModel(8), pair(Counted(8) + More), {{Day, Merged(five, night)}}},
        {"None", {}, day, NightModel(0), pair(Counted(0) + Fewer), {{Day, Merged(five, Grey(5))}}},
        // Cut inside its third colour: whole colours only.
        {"CutInColours", {}, day, NightModel(5, [](ModelShape& s) { s.truncateAt = Data + 16 + 11; }),
         pair(Counted(5)), {{Day, Merged(five, Over(Grey(5), PatternColours(1, 2)))}}},
        // The night model's Extension is not looked at.
        {"WithOldNightChunk", {}, day, NightModel(5, [](ModelShape& s) { s.geometries[0].nightChunkIndex = 0; }),
         pair(Counted(5)), {{Day, Merged(five, night)}}},
        {"WithoutExtension", {}, day, NightModel(5, [](ModelShape& s) { s.geometries[0].hasExtension = false; }),
         pair(Counted(5)), {{Day, Merged(five, night)}}},
        {"TheDayModelAgain", {}, day, {}, pair(Counted(5), Day), {{Day, Merged(five, own)}}, nullptr, Day, Day},
        // Scaled and moved, whatever their source.
        {"CopyDayColoursAdjusted", {Option::OneFileMode, Option::CopyDayColours}, Build(three), {},
         Open(Day) + Counted(3) + Created(Day), {{Day, Merged(three, Adjusted(PatternColours(0, 3), Darker))}},
         Darken},
        {"ColourFieldsAdjusted", OneFile, Build(three), {}, Open(Day) + Counted(3) + Created(Day),
         {{Day, Merged(three, Adjusted(Grey(3), Darker))}}, Darken},
        {"FewerAdjusted", {}, day, NightModel(3), pair(Counted(3) + Fewer),
         {{Day, Merged(five, Adjusted(Over(Grey(5), PatternColours(1, 3)), Darker))}}, Darken},
    };
    for (const Row& row : rows) RunSequence(row);
    // The day stage's options count as they were at the day drop; the dff
    // box as it is when the output is written.
    RunSequence({"OptionsReadWhenTheirStageRuns", {Option::AlwaysMerge}, Build(WithOldChunk(1, 4)),
                 NightModel(1), Open(Day) + Counted(4) + Replacing + NightPrompt + Open(Night) + Counted(1) +
                 Fewer + Created(InDff), {{InDff, Merged(WithOldChunk(1, 4), Over(Grey(4), PatternColours(1, 1)))}}},
                [](MemorySession& s) {
                    s.ticked = {Option::CopyDayColours, Option::OutputInDffFolder};
                    s.fields[0] = "1";
                });
}

TEST(Scenario, NightModelsRefusedEndTheSequence) {
    const std::string inData = Analyzing + Error("File ends inside the geometry data.");
    const std::string longPath = "C:\\" + std::string(300, 'n');
    const std::vector<Row> rows = {
        {"OtherVersion", {}, {}, NightModel(3, [](ModelShape& s) { s.version--; }),
         Analyzing + Error("RW Version ID doesn't match.")},
        {"NotPrelit", {}, {}, NightModel(3, [](ModelShape& s) { s.geometries[0].prelit = false; }),
         Analyzing + Error("File doesn't contain Vertex Color.")},
        {"NotAModel", {}, {}, {1, 2}, Analyzing + Error("File doesn't contain Clump.")},
        {"EndsInFlags", {}, {}, NightModel(3, [](ModelShape& s) { s.truncateAt = Data + 1; }), inData},
        {"EndsInVertexCount", {}, {}, NightModel(3, [](ModelShape& s) { s.truncateAt = Data + 9; }), inData},
        {"PathTooLong", {}, {}, {}, Error("Path is longer than 259 characters."), {}, nullptr, Day, longPath},
        {"CannotBeOpened", {}, {}, NightModel(5),
         Error("The process cannot access the file because it is being used by another process."), {},
         Fail(Call::Open, 2, SystemError::SharingViolation)},
        // Found by the fuzzer: a read that came up short of the file's size
        // was taken for its end, and the output written.
        {"ColoursCannotBeRead", {}, {}, NightModel(3), Counted(3) + Error("File could not be read."), {},
         [](MemoryOs& os, MemorySession&) { os.readableUpTo[Night] = Data + 20; }},
    };
    for (Row row : rows) {
        row.day = Build(Shape(3));
        row.log = Open(Day) + Counted(3) + NightPrompt + Open(row.nightPath) + row.log + Ready;
        RunSequence(row);
    }
    // A day or night model that cannot be read as far as its size promised,
    // at every offset either is read: what could not be read is not there,
    // and colours or an Extension that cannot be read are no model's.
    const Bytes day = Build(Shape(3)), night = NightModel(5);
    const Layout at = modelgen::LayoutOf(Shape(3));
    const std::vector<std::pair<size_t, std::string>> dayEnds = {
        {12, "File doesn't contain Clump."}, {at.geometryList + 4, "File doesn't contain Geometry List."},
        {Data + 12, "File ends inside the geometry data."},
        {at.firstExtension + 4, "File doesn't contain Extension."},
        {at.firstExtension + 8, "Extension runs past the end of the file."}};
    for (size_t cut = 0; cut < day.size() + Data + 28; ++cut) {
        // Past its Extension's header the day model is read only when it is copied.
        const bool inDay = cut < day.size(), copied = inDay && cut >= dayEnds.back().first;
        const size_t end = inDay ? cut : cut - day.size();
        auto ends = dayEnds.begin();
        while (!copied && end >= ends->first) ++ends;
        const bool counted = end >= Data + 12;
        std::string log = Open(Day) + (inDay && !counted ? Analyzing : Counted(3));
        if (inDay && !copied) {
            log += Error(ends->second);
        } else {
            log += NightPrompt + Open(Night);
            log += inDay || counted ? Counted(5) + More + Error("File could not be read.")
                                    : Analyzing + Error(ends->second);
        }
        RunSequence({"Cut" + std::to_string(cut), {}, day, night, log + Ready,
                     {}, [=](MemoryOs& os, MemorySession&) { os.readableUpTo[inDay ? Day : Night] = end; }});
    }
}

TEST(Scenario, OutputGoesOverTheDayModelOrIntoADffFolder) {
    const Bytes day = Build(Shape(3)), merged = Merged(Shape(3), Grey(3));
    const std::string log = Open(Day) + Counted(3), folder = "C:\\" + std::string(240, 'f');
    // 259, 255 and 256 characters: the longest path, and the longest and a
    // too long one with "\dff" put in.
    const std::string fits = folder + "\\nnnnnnnnnnn.dff", fitsInDff = folder + "\\nnnnnnn.dff",
                      tooLong = folder + "\\nnnnnnnn.dff";
    const auto in = [&](const std::string& path) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) {
            os.folders.insert(folder);
            os.files[path] = day;
        };
    };
    const std::vector<Row> rows = {
        // Temporary names that exist are skipped and kept.
        {"FreeTemporaryName", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.files["C:\\models\\car.df~"] = {7};
             os.files["C:\\models\\car.df0"] = {8};
         }},
        {"DffFolderMade", Dff, day, {}, log + Created(InDff), {{InDff, merged}}},
        // Its parent looked at first, as for a parent that is missing.
        {"DffFolderMadeOnASecondTry", Dff, day, {}, log + Created(InDff), {{InDff, merged}},
         Fail(Call::MakeDirectory, 1, SystemError::PathNotFound)},
        // No byte of the name can be changed into a temporary name's.
        {"NoFreeTemporaryName", OneFile, day, {},
         Open("C:\\models\\\xE8\xBB\x8A") + Counted(3) +
             Error("No name for a temporary file is free beside the model.") + Ready,
         {}, nullptr, "C:\\models\\\xE8\xBB\x8A"},
        // A link stays a link, the model it names replaced; a model's other
        // hard links keep it as it was.
        {"ALinkStaysALink", OneFile, {}, {}, log + Created(Day), {{"C:\\models\\real.dff", merged}},
         [&](MemoryOs& os, MemorySession&) {
             os.links[Day] = "C:\\models\\real.dff";
             os.files["C:\\models\\real.dff"] = day;
         }},
        {"HardLinked", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) { os.HardLink("C:\\models\\copy.dff", Day); }},
        {"LinkToAPathTooLong", Dff, day, {},
         log + Error("Output path is longer than 259 characters.") + Ready, {},
         [=](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff");
             os.links[InDff] = folder + "\\" + std::string(20, 'n') + ".dff";
         }},
        {"DffFolderFileReplaced", Dff, day, {}, log + Created(InDff), {{InDff, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff");
             os.files[InDff] = {1, 2, 3};
         }},
        {"DriveRoot", Dff, day, {}, Open("C:\\car.dff") + Counted(3) + Created("C:\\dff\\car.dff"),
         {{"C:\\dff\\car.dff", merged}}, nullptr, "C:\\car.dff"},
        {"NoFolderNamed", Dff, day, {}, Open("car.dff") + Counted(3) + Created("dff/car.dff"),
         {{"dff/car.dff", merged}}, [](MemoryOs& os, MemorySession&) { os.folders.insert(""); }, "car.dff"},
        {"AtTheRoot", OneFile, day, {}, Open("\\car.dff") + Counted(3) + Created("\\car.dff"), {{"\\car.dff", merged}},
         [](MemoryOs& os, MemorySession&) { os.folders.insert(""); }, "\\car.dff"},
        {"PathOf259", OneFile, {}, {}, Open(fits) + Counted(3) + Created(fits), {{fits, merged}}, in(fits), fits},
        {"DffPathOf259", Dff, {}, {}, Open(fitsInDff) + Counted(3) + Created(folder + "\\dff\\nnnnnnn.dff"),
         {{folder + "\\dff\\nnnnnnn.dff", merged}}, in(fitsInDff), fitsInDff},
        {"DffPathOf260", Dff, {}, {},
         Open(tooLong) + Counted(3) + Error("Output path is longer than 259 characters.") + Ready, {},
         in(tooLong), tooLong},
    };
    for (const Row& row : rows) RunSequence(row);
}

// A failed output never costs the target: the image goes to a temporary file
// first, moved over the target only when it is whole and on the disk. After
// a failure, over the day model, over an older output in the "dff" folder or
// in a "dff" folder made for it: the failing call's text, no "DFF created",
// every file and folder as it was.
TEST(Scenario, OutputFailuresLeaveEveryFileAsItWas) {
    const Bytes day = Build(Shape(3));
    const std::string log = Open(Day) + Counted(3);
    for (Call call : {Call::Write, Call::CopyRange, Call::TakePermissions, Call::Flush, Call::CloseOutput,
                      Call::Replace, Call::Create, Call::MakeDirectory, Call::StampAt,
                      Call::ResolveLinks}) {
        for (int where = 0; where < 3; ++where) {
            // The folder's own failure, not the file's that would follow.
            const bool folder = call == Call::MakeDirectory, overDay = where == 0, made = where == 2;
            if (overDay && folder) continue;
            RunSequence({"Call" + std::to_string(static_cast<int>(call)), overDay ? OneFile : Dff, day, {},
                         log + (folder ? " Error: Cannot create folder C:\\models\\dff: " : " Error: ") +
                             ErrorText(SystemError::DiskFull) + Ready,
                         {}, [=](MemoryOs& os, MemorySession&) {
                             // Create: every temporary name there could be.
                             for (int k = 1; k <= (call == Call::Create ? 30 : 1); ++k)
                                 os.FailCall(call, k, SystemError::DiskFull);
                             if (made) return;
                             os.folders.insert("C:\\models\\dff");
                             os.files[InDff] = {'o', 'l', 'd'};
                         }});
        }
    }
    // The day model looked at before its copy and after it.
    for (int k : {2, 3})
        RunSequence({"NotStamped" + std::to_string(k), OneFile, day, {},
                     log + Error("Access is denied.") + Ready, {},
                     Fail(Call::StampOf, k, SystemError::AccessDenied)});
    // The model moved aside and the merged one not moved over it: both kept.
    RunSequence({"KeptBoth", OneFile, day, {},
                 log + " Error: " + ErrorText(SystemError::KeptBoth) +
                     " Error: The model is kept as C:\\models\\car.df~~, the merged model as "
                     "C:\\models\\car.df~.\r\n" + Ready,
                 {{Day, {}}, {"C:\\models\\car.df~~", day},
                  {"C:\\models\\car.df~", Merged(Shape(3), Grey(3))}},
                 Fail(Call::Replace, 1, SystemError::KeptBoth)});
    // Where the system copies between files only so far a call, or not at
    // all, the rest goes through a buffer of ours: the same bytes.
    for (uint64_t most : {uint64_t{0}, uint64_t{5}})
        RunSequence({"Copies" + std::to_string(most), OneFile, Build(Shape(3)), {}, log + Created(Day),
                     {{Day, Merged(Shape(3), Grey(3))}},
                     [=](MemoryOs& os, MemorySession&) { os.copiesAtMost = most; }});
    RunSequence({"BufferedCopyNotWritten", OneFile, Build(Shape(3)), {}, log + Error("Access is denied.") + Ready, {},
                 [](MemoryOs& os, MemorySession&) {
                     os.copiesAtMost = 0;
                     os.FailCall(Call::Write, 1, SystemError::AccessDenied);
                 }});
    // A step after the replacement fails: the model is replaced all the
    // same, and said so.
    RunSequence({"ReplacedWithoutAttributes", OneFile, day, {},
                 log + "\r\nDFF created: " + Day +
                     "\r\n Warning: The model is replaced, but its attributes could not be kept: Access is denied.\r\n" +
                     Ready,
                 {{Day, Merged(Shape(3), Grey(3))}}, Fail(Call::AfterReplace, 1, SystemError::AccessDenied)});
    // The model is replaced, but its folder's entry may not be on the disk:
    // said so before the prompt, and no model written.
    RunSequence({"FolderNotFlushed", OneFile, day, {},
                 log + "\r\nDFF created: " + Day + "\r\n Error: Cannot flush folder C:\\models: Access is denied.\r\n" +
                     Ready,
                 {{Day, Merged(Shape(3), Grey(3))}}, Fail(Call::SyncFolder, 1, SystemError::AccessDenied)});
}

// A model that another program saves while it is merged is never lost: the
// target must still be the file that was read, whenever it changed. An older
// output in the "dff" folder is no model that was read.
TEST(Scenario, AModelSavedMeanwhileIsNeverLost) {
    const Bytes day = Build(Shape(3)), other = Build(Shape(5)), merged = Merged(Shape(3), Grey(3));
    const std::string log = Open(Day) + Counted(3), changed = Error("File changed while it was merged.") + Ready;
    const auto change = [](Call call, int k, const std::string& path, const Bytes& bytes) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) { os.Before(call, k, [&os, path, bytes] { os.Change(path, bytes); }); };
    };
    const std::vector<Row> rows = {
        {"WhileWritten", OneFile, day, {}, log + changed, {{Day, other}}, change(Call::Write, 1, Day, other)},
        // Saved with the same bytes is saved all the same.
        {"SameBytes", OneFile, day, {}, log + changed, {}, change(Call::Flush, 1, Day, day)},
        {"Deleted", OneFile, day, {}, log + changed, {{Day, {}}},
         [](MemoryOs& os, MemorySession&) { os.Before(Call::Create, 1, [&os] { os.files.erase(Day); }); }},
        {"BetweenTheDrops", {}, day, NightModel(3),
         log + NightPrompt + Open(Night) + Counted(3) + changed, {{Day, other}}, change(Call::Open, 2, Day, other)},
        {"RemovedBetweenTheDrops", {}, day, NightModel(3), log + NightPrompt + Open(Night) + Counted(3) + changed,
         {{Day, {}}}, [](MemoryOs& os, MemorySession&) { os.Before(Call::Open, 3, [&os] { os.files.erase(Day); }); }},
        // Into the "dff" folder, the copy must be the day model whole.
        {"WhileCopied", Dff, day, {}, log + changed, {{Day, other}}, change(Call::CopyRange, 2, Day, other)},
        {"OlderOutputInDff", Dff, day, {}, log + changed, {{InDff, {2}}}, [](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff");
             os.files[InDff] = {1};
             os.Before(Call::Flush, 1, [&os] { os.Change(InDff, {2}); });
         }},
        {"OutputMadeMeanwhile", Dff, day, {}, log + changed, {{InDff, {2}}}, [](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff");
             os.Before(Call::Flush, 1, [&os] { os.Change(InDff, {2}); });
         }},
        // Saved under another of its names: the same file, changed.
        {"SavedUnderAnotherName", OneFile, day, {}, log + changed,
         {{Day, other}, {"C:\\models\\copy.dff", other}}, [=](MemoryOs& os, MemorySession&) {
             os.HardLink("C:\\models\\copy.dff", Day);
             os.Before(Call::Write, 1, [&os, other] { os.Change("C:\\models\\copy.dff", other); });
         }},
        // "dff\car.dff" a link to the day model, saved while its output waits.
        {"DffLinkToTheDay", Dff, day, {}, log + changed, {{Day, other}}, [=](MemoryOs& os, MemorySession&) {
             os.links[InDff] = Day;
             os.Before(Call::Flush, 1, [&os, other] { os.Change(Day, other); });
         }},
    };
    for (const Row& row : rows) RunSequence(row);
}

// With every geometry, each that can take night colours gets its own chunk,
// from the night model's geometry of its number where there is one; the
// others are carried through unchanged.
TEST(Scenario, EveryGeometry) {
    const std::set<Option> every = {Option::OneFileMode, Option::EveryGeometry},
                           night = {Option::EveryGeometry, Option::CopyDayColours},
                           merging = {Option::OneFileMode, Option::EveryGeometry, Option::AlwaysMerge},
                           skipping = {Option::OneFileMode, Option::EveryGeometry, Option::SkipMerged},
                           strip = {Option::OneFileMode, Option::EveryGeometry, Option::Strip};
    // Geometries of 3, 4 and 5 vertices; the second as the change makes it.
    const auto three = [](const std::function<void(modelgen::GeometryShape&)>& second) {
        ModelShape shape;
        for (uint32_t n : {3u, 4u, 5u}) shape.geometries.push_back(Shape(n).geometries[0]);
        shape.geometries.erase(shape.geometries.begin());
        second(shape.geometries[1]);
        return shape;
    };
    const auto g = [](uint32_t k, const std::string& line) { return " Geometry " + std::to_string(k) + ": " + line; };
    const std::string counts = Counted(3) + g(2, "4 vertex.\r\n") + g(3, "5 vertex.\r\n");
    const ModelShape plain = three([](modelgen::GeometryShape&) {}),
                     old = three([](modelgen::GeometryShape& s) { s.nightChunkIndex = 0; });
    const ModelShape nightShape = With(Shape(2, PatternColours(1, 2)), [](ModelShape& s) {
        s.geometries.push_back(Shape(7).geometries[0]);  // more than the day's 4
    });
    const ModelShape brokenSecond = three([](modelgen::GeometryShape& s) {
        s.prelit = false;
        s.extensionSizeChange = -31;
    });
    Bytes miscounted = Build(plain);
    rw::Store32(&miscounted[modelgen::LayoutOf(plain).geometryList + 24], 2);  // the list's count
    const ModelShape after = With(plain, [](ModelShape& s) {
        s.geometryListAfterClump = true;
        s.trailing = {0x0F, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18};
    });
    const ModelShape elsewhere = With(plain, [](ModelShape& s) {
        s.chunksBeforeGeometryList = {Plugin(rw::TypeNightColours, 20)};
        s.clumpPlugins = {Plugin(rw::TypeNightColours, 20)};
    });
    const auto all = [](const ModelShape& shape) {
        return modelgen::WithNightColours(shape, {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}}).bytes;
    };
    // The model cut at the end of its Geometry List, before it is merged and after.
    const Layout layout = modelgen::LayoutOf(plain);
    const size_t listEnd =
        layout.geometryList + 12 + rw::Load32(&Build(plain)[layout.geometryList + 4]);
    Bytes cut = all(plain);
    cut.resize(listEnd + rw::NightColourChunkLength(3) + rw::NightColourChunkLength(4) +
               rw::NightColourChunkLength(5));
    const std::vector<Row> rows = {
        {"AllThree", every, Build(plain), {}, Open(Day) + counts + Created(Day),
         {{Day, modelgen::WithNightColours(plain, {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}}).bytes}}},
        {"OneWithoutColours", every, Build(three([](modelgen::GeometryShape& s) { s.prelit = false; })), {},
         Open(Day) + counts + g(2, "Warning: Vertex Color missing: geometry left as it is.\r\n") + Created(Day),
         {{Day, modelgen::WithNightColours(three([](modelgen::GeometryShape& s) { s.prelit = false; }),
                                           {{0, Grey(3)}, {2, Grey(5)}}).bytes}}},
        {"OneWithoutExtension", every, Build(three([](modelgen::GeometryShape& s) { s.hasExtension = false; })), {},
         Open(Day) + counts + g(2, "Warning: Extension missing: geometry left as it is.\r\n") + Created(Day),
         {{Day, modelgen::WithNightColours(three([](modelgen::GeometryShape& s) { s.hasExtension = false; }),
                                           {{0, Grey(3)}, {2, Grey(5)}}).bytes}}},
        {"ANightModelOfTwo", night, Build(plain), Build(nightShape),
         Open(Day) + counts + NightPrompt + Open(Night) + Counted(2) + Fewer + g(2, "7 vertex.\r\n") +
             g(2, "Warning: Night DFF contains too much vertex.\r\n") +
             g(3, "Warning: Night DFF contains no such geometry.\r\n") + Created(Day),
         {{Day, modelgen::WithNightColours(plain, {{0, Over(PatternColours(0, 3), PatternColours(1, 2))},
                                                   {1, PatternColours(1, 4)},
                                                   {2, PatternColours(2, 5)}}).bytes}}},
        {"OldChunksReplaced", merging, Build(old), {}, Open(Day) + counts + g(2, "Warning: File already contain Night Vertex Color.\r\n") + Created(Day),
         {{Day, modelgen::WithNightColours(old, {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}}).bytes}}},
        {"OldChunkRefused", every, Build(old), {}, Open(Day) + counts + g(2, "Error: File already contain Night Vertex Color.\r\n") + Ready},
        // That geometry alone is left; the others get theirs.
        {"OldChunkLeftAsItIs", skipping, Build(old), {},
         Open(Day) + counts + g(2, "Skipped: Geometry already contain Night Vertex Color.\r\n") + Created(Day),
         {{Day, modelgen::WithNightColours(old, {{0, Grey(3)}, {2, Grey(5)}}).bytes}}},
        {"NoneCanTakeColours", every, Build(With(Shape(3), [](ModelShape& s) { s.geometries[0].prelit = false; })), {},
         Open(Day) + Counted(3) + " Warning: Vertex Color missing: geometry left as it is.\r\n" +
             Error("File doesn't contain Vertex Color.") + Ready},
        {"AllThreeStripped", strip,
         modelgen::WithNightColours(plain, {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}}).bytes, {},
         Open(Day) + counts + Created(Day), {{Day, Build(plain)}}},
        // Passed over as a merge passes over it, its old chunk kept.
        {"OneWithoutColoursNotStripped", strip,
         modelgen::WithNightColours(three([](modelgen::GeometryShape& s) { s.nightChunkIndex = 0, s.prelit = false; }),
                                    {{0, Grey(3)}}).bytes, {},
         Open(Day) + counts + g(2, "Warning: Vertex Color missing: geometry left as it is.\r\n") + Created(Day),
         {{Day, Build(three([](modelgen::GeometryShape& s) { s.nightChunkIndex = 0, s.prelit = false; }))}}},
        // Found by the fuzzer: a merge never reads this geometry's Extension,
        // which runs past the file; its strip refused the merged model.
        {"ABrokenGeometryPassedOver", strip,
         modelgen::WithNightColours(brokenSecond, {{0, Grey(3)}, {2, Grey(5)}}).bytes, {},
         Open(Day) + counts + g(2, "Warning: Vertex Color missing: geometry left as it is.\r\n") + Created(Day),
         {{Day, Build(brokenSecond)}}},
        {"NothingToStrip", strip, Build(plain), {}, Open(Day) + counts + NothingToStrip + Ready},
        {"NoExtensionNothingToStrip", Stripping,
         Build(With(Shape(3), [](ModelShape& s) { s.geometries[0].hasExtension = false; })), {},
         Open(Day) + Counted(3) + NothingToStrip + Ready},
        {"Miscounted", every, miscounted, {},
         Open(Day) + Counted(3) + Error("Geometry List doesn't hold the geometries it counts.") + Ready},
        {"ANightModelMiscounted", night, Build(plain), miscounted,
         Open(Day) + counts + NightPrompt + Open(Night) + Counted(3) +
             Error("Geometry List doesn't hold the geometries it counts.") + Ready},
        // A Geometry after the end of the list is none of its geometries.
        {"AGeometryAfterTheList", every, Build(after), {}, Open(Day) + counts + Created(Day),
         {{Day, modelgen::WithNightColours(after, {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}}).bytes}}},
        // Only a child of a geometry's Extension counts as an old chunk.
        {"NightChunksElsewhere", every, Build(elsewhere), {}, Open(Day) + counts + Created(Day),
         {{Day, all(elsewhere)}}},
        // Read as far as the last geometry; a Struct not of 4 bytes is refused.
        {"CutAfterTheList", every, Cut(plain, listEnd), {}, Open(Day) + counts + Created(Day),
         {{Day, cut}}},
        {"GeometryInTheListsStruct", every, Build(GeometryInTheListsStruct(Build(Shape(1)))), {},
         Open(Day) + Analyzing +
             Error("Geometry List doesn't begin with a Struct of 4 bytes and a Geometry.") + Ready},
        {"NoMemoryForTheSecond", every, Build(plain), {}, Open(Day) + counts + g(2, "Error: Not enough memory.\r\n") + Ready,
         {}, Fail(Call::Allocate, 2, SystemError::AccessDenied)},
        // Each chunk fits 32 bits on its own, not all three together.
        {"TogetherTooLarge", every, Build(plain), {}, Open(Day) + counts + Error("File is too large.") + Ready, {},
         [](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = 0xFFFFFFFFu - 60; }},
    };
    for (const Row& row : rows) RunSequence(row);
}

TEST(Scenario, FoldersOfPaths) {
    MemoryOs os;
    for (const auto& path : std::map<std::string, std::string>{
             {"/a.dff", "/"}, {"C:\\a.dff", "C:\\"}, {"a.dff", "."}, {"C:\\m\\a.dff", "C:\\m"}})
        EXPECT_EQ(merge::FolderOf(os, path.first), path.second);
}

// The adjustment at its edges: no scale and the largest, the channel's
// ends, the offsets' ends, a half rounded up; the generator's the same.
TEST(ColourAdjustment, EdgesOfTheFormula) {
    const struct {
        int value, scale, offset, channel;
    } cases[] = {
        {0, 1000, 0, 0},     {25, 1000, 0, 250},    {26, 1000, 0, 255},  {255, 1000, -255, 255},
        {1, 1000, -255, 0},  {255, 0, 0, 0},        {0, 0, 255, 255},    {255, 0, -255, 0},
        {255, 100, -255, 0}, {128, 100, 127, 255},  {128, 100, 128, 255}, {10, 100, -11, 0},
        {255, 100, 0, 255},  {1, 50, 0, 1},         {3, 50, 0, 2},       {5, 10, 0, 1},
        {4, 10, 0, 0},       {1, 149, 0, 1},        {1, 150, 0, 2},      {200, 45, 8, 98},
    };
    for (const auto& c : cases) {
        const uint8_t value = static_cast<uint8_t>(c.value);
        EXPECT_EQ(merge::AdjustChannel(value, {c.scale, c.offset}), c.channel) << c.value << " " << c.scale;
        modelgen::ColourAdjustment adjustment;
        adjustment.scale[0] = c.scale, adjustment.offset[0] = c.offset;
        EXPECT_EQ(Adjusted({value}, adjustment), Bytes{static_cast<uint8_t>(c.channel)}) << c.value;
    }
}

TEST(ColourField, TextsAndTheChannelsTheyGive) {
    const struct {
        const char* text;
        int channel;
    } cases[] = {
        {"64", 64},      {"255", 255},    {"256", 0},    {"300", 44},   {"0255", 255},
        {"", 0},         {"00000064", 6}, {" 7", 7},     {"\t 7", 7},   {"&HFF", 255},
        {"&hff", 255},   {"&H1F", 31},    {"&O377", 255}, {"&o17", 15}, {"&O8", 0},
        {"&H", 0},       {"&X1", 0},      {"  &H1F", 31}, {"12.9", 12}, {".5", 0},
        {"-1", 255},     {"-12.9", 244},  {"+7", 7},     {"- 5", 0},    {"-&HFF", 0},
        {"1e3", 1},      {"64abc", 64},   {"1,5", 1},    {"abc", 0},    {"9999999999", 127},
        {"&Hfffffff", 255}, {"&Haf", 175}, {"&HAG", 10},
    };
    testsupport::MemorySession session;
    for (const auto& c : cases) {
        session.fields[2] = c.text;
        EXPECT_EQ(merge::ReadColourField(session, merge::Channel::Blue), c.channel) << c.text;
    }
}

}  // namespace
