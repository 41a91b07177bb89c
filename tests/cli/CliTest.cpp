// tintweld-cli run in a folder of generated models: rows of the files
// before, the arguments, the status, standard output and the files after.
// Then what only a real process shows: owners, jobs, failed output, system
// calls in order, interruptions.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/Models.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using modelgen::Adjusted;
using modelgen::ModelShape;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Model(uint32_t n, const std::string& colours = "") { return Build(Shape(n, Text(colours))); }
// The merged model of 3 vertices with these colours as its own, and these
// as its night colours (none: the fields' defaults).
Bytes Merged3(const std::string& own = "", const std::string& night = "") {
    return Merged(Shape(3, Text(own)), night.empty() ? Grey(3) : Text(night));
}

// The log as standard output shows it; "{}" stands for the folder.
std::string Open(const std::string& name) { return " Opening file: {}/" + name + "\n"; }
std::string Counted(uint32_t n) { return " Analyzing file...\n " + std::to_string(n) + " vertex.\n"; }
std::string Created(const std::string& name) { return "\nDFF created: {}/" + name + "\n"; }
std::string Refused(const std::string& error) { return " Error: " + error + "\n"; }
std::string Merge(const std::string& name, uint32_t n = 3) { return Open(name) + Counted(n) + Created(name); }
std::string Replaced(const std::string& name) {
    return Open(name) + Counted(3) + " Warning: File already contain Night Vertex Color.\n" + Created(name);
}
std::string Clumpless(const std::string& name) {
    return Open(name) + " Analyzing file...\n" + Refused("File doesn't contain Clump.");
}
std::string Pair(const std::string& day, const std::string& night) {
    return Open(day) + Counted(3) + Open(night) + Counted(3) + Created(day);
}
// Models' logs, an empty line between two.
std::string Logs(std::initializer_list<std::string> models) {
    std::string log;
    for (const std::string& model : models) log += (log.empty() ? "" : "\n") + model;
    return log;
}

// Three geometries of 3 vertices: the second without prelit colours, the
// third with old night colours; and a night model of two.
ModelShape EveryShape() {
    ModelShape shape = Shape(3, Text(""));
    shape.geometries.resize(3, shape.geometries[0]);
    shape.geometries[1].prelit = false;
    shape.geometries[2].nightChunkIndex = 0;
    return shape;
}
ModelShape NightOfTwo() {
    ModelShape shape = Shape(3, Text("999988887777"));
    shape.geometries.push_back(Shape(3).geometries[0]);
    return shape;
}
// Two geometries, the second with night colours.
ModelShape SecondMerged() {
    ModelShape shape = Shape(3, Text(""));
    shape.geometries.resize(2, shape.geometries[0]);
    shape.geometries[1].nightChunkIndex = 0;
    return shape;
}
std::string EveryLog() {
    return Counted(3) + " Geometry 2: 3 vertex.\n Geometry 3: 3 vertex.\n"
           " Geometry 2: Warning: Vertex Color missing: geometry left as it is.\n"
           " Geometry 3: Warning: File already contain Night Vertex Color.\n";
}
// Vertex k's colour k,k,k,k: each channel takes every value.
std::string AllValues() {
    std::string colours;
    for (int k = 0; k < 256; ++k) colours.append(4, static_cast<char>(k));
    return colours;
}
// --scale=45,45,60,100 --offset=0,0,8,0
modelgen::ColourAdjustment Bluer() { return {{45, 45, 60, 100}, {0, 0, 8, 0}}; }
std::string LongName() { return std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + std::string(190, 'c') + ".dff"; }

struct Row {
    std::string name;
    std::map<std::string, Bytes> files;
    std::string arguments;
    int status;
    std::string out;
    std::map<std::string, Bytes> after = {};  // the files that change or appear
    std::function<void(const std::string&)> setup = nullptr;
};

// The models' folder, in a temporary folder that also holds the run's own
// files (.out, .err, .trace).
struct Folder {
    Folder() {
        char pattern[] = "/tmp/tintweld-cli-XXXXXX";
        run = mkdtemp(pattern);
        path = run + "/m";
        fs::create_directory(path);
    }
    ~Folder() { fs::remove_all(run); }

    void Put(const std::string& name, const Bytes& bytes) const {
        fs::create_directories(fs::path(path + "/" + name).parent_path());
        std::ofstream(path + "/" + name) << std::string(bytes.begin(), bytes.end());
    }
    Bytes Get(const std::string& name) const { return Text(Read(name)); }
    std::string Read(const std::string& name) const {
        std::ifstream in(path + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every file below the folder; a link as the path it names.
    std::map<std::string, Bytes> Files() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            const std::string name = entry.path().string().substr(path.size() + 1);
            if (entry.is_symlink()) files[name] = Text("-> " + fs::read_symlink(entry).string());
            else if (entry.is_regular_file()) files[name] = Get(name);
        }
        return files;
    }
    // Runs the tool here, so that names are relative: its exit status; its
    // standard output and error in out and err.
    int Run(const std::string& arguments, const std::string& redirect = ">../.out 2>../.err") {
        const int status = std::system(("cd '" + path + "' && " TINTWELD_CLI " " + arguments +
                                        " " + redirect).c_str());
        out = Read("../.out");
        err = Read("../.err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Expand(std::string text) const {
        for (size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, path);
        return text;
    }

    std::string run, path, out, err;
};

void RunRow(const Row& row) {
    SCOPED_TRACE(row.name);
    Folder folder;
    for (const auto& file : row.files) folder.Put(file.first, file.second);
    if (row.setup) row.setup(folder.path);
    std::map<std::string, Bytes> expected = folder.Files();
    for (const auto& file : row.after) expected[file.first] = file.second;
    EXPECT_EQ(folder.Run(row.arguments), row.status) << folder.err;
    EXPECT_EQ(folder.out, folder.Expand(row.out));
    EXPECT_TRUE(folder.Files() == expected);
}

TEST(Cli, UsageErrorsAreOneLineOnStandardErrorWithStatus2) {
    Folder folder;
    for (const char* arguments :
         {"", "--bogus a.dff", "-x a.dff", "--rgba 1,2,3 a.dff", "--night n.dff a.dff b.dff", "''",
          "--night= a.dff", "-n '' a.dff", "a.dff -n", "a.dff --night", "-j 0 a.dff",
          "--jobs=x a.dff", "-n n.dff --night-folder m a.dff", "--always-merge=1 a.dff", "-n n.dff",
          "--scale=1,2,3 a.dff", "--scale 0,0,0,1001 a.dff", "--scale=1,2,3,4.5 a.dff",
          "--scale=1,2,3,4,5 a.dff", "--offset=0,0,0,-256 a.dff", "--offset=1,,3,4 a.dff",
          "--offset=1,2,3,0x1 a.dff", "--strip -c a.dff", "--strip --rgba=64,64,64,255 a.dff",
          "--strip --offset=0,0,0,0 a.dff", "--strip -a a.dff", "--strip -s a.dff",
          "--strip -N n a.dff", "--rgba red,300,-1,25x5 a.dff", "'--rgba=1,2,3,&H100' a.dff",
          "-r '1,2,3,&O8' a.dff", "-r '1,2,3,&' a.dff", "-N nosuchdir a.dff",
          "--unpaired=skip a.dff", "-N . --unpaired=later a.dff",
          "-d -o out a.dff", "-o /dev/null/out a.dff",
          "-o out x/a.dff y/a.dff", "--dry-run -l a.dff", "--dry-run=1 a.dff"}) {
        EXPECT_EQ(folder.Run(arguments), 2) << arguments;
        EXPECT_EQ(folder.out, "") << arguments;
        EXPECT_EQ(folder.err.find('\n'), folder.err.size() - 1) << arguments << folder.err;
        EXPECT_EQ(folder.err.rfind("tintweld-cli: ", 0), 0u) << arguments;
        // The option at fault is named.
        const std::string first = std::string(arguments).substr(0, std::string(arguments).find_first_of("= "));
        if (first == "--scale" || first == "--offset" || first == "--strip" || first == "--rgba") {
            EXPECT_NE(folder.err.find(first), std::string::npos) << arguments;
        }
    }
    EXPECT_EQ(folder.Run("-h"), 0);
    EXPECT_EQ(folder.out.rfind("Usage: tintweld-cli", 0), 0u);
    // The options' table laid out: help at one column, a long name's further.
    EXPECT_NE(folder.out.find("\n  -e, --every-geometry     night colours for every geometry of a model, each from\n"
                              "                             the night model's geometry of its number\n"
                              "  -s,"), std::string::npos);
    EXPECT_NE(folder.out.find("\n  -N, --night-folder=NIGHTS  pair each DAY"), std::string::npos);
    EXPECT_EQ(folder.Run("a.dff --version"), 0);
    EXPECT_EQ(folder.out, "tintweld-cli (Tintweld) " TINTWELD_VERSION "\n");
}

TEST(Cli, ModelsFoldersAndPairs) {
    const Bytes junk = Text("not a model");
    const std::vector<Row> rows = {
        // The second good one's own colours twice the reader's 64 KB read ahead.
        {"BadModelsFailOnlyThemselves",
         {{"good1.dff", Model(3, "abcdefghijkl")}, {"junk.dff", junk}, {"good2.dff", Model(40000)}},
         "-c good1.dff junk.dff missing.dff good2.dff", 1,
         Logs({Merge("good1.dff"), Clumpless("junk.dff"),
               Open("missing.dff") + Refused("No such file or directory"), Merge("good2.dff", 40000)}),
         {{"good1.dff", Merged3("abcdefghijkl", "abcdefghijkl")},
          {"good2.dff", Merged(Shape(40000), PatternColours(0, 40000))}}},
        {"ReplacedWithItsOwnColours", {{"a.dff", Merged3("abcdefghijkl")}}, "-ac -- a.dff", 0,
         Replaced("a.dff"),
         {{"a.dff", Merged3("abcdefghijkl", "abcdefghijkl")}}},
        // Decimal of any length, &H and &O as the fields write them.
        {"DffFolderAndFieldTexts", {{"day.dff", Model(3)}}, "--dff-folder day.dff '--rgba=1,&h2,&O377,000000064'",
         0, Open("day.dff") + Counted(3) + Created("dff/day.dff"),
         {{"dff/day.dff", Merged(Shape(3), Repeat({1, 2, 255, 64}, 3))}}},
        // One merge, one warning, one refusal; --quiet leaves out the merge alone.
        {"ABatchOfThree", {{"a.dff", Model(3)}, {"b.dff", Merged3()}, {"c.dff", junk}},
         "-a a.dff b.dff c.dff", 1, Logs({Merge("a.dff"), Replaced("b.dff"), Clumpless("c.dff")}),
         {{"a.dff", Merged3()}, {"b.dff", Merged3()}}},
        {"ABatchOfThreeQuietly", {{"a.dff", Model(3)}, {"b.dff", Merged3()}, {"c.dff", junk}},
         "a.dff --quiet -a b.dff c.dff", 1, Logs({Replaced("b.dff"), Clumpless("c.dff")}),
         {{"a.dff", Merged3()}, {"b.dff", Merged3()}}},
        {"NightModel", {{"day.dff", Model(3)}, {"night.dff", Model(3, "999988887777")}},
         "--night night.dff day.dff", 0, Pair("day.dff", "night.dff"), {{"day.dff", Merged3("", "999988887777")}}},
        {"ARefusedDayEndsThePair", {{"junk.dff", junk}, {"night.dff", Model(3)}},
         "-n night.dff junk.dff", 1,
         Clumpless("junk.dff")},
        // In name order; other files and, without -R, folders are passed over.
        {"AFolderOfModels",
         {{"day/a.dff", Model(3)}, {"day/B.DFF", Model(4)}, {"day/.dff", Model(3)},
          {"day/c.txt", junk}, {"day/dff", junk}, {"day/sub/d.dff", Model(3)}},
         "day", 0, Logs({Merge("day/.dff"), Merge("day/B.DFF", 4), Merge("day/a.dff")}),
         {{"day/a.dff", Merged3()}, {"day/B.DFF", Merged(Shape(4), Grey(4))}, {"day/.dff", Merged3()}}},
        {"AFolderRecursively",
         {{"day/a.dff", Model(3)}, {"day/sub/d.dff", Model(3)}, {"day/dff/a.dff", junk}},
         "-d -R day", 0, Logs({Open("day/a.dff") + Counted(3) + Created("day/dff/a.dff"),
                               Open("day/sub/d.dff") + Counted(3) + Created("day/sub/dff/d.dff")}),
         {{"day/dff/a.dff", Merged3()}, {"day/sub/dff/d.dff", Merged3()}}},
        // The tree mirrored in a folder of its own, made as needed; the
        // models stay as they are, and the outputs are no day models.
        {"AnOutputTree",
         {{"day/a.dff", Model(3)}, {"day/sub/deep/d.dff", Model(3)}, {"day/out/old.dff", junk}},
         "-R -o day/out day", 0, Logs({Open("day/a.dff") + Counted(3) + Created("day/out/a.dff"),
                                          Open("day/sub/deep/d.dff") + Counted(3) +
                                              Created("day/out/sub/deep/d.dff")}),
         {{"day/out/a.dff", Merged3()}, {"day/out/sub/deep/d.dff", Merged3()}}},
        {"AModelIntoAnOutputFolder", {{"day/a.dff", Model(3)}}, "--output=out day/a.dff", 0,
         Open("day/a.dff") + Counted(3) + Created("out/a.dff"), {{"out/a.dff", Merged3()}}},
        // A day model without its night model is named and not merged.
        {"NightFolder",
         {{"day/a.dff", Model(3)}, {"day/lone.dff", Model(3)}, {"day/sub/c.dff", Model(3)},
          {"nights/a.dff", Model(3, "AAAABBBBCCCC")}, {"nights/sub/c.dff", Model(3, "ccccddddeeee")}},
         "--night-folder nights -R day", 1,
         Logs({Pair("day/a.dff", "nights/a.dff"),
               Open("day/lone.dff") + Counted(3) + Open("nights/lone.dff") + Refused("No such file or directory"),
               Pair("day/sub/c.dff", "nights/sub/c.dff")}),
         {{"day/a.dff", Merged3("", "AAAABBBBCCCC")}, {"day/sub/c.dff", Merged3("", "ccccddddeeee")}}},
        {"NightFolderForAModel", {{"a.dff", Model(3)}, {"n/a.dff", Model(3, "AAAABBBBCCCC")}},
         "-N n a.dff", 0, Pair("a.dff", "n/a.dff"), {{"a.dff", Merged3("", "AAAABBBBCCCC")}}},
        // Two arguments, one model: never at once, and the second finds it merged.
        {"OneModelTwice", {{"a.dff", Model(3)}}, "-j 9999 a.dff .//a.dff", 1,
         Logs({Merge("a.dff"), Open("a.dff") + Counted(3) + Refused("File already contain Night Vertex Color.")}),
         {{"a.dff", Merged3()}}},
        {"ReadOnlyModel", {{"a.dff", Model(3)}}, "a.dff", 1,
         Open("a.dff") + Counted(3) + Refused("Permission denied"), {},
         [](const std::string& dir) { chmod((dir + "/a.dff").c_str(), 0444); }},
        // A backslash, or a byte that is the second half of a double-byte
        // character elsewhere, is part of a name here; so are line breaks.
        {"UnusualBytesInNames", {{"a\\b.dff", Model(3)}, {"\x95\x5C.dff", Model(3)}, {"x\ry\nz.dff", Model(3)}},
         "-d 'a\\b.dff' \"$(printf '\\225\\134.dff')\" x?y?z.dff", 0,
         Logs({Open("a\\b.dff") + Counted(3) + Created("dff/a\\b.dff"),
               Open("\x95\x5C.dff") + Counted(3) + Created("dff/\x95\x5C.dff"),
               Open("x\ry\nz.dff") + Counted(3) + Created("dff/x\ry\nz.dff")}),
         {{"dff/a\\b.dff", Merged3()}, {"dff/\x95\x5C.dff", Merged3()}, {"dff/x\ry\nz.dff", Merged3()}}},
        // The link stays; the model it names is replaced in its own folder.
        {"ThroughALink", {{"real/car.dff", Model(3)}}, "links/car.dff", 0, Merge("links/car.dff"),
         {{"real/car.dff", Merged3()}},
         [](const std::string& dir) {
             fs::create_directory(dir + "/links");
             fs::create_symlink("../real/car.dff", dir + "/links/car.dff");
         }},
        // Every geometry: the second has no colours, the third old ones
        // and no geometry in the night model.
        {"EveryGeometryWithANightModel", {{"m.dff", Build(EveryShape())}, {"n.dff", Build(NightOfTwo())}},
         "-e -a -n n.dff m.dff", 0, Open("m.dff") + EveryLog() + Open("n.dff") +
             Counted(3) + " Geometry 3: Warning: Night DFF contains no such geometry.\n" + Created("m.dff"),
         {{"m.dff", modelgen::WithNightColours(EveryShape(), {{0, Text("999988887777")}, {2, Grey(3)}}).bytes}}},
        // Warnings about later geometries alone: shown with --quiet too.
        {"EveryGeometry", {{"m.dff", Build(EveryShape())}}, "-e -a -q m.dff", 0,
         Open("m.dff") + EveryLog() + Created("m.dff"),
         {{"m.dff", modelgen::WithNightColours(EveryShape(), {{0, Grey(3)}, {2, Grey(3)}}).bytes}}},
        // The second geometry has night colours: it alone is left as it is;
        // then the whole model is.
        {"EveryGeometrySkippedOneByOne", {{"m.dff", Build(SecondMerged())}}, "-e -s m.dff", 0,
         Open("m.dff") + Counted(3) + " Geometry 2: 3 vertex.\n"
             " Geometry 2: Skipped: Geometry already contain Night Vertex Color.\n" + Created("m.dff"),
         {{"m.dff", modelgen::WithNightColours(SecondMerged(), {{0, Grey(3)}}).bytes}}},
        {"EveryGeometryAllSkipped", {{"m.dff", modelgen::WithNightColours(SecondMerged(), {{0, Grey(3)}}).bytes}},
         "-e -s m.dff", 0, Open("m.dff") + Counted(3) + " Geometry 2: 3 vertex.\n"
             " Skipped: Geometry already contain Night Vertex Color.\n"
             " Geometry 2: Skipped: Geometry already contain Night Vertex Color.\n"
             " Skipped: File already contain Night Vertex Color.\n"},
        {"List", {{"a.dff", Model(3)}, {"b.dff", Merged3()}, {"c.dff", junk}, {"d.dff", Merged(Shape(1), {})}},
         "-l a.dff b.dff c.dff d.dff", 1,
         "{}/a.dff\t1\t3\tyes\t-\n{}/b.dff\t1\t3\tyes\t3\n{}/c.dff\tError: File doesn't contain Clump.\n"
         "{}/d.dff\t1\t1\tyes\t0\n"},
        // Every row one line of tab-separated fields, whatever the names hold.
        {"ListOddNames", {{"a\tb\\c\x01.dff", Model(3)}, {"x\ry\nz.dff", Merged3()}}, "-l .", 0,
         "{}/a\\tb\\\\c\\x01.dff\t1\t3\tyes\t-\n{}/x\\ry\\nz.dff\t1\t3\tyes\t3\n"},
        {"ListQuietly", {{"a.dff", Model(3)}, {"c.dff", junk}}, "-lq a.dff c.dff", 1,
         "{}/c.dff\tError: File doesn't contain Clump.\n"},
        // Night made darker and bluer from the day colours: every value of
        // every channel, and a second model beside it.
        {"AFolderAdjusted", {{"day/all.dff", Model(256, AllValues())}, {"day/b.dff", Model(3, "abcdefghijkl")}},
         "--copy-day --scale=45,45,60,100 --offset=0,0,8,0 -j 2 day", 0,
         Logs({Merge("day/all.dff", 256), Merge("day/b.dff")}),
         {{"day/all.dff", Merged(Shape(256, Text(AllValues())), Adjusted(Text(AllValues()), Bluer()))},
          {"day/b.dff", Merged(Shape(3, Text("abcdefghijkl")), Adjusted(Text("abcdefghijkl"), Bluer()))}}},
        // Taken out again: merged models come back as they were; one
        // without night colours is left as it is, and done.
        {"AFolderStripped",
         {{"day/a.dff", Merged3()}, {"day/b.dff", Model(3)},
          {"day/sub/c.dff", modelgen::WithNightColours(EveryShape(), {{0, Grey(3)}, {2, Grey(3)}}).bytes}},
         "--strip -e -R -j 2 day", 0,
         Logs({Merge("day/a.dff"),
               Open("day/b.dff") + Counted(3) + " Skipped: File doesn't contain Night Vertex Color.\n",
               Open("day/sub/c.dff") + Counted(3) + " Geometry 2: 3 vertex.\n Geometry 3: 3 vertex.\n" +
                   " Geometry 2: Warning: Vertex Color missing: geometry left as it is.\n" +
                   Created("day/sub/c.dff")}),
         {{"day/a.dff", Model(3)},
          {"day/sub/c.dff", Build(modelgen::WithoutNightColours(EveryShape(), true))}}},
        {"StrippedIntoTheDffFolder", {{"a.dff", Merged3()}}, "--strip -d a.dff", 0,
         Open("a.dff") + Counted(3) + Created("dff/a.dff"), {{"dff/a.dff", Model(3)}}},
        // A model left as it is needs a look; one stripped cleanly does not.
        {"StrippedQuietly", {{"a.dff", Merged3()}, {"b.dff", Model(3)}}, "--strip -q a.dff b.dff", 0,
         Open("b.dff") + Counted(3) + " Skipped: File doesn't contain Night Vertex Color.\n",
         {{"a.dff", Model(3)}}},
        {"ListAMissingModel", {}, "-l missing.dff", 1, "{}/missing.dff\tError: No such file or directory\n"},
        // Any path the system takes.
        {"A600CharacterPath", {{LongName(), Model(3)}}, LongName(), 0, Merge(LongName()), {{LongName(), Merged3()}}},
        // A link put where the temporary file goes is never followed.
        {"ALinkInTheTemporarysPlace", {{"car.dff", Model(3)}, {"victim", Text("secret")}},
         "car.dff", 0, Merge("car.dff"), {{"car.dff", Merged3()}},
         [](const std::string& dir) { fs::create_symlink("victim", dir + "/car.df~"); }},
    };
    for (const Row& row : rows) RunRow(row);
    // A FIFO is refused at once, as no file on a disk.
    Folder folder;
    ASSERT_EQ(mkfifo((folder.path + "/fifo.dff").c_str(), 0600), 0);
    EXPECT_EQ(folder.Run("fifo.dff"), 1);
    EXPECT_EQ(folder.out, folder.Expand(Open("fifo.dff") + Refused("This is a device, not a file on a disk.")));
}

// A batch run again with --skip-merged leaves the models merged before as
// they are, and counts them as done; --quiet still shows them.
TEST(Cli, ARerunWithSkipMergedChangesNothing) {
    Folder folder;
    folder.Put("a.dff", Model(3));
    folder.Put("b.dff", Merged3());
    const auto skipped = [](const std::string& name) {
        return Open(name) + Counted(3) + " Skipped: File already contain Night Vertex Color.\n";
    };
    EXPECT_EQ(folder.Run("-s ."), 0);
    EXPECT_EQ(folder.out, folder.Expand(Logs({Merge("a.dff"), skipped("b.dff")})));
    const std::map<std::string, Bytes> merged = folder.Files();
    EXPECT_TRUE(merged == (std::map<std::string, Bytes>{{"a.dff", Merged3()}, {"b.dff", Merged3()}}));
    EXPECT_EQ(folder.Run("-sq ."), 0);
    EXPECT_EQ(folder.out, folder.Expand(Logs({skipped("a.dff"), skipped("b.dff")})));
    EXPECT_TRUE(folder.Files() == merged);
}

// With --dff-folder, an output is made already when it holds night colours
// and is no older than its day and night models: a rerun changes no file,
// and a day model saved again has its output alone made again.
TEST(Cli, ARerunWithSkipMergedJudgesTheOutput) {
    Folder folder;
    for (const char* name : {"a.dff", "b.dff"}) {
        folder.Put(std::string("day/") + name, Model(3));
        folder.Put(std::string("night/") + name, Model(3, "AAAABBBBCCCC"));
    }
    folder.Put("day/dff/b.dff", Model(3));  // edited by hand: no night colours
    const auto inodes = [&folder] {
        std::map<std::string, ino_t> numbers;
        struct stat file;
        for (const auto& entry : folder.Files())
            if (stat((folder.path + "/" + entry.first).c_str(), &file) == 0) numbers[entry.first] = file.st_ino;
        return numbers;
    };
    const auto done = [](const std::string& name) {
        return Open("day/" + name) + " Skipped: Output is up to date: {}/day/dff/" + name + "\n";
    };
    EXPECT_EQ(folder.Run("-s -d -N night day"), 0);
    const std::map<std::string, Bytes> first = folder.Files();
    EXPECT_EQ(first.at("day/dff/a.dff"), Merged3("", "AAAABBBBCCCC"));
    EXPECT_EQ(first.at("day/dff/b.dff"), Merged3("", "AAAABBBBCCCC"));
    const auto numbers = inodes();
    EXPECT_EQ(folder.Run("-s -d -N night day"), 0);
    EXPECT_EQ(folder.out, folder.Expand(Logs({done("a.dff"), done("b.dff")})));
    EXPECT_TRUE(folder.Files() == first && inodes() == numbers);
    // Saved again, later than its output.
    folder.Put("day/b.dff", Model(3, "abcdefghijkl"));
    fs::last_write_time(folder.path + "/day/b.dff", fs::last_write_time(folder.path + "/day/dff/b.dff") +
                                                        std::chrono::seconds(1));
    EXPECT_EQ(folder.Run("-s -d -N night day"), 0);
    EXPECT_EQ(folder.out, folder.Expand(Logs({done("a.dff"), Open("day/b.dff") + Counted(3) + Open("night/b.dff") +
                                                                 Counted(3) + Created("day/dff/b.dff")})));
    EXPECT_EQ(folder.Get("day/dff/b.dff"), Merged3("abcdefghijkl", "AAAABBBBCCCC"));
    auto changed = inodes();
    EXPECT_EQ(changed.at("day/dff/a.dff"), numbers.at("day/dff/a.dff"));
    EXPECT_NE(changed.at("day/dff/b.dff"), numbers.at("day/dff/b.dff"));
}

// 20 day models, night models for 15: the other 5 left as they are, or
// given night colours of their own; each says which night model it missed.
TEST(Cli, DayModelsWithoutANightModel) {
    for (const std::string action : {"skip", "fill"}) {
        Folder folder;
        std::map<std::string, Bytes> expected;
        std::string log;  // with -q, the 5 alone
        for (int i = 10; i < 30; ++i) {
            const std::string name = "m" + std::to_string(i) + ".dff";
            folder.Put("day/" + name, Model(3, "abcdefghijkl"));
            if (i < 25) folder.Put("night/" + name, Model(3, "AAAABBBBCCCC"));
            expected["day/" + name] = i < 25 ? Merged3("abcdefghijkl", "AAAABBBBCCCC")
                                      : action == "fill" ? Merged3("abcdefghijkl", "abcdefghijkl")
                                                         : Model(3, "abcdefghijkl");
            if (i < 25) expected["night/" + name] = Model(3, "AAAABBBBCCCC");
            if (i < 25) continue;
            log += (log.empty() ? "" : "\n") +
                   (action == "skip" ? " Skipped: Night model missing: {}/night/" + name + "\n"
                                     : " Warning: Night model missing: {}/night/" + name + "\n" +
                                           Merge("day/" + name));
        }
        EXPECT_EQ(folder.Run("-q -c -N night --unpaired=" + action + " day"), 0) << action;
        EXPECT_EQ(folder.out, folder.Expand(log)) << action;
        EXPECT_TRUE(folder.Files() == expected) << action;
    }
}

// Every name below the folder, and the folder itself: its kind, mode, times
// of change and bytes.
std::map<std::string, std::string> Tree(const std::string& path) {
    std::map<std::string, std::string> tree;
    const auto add = [&](const std::string& name) {
        struct stat status;
        if (lstat((path + name).c_str(), &status) != 0) return;
        std::ostringstream entry;
        entry << status.st_mode << ' ' << status.st_mtim.tv_sec << '.' << status.st_mtim.tv_nsec
              << ' ' << status.st_ctim.tv_sec << '.' << status.st_ctim.tv_nsec << ' ';
        std::ifstream in(path + name, std::ios::binary);
        if (S_ISREG(status.st_mode)) entry << in.rdbuf();
        tree[name] = entry.str();
    };
    add("");
    for (const auto& entry : fs::recursive_directory_iterator(path))
        add(entry.path().string().substr(path.size()));
    return tree;
}

// A dry run leaves every name, byte, mode and time as it was, and says what
// the same command would: a merge, a skip (its output up to date), a
// refusal, into dff folders.
TEST(Cli, ADryRunChangesNothingAndSaysWhatARunWould) {
    Folder folder;
    folder.Put("a.dff", Model(3));
    folder.Put("b.dff", Model(3));
    folder.Put("dff/b.dff", Merged3());
    folder.Put("c.dff", Text("not a model"));
    folder.Put("sub/d.dff", Model(4));
    const std::map<std::string, std::string> before = Tree(folder.path);
    EXPECT_EQ(folder.Run("--dry-run -o out/new ."), 1);  // an output tree not made
    EXPECT_TRUE(Tree(folder.path) == before);
    EXPECT_EQ(folder.Run("--dry-run -s -d -R ."), 1);
    EXPECT_TRUE(Tree(folder.path) == before);
    EXPECT_EQ(folder.err,
              "tintweld-cli: 2 would be merged, 1 would be left as it is, 1 would not be merged\n");
    std::string dry = folder.out;
    for (size_t at; (at = dry.find("DFF would be created")) != std::string::npos;)
        dry.replace(at, 20, "DFF created");
    EXPECT_EQ(folder.Run("-s -d -R ."), 1);
    EXPECT_EQ(dry, folder.out);
    EXPECT_EQ(folder.err, "tintweld-cli: 2 merged, 1 left as it was, 1 not merged\n");
    EXPECT_EQ(folder.Get("dff/a.dff"), Merged3());
}

// Owner, group and mode survive; a root run gives another account's model
// back to it. A new output in a new folder is made as any new file is, under
// the strictest umask ours alone.
TEST(Cli, TheModelKeepsItsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    Folder folder;
    folder.Put("a.dff", Model(3));
    ASSERT_EQ(chown((folder.path + "/a.dff").c_str(), 1234, 4321) | chmod((folder.path + "/a.dff").c_str(), 0640), 0);
    EXPECT_EQ(folder.Run("a.dff", ">/dev/null && umask 077 && " TINTWELD_CLI " -ad a.dff >/dev/null"), 0);
    struct stat model, folderMode, output;
    ASSERT_EQ(stat((folder.path + "/a.dff").c_str(), &model) | stat((folder.path + "/dff").c_str(), &folderMode) |
                  stat((folder.path + "/dff/a.dff").c_str(), &output), 0);
    EXPECT_EQ(std::vector<unsigned>({model.st_uid, model.st_gid, model.st_mode & 07777u, folderMode.st_mode & 0777u,
                                     output.st_mode & 0777u}),
              std::vector<unsigned>({1234, 4321, 0640, 0700, 0600}));
    EXPECT_EQ(folder.Get("a.dff"), Merged3());
    EXPECT_EQ(folder.Get("dff/a.dff"), Merged3());
}

TEST(Cli, AFailedLogEndsTheRunWithAMessage) {
    Folder folder;
    for (int i = 0; i < 40; ++i) folder.Put("m" + std::to_string(100 + i) + ".dff", Model(3));
    EXPECT_EQ(folder.Run("m*.dff", ">/dev/full 2>../.err"), 1);
    EXPECT_EQ(folder.err, "tintweld-cli: the log could not be written: No space left on device\n");
    EXPECT_EQ(folder.Run("-h", ">/dev/full 2>../.err"), 1);
    EXPECT_EQ(folder.err, "tintweld-cli: standard output: No space left on device\n");
    folder.Put("b.dff", Model(3));
    EXPECT_EQ(folder.Run("b.dff", ">&- 2>../.err"), 1);
    EXPECT_EQ(folder.err, "tintweld-cli: standard output is closed: the log could not be written\n");
    EXPECT_EQ(folder.Get("b.dff"), Model(3));
}

// strace shows the calls: the temporary file made for us alone, flushed
// before it is renamed, and its folder flushed after; a batch flushes its
// file system once instead of each file.
TEST(Cli, OutputsReachTheDiskBeforeTheirNames) {
    Folder folder;
    folder.Put("a.dff", Model(3));
    folder.Put("b.dff", Model(3));
    folder.Put("c.dff", Model(3));
    // LeakSanitizer, in the sanitizer build, cannot work under strace.
    const std::string trace =
        " 2>.err; ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=openat,fsync,syncfs,rename -o ../.trace ";
    for (const char* arguments : {"a.dff", "-j 1 b.dff c.dff"}) {
        ASSERT_EQ(std::system(("cd '" + folder.path + "'" + trace + TINTWELD_CLI " " + arguments +
                               " >/dev/null").c_str()), 0) << arguments;
        std::istringstream lines(folder.Read("../.trace"));
        std::string calls;
        for (std::string line; std::getline(lines, line);) {
            const auto has = [&](const std::string& text) { return line.find(text) != std::string::npos; };
            if (has("O_EXCL")) calls += has("O_NOFOLLOW") && has("0600") ? "create;" : "create unsafely;";
            for (const char* call : {"fsync", "syncfs", "rename"})
                if (has(std::string(" ") + call + "(")) calls += std::string(call) + ";";
            if (has("O_DIRECTORY") && has("\"" + folder.path + "\"")) calls += "folder;";
        }
        EXPECT_EQ(calls, std::string(arguments) == "a.dff"
                             ? "create;fsync;rename;folder;fsync;"
                             : "create;create;syncfs;rename;rename;folder;fsync;") << arguments;
    }
}

// Another program saves a model (as editors do: a new file moved over it)
// while the batch flushes its outputs: that model is not replaced, the
// other program's model stays.
TEST(Cli, AModelSavedDuringTheRunIsNotLost) {
    Folder folder;
    folder.Put("a.dff", Model(3));
    folder.Put("b.dff", Model(3));
    folder.Put("saved.tmp", Model(7));
    // Once the second model's temporary file is there, the first was read
    // and both wait for their flush.
    const std::string command = "cd '" + folder.path +
        "' && (ASAN_OPTIONS=detect_leaks=0 strace -f -q -o /dev/null -e trace=syncfs"
        " -e inject=syncfs:delay_enter=3000000 " TINTWELD_CLI " -j 1 a.dff b.dff >../.out 2>../.err &"
        " for i in $(seq 500); do [ -e b.df~ ] && break; sleep 0.01; done; mv saved.tmp a.dff; wait $!)";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_EQ(folder.Read("../.out"), folder.Expand(Logs({Open("a.dff") + Counted(3) +
                                                    Refused("File changed while it was merged."), Merge("b.dff")})));
    EXPECT_TRUE(folder.Files() == (std::map<std::string, Bytes>{{"a.dff", Model(7)}, {"b.dff", Merged3()}}));
}

// SIGINT, SIGTERM or SIGHUP while the output waits to be flushed: the
// output, whole, is still put in place; a second signal abandons it, and
// the model stays as it was. No temporary file is left, the log so far is
// written, and the process ends by the first signal, as strace tells;
// standard error, no terminal, gets no progress line.
TEST(Cli, AnInterruptedRunLeavesNoTemporaryFile) {
    for (const std::string signals : {"INT", "TERM", "HUP", "INT TERM"}) {
        Folder folder;
        folder.Put("a.dff", Model(3));
        const std::string command = "cd '" + folder.path +
            "' && (ASAN_OPTIONS=detect_leaks=0 strace -f -q -o ../.trace -e trace=fsync"
            " -e inject=fsync:delay_enter=1500000 " TINTWELD_CLI " a.dff >../.out 2>../.err &"
            " for i in $(seq 500); do [ -e a.df~ ] && break; sleep 0.01; done; sleep 0.2;"
            " for s in " + signals + "; do pkill -$s -P $!; sleep 0.1; done; wait)";  // strace's child alone
        ASSERT_EQ(std::system(command.c_str()), 0);
        const bool abandoned = signals.size() > 4;
        EXPECT_NE(folder.Read("../.trace").find("+++ killed by SIG" + signals.substr(0, signals.find(' ')) + " +++"),
                  std::string::npos);
        EXPECT_TRUE(folder.Files() == (std::map<std::string, Bytes>{{"a.dff", abandoned ? Model(3) : Merged3()}}));
        EXPECT_EQ(folder.Read("../.out"), folder.Expand(abandoned ? Open("a.dff") + Counted(3) +
                                                                        Refused("Interrupted system call")
                                                                  : Merge("a.dff")));
        EXPECT_EQ(folder.Read("../.err"), "");
    }
}

// Interrupted while the outputs are made, their flush slowed down: those
// already whole are put in place, no model starts after, and the models not
// reached are one line, not an error each.
TEST(Cli, AnInterruptedBatchNamesTheModelsNotReachedOnce) {
    Folder folder;
    for (int i = 1000; i < 1600; ++i) folder.Put("m" + std::to_string(i) + ".dff", Model(3));
    const std::string command = "cd '" + folder.path +
        "' && (ASAN_OPTIONS=detect_leaks=0 strace -f -q -o /dev/null -e trace=syncfs"
        " -e inject=syncfs:delay_enter=1500000 " TINTWELD_CLI " -j 1 . >../.out 2>../.err &"
        " for i in $(seq 1000); do [ -e m1010.df~ ] && break; sleep 0.01; done;"
        " pkill -TERM -P $!; wait $!)";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 128 + 15);
    const std::string log = folder.Read("../.out");
    size_t merged = 0, errors = 0;
    for (const auto& file : folder.Files()) {
        EXPECT_TRUE(file.second == Model(3) || file.second == Merged3()) << file.first;
        merged += file.second == Merged3();
    }
    for (size_t at = 0; (at = log.find(" Error: ", at)) != std::string::npos; ++at) ++errors;
    EXPECT_GE(merged, 11u);
    EXPECT_LE(errors, 1u) << log;
    const size_t line = log.rfind("\nInterrupted: ");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(log.substr(line), "\nInterrupted: " + std::to_string(600 - merged - errors) + " models not reached.\n");
}

}  // namespace
