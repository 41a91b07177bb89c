// Whole drop sequences over the in-memory system, a row each: options, models (the generator's,
// never the pipeline's reading), a fault, the log and files after; then what no sequence edits.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "merge/Listing.h"
#include "merge/Paths.h"
#include "merge/Messages.h"
#include "rwstream/Chunk.h"
#include "tests/support/Models.h"
#include "tests/support/ProblemsAtEnd.h"

namespace {

using namespace testsupport;
using merge::Option;
using modelgen::Adjusted;
using modelgen::LayoutOf;
using modelgen::ModelShape;
using testsupport::Merged;
using Layout = modelgen::ModelLayout;
using Prepare = std::function<void(MemoryOs&, MemorySession&)>;
using Change = std::function<void(ModelShape&)>;
using Colours = std::map<uint32_t, Bytes>;  // by geometry

const std::string Day = "C:\\models\\car.dff", Night = "C:\\models\\car_night.dff",
                  InDff = "C:\\models\\dff\\car.dff", NightPrompt = "\r\nDrop night dff file.\r\n",
                  Analyzing = " Analyzing file...\r\n",
                  Replacing = " Warning: File already contain Night Vertex Color.\r\n",
                  Fewer = " Warning: Night DFF contains not enough vertex.\r\n",
                  More = " Warning: Night DFF contains too much vertex.\r\n",
                  NothingToStrip = " Skipped: File doesn't contain Night Vertex Color.\r\n",
                  LeftAsItIs = " Skipped: File already contain Night Vertex Color.\r\n";
// Without one-file mode: a strip asks for no night model.
const std::set<Option> OneFile = {Option::OneFileMode}, Stripping = {Option::Strip},
                       Dff = {Option::OneFileMode, Option::OutputInDffFolder},
                       Merging = {Option::OneFileMode, Option::AlwaysMerge};
const SystemError Denied = SystemError::AccessDenied;
const size_t Data = LayoutOf(ModelShape{}).firstGeometryData;
const Change NoColours = [](ModelShape& s) { s.geometries[0].prelit = false; },
             NoExtension = [](ModelShape& s) { s.geometries[0].hasExtension = false; };

// A refusal before the vertex count is read, and one after n vertices.
std::string Unread(const std::string& error) { return Analyzing + Error(error); }
std::string Refused(uint32_t n, const std::string& error) { return Counted(n) + Error(error); }
ModelShape With(ModelShape shape, const Change& change) { change(shape); return shape; }
Bytes Cut(ModelShape shape, size_t at) { shape.truncateAt = at; return Build(shape); }
// The model with the size field of one of its chunks set to size.
Bytes Resized(const ModelShape& shape, size_t Layout::*chunk, uint32_t size) {
    modelgen::Model model = modelgen::BuildModel(shape);
    rw::Store32(&model.bytes[model.layout.*chunk + 4], size);
    return model.bytes;
}
Bytes Merged(const ModelShape& day, const Colours& colours) {
    return modelgen::WithNightColours(day, colours).bytes;
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

struct Row {
    std::string name;
    std::set<Option> options;
    Bytes day = {}, night = {};  // none: no file
    std::string log = "";
    std::map<std::string, Bytes> after = {};  // the files that change or appear (or go: empty)
    Prepare setup = nullptr;
    std::string dayPath = Day, nightPath = Night;
    merge::PathForm form = merge::PathForm::Exact;
    std::vector<merge::LitRule> lit = {};
};

void RunSequence(const Row& row,
                 const std::function<void(MemorySession&)>& betweenDrops = nullptr) {
    SCOPED_TRACE(row.name);
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    session.ticked = row.options;
    session.lit = row.lit;
    if (!row.day.empty()) os.files[row.dayPath] = row.day;
    if (!row.night.empty()) os.files[row.nightPath] = row.night;
    if (row.setup) row.setup(os, session);
    std::map<std::string, Bytes> expected = os.files;
    const std::set<std::string> folders = os.folders;
    const size_t daySize = expected.count(row.dayPath) ? expected[row.dayPath].size() : 0;
    for (const auto& file : row.after) expected[file.first] = file.second;
    for (auto it = expected.begin(); it != expected.end();)
        it = it->second.empty() ? expected.erase(it) : ++it;
    merge::DropResult result =
        merge::HandleDroppedPath(sequence, os, session, row.dayPath.c_str(), row.form);
    if (sequence.state == merge::SequenceState::AwaitingNight) {
        EXPECT_FALSE(session.oneFileModeEnabled);
        if (betweenDrops) betweenDrops(session);
        result = merge::HandleDroppedPath(sequence, os, session, row.nightPath.c_str());
    }
    const bool written = result == merge::DropResult::Written;
    EXPECT_EQ(session.log, row.log);
    EXPECT_EQ(written, session.log.find("DFF created") != std::string::npos &&
                           session.log.find(" Error: ") == std::string::npos);
    EXPECT_TRUE(os.files == expected);
    EXPECT_TRUE(written || os.folders == folders);  // a "dff" folder made in vain is gone
    // The system's copy, unless the day model's bytes are compared after it.
    EXPECT_TRUE(!written || os.coarseClock || os.calls[static_cast<int>(Call::CopyRange)] > 0);
    EXPECT_EQ(ProblemsAtEnd(os, session, sequence), "");
    // No block the file cannot fill; the day model read whole once (three times to compare it),
    // before that only its headers (and with lit rules, its Material Lists and triangles: at
    // most the whole of it once more).
    EXPECT_TRUE(!os.declaredSize.empty() || os.largestAllocation < size_t{1} << 20);
    EXPECT_TRUE(row.dayPath == row.nightPath ||
                os.bytesRead[row.dayPath] <=
                    daySize * (row.lit.empty() ? 5 : 9) / 4 * (os.coarseClock ? 3 : 1) + 200);
}

// The error line of a log ("" for none), from "Error: " to its line end.
std::string ErrorIn(const std::string& log) {
    const size_t error = log.find("Error: ");
    return error == std::string::npos ? "" : log.substr(error, log.find('\r', error) - error);
}

// What day dropped alone comes to with these options and this action: its error line and result.
struct Came {
    std::string error, log;
    merge::DropResult result;
};
Came DropAlone(const Bytes& day, std::set<Option> options,
               merge::Action action = merge::Action::Write,
               const std::vector<merge::LitRule>& lit = {}) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    os.files[Day] = day;
    session.ticked = options;
    session.lit = lit;
    merge::RunPolicy policy;
    policy.action = action;
    const merge::DropResult result = merge::HandleDroppedPath(
        sequence, os, session, Day.c_str(), merge::PathForm::Exact, policy);
    merge::ReleaseDay(sequence);
    return {ErrorIn(session.log), session.log, result};
}

// One reading, every mode, with every geometry or without: a skip, a strip, a dry run and a
// drawing refuse what "Always Merge" refuses, with its line; a skip leaves only what it would
// replace; a listing refuses what every geometry refuses (but a model none of whose geometries
// can take night colours, which it lists).
void EveryModeAgrees(const Row& row) {
    if (row.setup || row.dayPath != Day || row.form != merge::PathForm::Exact) return;
    for (const bool every : {false, true}) {
        SCOPED_TRACE(row.name + (every ? ": every mode, every geometry" : ": every mode"));
        const auto with = [every](Option option) {
            std::set<Option> options = {Option::OneFileMode, option};
            if (every) options.insert(Option::EveryGeometry);
            return options;
        };
        const merge::Action write = merge::Action::Write;
        const Came merged = DropAlone(row.day, with(Option::AlwaysMerge), write, row.lit);
        const Came skipped = DropAlone(row.day, with(Option::SkipMerged), write, row.lit);
        EXPECT_EQ(skipped.error, merged.error);
        EXPECT_TRUE(skipped.result != merge::DropResult::LeftAsItIs ||
                    merged.log.find(Replacing) != std::string::npos);
        // A strip makes no model larger, and no colours for rules to light.
        const std::string stripped = DropAlone(row.day, with(Option::Strip), write, row.lit).error;
        const std::string unlit = DropAlone(row.day, with(Option::AlwaysMerge)).error;
        EXPECT_TRUE(stripped == unlit || unlit == "Error: File is too large.");
        const bool written = merged.result == merge::DropResult::Written;
        for (const merge::Action action : {merge::Action::DryRun, merge::Action::Keep}) {
            const Came came = DropAlone(row.day, with(Option::AlwaysMerge), action, row.lit);
            EXPECT_EQ(came.error, merged.error);
            EXPECT_EQ(came.result == merge::DropResult::WouldBeWritten ||
                          came.result == merge::DropResult::Kept, written);
        }
        if (!every) continue;
        MemoryOs os;
        os.files[Day] = row.day;
        const merge::Listing listing = merge::ListModel(os, Day, true, !row.lit.empty());
        const bool noneTakes = merged.error == "Error: File doesn't contain Vertex Color." ||
                               merged.error == "Error: File doesn't contain Extension.";
        EXPECT_EQ(listing.error, noneTakes && !listing.geometries.empty() ? "" : merged.error);
    }
}

TEST(Scenario, DayModelsRefusedAreLeftAsTheyWere) {
    const ModelShape three = Shape(3);
    const auto change = [&](const Change& c) { return Build(With(three, c)); };
    const std::string noFit = "Vertex count doesn't fit the file.",
                      noExtension = Refused(3, "File doesn't contain Extension."),
                      hasNight = "File already contain Night Vertex Color.",
                      nightPastFile = "Night Vertex Color runs past the end of the file.",
                      nightPastExtension = "Night Vertex Color runs past the end of the Extension.",
                      chunkPastExtension = "A chunk runs past the end of the Extension.",
                      pastGeometry = "Extension runs past the end of the Geometry.",
                      clumpTooShort = "Geometry List runs past the end of the Clump.";
    // One vertex and an old chunk of 20 bytes, the Extension's end between its size and version.
    const ModelShape cutOld = With(WithOldChunk(0, 1), [](ModelShape& s) {
        s.geometries[0].vertexCount = 1;
        s.geometries[0].plugins.clear();
        s.geometries[0].extensionSizeChange = -12;
    });
    // The Clump ends inside the old chunk that the new one replaces.
    const ModelShape shortClump = With(WithOldChunk(2, 4), [](ModelShape& s) {
        s.clumpSizeChange = static_cast<int32_t>(LayoutOf(s).nightChunk + 1) -
                            static_cast<int32_t>(Build(s).size());
    });
    // In the list's Struct, after the count, a Geometry: where a Struct of 4 bytes puts one.
    const size_t first = LayoutOf(Shape(1)).firstGeometry;
    const Bytes one = Build(Shape(1));
    const Bytes geometryInStruct = change([&](ModelShape& s) {
        s.listStructExtra.assign(one.begin() + first, one.begin() + ChunkEnd(one, first));
    });
    const Bytes oldPastFile = Resized(WithOldChunk(2, 1), &Layout::nightChunk, 0x7FFFFFF0);
    const Layout at = LayoutOf(three);
    const std::vector<Row> rows = {
        {"Missing", OneFile, {}, {}, Error("The system cannot find the file specified.")},
        {"NotClump", OneFile, change([](ModelShape& s) { s.firstChunkType = 0x0E; }), {},
         Unread("File doesn't contain Clump.")},
        {"OtherVersion", OneFile, change([](ModelShape& s) { s.version--; }), {},
         Unread("RW Version ID doesn't match.")},
        {"NotPrelit", OneFile, change(NoColours), {}, Unread("File doesn't contain Vertex Color.")},
        // Every mode reads the same: colours, old chunk or a count cut, one line for each.
        {"NotPrelitWithAnOldChunk", OneFile, Build(With(WithOldChunk(1, 4), NoColours)), {},
         Unread("File doesn't contain Vertex Color.")},
        {"NotPrelitCutInItsCount", OneFile, Cut(With(three, NoColours), Data + 10), {},
         Unread("File doesn't contain Vertex Color.")},
        {"OldChunkAndACountTooLarge", Merging, Build(With(WithOldChunk(1, 4), [](ModelShape& s) {
             s.overrideVertexCount = true;
             s.vertexCountField = 1000;
         })), {}, Refused(1000, noFit)},
        {"OldChunkPastTheGeometryList", Merging, Build(With(WithOldChunk(2, 4), [](ModelShape& s) {
             s.geometryListSizeChange = -1;
         })), {}, Counted(4) + Replacing + Error("Geometry runs past the end of the Geometry List.")},
        {"NoExtension", OneFile, change(NoExtension), {}, noExtension},
        // The search for the Extension stays inside the first Geometry.
        {"ExtensionOnlyInALaterGeometry", OneFile, change([](ModelShape& s) {
             s.geometries[0].hasExtension = false;
             s.geometries.push_back(modelgen::GeometryShape{});
         }), {}, noExtension},
        {"HasNightColours", OneFile, Build(WithOldChunk(1, 4)), {}, Refused(4, hasNight)},
        {"HasNightColoursSkipped", {Option::OneFileMode, Option::SkipMerged},
         Build(WithOldChunk(1, 4)), {}, Counted(4) + LeftAsItIs},
        // Cut in its colours, and right after them.
        {"EndsInColours", OneFile, Cut(three, Data + 16 + 10), {}, Refused(3, noFit)},
        {"EndsAfterItsColours", OneFile, Cut(three, Data + 16 + 12), {}, noExtension},
        {"HugeVertexCountAllocatesNothing", OneFile, change([](ModelShape& s) {
             s.overrideVertexCount = true;
             s.vertexCountField = 0xFFFFFFFF;
         }), {}, Refused(0xFFFFFFFF, noFit)},
        {"ExtensionPastFile", OneFile, Resized(three, &Layout::firstExtension, 0x7FFFFFF0), {},
         Refused(3, "Extension runs past the end of the file.")},
        // Found by the fuzzer: the new chunk went inside the next chunk's header.
        {"ExtensionPastGeometry", OneFile, Resized(three, &Layout::firstExtension, 12), {},
         Refused(3, pastGeometry)},
        // The Geometry's end cuts its Extension's header: the same fault.
        {"GeometryEndsInTheExtensionsHeader", OneFile,
         Resized(three, &Layout::firstGeometry,
                 static_cast<uint32_t>(at.firstExtension - at.firstGeometry - 8)),
         {}, Refused(3, pastGeometry)},
        {"GeometryInTheListsStruct", OneFile, geometryInStruct, {},
         Unread("Geometry List doesn't begin with a Struct of 4 bytes and a Geometry.")},
        {"OldChunkPastFile", Merging, oldPastFile, {}, Refused(4, nightPastFile)},
        {"OldChunkPastExtension", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 20),
         {}, Refused(4, nightPastExtension)},
        // Its size 2: what follows it is cut by the Extension's end.
        {"OldChunkOfSize2", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 2), {},
         Refused(4, chunkPastExtension)},
        // The Extension's end cuts a child (an old chunk's header, a plugin): no chunk boundary.
        {"EndsInOldChunksHeader", Merging, Build(cutOld), {}, Refused(1, nightPastExtension)},
        {"EndsInAPluginsPayload", OneFile, change([](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8)};
             s.geometries[0].extensionSizeChange = -1;
         }), {}, Refused(3, chunkPastExtension)},
        // A chunk that must grow does not hold the new chunk.
        {"GeometryListTooShort", OneFile,
         change([](ModelShape& s) { s.geometryListSizeChange = -1; }), {},
         Refused(3, "Geometry runs past the end of the Geometry List.")},
        {"ClumpTooShortForTheOldChunk", Merging, Build(shortClump), {},
         Counted(4) + Replacing + Error(clumpTooShort)},
        // A chunk is taken out only where it could be put in.
        {"StripOldChunkPastFile", Stripping, oldPastFile, {}, Refused(4, nightPastFile)},
        {"StripClumpTooShort", Stripping, Build(shortClump), {}, Refused(4, clumpTooShort)},
        // Found by the fuzzer: grown, a size would wrap around 32 bits; each is past the file.
        {"GrownSizeOver32Bits", OneFile, Resized(three, &Layout::firstGeometry, 0xFFFFFFFF), {},
         Refused(3, "Geometry runs past the end of the file.")},
        {"GrownListSizeOver32Bits", OneFile,
         Resized(three, &Layout::geometryList, 0xFFFFFFFF - 27), {},
         Refused(3, "Geometry List runs past the end of the file.")},
        {"GrownClumpSizeOver32Bits", OneFile, Resized(three, &Layout::clump, 0xFFFFFFFF - 27),
         {}, Refused(3, "Clump runs past the end of the file.")},
        // The image (file size + 16 + 4n) fits 32 bits, checked before allocating, or is refused.
        {"ImageOver32Bits", OneFile, Build(three), {}, Refused(3, "File is too large."), {},
         [](MemoryOs& os, MemorySession&) {  // refused before anything is allocated
             os.declaredSize[Day] = 0xFFFFFFFFu - 28 + 1;
             os.FailCall(Call::Allocate, 1, Denied);
         }},
        {"ImageOf32Bits", OneFile, Build(three), {}, Refused(3, "File could not be read."), {},
         [](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = 0xFFFFFFFFu - 28; }},
        {"NoMemoryForTheColours", OneFile, Build(three), {}, Refused(3, "Not enough memory."), {},
         Fail(Call::Allocate, 1, Denied)},
        {"NotStamped", OneFile, Build(three), {}, Error("Access is denied."), {},
         Fail(Call::StampOf, 1, Denied)},
        // Refused whole, and named: cut, it could name another file.
        {"PathTooLong", OneFile, Build(three), {}, Error("Path is longer than 259 characters."),
         {}, nullptr, "C:\\models\\" + std::string(246, 'n') + ".dff"},  // 260
        {"NameTheCodePageCannotHold", OneFile, Build(three), {},
         Error("The name has characters that this system's code page cannot hold."), {}, nullptr,
         Day, Night, merge::PathForm::Approximated},
    };
    for (Row row : rows) {
        row.log = Open(row.dayPath) + row.log + Ready;
        RunSequence(row);
        EveryModeAgrees(row);
    }
    // No path at all: an empty one, which cannot be opened.
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    EXPECT_EQ(merge::HandleDroppedPath(sequence, os, session, nullptr),
              merge::DropResult::NotWritten);
    EXPECT_EQ(session.log, Open("") + Error("The system cannot find the path specified.") + Ready);
    EXPECT_STREQ(merge::text::FirstLogLine.text, "Ready. Drop day dff file.\r\n");  // the window's
}

// The night colour chunk's bytes, as the format has them: type, size 4 + 4n, version, the field
// 01010101, then the colours.
TEST(Scenario, TheNightColourChunksBytes) {
    const Bytes merged = Merged(Shape(3), Grey(3));
    RunSequence({"Bytes", OneFile, Build(Shape(3)), {}, Open(Day) + Counted(3) + Created(Day),
                 {{Day, merged}}});
    const Bytes chunk(merged.begin() + LayoutOf(Shape(3)).firstExtensionEnd,
                      merged.begin() + LayoutOf(Shape(3)).firstExtensionEnd + 28);
    EXPECT_EQ(chunk, Bytes({0xF9, 0xF2, 0x53, 0x02, 0x10, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18, 1, 1, 1,
                            1, 64, 64, 64, 255, 64, 64, 64, 255, 64, 64, 64, 255}));
}

TEST(Scenario, NewChunkGoesIntoTheFirstExtensionAndItsContainersGrow) {
    const ModelShape three = Shape(3), two = With(three, [](ModelShape& s) {
        s.geometries.push_back(Shape(9).geometries[0]);
    });
    const auto after = [](ModelShape s) { s.geometryListAfterClump = true; return s; };
    std::vector<std::pair<std::string, ModelShape>> shapes = {
        {"Plugged", With(three, [](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8)};
             s.chunksBeforeGeometryList = {Plugin(0x0253F2F8, 6)};
         })},
        {"ZeroVertices", Shape(0)},
        {"FirstOfTwoGeometries", two},
        // The Clump does not hold the new chunk: its size stays.
        {"GeometryListAfterTheClump", after(Shape(5))},
        {"OldChunkEndsTheFile", after(WithOldChunk(2, 4))},
        // The old chunk is longer than the way from the Clump's end to it.
        {"LongOldChunkAfterTheClump", after(WithOldChunk(0, 60))},
        // Grown, the sizes just fit 32 bits.
        {"SizesOf32Bits", With(three, [](ModelShape& s) {
             const Bytes plain = Build(s);
             const Layout at = LayoutOf(s);
             const auto rest = [&](size_t chunk) {
                 return static_cast<int32_t>(0xFFFFFFFF - 28 - rw::Load32(&plain[chunk + 4]));
             };
             s.clumpSizeChange = rest(at.clump), s.geometryListSizeChange = rest(at.geometryList);
             s.geometries[0].geometrySizeChange = rest(at.firstGeometry);
         })},
        // The Geometry List is the Clump's last child, the rest after the Clump.
        {"ListEndsTheClump", With(three, [](ModelShape& s) {
             const Bytes plain = Build(s);
             s.clumpSizeChange = static_cast<int32_t>(ChunkEnd(plain, LayoutOf(s).geometryList)) -
                                 static_cast<int32_t>(ChunkEnd(plain, 0));
         })},
        // Only a child of the first Geometry's Extension is an old chunk: not one after the Clump,
        // in a later geometry, among the Clump's children or in its own Extension.
        {"NightChunkAfterAnEmptyExtension", With(after(three), [](ModelShape& s) {
             s.trailing = modelgen::NightColourChunk(PatternColours(1, 3));
         })},
        {"NightChunksElsewhere", With(three, [](ModelShape& s) {
             s.geometries.push_back(WithOldChunk(0, 4).geometries[0]);
             s.chunksBeforeGeometryList = s.clumpPlugins = {Plugin(rw::TypeNightColours, 20)};
         })},
    };
    // Old chunks first, between plugins or last; shorter, as long or longer.
    for (int index : {0, 1, 2})
        for (uint32_t n : {1u, 4u, 9u})
            shapes.push_back({"Old" + std::to_string(index) + "Of" + std::to_string(n),
                              WithOldChunk(index, n)});
    for (const auto& shape : shapes) {
        const uint32_t n = shape.second.geometries[0].vertexCount;
        const bool old = shape.second.geometries[0].nightChunkIndex >= 0;
        const std::string opened = Open(Day) + Counted(n);
        const Bytes merged = Merged(shape.second, Grey(n));
        RunSequence({shape.first, Merging, Build(shape.second), {},
                     opened + (old ? Replacing : "") + Created(Day), {{Day, merged}}});
        // Stripped, merged or not, the model comes back without night colours.
        const Bytes plain = Build(modelgen::WithoutNightColours(shape.second, false));
        RunSequence({shape.first + "Stripped", Stripping, merged, {}, opened + Created(Day),
                     {{Day, plain}}});
        RunSequence({shape.first + "StrippedUnmerged", Stripping, Build(shape.second), {},
                     opened + (old ? Created(Day) : NothingToStrip + Ready), {{Day, plain}}});
    }
    // Read only as far as the merge needs: cut after its first geometry, it is merged, still cut.
    const modelgen::Model merged = modelgen::WithNightColours(two, Grey(3));
    const Bytes cut(merged.bytes.begin(), merged.bytes.begin() + merged.layout.firstExtensionEnd);
    RunSequence({"CutAfterTheFirstGeometry", OneFile, Cut(two, LayoutOf(two).firstExtensionEnd), {},
                 Open(Day) + Counted(3) + Created(Day), {{Day, cut}}});
}

// Every channel changed another way: darker, lower, bluer, and alpha scaled to its ends.
const modelgen::ColourAdjustment Darker = {{45, 100, 160, 1000}, {0, -10, 8, -255}};
void Darken(MemoryOs&, MemorySession& session) {
    for (int c = 0; c < 4; ++c)
        session.adjustments[c] = {static_cast<int>(Darker.scale[c]), Darker.offset[c]};
}

TEST(Scenario, NightColoursComeFromAModelTheDayItselfOrTheFields) {
    const ModelShape three = Shape(3), five = Shape(5);
    const Bytes day = Build(five), own = PatternColours(0, 5), night = PatternColours(1, 5),
                fewer = Over(Grey(5), PatternColours(1, 3));
    const std::set<Option> copy = {Option::OneFileMode, Option::CopyDayColours};
    const std::string alone = Open(Day) + Counted(3) + Created(Day);
    const auto pair = [&](const std::string& log, const std::string& path = Night) {
        return Open(Day) + Counted(5) + NightPrompt + Open(path) + log + Created(Day);
    };
    const std::vector<Row> rows = {
        // Cut in place as its colours are about to be copied.
        {"CopyDayColoursUnreadable", copy, Build(three), {},
         Open(Day) + Refused(3, "File could not be read.") + Ready, {{Day, Cut(three, Data + 20)}},
         [=](MemoryOs& os, MemorySession&) {
             os.Before(Call::Allocate, 1, [&os, three] { os.Change(Day, Cut(three, Data + 20)); });
         }},
        {"CopyDayColours", copy, Build(three), {}, alone,
         {{Day, Merged(three, PatternColours(0, 3))}},
         [](MemoryOs&, MemorySession& s) { s.fields[0] = "7"; }},  // not read
        {"ColourFields", OneFile, Build(three), {}, alone,
         {{Day, Merged(three, Repeat({1, 2, 255, 255}, 3))}}, [](MemoryOs&, MemorySession& s) {
             s.fields[0] = "1", s.fields[1] = "2", s.fields[2] = "-1", s.fields[3] = "&HFF";
         }},
        {"Same", {}, day, NightModel(5), pair(Counted(5)), {{Day, Merged(five, night)}}},
        {"Fewer", {}, day, NightModel(3), pair(Counted(3) + Fewer), {{Day, Merged(five, fewer)}}},
        {"FewerOverDayColours", {Option::CopyDayColours}, day, NightModel(3),
         pair(Counted(3) + Fewer), {{Day, Merged(five, Over(own, PatternColours(1, 3)))}}},
        {"More", {}, day, NightModel(8), pair(Counted(8) + More), {{Day, Merged(five, night)}}},
        {"None", {}, day, NightModel(0), pair(Counted(0) + Fewer), {{Day, Merged(five, Grey(5))}}},
        // Cut inside its third colour: whole colours only.
        {"CutInColours", {}, day, NightModel(5, [](ModelShape& s) { s.truncateAt = Data + 27; }),
         pair(Counted(5)), {{Day, Merged(five, Over(Grey(5), PatternColours(1, 2)))}}},
        // The night model's Extension is not looked at.
        {"WithoutExtension", {}, day, NightModel(5, NoExtension), pair(Counted(5)),
         {{Day, Merged(five, night)}}},
        {"TheDayModelAgain", {}, day, {}, pair(Counted(5), Day), {{Day, Merged(five, own)}},
         nullptr, Day, Day},
        // Scaled and moved, whatever their source.
        {"CopyDayColoursAdjusted", copy, Build(three), {}, alone,
         {{Day, Merged(three, Adjusted(PatternColours(0, 3), Darker))}}, Darken},
        {"FewerAdjusted", {}, day, NightModel(3), pair(Counted(3) + Fewer),
         {{Day, Merged(five, Adjusted(fewer, Darker))}}, Darken},
    };
    for (const Row& row : rows) RunSequence(row);
    // The day stage's options count as at the day drop; the dff box as when the output is made.
    RunSequence({"OptionsReadWhenTheirStageRuns", {Option::AlwaysMerge}, Build(WithOldChunk(1, 4)),
                 NightModel(1), Open(Day) + Counted(4) + Replacing + NightPrompt + Open(Night) +
                                    Counted(1) + Fewer + Created(InDff),
                 {{InDff, Merged(WithOldChunk(1, 4), Over(Grey(4), PatternColours(1, 1)))}}},
                [](MemorySession& s) {
                    s.ticked = {Option::CopyDayColours, Option::OutputInDffFolder};
                    s.fields[0] = "1";
                });
}

TEST(Scenario, NightModelsRefusedEndTheSequence) {
    const std::vector<Row> rows = {
        {"NotPrelit", {}, {}, NightModel(3, NoColours),
         Unread("File doesn't contain Vertex Color.")},
        {"PathTooLong", {}, {}, {}, Error("Path is longer than 259 characters."), {}, nullptr, Day,
         "C:\\" + std::string(300, 'n')},
        {"CannotBeOpened", {}, {}, NightModel(5),
         Error("The process cannot access the file because it is being used by another process."),
         {}, Fail(Call::Open, 2, SystemError::SharingViolation)},
    };
    for (Row row : rows) {
        row.day = Build(Shape(3));
        row.log = Open(Day) + Counted(3) + NightPrompt + Open(row.nightPath) + row.log + Ready;
        RunSequence(row);
    }
    // A day or night model read short of its size at every offset: what cannot be read is not
    // there, and unreadable colours or Extension no model's.
    const Bytes day = Build(Shape(3)), night = NightModel(5);
    const Layout at = LayoutOf(Shape(3));
    const std::vector<std::pair<size_t, std::string>> dayEnds = {
        {12, "File doesn't contain Clump."},
        {at.geometryList + 4, "File doesn't contain Geometry List."},
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
            log += NightPrompt + Open(Night) +
                   (inDay || counted ? Counted(5) + More + Error("File could not be read.")
                                     : Unread(ends->second));
        }
        RunSequence({"Cut" + std::to_string(cut), {}, day, night, log + Ready, {},
                     [=](MemoryOs& os, MemorySession&) {
                         os.readableUpTo[inDay ? Day : Night] = end;
                     }});
    }
}

TEST(Scenario, OutputGoesOverTheDayModelOrIntoADffFolder) {
    const Bytes day = Build(Shape(3)), merged = Merged(Shape(3), Grey(3));
    const std::string log = Open(Day) + Counted(3), folder = "C:\\" + std::string(240, 'f');
    // 259, 255 and 256 characters: the longest path, the longest and a too long one with "\dff".
    const std::string fits = folder + "\\nnnnnnnnnnn.dff", fitsInDff = folder + "\\nnnnnnn.dff",
                      tooLong = folder + "\\nnnnnnnn.dff", inDff = folder + "\\dff\\nnnnnnn.dff";
    const auto in = [&](const std::string& path) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) {
            os.folders.insert(folder), os.files[path] = day;
        };
    };
    const Prepare root = [](MemoryOs& os, MemorySession&) { os.folders.insert(""); };
    const std::vector<Row> rows = {
        // Temporary names that exist are skipped and kept.
        {"FreeTemporaryName", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.files["C:\\models\\car.df~"] = {7}, os.files["C:\\models\\car.df0"] = {8};
         }},
        // 13 characters at each of the last two places: the 26th name is the last tried.
        {"LastTemporaryName", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) {
             for (int k = 1; k <= 25; ++k) os.FailCall(Call::Create, k, SystemError::FileExists);
         }},
        {"DffFolderMade", Dff, day, {}, log + Created(InDff), {{InDff, merged}}},
        // Its parent looked at first, as for a parent that is missing.
        {"DffFolderMadeOnASecondTry", Dff, day, {}, log + Created(InDff), {{InDff, merged}},
         Fail(Call::MakeDirectory, 1, SystemError::PathNotFound)},
        // No byte of the name can be changed into a temporary name's.
        {"NoFreeTemporaryName", OneFile, day, {},
         Open("C:\\models\\\xE8\x80\x80") + Counted(3) +
             Error("No name for a temporary file is free beside the model.") + Ready,
         {}, nullptr, "C:\\models\\\xE8\x80\x80"},
        // A link stays a link, the model it names replaced; its other hard links keep it as it was.
        {"ALinkStaysALink", OneFile, {}, {}, log + Created(Day), {{"C:\\models\\real.dff", merged}},
         [&](MemoryOs& os, MemorySession&) {
             os.links[Day] = "C:\\models\\real.dff", os.files["C:\\models\\real.dff"] = day;
         }},
        {"HardLinked", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) { os.HardLink("C:\\models\\copy.dff", Day); }},
        {"LinkToAPathTooLong", OneFile, {}, {},
         log + Error("Output path is longer than 259 characters.") + Ready, {},
         [=](MemoryOs& os, MemorySession&) {
             os.folders.insert(folder);
             os.files[os.links[Day] = folder + "\\" + std::string(20, 'n') + ".dff"] = day;
         }},
        {"DffFolderFileReplaced", Dff, day, {}, log + Created(InDff), {{InDff, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff"), os.files[InDff] = {1, 2, 3};
         }},
        {"DriveRoot", Dff, day, {}, Open("C:\\car.dff") + Counted(3) + Created("C:\\dff\\car.dff"),
         {{"C:\\dff\\car.dff", merged}}, nullptr, "C:\\car.dff"},
        {"NoFolderNamed", Dff, day, {}, Open("car.dff") + Counted(3) + Created("dff/car.dff"),
         {{"dff/car.dff", merged}}, root, "car.dff"},
        {"AtTheRoot", OneFile, day, {}, Open("\\car.dff") + Counted(3) + Created("\\car.dff"),
         {{"\\car.dff", merged}}, root, "\\car.dff"},
        {"PathOf259", OneFile, {}, {}, Open(fits) + Counted(3) + Created(fits), {{fits, merged}},
         in(fits), fits},
        {"DffPathOf259", Dff, {}, {}, Open(fitsInDff) + Counted(3) + Created(inDff),
         {{inDff, merged}}, in(fitsInDff), fitsInDff},
        {"DffPathOf260", Dff, {}, {},
         Open(tooLong) + Refused(3, "Output path is longer than 259 characters.") + Ready, {},
         in(tooLong), tooLong},
    };
    for (const Row& row : rows) RunSequence(row);
}

// A failed output never costs the target (over the day model, an older output in "dff" or in a
// "dff" folder made for it): the call's text, every file as it was.
TEST(Scenario, OutputFailuresLeaveEveryFileAsItWas) {
    const Bytes day = Build(Shape(3)), merged = Merged(Shape(3), Grey(3));
    const std::string log = Open(Day) + Counted(3), created = log + "\r\nDFF created: " + Day;
    // Exchange: the move over a file; MoveNew: the move to a name still free.
    for (Call call : {Call::Write, Call::CopyRange, Call::TakePermissions, Call::Flush,
                      Call::CloseOutput, Call::Exchange, Call::MoveNew, Call::Create,
                      Call::MakeDirectory, Call::StampOfName, Call::ResolveLinks}) {
        for (int where = 0; where < 3; ++where) {
            // The folder's own failure, not the file's that would follow.
            const bool folder = call == Call::MakeDirectory, overDay = where == 0;
            // Links are followed only at the model's own name.
            if ((overDay && folder) || (call == Call::MoveNew) != (where == 2) ||
                (call == Call::ResolveLinks && !overDay))
                continue;
            const std::string error = folder ? " Error: Cannot create folder C:\\models\\dff: "
                                             : " Error: ";
            RunSequence({"Call" + std::to_string(static_cast<int>(call)), overDay ? OneFile : Dff,
                         day, {}, log + error + ErrorText(SystemError::DiskFull) + Ready, {},
                         [=](MemoryOs& os, MemorySession&) {
                             // Create: every temporary name there could be (13 characters
                             // at each of the name's last two places).
                             for (int k = 1; k <= (call == Call::Create ? 26 : 1); ++k)
                                 os.FailCall(call, k, SystemError::DiskFull);
                             if (where == 2) return;  // the "dff" folder made
                             os.folders.insert("C:\\models\\dff");
                             os.files[InDff] = {'o', 'l', 'd'};
                         }});
        }
    }
    // The copy up to the new chunk: after the four sizes' copies.
    RunSequence({"CopyBeforeTheChunk", OneFile, day, {}, log + Error("Access is denied.") + Ready,
                 {}, Fail(Call::CopyRange, 5, Denied)});
    // The new chunk's header and its colours: after the four sizes' writes.
    for (int k : {5, 6})
        RunSequence({"ChunkNotWritten" + std::to_string(k), OneFile, day, {},
                     log + Error("Access is denied.") + Ready, {}, Fail(Call::Write, k, Denied)});
    // The day model opened again for its copy.
    RunSequence({"NotOpenedAgain", OneFile, day, {}, log + Error("Access is denied.") + Ready, {},
                 Fail(Call::Open, 2, Denied)});
    // The day model looked at before its copy and after it.
    for (int k : {2, 3})
        RunSequence({"NotStamped" + std::to_string(k), OneFile, day, {},
                     log + Error("Access is denied.") + Ready, {}, Fail(Call::StampOf, k, Denied)});
    const auto copies = [](uint64_t most) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) { os.copiesAtMost = most; };
    };
    const std::vector<Row> rows = {
        // The system copies so much a call or nothing: the rest goes through a buffer of ours.
        {"CopiesNothing", OneFile, day, {}, log + Created(Day), {{Day, merged}}, copies(0)},
        {"Copies5", OneFile, day, {}, log + Created(Day), {{Day, merged}}, copies(5)},
        {"BufferedCopyNotWritten", OneFile, day, {}, log + Error("Access is denied.") + Ready, {},
         [](MemoryOs& os, MemorySession&) {
             os.copiesAtMost = 0;
             os.FailCall(Call::Write, 1, Denied);
         }},
        // Saved as the merge was swapped in, and the swap back refused: both kept, and said where.
        {"SwappedBackRefused", OneFile, day, {},
         log + Error("Access is denied.") + " Error: The model is kept as C:\\models\\car.df~, "
               "the merged model as C:\\models\\car.dff.\r\n" + Ready,
         {{Day, merged}, {"C:\\models\\car.df~", Build(Shape(4))}},
         [](MemoryOs& os, MemorySession&) {
             os.Before(Call::StampOfName, 3,
                       [&os] { os.Change("C:\\models\\car.df~", Build(Shape(4))); });
             os.FailCall(Call::Exchange, 2, Denied);
         }},
        // Where the system swaps no names: moved over the target once it is checked.
        {"WithoutSwaps", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) { os.swapsNames = false; }},
        // Replaced, but its folder's entry may not be on the disk: no model written.
        {"FolderNotFlushed", OneFile, day, {},
         created + "\r\n" + Error("Cannot flush folder C:\\models: Access is denied.") + Ready,
         {{Day, merged}}, Fail(Call::SyncFolder, 1, Denied)},
    };
    for (const Row& row : rows) RunSequence(row);
}

// A model another program saves while it is merged is never lost; nor is an older output in
// "dff", which was not read.
TEST(Scenario, AModelSavedMeanwhileIsNeverLost) {
    const Bytes day = Build(Shape(3)), other = Build(Shape(5));
    const std::string log = Open(Day) + Counted(3), night = NightPrompt + Open(Night) + Counted(3),
                      changed = Error("File changed while it was merged.") + Ready;
    // The day model saved with these bytes (none: removed) before the k-th call of call.
    const auto save = [](Call call, int k, const Bytes& bytes) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) {
            os.Before(call, k, [&os, bytes] {
                if (bytes.empty()) os.files.erase(Day); else os.Change(Day, bytes);
            });
        };
    };
    // An output in the "dff" folder saved meanwhile: before the check of an older one there, or
    // as the merged one is moved to its free name.
    const auto savedInDff = [](bool older) -> Prepare {
        return [=](MemoryOs& os, MemorySession&) {
            os.folders.insert("C:\\models\\dff");
            if (older) os.files[InDff] = {1};
            os.Before(older ? Call::Flush : Call::MoveNew, 1, [&os] { os.Change(InDff, {2}); });
        };
    };
    const Bytes sameSize = Build(Shape(3, Repeat({1, 2, 3, 4}, 3)));
    const std::vector<Row> rows = {
        {"WhileWritten", OneFile, day, {}, log + changed, {{Day, other}},
         save(Call::Write, 1, other)},
        {"Deleted", OneFile, day, {}, log + changed, {{Day, {}}}, save(Call::Create, 1, {})},
        {"BetweenTheDrops", {}, day, NightModel(3), log + night + changed, {{Day, other}},
         save(Call::Open, 2, other)},
        {"RemovedBetweenTheDrops", {}, day, NightModel(3), log + night + changed, {{Day, {}}},
         save(Call::Open, 3, {})},
        // Saved as a write fails: the failure is what is told.
        {"WhileAWriteFails", OneFile, day, {}, log + " Error: " + ErrorText(SystemError::DiskFull) +
         Ready, {{Day, other}}, [=](MemoryOs& os, MemorySession& s) {
             save(Call::Write, 1, other)(os, s);
             os.FailCall(Call::Write, 1, SystemError::DiskFull);
         }},
        // Into the "dff" folder, the copy must be the day model whole.
        {"WhileCopied", Dff, day, {}, log + changed, {{Day, other}},
         save(Call::CopyRange, 2, other)},
        {"OlderOutputInDff", Dff, day, {}, log + changed, {{InDff, {2}}}, savedInDff(true)},
        {"OutputMadeMeanwhile", Dff, day, {}, log + changed, {{InDff, {2}}}, savedInDff(false)},
        // Saved under another of its names: the same file, changed.
        {"SavedUnderAnotherName", OneFile, day, {}, log + changed,
         {{Day, other}, {"C:\\models\\copy.dff", other}}, [=](MemoryOs& os, MemorySession&) {
             os.HardLink("C:\\models\\copy.dff", Day);
             os.Before(Call::Write, 1, [&os, other] { os.Change("C:\\models\\copy.dff", other); });
         }},
        // Saved between the swap of the merged model in and its check: swapped back.
        {"AtTheLastMoment", OneFile, day, {}, log + changed, {{Day, other}},
         [=](MemoryOs& os, MemorySession&) {
             os.Before(Call::StampOfName, 3, [&os, other] { os.Change("C:\\models\\car.df~", other); });
         }},
        // Where times are coarse, a save of the same size within the tick, before the copy or
        // after it: told by its bytes.
        {"WithinTheClocksTick", OneFile, day, {}, log + changed, {{Day, sameSize}},
         [=](MemoryOs& os, MemorySession&) {
             os.coarseClock = true;
             os.Before(Call::StampOf, 3, [&os, sameSize] { os.Change(Day, sameSize, true); });
         }},
        {"WithinTheTickBeforeTheCopy", OneFile, day, {}, log + changed, {{Day, sameSize}},
         [=](MemoryOs& os, MemorySession&) {
             os.coarseClock = true;
             os.Before(Call::Open, 2, [&os, sameSize] { os.Change(Day, sameSize, true); });
         }},
        // "dff\car.dff" a link to the day model: replaced, never written through.
        {"DffLinkToTheDay", Dff, day, {}, log + Created(InDff),
         {{Day, other}, {InDff, Merged(Shape(3), Grey(3))}}, [=](MemoryOs& os, MemorySession& s) {
             os.links[InDff] = Day;
             save(Call::Flush, 1, other)(os, s);
         }},
    };
    for (const Row& row : rows) RunSequence(row);
}

// With every geometry, each that can take colours gets a chunk, from the night model's geometry
// of its number where there is one; the others are carried through unchanged.
TEST(Scenario, EveryGeometry) {
    const auto with = [](Option option) {
        return std::set<Option>{Option::OneFileMode, Option::EveryGeometry, option};
    };
    const std::set<Option> every = with(Option::EveryGeometry), merging = with(Option::AlwaysMerge),
                           skipping = with(Option::SkipMerged), strip = with(Option::Strip),
                           night = {Option::EveryGeometry, Option::CopyDayColours};
    // Geometries of 3, 4 and 5 vertices; the second as the change makes it.
    const auto three = [](const std::function<void(modelgen::GeometryShape&)>& second) {
        ModelShape shape = Shape(3);
        for (uint32_t n : {4u, 5u}) shape.geometries.push_back(Shape(n).geometries[0]);
        second(shape.geometries[1]);
        return shape;
    };
    const auto g = [](uint32_t k, const std::string& line) {
        return " Geometry " + std::to_string(k) + ": " + line + "\r\n";
    };
    const std::string opened = Open(Day) + Counted(3) + g(2, "4 vertex.") + g(3, "5 vertex."),
                      missing = g(2, "Warning: Vertex Color missing: geometry left as it is."),
                      miscounted = "Geometry List doesn't hold the geometries it counts.";
    const ModelShape plain = three([](auto&) {}),
                     old = three([](auto& s) { s.nightChunkIndex = 0; }),
                     noColours = three([](auto& s) { s.prelit = false; }),
                     noExtension = three([](auto& s) { s.hasExtension = false; }),
                     oldNoColours = three([](auto& s) { s.nightChunkIndex = 0, s.prelit = false; });
    // Two geometries, the first with an old chunk: with a skip, that one alone is left.
    const ModelShape oldFirst = With(Shape(3), [](ModelShape& s) {
        s.geometries[0].nightChunkIndex = 0;
        s.geometries.push_back(Shape(4).geometries[0]);
    });
    const ModelShape nightShape = With(Shape(2, PatternColours(1, 2)), [](ModelShape& s) {
        s.geometries.push_back(Shape(7).geometries[0]);  // more than the day's 4
    });
    const ModelShape after = With(plain, [](ModelShape& s) {
        s.geometryListAfterClump = true;
        s.trailing = {0x0F, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x18};
    });
    const ModelShape elsewhere = With(plain, [](ModelShape& s) {
        s.chunksBeforeGeometryList = s.clumpPlugins = {Plugin(rw::TypeNightColours, 20)};
    });
    const Colours greys = {{0, Grey(3)}, {1, Grey(4)}, {2, Grey(5)}},
                  outer = {{0, Grey(3)}, {2, Grey(5)}};
    // The model cut at the end of its Geometry List, before it is merged and after.
    const modelgen::Model unmerged = modelgen::BuildModel(plain),
                          merged = modelgen::WithNightColours(plain, greys);
    const size_t list = unmerged.layout.geometryList;  // where it is in both
    const Bytes cut(merged.bytes.begin(), merged.bytes.begin() + ChunkEnd(merged.bytes, list));
    Bytes miscount = unmerged.bytes, cutHeader = unmerged.bytes;
    rw::Store32(&miscount[list + 24], 2);  // the list's count
    // The list ends inside the third Geometry's header, after its size.
    size_t third = unmerged.layout.firstGeometry;
    for (int k = 0; k < 2; ++k) third = ChunkEnd(unmerged.bytes, third);
    rw::Store32(&cutHeader[list + 4], static_cast<uint32_t>(third + 8 - list - 12));
    const std::vector<Row> rows = {
        {"AllThree", every, Build(plain), {}, opened + Created(Day), {{Day, Merged(plain, greys)}}},
        {"OneWithoutColours", every, Build(noColours), {}, opened + missing + Created(Day),
         {{Day, Merged(noColours, outer)}}},
        {"OneWithoutExtension", every, Build(noExtension), {},
         opened + g(2, "Warning: Extension missing: geometry left as it is.") + Created(Day),
         {{Day, Merged(noExtension, outer)}}},
        {"ANightModelOfTwo", night, Build(plain), Build(nightShape),
         opened + NightPrompt + Open(Night) + Counted(2) + Fewer + g(2, "7 vertex.") +
             g(2, "Warning: Night DFF contains too much vertex.") +
             g(3, "Warning: Night DFF contains no such geometry.") + Created(Day),
         {{Day, Merged(plain, Colours{{0, Over(PatternColours(0, 3), PatternColours(1, 2))},
                                      {1, PatternColours(1, 4)}, {2, PatternColours(2, 5)}})}}},
        {"OldChunksReplaced", merging, Build(old), {},
         opened + g(2, "Warning: File already contain Night Vertex Color.") + Created(Day),
         {{Day, Merged(old, greys)}}},
        // A model of one geometry is logged as without every geometry.
        {"TheOnlyGeometryLeftAsItIs", skipping, Build(WithOldChunk(1, 4)), {},
         Open(Day) + Counted(4) + LeftAsItIs + Ready},
        {"OldChunkRefused", every, Build(old), {},
         opened + g(2, "Error: File already contain Night Vertex Color.") + Ready},
        {"OldChunkLeftAsItIs", skipping, Build(oldFirst), {},
         Open(Day) + Counted(3) + g(2, "4 vertex.") +
             " Skipped: Geometry already contain Night Vertex Color.\r\n" + Created(Day),
         {{Day, Merged(oldFirst, Colours{{1, Grey(4)}})}}},
        {"NoneCanTakeColours", every, Build(With(noColours, [](ModelShape& s) {
             s.geometries[0].prelit = s.geometries[2].prelit = false;
         })), {}, opened + " Warning: Vertex Color missing: geometry left as it is.\r\n" +
             missing + g(3, "Warning: Vertex Color missing: geometry left as it is.") +
             Error("File doesn't contain Vertex Color.") + Ready},
        // A model of one geometry is read as without every geometry.
        {"OneWithoutColoursAlone", every, Build(With(Shape(3), NoColours)), {},
         Open(Day) + Unread("File doesn't contain Vertex Color.") + Ready},
        {"AllThreeStripped", strip, Merged(plain, greys), {}, opened + Created(Day),
         {{Day, Build(plain)}}},
        // Passed over as a merge passes over it (its Extension unread), its old chunk kept.
        {"OneWithoutColoursNotStripped", strip, Merged(oldNoColours, Colours{{0, Grey(3)}}), {},
         opened + missing + Created(Day), {{Day, Build(oldNoColours)}}},
        {"NothingToStrip", strip, Build(plain), {}, opened + NothingToStrip + Ready},
        {"NoExtensionNotStripped", Stripping, Build(With(Shape(3), NoExtension)), {},
         Open(Day) + Refused(3, "File doesn't contain Extension.") + Ready},
        {"Miscounted", every, miscount, {}, Open(Day) + Refused(3, miscounted) + Ready},
        {"AGeometryCutByTheListsEnd", every, cutHeader, {},
         Open(Day) + Refused(3, miscounted) + Ready},
        // Cut in the third Geometry's Struct, after its flags, before its vertex count.
        {"AGeometryCutInItsFields", every, Cut(plain, third + 24 + 6), {},
         Open(Day) + Refused(3, "File ends inside the geometry data.") + Ready},
        {"ANightModelMiscounted", night, Build(plain), miscount,
         opened + NightPrompt + Open(Night) + Refused(3, miscounted) + Ready},
        // A night model's geometry without colours gives none; a day model of one geometry
        // takes its night model's first, whatever the rest of it.
        {"ANightModelsFirstWithoutColours", night, Build(plain),
         Build(With(nightShape, [](ModelShape& s) { s.geometries[0].prelit = false; })),
         opened + NightPrompt + Open(Night) + Counted(2) +
             " Warning: Night DFF contains no such geometry.\r\n" + g(2, "7 vertex.") +
             g(2, "Warning: Night DFF contains too much vertex.") +
             g(3, "Warning: Night DFF contains no such geometry.") + Created(Day),
         {{Day, Merged(plain, Colours{{0, PatternColours(0, 3)}, {1, PatternColours(1, 4)},
                                      {2, PatternColours(2, 5)}})}}},
        {"OneGeometryANightModelMiscounted", night, Build(Shape(3)), miscount,
         Open(Day) + Counted(3) + NightPrompt + Open(Night) + Counted(3) + Created(Day),
         {{Day, Merged(Shape(3), PatternColours(0, 3))}}},
        // A Geometry after the end of the list is none of its geometries.
        {"AGeometryAfterTheList", every, Build(after), {}, opened + Created(Day),
         {{Day, Merged(after, greys)}}},
        // Only a child of a geometry's Extension counts as an old chunk.
        {"NightChunksElsewhere", every, Build(elsewhere), {}, opened + Created(Day),
         {{Day, Merged(elsewhere, greys)}}},
        // Read as far as the last geometry.
        {"CutAfterTheList", every, Cut(plain, ChunkEnd(unmerged.bytes, list)), {},
         opened + Created(Day), {{Day, cut}}},
        {"NoMemoryForTheSecond", every, Build(plain), {},
         opened + g(2, "Error: Not enough memory.") + Ready, {}, Fail(Call::Allocate, 2, Denied)},
        // Each chunk fits 32 bits on its own, not all three together.
        {"TogetherTooLarge", every, Build(plain), {}, opened + Error("File is too large.") + Ready,
         {}, [](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = 0xFFFFFFFFu - 60; }},
    };
    for (const Row& row : rows) RunSequence(row);
}

// A square of 4 vertices, the generator's grid: triangle 0 1 2 of the Material List's first entry,
// 1 3 2 of its second; vertices 1 and 2 are in both.
ModelShape Square(const std::vector<modelgen::MaterialShape>& materials) {
    return With(Shape(4), [&](ModelShape& s) {
        s.geometries[0].triangleCount = 2;
        s.geometries[0].materials = materials;
        s.geometries[0].triangleMaterials = {0, 1};
    });
}
Bytes Vertices(std::initializer_list<Bytes> colours) {
    Bytes all;
    for (const Bytes& colour : colours) all.insert(all.end(), colour.begin(), colour.end());
    return all;
}

// Lit rules light the night colours, however they were made, by the day model's materials.
TEST(Scenario, LitRules) {
    const modelgen::MaterialShape window = {true, "window_lit"}, lamp = {true, "Lamp01"}, none;
    const Bytes w = {255, 200, 100, 255}, l = {250, 250, 210, 255}, g = {64, 64, 64, 255},
                n = {9, 9, 9, 255};
    const merge::LitRule windows = {"WINDOW*", {255, 200, 100, 255}},
                         lamps = {"lamp??", {250, 250, 210, 255}},
                         all = {"*", {255, 200, 100, 255}};
    const ModelShape square = Square({window, lamp});
    const auto lit = [&](const std::string& name, const ModelShape& shape,
                         std::vector<merge::LitRule> rules, const Bytes& colours,
                         std::set<Option> options = OneFile, Prepare setup = nullptr) {
        Row row{name, options, Build(shape), {}, Open(Day) + Counted(4) + Created(Day),
                {{Day, Merged(shape, colours)}}, setup};
        row.lit = rules;
        RunSequence(row);
    };
    // The first rule given that matches wins, at a vertex of two triangles too.
    lit("FirstRuleWins", square, {windows, lamps}, Vertices({w, w, w, l}));
    lit("FirstRuleWinsTheOtherWay", square, {lamps, windows}, Vertices({w, l, l, l}));
    lit("ASharedVertexIsLit", square, {windows}, Vertices({w, w, w, g}));
    // A corner past the vertices (the first triangle's first, 0, made 4) lights nothing.
    const auto corner = [](Bytes model) { return model[Data + 32] = 4, model; };
    Row past{"ACornerPastTheVertices", OneFile, corner(Build(square)), {},
             Open(Day) + Counted(4) + Created(Day),
             {{Day, corner(Merged(square, Vertices({g, w, w, g})))}}};
    past.lit = {windows};
    RunSequence(past);
    // Cut in its triangles as they are read once more for the rules (after their first memory).
    const Bytes cut = Cut(square, Data + 36);
    Row cutAgain{"CutAsItsTrianglesAreReadAgain", OneFile, Build(square), {},
                 Open(Day) + Counted(4) + Error("File could not be read.") + Ready,
                 {{Day, cut}}, [cut](MemoryOs& os, MemorySession&) {
                     os.Before(Call::Allocate, 1, [&os, cut] { os.Change(Day, cut); });
                 }};
    cutAgain.lit = {windows};
    RunSequence(cutAgain);
    lit("QuestionMarkAndStar", square, {{"lamp?", {1, 2, 3, 4}}, {"*_L?T", {255, 200, 100, 255}}},
        Vertices({w, w, w, g}));
    // The triangles after one, two or three sets of texture coordinates (flagged, or counted).
    for (uint8_t sets : {1, 2, 3}) {
        const ModelShape textured = With(square, [&](ModelShape& s) {
            s.geometries[0].textureSets = sets;
        });
        lit("TextureSets" + std::to_string(sets), textured, {windows}, Vertices({w, w, w, g}));
    }
    // More materials than one read of the list's indices takes.
    std::vector<modelgen::MaterialShape> many(300, none);
    many[299] = window;
    lit("ManyMaterials", With(Square(many), [](ModelShape& s) {
            s.geometries[0].triangleMaterials = {0, 299};
        }), {windows}, Vertices({g, w, w, w}));
    lit("AMaterialWithoutATexture", Square({none, lamp}), {all}, Vertices({g, w, w, w}));
    // The third index stands for the first material.
    lit("AnEarlierMaterial", With(square, [](ModelShape& s) {
            s.geometries[0].materialIndices = {-1, -1, 0};
            s.geometries[0].triangleMaterials = {1, 2};
        }), {windows}, Vertices({g, w, w, w}));
    lit("NotScaledNorMoved", Square({window, none}), {windows},
        Over(Adjusted(PatternColours(0, 4), Darker), Vertices({w, w, w})),
        {Option::OneFileMode, Option::CopyDayColours}, Darken);
    // With every geometry, the night model's colours, lit by the day model's materials.
    const ModelShape two = With(square, [&](ModelShape& s) {
        s.geometries.push_back(Square({lamp, window}).geometries[0]);
    });
    const ModelShape nights = With(Shape(4, Repeat(n, 4)), [](ModelShape& s) {
        s.geometries.push_back(s.geometries[0]);
    });
    const std::string second = " Geometry 2: 4 vertex.\r\n";
    Row row{"ANightModelWithEveryGeometry", {Option::EveryGeometry}, Build(two), Build(nights),
            Open(Day) + Counted(4) + second + NightPrompt + Open(Night) + Counted(4) + second +
                Created(Day),
            {{Day, Merged(two, Colours{{0, Vertices({w, w, w, n})},
                                       {1, Vertices({n, w, w, w})}})}}};
    row.lit = {windows};
    RunSequence(row);
    // Refused with rules, in every mode; merged as ever without: nothing of the materials read.
    const auto refused = [&](const std::string& name, const Bytes& day, const std::string& log,
                             std::set<Option> options = OneFile) {
        Row r{name, options, day, {}, Open(Day) + Counted(4) + log + Ready};
        r.lit = {windows};
        RunSequence(r);
        EveryModeAgrees(r);
        EXPECT_EQ(DropAlone(r.day, options).result, merge::DropResult::Written) << name;
    };
    const auto broken = [&](const std::function<void(modelgen::GeometryShape&)>& change) {
        return Build(With(square, [&](ModelShape& s) { change(s.geometries[0]); }));
    };
    // The list's count one more than its Struct holds, the file going on after it.
    Bytes countPast = Build(square);
    const size_t data = modelgen::LayoutOf(square).firstGeometryData;
    const size_t listCount = data + rw::Load32(&countPast[data - 8]) + 24;
    rw::Store32(&countPast[listCount], rw::Load32(&countPast[listCount]) + 1);
    refused("CountPastItsStruct", countPast,
            Error("Material List doesn't hold the materials it counts."));
    {
        Row r{"NoMemoryForTheRules", OneFile, Build(square), {},
              Open(Day) + Counted(4) + Error("Not enough memory.") + Ready, {},
              Fail(Call::Allocate, 2, Denied)};
        r.lit = {windows};
        RunSequence(r);
    }
    refused("MaterialsMiscounted", broken([](auto& g) { g.materialIndices = {-1, -1, -1}; }),
            Error("Material List doesn't hold the materials it counts."));
    refused("NotGivenEarlier", broken([](auto& g) { g.materialIndices = {-1, 1}; }),
            Error("Material List names a material not given earlier."));
    refused("PastTheList", broken([](auto& g) { g.triangleMaterials = {0, 2}; }),
            Error("A triangle's material is past the Material List."));
    refused("NameUnended", broken([](auto& g) { g.unterminatedTextures = true; }),
            Error("Texture name runs past its String."));
    refused("InTheSecondGeometry", Build(With(two, [](ModelShape& s) {
                s.geometries[1].unterminatedTextures = true;
            })), second + " Geometry 2: Error: Texture name runs past its String.\r\n",
            {Option::OneFileMode, Option::EveryGeometry});
}

TEST(LitRule, PatternsMatchWholeNamesInAnyCase) {
    const struct { const char *pattern, *name; bool matches; } cases[] = {
        {"window_lit", "WINDOW_LIT", true}, {"window", "window_lit", false},
        {"lit", "window_lit", false},      {"*", "", true},
        {"?", "", false},                  {"lamp??", "lamp01", true},
        {"lamp??", "lamp1", false},        {"lamp??", "lamp001", false},
        {"*sign", "neon_SIGN", true},      {"*sign*", "signs", true},
        {"a*b*c", "aXbYbZc", true},        {"a*b*c", "aXbYbZ", false},
        {"*a", "baa", true},               {"?", "\xC3\xA9", true},  // one character, two bytes
        {"\xC3\x89", "\xC3\xA9", false},    // only A to Z in either case
    };
    for (const auto& c : cases)
        EXPECT_EQ(merge::TextureMatches(c.pattern, c.name), c.matches) << c.pattern << c.name;
}

// The window's one sequence, drop after drop: a failed output removes only the folders it made,
// not an earlier drop's "dff" folder, even once that is empty.
TEST(Scenario, AFailureRemovesOnlyTheFoldersItMade) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    os.files[Day] = Build(Shape(3));
    session.ticked = Dff;
    const auto drop = [&] { return merge::HandleDroppedPath(sequence, os, session, Day.c_str()); };
    EXPECT_EQ(drop(), merge::DropResult::Written);
    os.files.erase(InDff);
    session.ticked = OneFile;
    os.FailCall(Call::Exchange, os.calls[static_cast<int>(Call::Exchange)] + 1, Denied);
    EXPECT_EQ(drop(), merge::DropResult::NotWritten);
    EXPECT_EQ(os.folders, (std::set<std::string>{"C:", "C:\\models", "C:\\models\\dff"}));
    EXPECT_EQ(session.log.substr(session.log.rfind(" Error")), Error("Access is denied.") + Ready);
}

TEST(Scenario, FoldersOfPaths) {
    MemoryOs os;
    for (const auto& path : std::map<std::string, std::string>{
             {"/a.dff", "/"}, {"C:\\a.dff", "C:\\"}, {"a.dff", "."}, {"C:\\m\\a.dff", "C:\\m"}})
        EXPECT_EQ(merge::FolderOf(os, path.first), path.second);
    // Names compared as the system compares them: only ASCII letters in any case.
    for (const bool ignoresCase : {false, true}) {
        os.ignoresCase = ignoresCase;
        EXPECT_EQ(merge::ComparedName(os, "@AZ[az\xC3\x84"),
                  ignoresCase ? "@az[az\xC3\x84" : "@AZ[az\xC3\x84");
    }
    // A model kept in memory reads as far as it holds.
    const uint8_t bytes[3] = {1, 2, 3};
    rw::MemoryStream stream(bytes, 3);
    uint8_t read[8] = {};
    EXPECT_TRUE(stream.Read(read, 2) == 2 && stream.Read(read, 8) == 1 && read[0] == 3 &&
                stream.Read(read, 8) == 0);
}

// The adjustment at its edges (scales, channel and offset ends, a half); the generator's too.
TEST(ColourAdjustment, EdgesOfTheFormula) {
    const struct { int value, scale, offset, channel; } cases[] = {
        {0, 1000, 0, 0},    {25, 1000, 0, 250},  {26, 1000, 0, 255},  {255, 1000, -255, 255},
        {1, 1000, -255, 0}, {255, 0, 0, 0},      {0, 0, 255, 255},    {255, 0, -255, 0},
        {255, 100, -255, 0}, {128, 100, 127, 255}, {128, 100, 128, 255}, {10, 100, -11, 0},
        {255, 100, 0, 255}, {1, 50, 0, 1},       {3, 50, 0, 2},       {5, 10, 0, 1},
        {4, 10, 0, 0},      {1, 149, 0, 1},      {1, 150, 0, 2},      {200, 45, 8, 98},
    };
    for (const auto& c : cases) {
        const uint8_t value = static_cast<uint8_t>(c.value);
        EXPECT_EQ(merge::AdjustChannel(value, {c.scale, c.offset}), c.channel) << c.value;
        modelgen::ColourAdjustment adjustment;
        adjustment.scale[0] = c.scale, adjustment.offset[0] = c.offset;
        EXPECT_EQ(Adjusted({value}, adjustment), Bytes{static_cast<uint8_t>(c.channel)}) << c.value;
    }
}

TEST(ColourField, TextsAndTheChannelsTheyGive) {
    const struct { const char* text; int channel; } cases[] = {
        {"64", 64}, {"255", 255}, {"256", 0}, {"300", 44}, {"0255", 255}, {"", 0}, {"00000064", 6},
        {" 7", 7}, {"\t 7", 7}, {"&HFF", 255}, {"&hff", 255}, {"&H1F", 31}, {"&O377", 255},
        {"&o17", 15}, {"&O8", 0}, {"&H", 0}, {"&X1", 0}, {"  &H1F", 31}, {"12.9", 12}, {".5", 0},
        {"-1", 255}, {"-12.9", 244}, {"+7", 7}, {"- 5", 0}, {"-&HFF", 0}, {"1e3", 1}, {"64abc", 64},
        {"1,5", 1}, {"abc", 0}, {"9999999999", 127}, {"&Hfffffff", 255}, {"&Haf", 175},
        {"&HAG", 10}, {"6@", 6},
    };
    MemorySession session;
    for (const auto& c : cases) {
        session.fields[2] = c.text;
        EXPECT_EQ(merge::ReadColourField(session, merge::Channel::Blue), c.channel) << c.text;
    }
}

}  // namespace
