// The batch in this process over the in-memory system: planning, ordering,
// running and committing, with faults, other programs' changes and
// interruptions injected. Every run must end clean: no temporary file, no
// block or file held, no folder left unflushed.
#include <gtest/gtest.h>

#include <functional>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include "cli/Batch.h"
#include "cli/Console.h"
#include "merge/Preview.h"
#include "tests/support/MemoryOs.h"
#include "tests/support/Models.h"

namespace {

using namespace testsupport;
using Prepare = std::function<void(MemoryOs&)>;

struct Logs final : cli::BatchOutput {
    std::string text;
    bool WriteLog(const std::string& log) override {
        text += log;
        return true;
    }
    void ShowProgress(size_t, size_t) override {}
};

struct Outcome {
    int status;
    std::string log, errors;
    std::map<std::string, Bytes> files;
    int flushes;  // of whole file systems
};

// Runs tintweld-cli's batch on these files (their folders made) with "-j",
// jobs and these arguments, after prepare.
Outcome RunCli(const std::map<std::string, Bytes>& files, const std::string& jobs,
               std::vector<std::string> arguments, const Prepare& prepare = nullptr) {
    arguments.insert(arguments.begin(), {"-j", jobs});
    MemoryOs os;
    os.files = files;
    for (const auto& file : files)
        for (size_t at = file.first.find('\\'); at != std::string::npos; at = file.first.find('\\', at + 1))
            os.folders.insert(file.first.substr(0, at));
    if (prepare) prepare(os);
    const cli::CommandLine line = cli::ParseCommandLine(arguments);
    EXPECT_EQ(line.command, cli::Command::Merge) << line.error;
    Logs logs;
    std::string errors;
    const int status = cli::RunBatch(line.options, {}, os, logs, &errors);
    EXPECT_EQ(os.Held() + os.misuses + os.temporaries.size() + os.unflushedFolders.size(), 0u);
    // A "dff" folder, or one in the output tree, that the batch made and
    // wrote nothing into is gone.
    for (const std::string& folder : os.folders) {
        const auto next = os.files.lower_bound(folder + "\\");
        const bool empty = next == os.files.end() || next->first.rfind(folder + "\\", 0) != 0;
        const bool made = (folder.size() > 4 && folder.compare(folder.size() - 4, 4, "\\dff") == 0) ||
                          folder.rfind("C:\\out\\new\\", 0) == 0;
        EXPECT_FALSE(empty && made) << folder;
    }
    return {status, logs.text, errors, os.files, os.calls[static_cast<int>(Call::SyncFileSystem)]};
}

// A model's lines in the command line's log: the window's, without its
// prompts; an empty line stands between two models.
std::string Merge(const std::string& path, uint32_t n = 3) {
    return Open(path) + Counted(n) + "\r\nDFF created: " + path + "\r\n";
}
const std::string Between = "\r\n";
const Bytes Three = Build(Shape(3)), Merged3 = Merged(Shape(3), Grey(3));

// Jobs that share a file run in turn at any number of threads: a model
// named twice, one model paired with two night models, outputs in dff
// beside models read from dff.
TEST(Batch, TheSameResultAtAnyNumberOfJobs) {
    const Bytes night = Build(Shape(3, PatternColours(1, 3)));
    const struct {
        const char* name;
        std::map<std::string, Bytes> files;
        std::vector<std::string> arguments;
        int status;
        std::string log;
        Prepare prepare = nullptr;
    } cases[] = {
        {"OneModelTwice", {{"C:\\m\\a.dff", Three}}, {"C:\\m\\a.dff", "C:\\m\\a.dff"}, 1,
         Merge("C:\\m\\a.dff") + Between + Open("C:\\m\\a.dff") + Counted(3) +
             Error("File already contain Night Vertex Color.")},
        {"OneModelTwoNights",
         {{"C:\\day\\sub\\a.dff", Three}, {"C:\\n\\sub\\a.dff", night}, {"C:\\n\\a.dff", night}},
         {"-R", "-N", "C:\\n", "C:\\day", "C:\\day\\sub"}, 1, ""},
        {"DffOutputsAndTheirModels", {{"C:\\m\\a.dff", Three}, {"C:\\m\\dff\\a.dff", Three}},
         {"-d", "C:\\m\\a.dff", "C:\\m\\dff\\a.dff"}, 1, ""},
        {"Chain", {{"C:\\m\\a.dff", Three}, {"C:\\m\\b.dff", Three}},
         {"-a", "-n", "C:\\m\\a.dff", "C:\\m\\b.dff"}, 0, ""},
        // Refused once its "dff" folder is made (not all of it can be read),
        // beside a model merged into that folder, or alone in its own.
        {"DffFolderMadeInVain", {{"C:\\m\\a.dff", Three}, {"C:\\m\\b.dff", Three}, {"C:\\n\\b.dff", Three}},
         {"-d", "C:\\m\\a.dff", "C:\\m\\b.dff", "C:\\n\\b.dff"}, 1, "",
         [](MemoryOs& os) { os.readableUpTo["C:\\m\\b.dff"] = os.readableUpTo["C:\\n\\b.dff"] = Three.size() - 1; }},
        // An output tree: its folders made by whichever job gets there first,
        // one of them in vain.
        {"AnOutputTree",
         {{"C:\\m\\x\\a.dff", Three}, {"C:\\m\\x\\y\\b.dff", Three}, {"C:\\m\\x\\y\\z\\c.dff", Three}},
         {"-R", "-o", "C:\\out\\new", "C:\\m"}, 1, "",
         [](MemoryOs& os) { os.readableUpTo["C:\\m\\x\\y\\z\\c.dff"] = Three.size() - 1; }},
        // A name the batch reads is never another job's temporary file.
        {"ATemporaryNameNamed", {{"C:\\m\\a.dff", Three}}, {"C:\\m\\a.dff", "C:\\m\\a.df~"}, 1,
         Merge("C:\\m\\a.dff") + Between + Open("C:\\m\\a.df~") +
             Error("The system cannot find the file specified.")},
    };
    for (const auto& c : cases) {
        const Outcome first = RunCli(c.files, "1", c.arguments, c.prepare);
        EXPECT_EQ(first.status, c.status) << c.name << first.log;
        EXPECT_EQ(first.log, c.log.empty() ? first.log : c.log) << c.name;
        for (const char* jobs : {"2", "8", "2", "8"}) {
            const Outcome other = RunCli(c.files, jobs, c.arguments, c.prepare);
            EXPECT_EQ(other.status, first.status) << c.name << jobs;
            EXPECT_EQ(other.log, first.log) << c.name << jobs;
            EXPECT_TRUE(other.files == first.files) << c.name << jobs;
        }
    }
}

// A group of outputs flushed together, then committed: each way a commit
// can fail, for the one model it concerns or the whole group.
TEST(Batch, EveryWayACommitFails) {
    const std::map<std::string, Bytes> files = {
        {"C:\\m\\a.dff", Three}, {"C:\\m\\b.dff", Three}, {"C:\\m\\c.dff", Three}};
    const std::vector<std::string> all = {"C:\\m\\a.dff", "C:\\m\\b.dff", "C:\\m\\c.dff"};
    const std::string a = Merge(all[0]), c = Merge(all[2]), b = Open(all[1]) + Counted(3),
                      full = Error(ErrorText(SystemError::DiskFull).substr(0, 38));
    const Bytes other = Build(Shape(5));
    const struct {
        const char* name;
        Prepare prepare;
        std::string log;
        std::map<std::string, Bytes> after;
    } rows[] = {
        {"FileSystemNotFlushed", [](MemoryOs& os) { os.FailCall(Call::SyncFileSystem, 1, SystemError::DiskFull); },
         Open(all[0]) + Counted(3) + full + Between + b + full + Between + Open(all[2]) + Counted(3) + full, files},
        {"NotReplaced", [](MemoryOs& os) { os.FailCall(Call::Replace, 2, SystemError::AccessDenied); },
         a + Between + b + Error("Access is denied.") + Between + c,
         {{all[0], Merged3}, {all[1], Three}, {all[2], Merged3}}},
        {"TargetChanged", [&](MemoryOs& os) { os.Before(Call::SyncFileSystem, 1, [&] { os.Change(all[1], other); }); },
         a + Between + b + Error("File changed while it was merged.") + Between + c,
         {{all[0], Merged3}, {all[1], other}, {all[2], Merged3}}},
        // Replaced, but their names may not be on the disk yet: said after
        // each "DFF created".
        {"FolderNotFlushed", [](MemoryOs& os) { os.FailCall(Call::SyncFolder, 1, SystemError::AccessDenied); }, [&] {
             std::string log;
             for (const std::string& path : all)
                 log += (log.empty() ? "" : Between) + Merge(path) +
                        " Error: Cannot flush folder C:\\m: Access is denied.\r\n";
             return log;
         }(), {{all[0], Merged3}, {all[1], Merged3}, {all[2], Merged3}}},
    };
    for (const auto& row : rows) {
        const Outcome outcome = RunCli(files, "1", all, row.prepare);
        EXPECT_EQ(outcome.status, 1) << row.name;
        EXPECT_EQ(outcome.log, row.log) << row.name;
        EXPECT_TRUE(outcome.files == row.after) << row.name;
        EXPECT_EQ(outcome.flushes, 1) << row.name;
    }
    // Replaced, though a step after the replacement failed: merged, and
    // worth a look with --quiet.
    std::vector<std::string> quiet = all;
    quiet.insert(quiet.begin(), "-q");
    const Outcome partly =
        RunCli(files, "1", quiet, [](MemoryOs& os) { os.FailCall(Call::AfterReplace, 2, SystemError::AccessDenied); });
    EXPECT_EQ(partly.status, 0);
    EXPECT_EQ(partly.log, b + "\r\nDFF created: " + all[1] +
                              "\r\n Warning: The model is replaced, but its attributes could not be kept: " +
                              ErrorText(SystemError::AccessDenied));
}

// Where the system gives no thread, the batch runs on its own; 260 outputs
// are two groups, each flushed once: the second flush fails its four.
TEST(Batch, NoThreadsAndAGroupBoundary) {
    std::map<std::string, Bytes> files;
    std::vector<std::string> arguments;
    for (int i = 0; i < 260; ++i) {
        const std::string path = "C:\\m\\" + std::to_string(1000 + i) + ".dff";
        files[path] = Build(Shape(1));
        arguments.push_back(path);
    }
    const Outcome outcome = RunCli(files, "4", arguments, [](MemoryOs& os) {
        os.FailCall(Call::StartThread, 1, SystemError::AccessDenied);
        os.FailCall(Call::SyncFileSystem, 2, SystemError::DiskFull);
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.flushes, 2);
    int merged = 0;
    for (const auto& file : outcome.files) merged += file.second == Merged(Shape(1), Grey(1));
    EXPECT_EQ(merged, 256);
    EXPECT_EQ(outcome.files.at(arguments[255]), Merged(Shape(1), Grey(1)));
    EXPECT_EQ(outcome.files.at(arguments[256]), Build(Shape(1)));
}

// A disk that fills while outputs wait for their commit: the group is
// committed, and the model whose output found no space is merged once more,
// alone, with the log of a first try.
TEST(Batch, AFullDiskCommitsTheGroupAndTriesAgain) {
    std::map<std::string, Bytes> files;
    std::vector<std::string> arguments;
    std::string log;
    for (int i = 0; i < 10; ++i) {
        arguments.push_back("C:\\m\\" + std::to_string(i) + ".dff");
        files[arguments.back()] = Three;
        log += (i ? Between : "") + Merge(arguments.back());
    }
    // The fourth model's writes are the 19th to the 24th.
    const Outcome outcome = RunCli(files, "1", arguments, [](MemoryOs& os) {
        os.FailCall(Call::Write, 20, SystemError::DiskFull);
    });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.log, log);
    for (const auto& file : outcome.files) EXPECT_EQ(file.second, Merged3) << file.first;
}

// Interrupted with several jobs running: the outputs already whole are put
// in place, the models at hand abandoned, no job starts after, the others
// are one line, and every model is as it was or merged.
TEST(Batch, AnInterruptionWithSeveralJobsRunning) {
    std::map<std::string, Bytes> files;
    std::vector<std::string> arguments;
    for (int i = 0; i < 40; ++i) {
        arguments.push_back("C:\\m\\" + std::to_string(i) + ".dff");
        files[arguments.back()] = Three;
    }
    const Outcome outcome = RunCli(files, "4", arguments, [](MemoryOs& os) {
        os.Before(Call::Create, 6, [&os] { os.stopped = true; });
    });
    EXPECT_EQ(outcome.status, 1);
    int merged = 0;
    for (const auto& file : outcome.files) {
        EXPECT_TRUE(file.second == Three || file.second == Merged3) << file.first;
        merged += file.second == Merged3;
    }
    // The five made before, the sixth, and those the three other threads
    // were about to make.
    EXPECT_LE(merged, 9);
    const size_t line = outcome.log.rfind("\r\nInterrupted: ");
    ASSERT_NE(line, std::string::npos) << outcome.log;
    size_t models = 0;
    for (size_t at = 0; (at = outcome.log.find("Opening file", at)) != std::string::npos; ++at) ++models;
    EXPECT_EQ(outcome.log.substr(line), "\r\nInterrupted: " + std::to_string(40 - models) +
                                             " models not reached.\r\n");
}

// What the arguments come to: folders with or without models, output
// folders passed over by their exact name where case counts, and a night
// model for a folder.
TEST(Batch, WhatTheArgumentsComeTo) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        bool ignoresCase;
        int status;
        std::string errors;
        std::vector<std::string> merged;
        bool hardLinked = false;  // C:\n\a.dff another name of C:\m\a.dff
    } rows[] = {
        {"AnEmptyFolder", {"C:\\empty", "C:\\m\\a.dff"}, false, 0,
         "tintweld-cli: no model in the folder 'C:\\empty'\n", {"C:\\m\\a.dff"}},
        {"NoModelAtAll", {"C:\\empty"}, false, 1,
         "tintweld-cli: no model in the folder 'C:\\empty'\n"
         "tintweld-cli: no model to merge: the folders named hold no .dff file\n", {}},
        {"NoModelToList", {"-l", "C:\\empty"}, false, 1,
         "tintweld-cli: no model in the folder 'C:\\empty'\n"
         "tintweld-cli: no model to list: the folders named hold no .dff file\n", {}},
        {"NightForAFolder", {"-n", "C:\\m\\a.dff", "C:\\m"}, false, 2,
         "tintweld-cli: --night merges one DAY, not the folder 'C:\\m' (see tintweld-cli --help)\n", {}},
        // More than one model: a count at the end.
        {"OutputFoldersWhereCaseCounts", {"-d", "-R", "C:\\m"}, false, 0,
         "tintweld-cli: 2 merged, 0 left as it was, 0 not merged\n",
         {"C:\\m\\DFF\\dff\\x.dff", "C:\\m\\dff\\a.dff"}},
        {"ADryRun", {"--dry-run", "-R", "C:\\m", "C:\\m\\missing.dff"}, false, 1,
         "tintweld-cli: 3 would be merged, 0 would be left as it is, 1 would not be merged\n", {}},
        {"AListing", {"-l", "C:\\m\\a.dff", "C:\\m\\missing.dff"}, false, 1,
         "tintweld-cli: 2 models read, 1 with errors\n", {}},
        {"OutputFoldersWhereItDoesNot", {"-d", "-R", "C:\\m"}, true, 0, "", {"C:\\m\\dff\\a.dff"}},
        // Named from two folders, one model writes one output.
        {"OneModelUnderTwoNames", {"-o", "C:\\out", "C:\\m\\a.dff", "C:\\n\\a.dff"}, false, 0,
         "tintweld-cli: 2 merged, 0 left as it was, 0 not merged\n", {"C:\\out\\a.dff"}, true},
    };
    for (const auto& row : rows) {
        const std::map<std::string, Bytes> files = {
            {"C:\\m\\a.dff", Three}, {"C:\\m\\dff\\y.dff", Three}, {"C:\\m\\DFF\\x.dff", Three}};
        const Outcome outcome = RunCli(files, "2", row.arguments, [&](MemoryOs& os) {
            os.folders.insert("C:\\empty");
            os.ignoresCase = row.ignoresCase;
            os.folders.insert("C:\\n");
            if (row.hardLinked) os.HardLink("C:\\n\\a.dff", "C:\\m\\a.dff");
        });
        EXPECT_EQ(outcome.status, row.status) << row.name;
        EXPECT_EQ(outcome.errors, row.errors) << row.name;
        std::vector<std::string> merged;
        for (const auto& file : outcome.files)
            if (file.second == Merged3) merged.push_back(file.first);
        EXPECT_EQ(merged, row.merged) << row.name;
    }
}

// Logs that cannot be written end the batch: no model starts after.
TEST(Batch, AFailedLogStopsTheBatch) {
    struct Full final : cli::BatchOutput {
        bool WriteLog(const std::string&) override { return false; }
        void ShowProgress(size_t, size_t) override {}
    } full;
    // Each model committed on its own, by this thread alone.
    MemoryOs os;
    os.folders = {"C:", "C:\\m"};
    os.syncsWholeFileSystems = false;
    os.FailCall(Call::StartThread, 1, SystemError::AccessDenied);
    cli::Options options;
    options.jobs = 1;
    for (int i = 0; i < 20; ++i) {
        options.days.push_back("C:\\m\\" + std::to_string(i) + ".dff");
        os.files[options.days.back()] = Three;
    }
    std::string errors;
    cli::RunBatch(options, {}, os, full, &errors);
    int merged = 0;
    for (const auto& file : os.files) merged += file.second == Merged3;
    EXPECT_EQ(merged, 1);
}

// On a terminal, after half a second, a progress line drawn a few times a
// second at most, never inside the log, and gone at the end.
TEST(Batch, ProgressOnATerminal) {
    cli::Console console;
    console.log = console.progress = std::tmpfile();
    console.progressOnTerminal = console.logOnTerminal = true;
    console.start = std::chrono::steady_clock::now();
    console.ShowProgress(1, 4);  // too soon
    console.start -= std::chrono::seconds(1);
    for (size_t done : {2, 3}) console.ShowProgress(done, 4);  // once a tenth of a second
    console.WriteLog("log\r\n");
    console.ShowProgress(4, 4);
    EXPECT_TRUE(cli::CloseConsole(console));
    std::rewind(console.log);
    char text[200] = {};
    std::fread(text, 1, sizeof text - 1, console.log);
    const std::string erase = "\r" + std::string(40, ' ') + "\r";
    EXPECT_EQ(text, "\rtintweld-cli: 2 of 4 models" + erase + "log\n\rtintweld-cli: 4 of 4 models" + erase);
    std::fclose(console.log);
}

}  // namespace

namespace {

// The preview's PNG read back; width 0 when it is none.
merge::Picture Decoded(const Bytes& png) {
    merge::Picture picture;
    int width = 0, height = 0, channels = 0;
    uint8_t* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width,
                                            &height, &channels, 3);
    if (!pixels) return picture;
    picture.width = width, picture.height = height;
    picture.pixels.assign(pixels, pixels + size_t(width) * height * 3);
    stbi_image_free(pixels);
    return picture;
}

std::vector<uint8_t> PixelAt(const merge::Picture& p, uint32_t x, uint32_t y) {
    const uint8_t* pixel = &p.pixels[(size_t(y) * p.width + x) * 3];
    return {pixel[0], pixel[1], pixel[2]};
}

// Whether text is drawn from (x, y) on, over a background of the colour at
// (x - 1, y): each pixel of its lines differs from it exactly where the font
// sets one.
bool ShowsText(const merge::Picture& p, uint32_t x, uint32_t y, const std::string& text) {
    merge::Picture expected;
    if (!merge::MakePreviewPicture(1, &expected)) return false;
    const uint32_t width = static_cast<uint32_t>(text.size() * 6);
    merge::DrawText(expected, 0, 0, width, text, {255, 255, 255});
    for (uint32_t row = 0; row < 7; ++row)
        for (uint32_t column = 0; column < width; ++column)
            if ((PixelAt(p, x + column, y + row) != PixelAt(p, x - 1, y)) !=
                (PixelAt(expected, column, row)[0] == 255))
                return false;
    return true;
}

// A square of 4 vertices and two triangles, all of one colour.
modelgen::ModelShape Square(const Bytes& colour) {
    modelgen::ModelShape shape = Shape(4, Repeat(colour, 4));
    shape.geometries[0].triangleCount = 2;
    return shape;
}

Bytes Patched(Bytes model, size_t at, uint8_t value) {
    model[modelgen::BuildModel(Square({})).layout.firstGeometryData + at] = value;
    return model;
}

// A folder of models previewed: each tile's name under it, in order; a
// square's day colour in its left view, the night colour a merge would leave
// in it in its right view, the view's background around it; the tile texts
// of a refused model and of geometry data that holds nothing to draw or not
// what it counts; and no file changed but the picture.
TEST(Batch, Preview) {
    const Bytes red = {200, 40, 40, 255}, green = {30, 180, 60, 255}, blue = {20, 20, 120};
    const Bytes square = Build(Square(red));
    const modelgen::Model merged = modelgen::WithNightColours(Square(red), Repeat(green, 4));
    modelgen::ModelShape noExtension = Square(red);
    noExtension.geometries[0].hasExtension = false;
    modelgen::ModelShape noTriangles = Square(red);
    noTriangles.geometries[0].triangleCount = 0;
    // With -e, a geometry with nothing to draw after one with something.
    modelgen::ModelShape twoGeometries = Square(red);
    twoGeometries.geometries.push_back(noTriangles.geometries[0]);
    const struct {
        const char* name;
        Bytes model;
        Bytes right;       // the night view's centre, or none
        const char* text;  // the start of the tile's text, or none
    } tiles[] = {
        {"a.dff", square, blue, nullptr},
        {"b.dff", merged.bytes, {30, 180, 60}, nullptr},
        {"c.dff", Build(noTriangles), {}, "No triangles."},
        {"d.dff", Patched(square, 3, 1), {}, "Native"},
        {"e.dff", Patched(square, 7, 0x10), {}, "Error: Geometry data"},
        {"f.dff", Build(noExtension), {}, "Error: File doesn't"},
        // The first morph target without positions.
        {"g.dff", Patched(square, 16 + 16 + 16 + 16, 0), {}, "No positions."},
        {"h.dff", Build(twoGeometries), blue, nullptr},
    };
    std::map<std::string, Bytes> files;
    for (const auto& tile : tiles) files[std::string("C:\\m\\") + tile.name] = tile.model;
    Outcome run =
        RunCli(files, "2", {"--preview=C:\\p.png", "-s", "-e", "-r", "20,20,120,255", "C:\\m"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.log.find(Error("Geometry data doesn't hold what it counts.")), std::string::npos);
    EXPECT_NE(run.log.find("\r\nPreview written: C:\\p.png\r\n"), std::string::npos);
    EXPECT_EQ(run.errors, "tintweld-cli: 8 models drawn, 2 with errors\n");
    const merge::Picture picture = Decoded(run.files["C:\\p.png"]);
    run.files.erase("C:\\p.png");
    EXPECT_EQ(run.files, files);
    merge::Picture grid;
    ASSERT_TRUE(merge::MakePreviewPicture(std::size(tiles), &grid));
    ASSERT_EQ(picture.width, grid.width);
    ASSERT_EQ(picture.height, grid.height);
    const uint32_t right = merge::TileWidth - merge::ViewSize, middle = merge::ViewSize / 2;
    const std::vector<uint8_t> background = {merge::ViewBackground.r, merge::ViewBackground.g,
                                             merge::ViewBackground.b};
    for (size_t k = 0; k < std::size(tiles); ++k) {
        SCOPED_TRACE(tiles[k].name);
        uint32_t x = 0, y = 0;
        merge::TileCorner(grid, k, &x, &y);
        EXPECT_TRUE(ShowsText(picture, x, merge::NameLine(y), tiles[k].name));
        const uint32_t inset = merge::TextInset;
        if (tiles[k].text) {
            EXPECT_TRUE(ShowsText(picture, x + inset, y + inset, tiles[k].text));
        }
        if (tiles[k].right.empty()) continue;
        EXPECT_EQ(PixelAt(picture, x + middle, y + middle),
                  std::vector<uint8_t>(red.begin(), red.end() - 1));
        EXPECT_EQ(PixelAt(picture, x + right + middle, y + middle), tiles[k].right);
        EXPECT_EQ(PixelAt(picture, x + 1, y + 1), background);
        EXPECT_EQ(PixelAt(picture, x + right + 1, y + 1), background);
    }
    // Never over a model.
    run = RunCli(files, "1", {"--preview", "C:\\m\\b.dff", "C:\\m"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.files, files);
}

}  // namespace
