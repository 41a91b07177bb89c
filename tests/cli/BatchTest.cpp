// tintweld-cli's batch in process over the in-memory system, so that every run is checked to
// end clean: no temporary file, nothing held, no folder unflushed or made in vain.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/Batch.h"
#include "cli/Console.h"
#include "cli/Json.h"
#include "preview/Picture.h"
#include "rwstream/Chunk.h"
#include "tests/support/MemoryOs.h"
#include "tests/support/Models.h"

namespace {

using namespace testsupport;
using Prepare = std::function<void(MemoryOs&)>;
using Files = std::map<std::string, Bytes>;
using modelgen::ModelShape;

// The logs, or none when they cannot be written; the progress shown, as "done/total ".
struct Logs final : cli::BatchOutput {
    std::string text, progress;
    bool fails = false;
    bool WriteLog(const std::string& log) override { return !fails && (text += log, true); }
    void ShowProgress(size_t done, size_t total) override {
        progress += std::to_string(done) + "/" + std::to_string(total) + " ";
    }
};

struct Outcome {
    int status;
    std::string log, errors, progress;
    Files files;  // below At by their relative names
    int flushes;  // of whole file systems
};

// Relative names are below this folder.
const std::string At = "C:\\work\\";

// The words of a line; '' stands for an empty one.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word == "''" ? "" : word);
    return words;
}

// Runs tintweld-cli's batch on these files (their folders made) with "-j"
// jobs, the arguments and at most group outputs a commit, after prepare.
Outcome RunCli(const Files& files, const std::string& arguments, const Prepare& prepare = nullptr,
               const std::string& jobs = "1", size_t group = 256, bool logsFail = false,
               const std::set<std::string>& inexact = {}) {
    MemoryOs os;
    for (const auto& file : files) {
        const std::string path = file.first.find(':') == std::string::npos ? At + file.first
                                                                           : file.first;
        os.files[path] = file.second;
        for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
            os.folders.insert(path.substr(0, at));
    }
    if (prepare) prepare(os);
    // Outputs that wait for their commit hold no memory: their colours are written.
    os.Before(Call::SyncFileSystem, 1, [&os] { EXPECT_EQ(os.BlocksHeld(), 0u); });
    const std::set<std::string> before = os.folders;
    cli::CommandLine line = cli::ParseCommandLine(Words("-j " + jobs + " " + arguments));
    EXPECT_EQ(line.command, cli::Command::Merge) << line.error;
    line.options.commitGroup = group;
    Logs logs;
    logs.fails = logsFail;
    Outcome outcome{0, "", "", "", {}, 0};
    outcome.status = cli::RunBatch(line.options, inexact, os, logs, &outcome.errors);
    EXPECT_EQ(os.Held() + os.misuses + os.temporaries.size() + os.unflushedFolders.size(), 0u);
    // A dry run makes no file, not even for a while.
    EXPECT_FALSE(line.options.dryRun && os.calls[static_cast<int>(Call::Create)] > 0);
    // A folder that the batch made holds a file.
    for (const std::string& folder : os.folders) {
        const auto next = os.files.lower_bound(folder + "\\");
        EXPECT_TRUE(before.count(folder) ||
                    (next != os.files.end() && next->first.rfind(folder + "\\", 0) == 0))
            << folder;
    }
    for (const auto& file : os.files)
        outcome.files[file.first.rfind(At, 0) == 0 ? file.first.substr(At.size()) : file.first] =
            file.second;
    outcome.log = logs.text;
    outcome.progress = logs.progress;
    outcome.flushes = os.calls[static_cast<int>(Call::SyncFileSystem)];
    return outcome;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Model(uint32_t n, const std::string& colours = "") { return Build(Shape(n, Text(colours))); }
// Merged, 3 vertices with these own and night colours (no night: the fields' defaults).
Bytes Merged3(const std::string& own = "", const std::string& night = "") {
    return Merged(Shape(3, Text(own)), night.empty() ? Grey(3) : Text(night));
}
const Bytes Junk = Text("not a model");
const std::string Day = "abcdefghijkl", Night = "AAAABBBBCCCC";

// The log's lines for a model, by relative names; an empty line between two.
std::string Opened(const std::string& name) { return Open(At + name); }
std::string Made(const std::string& output, const char* what = "DFF created: ") {
    return "\r\n" + std::string(what) + At + output + "\r\n";
}
std::string Merge(const std::string& name, uint32_t n = 3, const std::string& output = "") {
    return Opened(name) + Counted(n) + Made(output.empty() ? name : output);
}
std::string Pair(const std::string& day, const std::string& night, const std::string& out = "") {
    return Opened(day) + Counted(3) + Opened(night) + Counted(3) + Made(out.empty() ? day : out);
}
std::string Clumpless(const std::string& name) {
    return Opened(name) + " Analyzing file...\r\n" + Error("File doesn't contain Clump.");
}
std::string Line(const std::string& text) { return " " + text + "\r\n"; }
std::string Logs(std::initializer_list<std::string> models) {
    std::string log;
    for (const std::string& model : models) log += (log.empty() ? "" : "\r\n") + model;
    return log;
}
std::string Counts(int merged, int left, int not_, const std::string& done = "merged") {
    return "tintweld-cli: " + std::to_string(merged) + " " + done + ", " + std::to_string(left) +
           " left as it was, " + std::to_string(not_) + " not " + done + "\n";
}
std::string Usage(const std::string& error) {
    return "tintweld-cli: " + error + " (see tintweld-cli --help)\n";
}
// At as a listing writes it.
const std::string Listed = "C:\\\\work\\\\";
const std::string Already = "File already contain Night Vertex Color.";

// Two geometries of 3 vertices, the second with night colours.
ModelShape SecondMerged() {
    ModelShape shape = Shape(3, Text(""));
    shape.geometries.resize(2, shape.geometries[0]);
    shape.geometries[1].nightChunkIndex = 0;
    return shape;
}
ModelShape Unmerged() {
    ModelShape shape = SecondMerged();
    shape.geometries[1].nightChunkIndex = -1;
    return shape;
}
const modelgen::ColourAdjustment Bluer = {{45, 45, 60, 100}, {0, 0, 8, 0}};
// 4 vertices (the generator's grid): triangle 0 1 2 textured "Window_Lit", 1 3 2 untextured; the
// texture's name without its zero byte when broken.
ModelShape Windowed(bool broken = false) {
    ModelShape shape = Shape(4);
    shape.geometries[0].triangleCount = 2;
    shape.geometries[0].materials = {{true, "Window_Lit"}, {}};
    shape.geometries[0].triangleMaterials = {0, 1};
    shape.geometries[0].unterminatedTextures = broken;
    return shape;
}
// Its night colours from its own, darker and bluer, then its window's vertices lit.
Bytes WindowLit() {
    Bytes colours = modelgen::Adjusted(PatternColours(0, 4), Bluer);
    const Bytes lit = Repeat({255, 200, 100, 255}, 3);
    std::copy(lit.begin(), lit.end(), colours.begin());
    return colours;
}
// A listed geometry of 4 vertices as JSON, with its textures.
std::string Json(const std::string& name, const std::string& textures) {
    return "{\"type\":\"geometry\",\"path\":\"C:\\\\work\\\\" + name + "\",\"geometry\":1,"
           "\"vertices\":4,\"prelit\":true,\"night\":null,\"textures\":" + textures + "}\r\n";
}

struct Row {
    std::string arguments;
    Files files;
    int status;
    std::string log;
    Files after = {};  // the files that change or appear
    std::string errors = "";
    Prepare prepare = nullptr;
};

// Jobs that share a file run in turn, so each row's result holds at any number of jobs.
TEST(Batch, TheSameResultAtAnyNumberOfJobs) {
    const Bytes a = Model(3), night = Model(3, Night), merged = Merged3();
    const std::string missing = Error("The system cannot find the file specified."),
                      again = Line("Warning: " + Already);
    const Prepare empty = [](MemoryOs& os) { os.folders.insert(At + "e"); };
    const Bytes bothMerged =
        modelgen::WithNightColours(Unmerged(), {{0, Grey(3)}, {1, Grey(3)}}).bytes;
    Bytes broken = merged;
    rw::Store32(&broken[modelgen::LayoutOf(Shape(3)).firstExtension + 4], 1000);
    const Row rows[] = {
        // Never at once; a name the batch reads is never another job's temporary file.
        {"a.dff a.dff a.df~", {{"a.dff", a}}, 1,
         Logs({Merge("a.dff"), Opened("a.dff") + Counted(3) + Error(Already),
               Opened("a.df~") + missing}), {{"a.dff", merged}}, Counts(1, 0, 2)},
        // A "dff" made in vain; fields in every form.
        {"-d a.dff n\\b.dff --rgba=1,&hA,&O377,064", {{"a.dff", a}, {"n\\b.dff", a}}, 1,
         Logs({Merge("a.dff", 3, "dff\\a.dff"),
               Opened("n\\b.dff") + Counted(3) + Error("File could not be read.")}),
         {{"dff\\a.dff", Merged(Shape(3), Repeat({1, 10, 255, 64}, 3))}}, Counts(1, 0, 1),
         [a](MemoryOs& os) { os.readableUpTo[At + "n\\b.dff"] = a.size() - 1; }},
        // A dry run foresees its run: a model named twice is merged once.
        {"--dry-run a.dff a.dff", {{"a.dff", a}}, 1,
         Logs({Opened("a.dff") + Counted(3) + Made("a.dff", "DFF would be created: "),
               Opened("a.dff") + Counted(3) + Error(Already)}),
         {}, "tintweld-cli: 1 would be merged, 0 would be left as it is, 1 would not be merged\n"},
        // No output lands on a night model, nor elsewhere on a day model; nor a picture on either.
        {"-N n -o n d", {{"d\\a.dff", a}, {"n\\a.dff", night}}, 2, "", {},
         Usage("the output 'C:\\work\\n\\a.dff' would replace the night model "
               "'C:\\work\\n\\a.dff'")},
        {"-N n d n\\a.dff", {{"d\\a.dff", a}, {"n\\a.dff", night}}, 2, "", {},
         Usage("the output 'C:\\work\\n\\a.dff' would replace the night model "
               "'C:\\work\\n\\a.dff'")},
        {"-R -o d d", {{"d\\a.dff", a}}, 2, "", {},
         Usage("the output 'C:\\work\\d\\a.dff' would replace the model 'C:\\work\\d\\a.dff'")},
        {"-s -d --preview=d\\dff\\a.dff d", {{"d\\a.dff", a}, {"d\\dff\\a.dff", merged}}, 2, "", {},
         Usage("--preview would replace 'C:\\work\\d\\dff\\a.dff', which the run writes or reads")},
        {"--preview=d d\\a.dff", {{"d\\a.dff", a}}, 2, "", {},
         Usage("--preview names a folder or a device, not a file: 'C:\\work\\d'")},
        // The tree mirrored, folders made by whichever job comes first, one in vain.
        {"-R -o d\\o d", {{"d\\a.dff", a}, {"d\\s\\b.dff", a}, {"d\\s\\t\\c.dff", a},
                          {"d\\o\\old.dff", Junk}}, 1,
         Logs({Merge("d\\a.dff", 3, "d\\o\\a.dff"), Merge("d\\s\\b.dff", 3, "d\\o\\s\\b.dff"),
               Opened("d\\s\\t\\c.dff") + Line("Analyzing file...") +
                   Error("File doesn't contain Geometry List.")}),
         {{"d\\o\\a.dff", merged}, {"d\\o\\s\\b.dff", merged}}, Counts(2, 0, 1),
         [](MemoryOs& os) { os.readableUpTo[At + "d\\s\\t\\c.dff"] = 20; }},
        // Named from two folders, one model writes one output.
        {"-o o m\\a.dff n\\a.dff", {{"m\\a.dff", a}}, 0,
         Logs({Merge("m\\a.dff", 3, "o\\a.dff"), Merge("n\\a.dff", 3, "o\\a.dff")}),
         {{"o\\a.dff", merged}, {"n\\a.dff", a}}, Counts(2, 0, 0), [](MemoryOs& os) {
             os.folders.insert(At + "n");
             os.HardLink(At + "n\\a.dff", At + "m\\a.dff");
         }},
        // With -d and -R no folder "dff" is gone into, whether case counts or not.
        {"-d -R C:\\work", {{"a.dff", a}, {"dff\\y.dff", a}, {"DFF\\x.dff", a}}, 0,
         Logs({Merge("DFF\\x.dff", 3, "DFF\\dff\\x.dff"), Merge("a.dff", 3, "dff\\a.dff")}),
         {{"DFF\\dff\\x.dff", merged}, {"dff\\a.dff", merged}}, Counts(2, 0, 0)},
        {"-d -R C:\\work", {{"a.dff", a}, {"DFF\\x.dff", a}}, 0, Merge("a.dff", 3, "dff\\a.dff"),
         {{"dff\\a.dff", merged}}, "", [](MemoryOs& os) { os.ignoresCase = true; }},
        // Junk and a missing model fail alone; --quiet hides clean merges; "--" ends options.
        {"a.dff --quiet -ac -- b.dff c.dff missing.dff", {{"a.dff", a}, {"b.dff", Merged3(Day)},
                                                           {"c.dff", Junk}}, 1,
         Logs({Opened("b.dff") + Counted(3) + again + Made("b.dff"), Clumpless("c.dff"),
               Opened("missing.dff") + missing}),
         {{"a.dff", Merged(Shape(3), PatternColours(0, 3))}, {"b.dff", Merged3(Day, Day)}},
         Counts(2, 0, 2)},
        {"--night n.dff a.dff", {{"a.dff", a}, {"n.dff", night}}, 0, Pair("a.dff", "n.dff"),
         {{"a.dff", Merged3("", Night)}}},
        // In name order; other files and, without -R, folders passed over.
        {"e d", {{"d\\a.dff", a}, {"d\\B.DFF", Model(4)}, {"d\\.dff", a}, {"d\\c.txt", Junk},
                 {"d\\dff", Junk}, {"d\\s\\d.dff", a}}, 0,
         Logs({Merge("d\\.dff"), Merge("d\\B.DFF", 4), Merge("d\\a.dff")}),
         {{"d\\a.dff", merged}, {"d\\B.DFF", Merged(Shape(4), Grey(4))}, {"d\\.dff", merged}},
         "tintweld-cli: no model in the folder 'e'\n" + Counts(3, 0, 0), empty},
        // A folder that cannot be listed is a job whose log tells why.
        {"-R d", {{"d\\a.dff", a}, {"d\\s\\b.dff", a}}, 1,
         Logs({Merge("d\\a.dff"), Opened("d\\s") + Error("Access is denied.")}),
         {{"d\\a.dff", merged}}, Counts(1, 0, 1),
         [](MemoryOs& os) { os.FailCall(Call::ListFolder, 2, SystemError::AccessDenied); }},
        {"-l e", {}, 1, "", {},
         "tintweld-cli: no model in the folder 'e'\n"
         "tintweld-cli: no model to list: the folders named hold no .dff file\n", empty},
        {"-n a.dff C:\\work", {{"a.dff", a}}, 2, "", {}, "tintweld-cli: --night merges one DAY, "
         "not the folder 'C:\\work' (see tintweld-cli --help)\n"},
        // A day model without its night model: not merged, left as it is, or filled.
        {"--night-folder n -R d", {{"d\\a.dff", a}, {"d\\b.dff", a}, {"d\\s\\c.dff", a},
                                   {"n\\a.dff", night}, {"n\\s\\c.dff", Model(3, Day)}}, 1,
         Logs({Pair("d\\a.dff", "n\\a.dff"),
               Opened("d\\b.dff") + Counted(3) + Opened("n\\b.dff") + missing,
               Pair("d\\s\\c.dff", "n\\s\\c.dff")}),
         {{"d\\a.dff", Merged3("", Night)}, {"d\\s\\c.dff", Merged3("", Day)}}, Counts(2, 0, 1)},
        {"-N n --unpaired=skip d", {{"d\\a.dff", a}, {"d\\b.dff", a}, {"n\\a.dff", night}}, 0,
         Logs({Pair("d\\a.dff", "n\\a.dff"), Line("Skipped: Night model missing: " + At + "n\\b.dff")}),
         {{"d\\a.dff", Merged3("", Night)}}, Counts(1, 1, 0)},
        {"-c -N n --unpaired=fill d\\b.dff", {{"d\\b.dff", Model(3, Day)}}, 0,
         Line("Warning: Night model missing: " + At + "n\\b.dff") + Merge("d\\b.dff"),
         {{"d\\b.dff", Merged3(Day, Day)}}, "", [](MemoryOs& os) { os.folders.insert(At + "n"); }},
        // A warning about a later geometry alone is shown with --quiet too.
        {"-q -e -a m.dff", {{"m.dff", Build(SecondMerged())}}, 0,
         Opened("m.dff") + Counted(3) + Line("Geometry 2: 3 vertex.") +
             Line("Geometry 2: Warning: " + Already) + Made("m.dff"),
         {{"m.dff", bothMerged}}},
        // With -e, an output is made already only when every geometry holds night colours.
        {"-s -e -d m.dff", {{"m.dff", Build(Unmerged())}, {"dff\\m.dff", Build(SecondMerged())}},
         0, Opened("m.dff") + Counted(3) + Line("Geometry 2: 3 vertex.") + Made("dff\\m.dff"),
         {{"dff\\m.dff", bothMerged}}},
        // Listed: a line of tab-separated fields a geometry, whatever the names hold.
        {"-l C:\\work missing.dff", {{"a\tb\x01.dff", a}, {"b .dff", merged}, {"c.dff", Junk},
                                     {"d.dff", Merged(Shape(1), {})}}, 1,
         Listed + "a\\tb\\x01.dff\t1\t3\tyes\t-\r\n" + Listed + "b .dff\t1\t3\tyes\t3\r\n" +
             Listed + "c.dff\tError: File doesn't contain Clump.\r\n" + Listed +
             "d.dff\t1\t1\tyes\t0\r\n" + Listed +
             "missing.dff\tError: The system cannot find the file specified.\r\n",
         {}, "tintweld-cli: 5 models read, 2 with errors\n"},
        {"-l a.dff", {{"a.dff", a}}, 0, Listed + "a.dff\t1\t3\tyes\t-\r\n"},
        // An output whose first Extension runs past its geometry holds no night colours.
        {"-s -d a.dff", {{"a.dff", a}, {"dff\\a.dff", broken}}, 0, Merge("a.dff", 3, "dff\\a.dff"),
         {{"dff\\a.dff", merged}}},
        // An output's name taken by a folder: not replaced.
        {"-d a.dff", {{"a.dff", a}}, 1,
         Opened("a.dff") + Counted(3) +
             Error("Output path names a folder or a device, not a file."),
         {}, "", [](MemoryOs& os) { os.folders.insert({At + "dff", At + "dff\\a.dff"}); }},
        // Nor does one that cannot be read.
        {"-s -d a.dff", {{"a.dff", a}, {"dff\\a.dff", merged}}, 0, Merge("a.dff", 3, "dff\\a.dff"),
         {}, "", [](MemoryOs& os) { os.FailCall(Call::Open, 1, SystemError::AccessDenied); }},
        {"-lq a.dff c.dff", {{"a.dff", a}, {"c.dff", Junk}}, 1, Listed + "c.dff\tError: File "
         "doesn't contain Clump.\r\n", {}, "tintweld-cli: 2 models read, 1 with errors\n"},
        // Night made darker and bluer from the day colours.
        {"--copy-day --scale=45,45,60,100 --offset=0,0,8,0 a.dff", {{"a.dff", Model(3, Day)}}, 0,
         Merge("a.dff"), {{"a.dff", Merged(Shape(3, Text(Day)), Adjusted(Text(Day), Bluer))}}},
        // Taken out again; a model without night colours left as it is.
        {"--strip a.dff b.dff", {{"a.dff", merged}, {"b.dff", a}}, 0,
         Logs({Merge("a.dff"),
               Opened("b.dff") + Counted(3) + Line("Skipped: File doesn't contain Night Vertex Color.")}),
         {{"a.dff", a}}, Counts(1, 1, 0, "stripped")},
        // Quiet when nothing needs doing: models skipped, stripped of nothing, left as they are.
        {"-sq a.dff b.dff", {{"a.dff", a}, {"b.dff", merged}}, 0, "", {{"a.dff", merged}},
         Counts(1, 1, 0)},
        {"--strip -q b.dff c.dff", {{"b.dff", a}, {"c.dff", a}}, 0, "", {},
         Counts(0, 2, 0, "stripped")},
        // In place, night colours older than their night model: left as they are, said so.
        {"-q -s -N n d", {{"d\\a.dff", merged}, {"n\\a.dff", night}}, 0,
         Opened("d\\a.dff") + Counted(3) + Line("Skipped: " + Already) +
             Line("Warning: Night model is newer than the model: " + At + "n\\a.dff"),
         {}, "", [night](MemoryOs& os) { os.Change(At + "n\\a.dff", night); }},
        {"-q -s -N n d", {{"d\\a.dff", merged}, {"n\\a.dff", night}}, 0, "", {}, "",
         [merged](MemoryOs& os) { os.Change(At + "d\\a.dff", merged); }},
        {"-s -d -N n d", {{"d\\a.dff", a}, {"d\\b.dff", a}, {"d\\c.dff", a}, {"n\\a.dff", night},
                          {"n\\b.dff", night}, {"n\\c.dff", night}, {"d\\dff\\a.dff", merged},
                          {"d\\dff\\b.dff", merged}, {"d\\dff\\c.dff", a}}, 0,
         Logs({Opened("d\\a.dff") + Line("Skipped: Output is up to date: " + At + "d\\dff\\a.dff"),
               Pair("d\\b.dff", "n\\b.dff", "d\\dff\\b.dff"),
               Pair("d\\c.dff", "n\\c.dff", "d\\dff\\c.dff")}),
         {{"d\\b.dff", Model(3, Day)}, {"d\\dff\\b.dff", Merged3(Day, Night)},
          {"d\\dff\\c.dff", Merged3("", Night)}}, Counts(2, 1, 0),
         [](MemoryOs& os) { os.Change(At + "d\\b.dff", Model(3, Day)); }},
        // What the same command would do, and no file or folder made.
        {"--dry-run -s -d C:\\work", {{"a.dff", a}, {"b.dff", a}, {"dff\\b.dff", merged},
                                      {"c.dff", Junk}}, 1,
         Logs({Opened("a.dff") + Counted(3) + Made("dff\\a.dff", "DFF would be created: "),
               Opened("b.dff") + Line("Skipped: Output is up to date: " + At + "dff\\b.dff"),
               Clumpless("c.dff")}),
         {}, "tintweld-cli: 1 would be merged, 1 would be left as it is, 1 would not be merged\n"},
        {"-q -s -d a.dff", {{"a.dff", a}, {"dff\\a.dff", merged}}, 0, ""},
        {"-q -s -o o -N n --unpaired=skip d", {{"d\\a.dff", a}, {"d\\b.dff", a},
                                               {"n\\a.dff", night}, {"o\\a.dff", merged}}, 0, "",
         {}, Counts(0, 2, 0)},
        // Lit after --scale and --offset, by the first rule that matches; untextured: no match.
        {"-c --scale=45,45,60,100 --offset=0,0,8,0 --lit=window*:255,200,100,255 --lit=*:1,1,1,1 "
         "w.dff", {{"w.dff", Build(Windowed())}}, 0, Merge("w.dff", 4),
         {{"w.dff", Merged(Windowed(), WindowLit())}}},
        // Texture names listed, none where they cannot be read; with --lit, such a model refused.
        {"-l --json w.dff b.dff", {{"w.dff", Build(Windowed())}, {"b.dff", Build(Windowed(true))}},
         0, Json("w.dff", "[\"Window_Lit\",null]") + Json("b.dff", "null") +
                "{\"type\":\"summary\",\"merged\":0,\"would_merge\":0,\"stripped\":0,"
                "\"would_strip\":0,\"left\":0,\"failed\":0,\"listed\":2,\"not_reached\":0,"
                "\"interrupted\":false}\r\n",
         {}, "tintweld-cli: 2 models read, 0 with errors\n"},
        {"-l --lit=x:1,1,1,1 b.dff", {{"b.dff", Build(Windowed(true))}}, 1,
         Listed + "b.dff\tError: Texture name runs past its String.\r\n"},
        {"--dry-run -o o a.dff", {{"a.dff", a}}, 0,
         Opened("a.dff") + Counted(3) + Made("o\\a.dff", "DFF would be created: ")},
    };
    for (const Row& row : rows) {
        Files after = row.files;
        for (const auto& file : row.after) after[file.first] = file.second;
        for (const char* jobs : {"1", "3", "8"}) {
            SCOPED_TRACE(row.arguments + " -j " + jobs);
            const Outcome outcome = RunCli(row.files, row.arguments, row.prepare, jobs);
            EXPECT_EQ(outcome.status, row.status);
            EXPECT_EQ(outcome.log, row.log);
            EXPECT_EQ(outcome.errors, row.errors);
            EXPECT_TRUE(outcome.files == after);
        }
    }
}

// A fault at the k-th call of call.
Prepare Fail(Call call, int k, SystemError error) {
    return [=](MemoryOs& os) { os.FailCall(call, k, error); };
}
Prepare Both(Prepare first, Prepare second) {
    return [=](MemoryOs& os) { first(os), second(os); };
}

// Faults at one job, groups of three. Models 1.dff on, one vertex each, a fate a letter: m merged;
// s merged, folder unflushed; d access denied; c saved meanwhile by another program; i interrupted
// twice, abandoned; - not reached. The disk full at any step of a group: merged once more alone.
TEST(Batch, Faults) {
    const Prepare alone = Fail(Call::StartThread, 1, SystemError::AccessDenied);
    const auto stop = [](Call call, int k, bool abandon) {
        return [=](MemoryOs& os) {
            os.Before(call, k, [&os, abandon] { os.stopped = true, os.abandoned = abandon; });
        };
    };
    const Bytes other = Model(5);
    const SystemError full = SystemError::DiskFull;
    const struct {
        const char* fates;
        Prepare prepare;
        int status, flushes;
        const char* options = "";
        bool logsFail = false, interrupted = false;
    } rows[] = {
        {"mmm", Fail(Call::SyncFileSystem, 1, full), 0, 1},
        {"mmm", Fail(Call::Write, 1, full), 0, 1},
        {"mmm", Fail(Call::CloseOutput, 2, full), 0, 1},
        {"mdm", Fail(Call::Exchange, 2, SystemError::AccessDenied), 1, 1},
        {"mcm", [&other](MemoryOs& os) {
             os.Before(Call::SyncFileSystem, 1, [&] { os.Change(At + "2.dff", other); });
         }, 1, 1},
        {"ss", Fail(Call::SyncFolder, 1, SystemError::AccessDenied), 1, 1},
        {"mm", nullptr, 0, 1, "-q"},
        {"m", nullptr, 0, 0},  // one model: its file flushed alone, at once
        // Without threads, eight outputs are three groups, three flushes.
        {"mmmmmmmm", Both(alone, Fail(Call::SyncFileSystem, 2, full)), 0, 3},
        {"mmmmmm", Both(alone, Fail(Call::Write, 14, full)), 0, 2},
        // The outputs already whole put in place, or abandoned; interrupted once all started.
        {"mmm--", Both(alone, stop(Call::Create, 3, false)), 1, 1, "", false, true},
        {"iii--", Both(alone, stop(Call::Create, 3, true)), 1, 1, "", false, true},
        {"mmm", stop(Call::SyncFileSystem, 1, false), 0, 1, "", false, true},
        // Logs that cannot be written end the batch: no model starts after.
        {"mmm--", alone, 1, 1, "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fates);
        Files files, after;
        std::string arguments = row.options, log;
        int unreached = 0;
        for (int i = 1; row.fates[i - 1]; ++i) {
            const char fate = row.fates[i - 1];
            const std::string name = std::to_string(i) + ".dff", read = Opened(name) + Counted(1);
            const std::map<char, std::string> logs = {
                {'m', *row.options ? "" : Merge(name, 1)},
                {'s', Merge(name, 1) +
                          Line("Error: Cannot flush folder C:\\work: Access is denied.")},
                {'d', read + Error("Access is denied.")},
                {'c', read + Error("File changed while it was merged.")},
                {'i', read + " Error: " + ErrorText(SystemError::Aborted)}, {'-', ""}};
            files[name] = Model(1);
            after[name] = fate == 'c' ? other : std::strchr("ms", fate) ? Merged(Shape(1), Grey(1))
                                                                       : Model(1);
            arguments += " " + name;
            log += (log.empty() || logs.at(fate).empty() ? "" : "\r\n") + logs.at(fate);
            unreached += fate == '-';
        }
        const Outcome outcome = RunCli(files, arguments, row.prepare, "1", 3, row.logsFail);
        if (row.interrupted)
            log += "\r\nInterrupted: " + std::to_string(unreached) + " models not reached.\r\n";
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.log, row.logsFail ? "" : log);
        EXPECT_TRUE(outcome.files == after);
        EXPECT_EQ(outcome.flushes, row.flushes);
    }
    // A folder's name that the system approximated: each model in it refused, none touched.
    const Outcome approximated =
        RunCli({{"d\\a.dff", Model(3)}}, "d", nullptr, "1", 256, false, {"d"});
    EXPECT_EQ(approximated.log,
              Opened("d\\a.dff") +
                  Error("The name has characters that this system's code page cannot hold."));
    EXPECT_EQ(approximated.status, 1);
    // A disk full for the group and again for the model alone: the folder its output made, once
    // and in vain, removed all the same.
    const Outcome twice = RunCli({{"d\\s\\1.dff", Model(1)}, {"d\\s\\2.dff", Model(1)}},
                                "-R -o out d", [=](MemoryOs& os) {
                                    alone(os);
                                    for (int k = 1; k <= 4; ++k) Fail(Call::Write, k, full)(os);
                                });
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.files.size(), 2u);
}

// A job waits for the earlier jobs that write what it reads (its night model too) or writes.
TEST(Batch, JobsThatShareFilesRunInTurn) {
    MemoryOs os;
    std::vector<cli::Job> jobs(3);
    jobs[0].day = jobs[0].output = "C:\\a.dff";
    jobs[1].day = jobs[1].output = "C:\\b.dff";
    jobs[1].night = jobs[2].output = "C:\\a.dff";
    jobs[2].day = "C:\\c.dff";
    EXPECT_EQ(cli::OrderJobsThatShareFiles(jobs, os).size(), 3u);
    EXPECT_EQ(jobs[1].after, std::vector<size_t>({0}));
    EXPECT_EQ(jobs[2].after, std::vector<size_t>({0, 1}));
}

std::chrono::steady_clock::time_point now;

// On a terminal: progress after half a second, ten a second at most, never inside the log,
// gone at the end; the log's line ends LF.
TEST(Console, ProgressOnATerminal) {
    cli::Console console;
    console.log = console.progress = std::tmpfile();
    console.progressOnTerminal = console.logOnTerminal = true;
    console.now = [] { return now; };
    console.start = now;
    for (const auto& step : {std::pair<int, size_t>{499, 1}, {500, 2}, {599, 3}, {600, 4}}) {
        now = console.start + std::chrono::milliseconds(step.first);
        console.ShowProgress(step.second, 5);
    }
    EXPECT_TRUE(console.WriteLog("a\rb\r\n\r"));
    console.ShowProgress(5, 5);
    EXPECT_TRUE(cli::CloseConsole(console));
    std::rewind(console.log);
    char text[300] = {};
    std::fread(text, 1, sizeof text - 1, console.log);
    const std::string erase = "\r" + std::string(40, ' ') + "\r";
    EXPECT_EQ(text, "\rtintweld-cli: 2 of 5 models\rtintweld-cli: 4 of 5 models" + erase +
                        "a\rb\n\r\rtintweld-cli: 5 of 5 models" + erase);
    console.failure = "full";
    EXPECT_FALSE(console.WriteLog("c"));
    std::fclose(console.log);
}

// Counts with a comma between each three digits; JSON strings escaped, every byte of a name kept.
TEST(Batch, CountsAndJsonStrings) {
    EXPECT_EQ(cli::Count(0) + " " + cli::Count(999) + " " + cli::Count(1000) + " " +
                  cli::Count(1234567), "0 999 1,000 1,234,567");
    const std::pair<std::string, std::string> strings[] = {
        {"a\"\\\n\r\t\x01\x7F/", "\"a\\\"\\\\\\n\\r\\t\\u0001\\u007f/\""},
        {"\xD0\xB6\xE3\x82\xBD\xF0\x9F\x98\x80", "\"\xD0\xB6\xE3\x82\xBD\xF0\x9F\x98\x80\""},  // ж ソ 😀
        // Bytes that are no UTF-8: alone, cut, overlong, a surrogate, past U+10FFFF.
        {"\x95\xE3\x82", "\"\\udc95\\udce3\\udc82\""},
        {"\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80",
         "\"\\udcc0\\udc80\\udced\\udca0\\udc80\\udcf4\\udc90\\udc80\\udc80\""},
    };
    for (const auto& string : strings) EXPECT_EQ(cli::JsonString(string.first), string.second);
}

// What a wrong command line is told: one line, naming the fault.
TEST(Options, UsageErrors) {
    const std::string rgba = "--rgba wants four whole numbers R,G,B,A from 0 to 255 (or &HFF, "
                             "&O377), not '",
                      scale = "--scale wants four whole numbers R,G,B,A from 0 to 1000, not '",
                      offset = "--offset wants four whole numbers R,G,B,A from -255 to 255, not '",
                      jobs = "--jobs wants a number from 1 to 9999, not '",
                      night = "option '--night' needs a value", apart = " do not go together",
                      lit = "--lit wants PATTERN:R,G,B,A, a pattern and four whole numbers from 0 "
                            "to 255 (or &HFF, &O377), not '";
    std::string many;
    for (int k = 0; k < 255; ++k) many += "--lit=a:0,0,0,&H0 ";
    const std::pair<std::string, std::string> rows[] = {
        {"", "missing DAY"}, {"-n n.dff", "missing DAY after --night NIGHT"},
        {"--bogus a.dff", "unknown option '--bogus'"}, {"-x a.dff", "unknown option '-x'"},
        {"''", "an empty name is no model"}, {"--night= a.dff", night}, {"a.dff --night", night},
        {"--night n.dff a.dff b.dff", "--night merges one DAY, not 2"},
        {"a.dff -n", "option '-n' needs a value"}, {"-j 0 a.dff", jobs + "0'"},
        {"--always-merge=1 a.dff", "option '--always-merge' takes no value"},
        {"--dry-run=1 a.dff", "option '--dry-run' takes no value"},
        {"--jobs=x a.dff", jobs + "x'"}, {"-j 10000 a.dff", jobs + "10000'"},
        {"--rgba 1,2,3 a.dff", rgba + "1,2,3'"}, {"-r 1,2,3,&O8 a.dff", rgba + "1,2,3,&O8'"},
        {"--rgba red,300,-1,25x5 a.dff", rgba + "red,300,-1,25x5'"},
        {"--rgba=1,2,3,&H100 a.dff", rgba + "1,2,3,&H100'"}, {"-r1,2,3,& a.dff", rgba + "1,2,3,&'"},
        {"-r 1h1,2,3,4 a.dff", rgba + "1h1,2,3,4'"},
        {"--scale 0,0,0,1001 a.dff", scale + "0,0,0,1001'"},
        {"--scale=1,2,3,4.5 a.dff", scale + "1,2,3,4.5'"},
        {"--scale=1,2,3,00100 a.dff", scale + "1,2,3,00100'"},
        {"--scale=1,2,3,4,5 a.dff", scale + "1,2,3,4,5'"},
        {"--offset=0,0,0,-256 a.dff", offset + "0,0,0,-256'"},
        {"--offset=1,,3,4 a.dff", offset + "1,,3,4'"},
        {"--offset=1,2,3,+12345 a.dff", offset + "1,2,3,+12345'"},
        {"--unpaired=later -N n a.dff", "--unpaired wants error, skip or fill, not 'later'"},
        {"--unpaired=skip a.dff", "--unpaired goes with --night-folder only"},
        {"-n n.dff --night-folder m a.dff", "--night and --night-folder" + apart},
        {"-d -o out a.dff", "--output and --dff-folder" + apart},
        {"-l --preview=p.png a.dff", "--list and --preview" + apart},
        {"--dry-run -l a.dff", "--dry-run and --list" + apart},
        {"--dry-run --preview=p.png a.dff", "--dry-run and --preview" + apart},
        {"-s -a a.dff", "--skip-merged and --always-merge" + apart},
        {"--strip -c a.dff", "--strip and --copy-day" + apart},
        {"--strip -n n a.dff", "--strip and --night" + apart},
        {"--strip -N n a.dff", "--strip and --night-folder" + apart},
        {"--strip --rgba=64,64,64,255 a.dff", "--strip and --rgba" + apart},
        {"--strip --offset=0,0,0,0 a.dff", "--strip and --offset" + apart},
        {"--strip -a a.dff", "--strip and --always-merge" + apart},
        {"--strip -s a.dff", "--strip and --skip-merged" + apart},
        {"--strip --lit=a:1,2,3,4 a.dff", "--strip and --lit" + apart},
        {"--lit=lamp a.dff", lit + "lamp'"}, {"--lit=:1,2,3,4 a.dff", lit + ":1,2,3,4'"},
        {"--lit=lamp:1,2,3 a.dff", lit + "lamp:1,2,3'"},
        {"--lit=lamp:1,2,3,256 a.dff", lit + "lamp:1,2,3,256'"},
        {many + "--lit=a:1,2,3,4 a.dff", "--lit takes at most 255 rules"},
    };
    for (const auto& row : rows) {
        const cli::CommandLine line = cli::ParseCommandLine(Words(row.first));
        EXPECT_EQ(line.command, cli::Command::UsageError) << row.first;
        EXPECT_EQ(line.error, row.second) << row.first;
    }
    EXPECT_EQ(cli::ParseCommandLine(Words("-j 9999 a.dff")).options.jobs, 9999u);  // the most
    const cli::Options signs = cli::ParseCommandLine(Words("--offset=-5,+6,-255,255 a.dff")).options;
    EXPECT_EQ(std::vector<int>(signs.offset, signs.offset + 4), std::vector<int>({-5, 6, -255, 255}));
}

// A square of 4 vertices and two triangles, all of one colour.
modelgen::ModelShape Square(const Bytes& colour) {
    modelgen::ModelShape shape = Shape(4, Repeat(colour, 4));
    shape.geometries[0].triangleCount = 2;
    return shape;
}

// The model with these bytes of its first geometry's data changed.
Bytes Patched(Bytes model, std::map<size_t, uint8_t> bytes) {
    for (const auto& byte : bytes)
        model[modelgen::BuildModel(Square({})).layout.firstGeometryData + byte.first] = byte.second;
    return model;
}

// Every odd model a tile of the picture kept beside this test (day left, night right), and no
// other file changed; with --quiet no line; never over a model.
TEST(Batch, Preview) {
    const Bytes red = {200, 40, 40, 255}, square = Build(Square(red));
    modelgen::ModelShape noExtension = Square(red), noTriangles = Square(red);
    noExtension.geometries[0].hasExtension = false;
    noTriangles.geometries[0].triangleCount = 0;
    modelgen::ModelShape two = Square(red);
    two.geometries.push_back(noTriangles.geometries[0]);
    modelgen::ModelShape bad = two;
    bad.geometries[1].geometrySizeChange = -4;
    const Files files = {
        {"m\\a.dff", square}, {"m\\b.dff", Merged(Square(red), Repeat({30, 180, 60, 255}, 4))},
        {"m\\c.dff", Build(noTriangles)}, {"m\\d.dff", Patched(square, {{3, 1}})},
        {"m\\e.dff", Patched(square, {{7, 0x10}})}, {"m\\f.dff", Build(noExtension)},
        {"m\\g.dff", Patched(square, {{64, 0}})}, {"m\\h.dff", Build(two)},
        {"m\\k.dff", Patched(square, {{74, 0xC0}, {75, 0x7F}, {85, 0xFF}})},
        {"m\\l.dff", Patched(square, {{4, 11}, {12, 0}})}, {"m\\n.dff", Build(bad)},
        {"m\\i\xE9" + std::string(40, 'j') + ".dff", square}};
    Outcome run = RunCli(files, "--preview=C:\\p.png -s -e -r 20,20,120,255 m", nullptr, "2");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.log.find(Error("Geometry data doesn't hold what it counts.")), std::string::npos);
    EXPECT_EQ(run.log.substr(run.log.size() - 31), "\r\n\r\nPreview written: C:\\p.png\r\n");
    EXPECT_EQ(run.errors, "tintweld-cli: 12 models drawn, 3 with errors\n");
    std::string progress;
    for (int k = 1; k <= 12; ++k) progress += std::to_string(k) + "/12 ";
    EXPECT_EQ(run.progress, progress);
    std::ifstream kept(PREVIEW_TILES, std::ios::binary);
    EXPECT_TRUE(run.files["C:\\p.png"] == Bytes(std::istreambuf_iterator<char>(kept), {}));
    run.files.erase("C:\\p.png");
    EXPECT_TRUE(run.files == files);
    // No page larger than a viewer takes: more tiles go to more pages, named after the first.
    MemoryOs os;
    preview::Page page;
    ASSERT_TRUE(preview::MakePage(os, preview::TilesPerPage(), &page));
    EXPECT_TRUE(page.width <= 16384 && page.height <= 16384 && page.height > 16384 - 130);
    EXPECT_EQ(preview::PagePath("C:\\a.b\\p.png", 2) + preview::PagePath("C:\\a.b\\p", 1),
              "C:\\a.b\\p-3.pngC:\\a.b\\p-2");
    run = RunCli(files, "-q --preview=C:\\p.png m\\a.dff");
    EXPECT_EQ(run.status + run.log.size() + run.errors.size(), 0u);
    // A model left as it is for want of its night model is drawn as it is, and said so.
    run = RunCli(files, "--preview=C:\\p.png -N n --unpaired=skip m\\b.dff",
                 [](MemoryOs& os) { os.folders.insert(At + "n"); });
    EXPECT_EQ(run.log, Line("Skipped: Night model missing: " + At + "n\\b.dff") +
                           "\r\nPreview written: C:\\p.png\r\n");
    EXPECT_TRUE(run.files["C:\\p.png"] ==
                RunCli(files, "-s --preview=C:\\p.png m\\b.dff").files["C:\\p.png"]);
    // One that cannot be opened then is drawn as one that cannot be read: a tile with its line.
    const auto unpaired = [&](const Bytes& model, const Prepare& prepare) {
        return RunCli({{"m\\b.dff", model}}, "--preview=C:\\p.png -N n --unpaired=skip m\\b.dff",
                      Both([](MemoryOs& os) { os.folders.insert(At + "n"); }, prepare))
            .files["C:\\p.png"];
    };
    EXPECT_TRUE(unpaired(files.at("m\\b.dff"), Fail(Call::Open, 1, SystemError::AccessDenied)) ==
                unpaired(Text("no model"), [](MemoryOs&) {}));
    const SystemError denied = SystemError::AccessDenied;
    run = RunCli(files, "-q --preview=C:\\p.png m\\a.dff", Fail(Call::SyncFolder, 1, denied));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.log, "\r\nPreview written: C:\\p.png\r\n Error: Cannot flush folder C:\\: " +
                           ErrorText(denied));
    // A picture that cannot be put in place, or whose log cannot be written, is not written.
    for (const bool logsFail : {false, true}) {
        run = RunCli(files, "--preview=C:\\p.png m\\a.dff",
                     logsFail ? nullptr : Fail(Call::MoveNew, 1, denied), "1", 256, logsFail);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.files.count("C:\\p.png"), 0u);
    }
    // Drawn as any other: night colours left as they are, from the first geometry alone
    // without -e; a geometry without an Extension whose Struct ends the file; a night colour
    // chunk too small for its field, as none (the day colours, as -c gives them).
    const auto picture = [](const Bytes& model, const std::string& options) {
        return RunCli({{"a.dff", model}}, "-s --preview=C:\\p.png " + options + " a.dff")
            .files["C:\\p.png"];
    };
    EXPECT_TRUE(picture(files.at("m\\b.dff"), "") == picture(files.at("m\\b.dff"), "-e"));
    // Lit as the merge lights them.
    Bytes lit = Repeat({255, 200, 100, 255}, 3), grey = Grey(1);
    lit.insert(lit.end(), grey.begin(), grey.end());
    EXPECT_TRUE(picture(Build(Windowed()), "--lit=*LIT:255,200,100,255") ==
                picture(Merged(Windowed(), lit), ""));
    modelgen::ModelShape shape = Square(red), small = Square(red);
    shape.geometries[0].nightChunkIndex = small.geometries[0].nightChunkIndex = 0;
    shape.geometries[0].nightChunkVertices = 4;
    shape.geometries.push_back(noExtension.geometries[0]);
    const Bytes whole = Build(shape);
    const size_t second = ChunkEnd(whole, modelgen::LayoutOf(shape).firstGeometry);
    const Bytes cut(whole.begin(), whole.begin() + ChunkEnd(whole, second + 12));  // its Struct
    EXPECT_TRUE(picture(whole, "-e") == picture(cut, "-e"));
    small.geometries[0].extensionSizeChange = -2;
    Bytes tooSmall = Build(small);
    rw::Store32(&tooSmall[modelgen::LayoutOf(small).nightChunk + 4], 2);
    EXPECT_TRUE(picture(tooSmall, "") == picture(square, "-c"));
    // Positions that run past the Struct: one triangle more than it holds (its positions still
    // there), a set of texture coordinates that the flags do not tell of, more morph targets, or
    // normals that the Struct does not hold.
    EXPECT_EQ(RunCli({{"a.dff", Patched(square, {{4, 3}, {72, 1}})}, {"b.dff", square},
                      {"c.dff", Patched(square, {{2, 1}, {96, 1}})},
                      {"d.dff", Patched(square, {{12, 0xFF}, {13, 0xFF}, {14, 0xFF}, {15, 0x7F}})},
                      {"e.dff", Patched(square, {{68, 1}})}},
                     "--preview=C:\\p.png a.dff b.dff c.dff d.dff e.dff").errors,
              "tintweld-cli: 5 models drawn, 4 with errors\n");
    // A model named twice: the second reads the first's output as the run leaves it, kept in
    // memory; the first failing for want of that memory, the model as it is.
    for (const int failing : {0, 3}) {
        run = RunCli(files, "--preview=C:\\p.png m\\a.dff m\\a.dff",
                     failing ? Fail(Call::Allocate, failing, denied) : nullptr);
        EXPECT_EQ(run.errors, "tintweld-cli: 2 models drawn, 1 with errors\n");
        EXPECT_LT(run.log.find(failing ? "Not enough memory" : "already contain"),
                  run.log.find("Preview written"));
    }
    // With -s, the second left as the first leaves it, and drawn so.
    const auto twice = [](const Bytes& model) {
        return RunCli({{"a.dff", model}}, "-s -r 30,180,60,255 --preview=C:\\p.png a.dff a.dff")
            .files["C:\\p.png"];
    };
    EXPECT_TRUE(twice(square) == twice(files.at("m\\b.dff")));
    // A picture into a folder that is not there: not written, no folder made.
    EXPECT_EQ(RunCli(files, "--preview=C:\\none\\p.png m\\a.dff").status, 1);
    // No memory for a page: said so, and nothing written.
    run = RunCli(files, "--preview=C:\\p.png m\\a.dff", Fail(Call::Allocate, 1, denied));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.log.substr(run.log.size() - 28), " Error: Not enough memory.\r\n");
    // Each geometry with its own colours copied; a triangle with a corner past the vertices
    // drawn as one without area: not at all.
    const Bytes copied = modelgen::WithNightColours(Unmerged(), {{0, PatternColours(0, 3)},
                                                                 {1, PatternColours(1, 3)}}).bytes;
    EXPECT_TRUE(picture(Build(Unmerged()), "-e -c") == picture(copied, "-e"));
    EXPECT_TRUE(picture(Patched(square, {{42, 9}}), "") == picture(Patched(square, {{42, 1}}), ""));
    // An old chunk of fewer colours than vertices: none read past it.
    modelgen::ModelShape fewer = Square(red), fewerToo;
    fewer.geometries[0].nightChunkIndex = 0;
    fewer.geometries[0].nightChunkVertices = 2;
    fewerToo = fewer;
    fewer.geometries[0].plugins = {{0x0116, Bytes(8, 1)}};
    fewerToo.geometries[0].plugins = {{0x0120, Bytes(8, 2)}};
    EXPECT_TRUE(picture(Build(fewer), "") == picture(Build(fewerToo), ""));
    run = RunCli(files, "--preview m\\b.dff m");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.errors, "tintweld-cli: --preview would replace the model 'C:\\work\\m\\b.dff' "
                          "(see tintweld-cli --help)\n");
    EXPECT_TRUE(run.files == files);
}

}  // namespace
