// Whole drop sequences over the in-memory system, one row each: the options,
// the day and night models, a fault, and what the log and every file hold
// afterwards. The expected models come from the generator, never from the
// pipeline's own reading.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "rwstream/Chunk.h"
#include "tests/support/Checks.h"

namespace {

using namespace testsupport;
using merge::Option;
using merge::PathForm;
using modelgen::ModelShape;
using Layout = modelgen::ModelLayout;

const std::string Day = "C:\\models\\car.dff", Night = "C:\\models\\car_night.dff",
                  InDff = "C:\\models\\dff\\car.dff";
const std::string Ready = "\r\nReady. Drop day dff file.\r\n",
                  NightPrompt = "\r\nDrop night dff file.\r\n",
                  Analyzing = " Analyzing file...\r\n";
const std::set<Option> OneFile = {Option::OneFileMode};
const std::set<Option> Merging = {Option::OneFileMode, Option::AlwaysMerge};

std::string Open(const std::string& path) { return " Opening file: " + path + "\r\n"; }
std::string Counted(uint32_t n) { return Analyzing + " " + std::to_string(n) + " vertex.\r\n"; }
std::string Error(const std::string& text) { return " Error: " + text + "\r\n"; }
std::string Created(const std::string& path) { return "\r\nDFF created: " + path + "\r\n" + Ready; }

ModelShape Vertices(uint32_t n) {
    ModelShape shape;
    shape.geometries[0].vertexCount = n;
    return shape;
}
ModelShape With(ModelShape shape, const std::function<void(ModelShape&)>& change) {
    change(shape);
    return shape;
}
Bytes Build(const ModelShape& shape) { return modelgen::BuildModel(shape).bytes; }
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
    return With(Vertices(4), [&](ModelShape& s) {
        s.geometries[0].plugins = {Plugin(0x0116, 8), Plugin(0x0120, 12)};
        s.geometries[0].nightChunkIndex = index;
        s.geometries[0].nightChunkVertices = vertices;
    });
}

// The colour fields' defaults for n vertices, and the generator's colours of
// geometry g (the day's own colours for g = 0).
Bytes Grey(uint32_t n) {
    Bytes out;
    for (uint32_t k = 0; k < n; ++k) out.insert(out.end(), {64, 64, 64, 255});
    return out;
}
Bytes Pattern(uint32_t g, uint32_t n) {
    Bytes out(size_t{4} * n);
    for (uint32_t k = 0; k < n; ++k) modelgen::PatternColour(g, k, &out[size_t{4} * k]);
    return out;
}
// base with its first bytes replaced by front.
Bytes Over(Bytes base, const Bytes& front) {
    std::copy(front.begin(), front.end(), base.begin());
    return base;
}
// A night model of m vertices with geometry 1's colours.
Bytes NightModel(uint32_t m, const std::function<void(ModelShape&)>& change = [](ModelShape&) {}) {
    return Build(With(Vertices(m), [&](ModelShape& s) {
        s.geometries[0].colours = Pattern(1, m);
        change(s);
    }));
}

const size_t Data = modelgen::LayoutOf(ModelShape{}).firstGeometryData;

struct Row {
    std::string name;
    std::set<Option> options;
    Bytes day = {};  // none: no file
    Bytes night = {};
    // Empty: the sequence fails somewhere, with an error line and no output.
    std::string log = "";
    std::map<std::string, Bytes> after = {};  // the files that change or appear
    std::function<void(MemoryOs&, MemorySession&)> setup = nullptr;
    std::string dayPath = Day, nightPath = Night;
    PathForm form = PathForm::Exact;
    std::function<void(MemorySession&)> betweenDrops = nullptr;
};

void RunSequence(const Row& row) {
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
    for (const auto& file : row.after) expected[file.first] = file.second;

    bool written = merge::HandleDroppedPath(sequence, os, session, row.dayPath.c_str(), row.form);
    if (sequence.state == merge::SequenceState::AwaitingNight) {
        EXPECT_FALSE(session.oneFileModeEnabled);
        if (row.betweenDrops) row.betweenDrops(session);
        written = merge::HandleDroppedPath(sequence, os, session, row.nightPath.c_str());
    }
    if (row.log.empty()) {
        EXPECT_NE(session.log.find(" Error: "), std::string::npos) << session.log;
    } else {
        EXPECT_EQ(session.log, row.log);
    }
    EXPECT_EQ(written, session.log.find("DFF created") != std::string::npos);
    EXPECT_TRUE(os.files == expected);
    EXPECT_EQ(ProblemsAtEnd(os, session, sequence), "");
    // Nothing the file cannot hold is ever asked for.
    if (os.declaredSize.empty()) {
        EXPECT_LT(os.largestAllocation, size_t{1} << 20);
    }
}

std::vector<Row> DayRefusals() {
    const ModelShape three = Vertices(3);
    const Layout layout = modelgen::LayoutOf(three);
    const std::string noClump = Analyzing + Error("File doesn't contain Clump.");
    const std::string inData = Analyzing + Error("File ends inside the geometry data.");
    const std::string noFit = Error("Vertex count doesn't fit the file.");
    const std::string noMemory = Counted(3) + Error("Not enough memory.");
    const std::string longPath = "C:\\models\\" + std::string(246, 'n') + ".dff";  // 260
    return {
        {"Missing", OneFile, {}, {}, Error("The system cannot find the file specified.")},
        {"Short", OneFile, {0x10, 0, 0}, {}, noClump},
        {"NotClump", OneFile, Build(With(three, [](ModelShape& s) { s.firstChunkType = 0x0E; })),
         {}, noClump},
        {"ClumpCutBeforeVersion", OneFile, {0x10, 0, 0, 0, 0, 0, 0, 0, 0xFF}, {}, noClump},
        {"OtherVersion", OneFile, Build(With(three, [](ModelShape& s) { s.version--; })), {},
         Analyzing + Error("RW Version ID doesn't match.")},
        {"NoGeometryList", OneFile, Cut(three, layout.geometryList + 2), {},
         Analyzing + Error("File doesn't contain Geometry List.")},
        {"NotPrelit", OneFile,
         Build(With(three, [](ModelShape& s) { s.geometries[0].prelit = false; })), {},
         Analyzing + Error("File doesn't contain Vertex Color.")},
        {"NoExtension", OneFile,
         Build(With(three, [](ModelShape& s) { s.geometries[0].hasExtension = false; })), {},
         Counted(3) + Error("File doesn't contain Extension.")},
        // The search for the Extension stays inside the first Geometry.
        {"ExtensionOnlyInALaterGeometry", OneFile, Build(With(three, [](ModelShape& s) {
             s.geometries[0].hasExtension = false;
             s.geometries.push_back(modelgen::GeometryShape{});
         })),
         {}, Counted(3) + Error("File doesn't contain Extension.")},
        {"HasNightColours", OneFile, Build(WithOldChunk(1, 4)), {},
         Counted(4) + Error("File already contain Night Vertex Color.")},
        // Left open by the format's own rules: each a clear error.
        {"EndsInFlags", OneFile, Cut(three, Data + 1), {}, inData},
        {"EndsInVertexCount", OneFile, Cut(three, Data + 10), {}, inData},
        {"EndsInColours", OneFile, Cut(three, Data + 16 + 10), {}, Counted(3) + noFit},
        {"HugeVertexCountAllocatesNothing", OneFile, Build(With(three, [](ModelShape& s) {
             s.overrideVertexCount = true;
             s.vertexCountField = 0xFFFFFFFF;
         })),
         {}, Counted(0xFFFFFFFF) + noFit},
        {"ExtensionPastFile", OneFile, Resized(three, &Layout::firstExtension, 0x7FFFFFF0), {},
         Counted(3) + Error("Extension runs past the end of the file.")},
        // Found by the fuzzer: the new chunk went inside the next chunk's header.
        {"ExtensionPastGeometry", OneFile, Resized(three, &Layout::firstExtension, 12), {},
         Counted(3) + Error("Extension runs past the end of the Geometry.")},
        {"OldChunkPastFile", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 0x7FFFFFF0),
         {}, Counted(4) + Error("Night Vertex Color runs past the end of the file.")},
        {"OldChunkPastExtension", Merging, Resized(WithOldChunk(2, 1), &Layout::nightChunk, 20),
         {}, Counted(4) + Error("Night Vertex Color runs past the end of the Extension.")},
        // ImageSize = file size + 16 + 4n must fit 32 bits; checked before allocating.
        {"ImageOver32Bits", OneFile, Build(three), {}, Counted(3) + Error("File is too large."), {},
         [](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = 0xFFFFFFFFu - 28 + 1; }},
        {"ImageOfExactly32BitsFindsNoMemory", OneFile, Build(three), {}, noMemory, {},
         [](MemoryOs& os, MemorySession&) { os.declaredSize[Day] = 0xFFFFFFFFu - 28; }},
        {"FirstAllocationFails", OneFile, Build(three), {}, noMemory, {},
         [](MemoryOs& os, MemorySession&) {
             os.FailCall(Call::Allocate, 1, SystemError::NotEnoughMemory);
         }},
        {"SecondAllocationFails", OneFile, Build(three), {}, noMemory, {},
         [](MemoryOs& os, MemorySession&) {
             os.FailCall(Call::Allocate, 2, SystemError::NotEnoughMemory);
         }},
        // Refused whole, and named: cut, it could name another file.
        {"PathTooLong", OneFile, Build(three), {}, Error("Path is longer than 259 characters."),
         {}, nullptr, longPath},
        {"NameTheCodePageCannotHold", OneFile, Build(three), {},
         Error("The name has characters that this system's code page cannot hold."), {}, nullptr,
         Day, Night, PathForm::Approximated},
    };
}

TEST(Scenario, DayModelsRefusedAreLeftAsTheyWere) {
    for (Row row : DayRefusals()) {
        row.log = Open(row.dayPath) + row.log + Ready;
        RunSequence(row);
    }
}

TEST(Scenario, NewChunkGoesIntoTheFirstExtensionAndItsContainersGrow) {
    const ModelShape three = Vertices(3);
    std::vector<std::pair<std::string, ModelShape>> shapes = {
        {"Plugged", With(three, [](ModelShape& s) {
             s.geometries[0].plugins = {Plugin(0x0116, 8)};
             s.chunksBeforeGeometryList = {Plugin(0x0253F2F8, 6)};
         })},
        {"ZeroVertices", Vertices(0)},
        {"OnlyTheFirstOfTwoGeometries",
         With(three, [](ModelShape& s) { s.geometries.push_back(Vertices(9).geometries[0]); })},
        // The Clump does not hold the new chunk: its size stays.
        {"GeometryListAfterTheClump", With(Vertices(5), [](ModelShape& s) {
             s.geometryListAfterClump = true;
         })},
        // Only a child of the first Geometry's Extension counts as an old chunk.
        {"NightChunkInTheClumpsExtension", With(three, [](ModelShape& s) {
             s.clumpPlugins = {{0x0253F2F9, Bytes(16, 0x77)}};
         })},
        {"NightChunkAfterTheClump", With(three, [](ModelShape& s) {
             s.trailing = modelgen::NightColourChunk(Pattern(1, 3));
         })},
        {"NightChunkAfterAnEmptyExtension", With(three, [](ModelShape& s) {
             s.geometryListAfterClump = true;
             s.trailing = modelgen::NightColourChunk(Pattern(1, 3));
         })},
    };
    // Old chunks first, between plugins or last; shorter, as long or longer.
    for (int index : {0, 1, 2})
        for (uint32_t n : {1u, 4u, 9u})
            shapes.push_back({"OldChunk" + std::to_string(index) + "Of" + std::to_string(n),
                              WithOldChunk(index, n)});
    for (const auto& shape : shapes) {
        const uint32_t n = shape.second.geometries[0].vertexCount;
        const bool old = shape.second.geometries[0].nightChunkIndex >= 0;
        RunSequence({shape.first, Merging, Build(shape.second), {},
             Open(Day) + Counted(n) +
                 (old ? " Warning: File already contain Night Vertex Color.\r\n" : "") +
                 Created(Day),
             {{Day, Merged(shape.second, Grey(n))}}});
    }
}

TEST(Scenario, NightColoursMadeWithoutANightModel) {
    const ModelShape three = Vertices(3);
    const std::string log = Open(Day) + Counted(3) + Created(Day);
    RunSequence({"CopyDayColours", {Option::OneFileMode, Option::CopyDayColours}, Build(three), {}, log,
         {{Day, Merged(three, Pattern(0, 3))}},
         [](MemoryOs&, MemorySession& s) { s.fields[0] = "7"; }});  // not read
    RunSequence({"ColourFields", OneFile, Build(three), {}, log,
         {{Day, Merged(three, {1, 2, 255, 255, 1, 2, 255, 255, 1, 2, 255, 255})}},
         [](MemoryOs&, MemorySession& s) {
             s.fields[0] = "1";
             s.fields[1] = "2";
             s.fields[2] = "-1";
             s.fields[3] = "&HFF";
         }});
}

TEST(Scenario, NightModelGivesTheColoursAsFarAsBothHaveThem) {
    const ModelShape five = Vertices(5);
    const std::string fewer = " Warning: Night DFF contains not enough vertex.\r\n";
    const std::string more = " Warning: Night DFF contains too much vertex.\r\n";
    const struct {
        std::string name;
        Bytes night;
        Bytes colours;
        std::string log;  // after the night model's vertex count
        std::set<Option> options = {};
        std::string nightPath = Night;
    } cases[] = {
        {"Same", NightModel(5), Pattern(1, 5), Counted(5)},
        {"Fewer", NightModel(3), Over(Grey(5), Pattern(1, 3)), Counted(3) + fewer},
        {"FewerOverCopiedDayColours", NightModel(3), Over(Pattern(0, 5), Pattern(1, 3)),
         Counted(3) + fewer, {Option::CopyDayColours}},
        {"More", NightModel(8), Pattern(1, 5), Counted(8) + more},
        {"None", NightModel(0), Grey(5), Counted(0) + fewer},
        // Cut inside its third colour: whole colours only.
        {"CutInColours", NightModel(5, [](ModelShape& s) { s.truncateAt = Data + 16 + 11; }),
         Over(Grey(5), Pattern(1, 2)), Counted(5)},
        // The night model's Extension is not looked at.
        {"WithOldNightChunk", NightModel(5, [](ModelShape& s) {
             s.geometries[0].nightChunkIndex = 0;
             s.geometries[0].nightChunkVertices = 1;
         }),
         Pattern(1, 5), Counted(5)},
        {"WithoutExtension",
         NightModel(5, [](ModelShape& s) { s.geometries[0].hasExtension = false; }),
         Pattern(1, 5), Counted(5)},
        {"TheDayModelDroppedAgain", {}, Pattern(0, 5), Counted(5), {}, Day},
    };
    for (const auto& c : cases) {
        Row row{c.name, c.options, Build(five), c.night,
                Open(Day) + Counted(5) + NightPrompt + Open(c.nightPath) + c.log + Created(Day),
                {{Day, Merged(five, c.colours)}}};
        row.nightPath = c.nightPath;
        RunSequence(row);
    }
}

TEST(Scenario, NightModelsRefusedEndTheSequence) {
    const std::string inData = Analyzing + Error("File ends inside the geometry data.");
    const std::string longPath = "C:\\" + std::string(300, 'n');
    const struct {
        std::string name;
        Bytes night;
        std::string log;  // after " Opening file: " and the night path
        std::string nightPath = Night;
        std::function<void(MemoryOs&, MemorySession&)> setup = nullptr;
    } cases[] = {
        {"OtherVersion", NightModel(3, [](ModelShape& s) { s.version = 0x1803FFFE; }),
         Analyzing + Error("RW Version ID doesn't match.")},
        {"NotPrelit", NightModel(3, [](ModelShape& s) { s.geometries[0].prelit = false; }),
         Analyzing + Error("File doesn't contain Vertex Color.")},
        {"NotAModel", {1, 2}, Analyzing + Error("File doesn't contain Clump.")},
        {"EndsInFlags", NightModel(3, [](ModelShape& s) { s.truncateAt = Data + 1; }), inData},
        {"EndsInVertexCount", NightModel(3, [](ModelShape& s) { s.truncateAt = Data + 9; }),
         inData},
        {"MissingFolder", {}, Error("The system cannot find the path specified."),
         "C:\\elsewhere\\night.dff"},
        {"PathTooLong", {}, Error("Path is longer than 259 characters."), longPath},
        // Found by the fuzzer: a read that came up short of the file's size
        // was taken for its end, and the output written.
        {"ColoursCannotBeRead", NightModel(3), Counted(3) + Error("File could not be read."), Night,
         [](MemoryOs& os, MemorySession&) { os.readableUpTo[Night] = Data + 20; }},
    };
    for (const auto& c : cases) {
        Row row{c.name, {}, Build(Vertices(3)), c.night,
                Open(Day) + Counted(3) + NightPrompt + Open(c.nightPath) + c.log + Ready, {},
                c.setup};
        row.nightPath = c.nightPath;
        RunSequence(row);
    }
}

TEST(Scenario, TwoFileLogLineByLine) {
    RunSequence({"", {Option::AlwaysMerge}, Build(WithOldChunk(0, 4)), Build(Vertices(6)),
         " Opening file: C:\\models\\car.dff\r\n"
         " Analyzing file...\r\n"
         " 4 vertex.\r\n"
         " Warning: File already contain Night Vertex Color.\r\n"
         "\r\n"
         "Drop night dff file.\r\n"
         " Opening file: C:\\models\\car_night.dff\r\n"
         " Analyzing file...\r\n"
         " 6 vertex.\r\n"
         " Warning: Night DFF contains too much vertex.\r\n"
         "\r\n"
         "DFF created: C:\\models\\car.dff\r\n"
         "\r\n"
         "Ready. Drop day dff file.\r\n",
         {{Day, Merged(WithOldChunk(0, 4), Pattern(0, 4))}}});
}

// The day stage's options count as they were at the day drop; the dff box as
// it is when the output is written.
TEST(Scenario, OptionsAreReadWhenTheirStageRuns) {
    Row row{"", {Option::AlwaysMerge}, Build(WithOldChunk(1, 4)), NightModel(1),
            Open(Day) + Counted(4) +
                " Warning: File already contain Night Vertex Color.\r\n" + NightPrompt +
                Open(Night) + Counted(1) + " Warning: Night DFF contains not enough vertex.\r\n" +
                Created(InDff),
            {{InDff, Merged(WithOldChunk(1, 4), Over(Grey(4), Pattern(1, 1)))}}};
    row.betweenDrops = [](MemorySession& s) {
        s.ticked = {Option::CopyDayColours, Option::OutputInDffFolder};
        s.fields[0] = "1";
    };
    RunSequence(row);
}

TEST(Scenario, OutputGoesOverTheDayModelOrIntoADffFolder) {
    const ModelShape three = Vertices(3);
    const Bytes day = Build(three), merged = Merged(three, Grey(3));
    const std::string log = Open(Day) + Counted(3);
    const std::set<Option> dff = {Option::OneFileMode, Option::OutputInDffFolder};
    const std::string folder = "C:\\" + std::string(240, 'f');
    const std::string fits = folder + "\\" + std::string(11, 'n') + ".dff";     // 259
    const std::string fitsInDff = folder + "\\" + std::string(7, 'n') + ".dff";  // 255
    const std::string tooLongInDff = folder + "\\" + std::string(8, 'n') + ".dff";
    const auto inFolder = [&](MemoryOs& os, MemorySession&) { os.folders.insert(folder); };
    const std::vector<Row> rows = {
        // Temporary names that exist are skipped and kept.
        {"FreeTemporaryName", OneFile, day, {}, log + Created(Day), {{Day, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.files["C:\\models\\car.df~"] = {7};
             os.files["C:\\models\\car.df0"] = {8};
         }},
        {"DffFolderMade", dff, day, {}, log + Created(InDff), {{InDff, merged}}},
        {"DffFolderFileReplaced", dff, day, {}, log + Created(InDff), {{InDff, merged}},
         [](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\models\\dff");
             os.files[InDff] = {1, 2, 3};
         }},
        {"DriveRoot", dff, day, {}, Open("C:\\car.dff") + Counted(3) + Created("C:\\dff\\car.dff"),
         {{"C:\\dff\\car.dff", merged}}, nullptr, "C:\\car.dff"},
        // A link stays a link; the model it names is replaced in its own folder.
        {"ThroughALink", OneFile, {}, {}, log + Created(Day), {{"C:\\real\\car.dff", merged}},
         [&](MemoryOs& os, MemorySession&) {
             os.folders.insert("C:\\real");
             os.files["C:\\real\\car.dff"] = day;
             os.links[Day] = "C:\\real\\car.dff";
         }},
        {"PathOf259", OneFile, {}, {}, Open(fits) + Counted(3) + Created(fits), {{fits, merged}},
         [&](MemoryOs& os, MemorySession& s) {
             inFolder(os, s);
             os.files[fits] = day;
         }, fits},
        {"DffPathOf259", dff, {}, {},
         Open(fitsInDff) + Counted(3) + Created(folder + "\\dff\\nnnnnnn.dff"),
         {{folder + "\\dff\\nnnnnnn.dff", merged}},
         [&](MemoryOs& os, MemorySession& s) {
             inFolder(os, s);
             os.files[fitsInDff] = day;
         }, fitsInDff},
        {"DffPathOf260", dff, {}, {},
         Open(tooLongInDff) + Counted(3) + Error("Output path is longer than 259 characters.") +
             Ready,
         {}, [&](MemoryOs& os, MemorySession& s) {
             inFolder(os, s);
             os.files[tooLongInDff] = day;
         }, tooLongInDff},
    };
    for (const Row& row : rows) RunSequence(row);
}

// A failed output never costs the target: the image goes to a temporary file
// first, moved over the target only when it is whole and on the disk. After
// a failure, over the day model or over an older output in the "dff" folder:
// the failing call's text, no "DFF created", every file as it was, no
// temporary file left.
TEST(Scenario, OutputFailuresLeaveEveryFileAsItWas) {
    const Bytes day = Build(Vertices(3));
    const std::string log = Open(Day) + Counted(3);
    const std::set<Option> dff = {Option::OneFileMode, Option::OutputInDffFolder};
    const struct {
        Call call;
        SystemError error;
        bool overDay = true;
        std::string message = "";
    } cases[] = {
        {Call::Write, SystemError::DiskFull},
        {Call::TakePermissions, SystemError::AccessDenied},
        {Call::Flush, SystemError::DiskFull},
        {Call::CloseOutput, SystemError::DiskFull},
        {Call::Replace, SystemError::SharingViolation},
        {Call::Create, SystemError::AccessDenied},
        // The folder's own failure, not the file's that would follow.
        {Call::MakeDirectory, SystemError::AccessDenied, false,
         " Error: Cannot create folder C:\\models\\dff: Access is denied.\r\n"},
    };
    for (const auto& c : cases) {
        const std::string text = ErrorText(c.error);
        const std::string message = c.message.empty() ? " Error: " + text : c.message;
        for (bool overDay : {true, false}) {
            if (overDay && !c.overDay) continue;
            const Call call = c.call;
            const SystemError error = c.error;
            RunSequence({"Call" + std::to_string(static_cast<int>(call)), overDay ? OneFile : dff, day,
                 {}, log + message + Ready, {}, [=](MemoryOs& os, MemorySession&) {
                     // Create: every temporary name there could be.
                     for (int k = 1; k <= (call == Call::Create ? 30 : 1); ++k)
                         os.FailCall(call, k, error);
                     os.folders.insert("C:\\models\\dff");
                     os.files[InDff] = {'o', 'l', 'd'};
                 }});
        }
    }
    RunSequence({"ReadOnlyTarget", OneFile, day, {}, log + Error("Access is denied.") + Ready, {},
         [](MemoryOs& os, MemorySession&) { os.readOnly = {Day}; }});
    // The model is replaced, but its folder's entry may not be on the disk.
    RunSequence({"FolderNotFlushed", OneFile, day, {}, log + Error("Access is denied.") + Ready,
         {{Day, Merged(Vertices(3), Grey(3))}}, [](MemoryOs& os, MemorySession&) {
             os.FailCall(Call::SyncFolder, 1, SystemError::AccessDenied);
         }});
}

// Either model that cannot be opened or read as far as its size promised,
// at every offset either is read: the sequence ends with every file as it
// was.
TEST(Scenario, UnreadableModelsEndTheSequenceCleanly) {
    const Bytes day = Build(Vertices(3)), night = NightModel(5);
    std::vector<Row> rows = {
        {"NightOpen", {}, day, night,
         Open(Day) + Counted(3) + NightPrompt + Open(Night) +
             Error("The process cannot access the file because it is being used by another "
                   "process.") + Ready,
         {}, [](MemoryOs& os, MemorySession&) {
             os.FailCall(Call::Open, 2, SystemError::SharingViolation);
         }},
    };
    for (size_t cut = 0; cut < day.size(); ++cut)
        rows.push_back({"DayCut" + std::to_string(cut), {}, day, night, "", {},
                        [=](MemoryOs& os, MemorySession&) { os.readableUpTo[Day] = cut; }});
    for (size_t cut = 0; cut < Data + 16 + 12; ++cut)
        rows.push_back({"NightCut" + std::to_string(cut), {}, day, night, "", {},
                        [=](MemoryOs& os, MemorySession&) { os.readableUpTo[Night] = cut; }});
    for (const Row& row : rows) RunSequence(row);
}

TEST(Scenario, DayModelIsReadAtMostTwice) {
    MemoryOs os;
    MemorySession session;
    merge::DropSequence sequence;
    os.folders = {"C:", "C:\\models"};
    const ModelShape shape = With(Vertices(5000), [](ModelShape& s) {
        s.geometries[0].plugins = {Plugin(0x0116, 64), Plugin(0x0120, 64)};
    });
    os.files[Day] = Build(shape);
    session.ticked = OneFile;
    merge::HandleDroppedPath(sequence, os, session, Day.c_str());
    EXPECT_EQ(os.opens[Day], 1);
    // Once whole; before that only headers, the geometry's fields and colours.
    EXPECT_LE(os.bytesRead[Day], Build(shape).size() + 4 * 5000 + 200);
    EXPECT_EQ(os.files[Day], Merged(shape, Grey(5000)));
}

}  // namespace
