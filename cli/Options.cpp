#include "cli/Options.h"

#include "cli/OptionTable.h"

#include <iterator>
#include <string>
#include <utility>

namespace cli {

namespace {

const char UsageHead[] =
    "Usage: tintweld-cli [OPTION]... DAY...\n"
    "   or: tintweld-cli [OPTION]... --night NIGHT DAY\n"
    "   or: tintweld-cli [OPTION]... --night-folder NIGHTS DAY...\n"
    "   or: tintweld-cli --list [OPTION]... DAY...\n"
    "   or: tintweld-cli --dry-run [OPTION]... DAY...\n"
    "   or: tintweld-cli --preview=FILE.png [OPTION]... DAY...\n"
    "   or: tintweld-cli --json [OPTION]... DAY...\n"
    "Add night vertex colours to RW binary stream models (DFF).\n"
    "\n"
    "Each DAY is merged on its own, with night colours made from its own colours\n"
    "(--copy-day) or from one colour (--rgba). With --night, the night colours are\n"
    "taken from the NIGHT model, vertex by vertex; with --night-folder, each DAY\n"
    "takes them from the model of the same name (and the same path below a folder\n"
    "named as DAY) in NIGHTS. The merged model replaces DAY, or goes into a folder\n"
    "\"dff\" beside it (--dff-folder), or into a tree of its own (--output). A\n"
    "folder named as DAY stands for the .dff models in it, in name order. Only the\n"
    "first geometry of a model gets night colours, unless --every-geometry. Every\n"
    "night colour written can be scaled and moved, channel by channel (--scale,\n"
    "--offset), and the vertices of windows, lamps and signs lit by their\n"
    "textures' names (--lit); --strip takes night colours out again.\n"
    "\n";

// The examples speak the paths of the system the program runs on: a folder
// C:\Models in cmd on Windows, /home/me/models in a shell elsewhere.
// Double quotes keep a pattern's star from both; a line goes on after ^ in
// cmd, after \ in a shell.
#ifdef _WIN32
#define EXAMPLE_PROMPT "C:\\>"
#define EXAMPLE_MODELS "Models"
#define EXAMPLE_FOLDER "C:\\Models\\"
#define EXAMPLE_GOES_ON "^"
#else
#define EXAMPLE_PROMPT "$"
#define EXAMPLE_MODELS "models"
#define EXAMPLE_FOLDER "/home/me/models/"
#define EXAMPLE_GOES_ON "\\"
#endif

const char UsageTail[] =
    "  --                       end of options\n"
    "\n"
    "The log goes to standard output: the window's lines about each model, without\n"
    "its prompts to drop a model, each model's lines together and in the order of\n"
    "the arguments, an empty line between two models. Exit status: 0 when every\n"
    "merged model was written (or, with --list, every model read; with --preview,\n"
    "the picture written), 1 when any was not or the log could not be written, 2\n"
    "for a wrong command line: also an output that would replace a night model, or\n"
    "(with --output or --dff-folder) a day model, or a picture that would replace a\n"
    "file the run reads or writes, all found before any model is touched. A command\n"
    "that names more than one model ends with a count on standard error: merged,\n"
    "left as it was, not merged (with --list or --preview: models read or drawn,\n"
    "with errors). Interrupted, it starts no further model, puts the outputs\n"
    "already whole in place (a second interruption abandons them too), ends the\n"
    "log with \"Interrupted: N models not reached.\" (0 when all had started) and\n"
    "ends by the signal.\n"
    "\n"
    "Lines of the command line's own about a model: \" Skipped: Output is up to\n"
    "date: \" and the output (--skip-merged: the output, another file, is made\n"
    "already), \" Skipped: Geometry already contain Night Vertex Color.\" (with\n"
    "--every-geometry too, after \" Geometry N:\" from the second on), \" Skipped:\n"
    "Night model missing: \" and \" Warning: Night model missing: \" with the night\n"
    "model looked for (--unpaired=skip, --unpaired=fill), \" Warning: Night model\n"
    "is newer than the model: \" and the night model (--skip-merged, in place).\n"
    "\n"
    "Examples:\n"
    "  A batch of three models, the second of them merged before:\n"
    "\n"
    "  " EXAMPLE_PROMPT " tintweld-cli " EXAMPLE_MODELS "\n"
    "   Opening file: " EXAMPLE_FOLDER "a.dff\n"
    "   Analyzing file...\n"
    "   1250 vertex.\n"
    "\n"
    "  DFF created: " EXAMPLE_FOLDER "a.dff\n"
    "\n"
    "   Opening file: " EXAMPLE_FOLDER "b.dff\n"
    "   Analyzing file...\n"
    "   830 vertex.\n"
    "   Error: File already contain Night Vertex Color.\n"
    "\n"
    "   Opening file: " EXAMPLE_FOLDER "c.dff\n"
    "   Analyzing file...\n"
    "   412 vertex.\n"
    "\n"
    "  DFF created: " EXAMPLE_FOLDER "c.dff\n"
    "\n"
    "  The same batch with --quiet:\n"
    "\n"
    "  " EXAMPLE_PROMPT " tintweld-cli -q " EXAMPLE_MODELS "\n"
    "   Opening file: " EXAMPLE_FOLDER "b.dff\n"
    "   Analyzing file...\n"
    "   830 vertex.\n"
    "   Error: File already contain Night Vertex Color.\n"
    "\n"
    "  A library of buildings darkened at night from their own colours, and their\n"
    "  windows lit warm yellow, whatever the case of their textures' names\n"
    "  (window01, Window_Lit):\n"
    "\n"
    "  " EXAMPLE_PROMPT " tintweld-cli -R --copy-day --scale=35,35,45,100 " EXAMPLE_GOES_ON "\n"
    "        --lit=\"window*:255,210,120,255\" buildings\n";

#undef EXAMPLE_PROMPT
#undef EXAMPLE_MODELS
#undef EXAMPLE_FOLDER
#undef EXAMPLE_GOES_ON

bool Fail(CommandLine& line, const std::string& error) {
    line.command = Command::UsageError;
    line.error = error;
    return false;
}

// Four texts separated by commas, one for each channel; false for fewer or more.
bool SplitFour(const std::string& value, std::string texts[4]) {
    size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = value.find(',', from);
        if ((comma != std::string::npos) != (i < 3)) return false;
        texts[i] = value.substr(from, comma - from);
        from = comma + 1;
    }
    return true;
}

// A channel's value: a whole number 0-255 in decimal, &H hexadecimal or &O
// octal form, as the window's fields write them; -1 for anything else.
int ChannelValue(const std::string& text) {
    const char form = text.size() > 1 && text[0] == '&' ? static_cast<char>(text[1] | 0x20) : 'd';
    const int base = form == 'h' ? 16 : form == 'o' ? 8 : 10;
    const size_t from = base == 10 ? 0 : 2;
    const char* digits =
        base == 16 ? "0123456789abcdefABCDEF" : base == 8 ? "01234567" : "0123456789";
    if (text.size() <= from || text.find_first_not_of(digits, from) != std::string::npos) return -1;
    int value = 0;
    for (size_t i = from; i < text.size() && value <= 255; ++i)
        value = value * base + (text[i] <= '9' ? text[i] - '0' : (text[i] | 0x20) - 'a' + 10);
    return value <= 255 ? value : -1;
}

// Each value checked, then kept as the fields' text of its number.
bool SplitColours(CommandLine& line, const std::string& value) {
    line.options.coloursChosenBy = "--rgba";
    std::string texts[4];
    bool whole = SplitFour(value, texts);
    for (int i = 0; whole && i < 4; ++i) {
        const int channel = ChannelValue(texts[i]);
        whole = channel >= 0;
        texts[i] = std::to_string(channel);
    }
    if (!whole)
        return Fail(line, "--rgba wants four whole numbers R,G,B,A from 0 to 255 (or &HFF, "
                          "&O377), not '" + value + "'");
    for (int i = 0; i < 4; ++i) line.options.colourTexts[i] = texts[i];
    return true;
}

// Four whole numbers from low to high, for the channels R, G, B and A.
bool SplitWholeNumbers(CommandLine& line, const std::string& option, const std::string& value,
                       int low, int high, int numbers[4]) {
    std::string texts[4];
    bool whole = SplitFour(value, texts);
    for (int i = 0; whole && i < 4; ++i) {
        const std::string& text = texts[i];
        // A sign, then 1 to 4 digits: never more than an int holds.
        const size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
        whole = text.size() > digits && text.size() <= digits + 4 &&
                text.find_first_not_of("0123456789", digits) == std::string::npos;
        if (whole) numbers[i] = std::stoi(text);
        whole = whole && numbers[i] >= low && numbers[i] <= high;
    }
    line.options.coloursChosenBy = option;
    return whole || Fail(line, option + " wants four whole numbers R,G,B,A from " +
                                   std::to_string(low) + " to " + std::to_string(high) +
                                   ", not '" + value + "'");
}

bool ParseScale(CommandLine& line, const std::string& value) {
    return SplitWholeNumbers(line, "--scale", value, 0, 1000, line.options.scale);
}

bool ParseOffset(CommandLine& line, const std::string& value) {
    return SplitWholeNumbers(line, "--offset", value, -255, 255, line.options.offset);
}

// PATTERN:R,G,B,A: the pattern up to the last colon, never empty (a name
// may hold a colon, a colour cannot); the colour as --rgba takes it.
bool ParseLit(CommandLine& line, const std::string& value) {
    const size_t colon = value.rfind(':');
    std::string texts[4];
    merge::LitRule rule;
    bool whole = colon != std::string::npos && colon > 0 &&
                 SplitFour(value.substr(colon + 1), texts);
    for (int i = 0; whole && i < 4; ++i) {
        const int channel = ChannelValue(texts[i]);
        whole = channel >= 0;
        rule.colour[i] = static_cast<uint8_t>(channel);
    }
    if (!whole)
        return Fail(line, "--lit wants PATTERN:R,G,B,A, a pattern and four whole numbers from 0 "
                          "to 255 (or &HFF, &O377), not '" + value + "'");
    if (line.options.lit.size() == merge::MaxLitRules)
        return Fail(line, "--lit takes at most " + std::to_string(merge::MaxLitRules) + " rules");
    rule.pattern = value.substr(0, colon);
    line.options.lit.push_back(rule);
    return true;
}

bool ParseUnpaired(CommandLine& line, const std::string& value) {
    using Unpaired = Options::Unpaired;
    line.options.unpairedGiven = true;
    const std::pair<const char*, Unpaired> actions[] = {
        {"error", Unpaired::Error}, {"skip", Unpaired::Skip}, {"fill", Unpaired::Fill}};
    for (const auto& action : actions) {
        if (value != action.first) continue;
        line.options.unpaired = action.second;
        return true;
    }
    return Fail(line, "--unpaired wants error, skip or fill, not '" + value + "'");
}

bool ParseJobs(CommandLine& line, const std::string& value) {
    const bool digits =
        value.size() <= 4 && value.find_first_not_of("0123456789") == std::string::npos;
    line.options.jobs = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
    return line.options.jobs > 0 ||
           Fail(line, "--jobs wants a number from 1 to 9999, not '" + value + "'");
}

bool Asks(CommandLine& line, Command command) {
    line.command = command;
    return true;
}

// An option that ticks a box, and one that takes a name.
#define SETS(field) [](CommandLine& line, const std::string&) { return line.options.field = true; }
#define TAKES(field)                                 \
    [](CommandLine& line, const std::string& value) { \
        return !(line.options.field = value).empty(); \
    }

constexpr OptionRow<CommandLine> Rows[] = {
    {'a', "always-merge", nullptr,
     "replace night colours that a model already has\n"
     "(without it such a model is refused)",
     SETS(alwaysMerge)},
    {'c', "copy-day", nullptr, "night colours = the day model's own vertex colours", SETS(copyDay)},
    {'r', "rgba", "R,G,B,A",
     "the one night colour otherwise (default\n"
     "64,64,64,255); each value a whole number 0-255,\n"
     "or &HFF, &O377",
     SplitColours},
    {'\0', "scale", "R,G,B,A",
     "scale each channel of every night colour written by\n"
     "these percentages, 0-1000 (default 100,100,100,100)",
     ParseScale},
    {'\0', "offset", "R,G,B,A",
     "then add these to them, -255-255 (default 0,0,0,0);\n"
     "each channel is kept within 0-255",
     ParseOffset},
    {'\0', "lit", "PATTERN:R,G,B,A",
     "every vertex of a triangle whose material's\n"
     "texture name matches PATTERN (the whole name, in\n"
     "any case; * any characters, ? one) takes this\n"
     "colour, after --scale and --offset; repeatable,\n"
     "the first that matches wins; at most 255",
     ParseLit},
    {'d', "dff-folder", nullptr, "write into the folder \"dff\" beside each DAY", SETS(dffFolder)},
    {'o', "output", "FOLDER",
     "write each output under FOLDER, at its path below\n"
     "the folder named as DAY (a model named: its name);\n"
     "folders made as needed (not with --dff-folder)",
     TAKES(outputFolder)},
    {'n', "night", "NIGHT", "merge NIGHT's vertex colours into the one DAY", TAKES(night)},
    {'N', "night-folder", "NIGHTS", "pair each DAY with its night model in NIGHTS",
     TAKES(nightFolder)},
    {'\0', "unpaired", "ACTION",
     "with --night-folder, a DAY without a night model:\n"
     "error (refused, the default), skip (left as it is,\n"
     "counted as done) or fill (merged as without a night\n"
     "model, with --copy-day or --rgba)",
     ParseUnpaired},
    {'R', "recursive", nullptr,
     "go into the folders within a folder too (not into\n"
     "\"dff\" folders with --dff-folder)",
     SETS(recursive)},
    {'e', "every-geometry", nullptr,
     "night colours for every geometry of a model, each\n"
     "from the night model's geometry of its number",
     SETS(everyGeometry)},
    {'s', "skip-merged", nullptr,
     "leave a model as it is, counted as done, when its\n"
     "output has night colours already (and, when another\n"
     "file, is no older than its day and night models)\n"
     "(not with --always-merge)",
     SETS(skipMerged)},
    {'\0', "strip", nullptr,
     "take the night colours out instead (no colours\n"
     "chosen, not with --always-merge or --skip-merged);\n"
     "a model without them is left as it is and counts\n"
     "as done",
     SETS(strip)},
    {'l', "list", nullptr,
     "change nothing: list each geometry of the models, one\n"
     "line each, tab-separated: path, number, vertices,\n"
     "prelit colours (yes or no), vertices of its night\n"
     "colours (or -); a model that a merge with -e -a\n"
     "would refuse is one line, path and error. In a\n"
     "path, a tab, line feed, carriage return, backslash\n"
     "and any other control byte are written \\t, \\n,\n"
     "\\r, \\\\, \\xHH",
     SETS(list)},
    {'\0', "dry-run", nullptr,
     "change nothing: every check and line of the same\n"
     "command, with \"DFF would be created: \" in place of\n"
     "\"DFF created: \"; no file or folder is made",
     SETS(dryRun)},
    {'q', "quiet", nullptr,
     "show only the models with a warning or an error, each\n"
     "whole (nothing when nothing needs doing); with\n"
     "--list, only the models that cannot be read",
     SETS(quiet)},
    {'\0', "json", nullptr,
     "write JSON Lines on standard output instead of\n"
     "the log: an object for each model (with --list,\n"
     "for each geometry, with its textures' names), then\n"
     "a summary",
     SETS(json)},
    {'\0', "preview", "FILE.png",
     "change no model: draw each model, lit by its day\n"
     "colours (left) and by the night colours that the\n"
     "same command would leave in it (right), or why it\n"
     "would be refused, a tile each, into FILE.png",
     TAKES(preview)},
    {'j', "jobs", "N", "merge N models at a time (default: one per processor)", ParseJobs},
    {'h', "help", nullptr, "show this help and exit",
     [](CommandLine& line, const std::string&) { return Asks(line, Command::Help); }},
    {'\0', "version", nullptr, "show the version and exit",
     [](CommandLine& line, const std::string&) { return Asks(line, Command::Version); }},
};

#undef SETS
#undef TAKES

bool AddDay(CommandLine& line, const std::string& name) {
    if (name.empty()) return Fail(line, "an empty name is no model");
    line.options.days.push_back(name);
    return true;
}

// What the options and names come to together.
void CheckTogether(CommandLine& line) {
    const Options& options = line.options;
    if (options.days.empty()) {
        Fail(line, options.night.empty() ? "missing DAY" : "missing DAY after --night NIGHT");
    } else if (!options.night.empty() && !options.nightFolder.empty()) {
        Fail(line, "--night and --night-folder do not go together");
    } else if (!options.night.empty() && options.days.size() > 1) {
        Fail(line, "--night merges one DAY, not " + std::to_string(options.days.size()));
    } else if (options.list && !options.preview.empty()) {
        Fail(line, "--list and --preview do not go together");
    } else if (options.dffFolder && !options.outputFolder.empty()) {
        Fail(line, "--output and --dff-folder do not go together");
    } else if (options.unpairedGiven && options.nightFolder.empty()) {
        Fail(line, "--unpaired goes with --night-folder only");
    } else if (options.dryRun && (options.list || !options.preview.empty())) {
        Fail(line, std::string("--dry-run and ") + (options.list ? "--list" : "--preview") +
                       " do not go together");
    } else if (options.skipMerged && options.alwaysMerge) {
        Fail(line, "--skip-merged and --always-merge do not go together");
    } else if (options.strip) {
        // Nothing is put in: no option that says what, or when, may stand.
        const std::pair<bool, std::string> others[] = {
            {options.copyDay, "--copy-day"},
            {!options.coloursChosenBy.empty(), options.coloursChosenBy},
            {!options.lit.empty(), "--lit"},
            {!options.night.empty(), "--night"},
            {!options.nightFolder.empty(), "--night-folder"},
            {options.alwaysMerge, "--always-merge"},
            {options.skipMerged, "--skip-merged"}};
        const auto* other = others;
        while (other != std::end(others) && !other->first) ++other;
        if (other != std::end(others))
            Fail(line, "--strip and " + other->second + " do not go together");
    }
}

}  // namespace

std::string UsageText() { return UsageHead + OptionHelp(Rows) + UsageTail; }

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    if (!ParseOptions(Rows, arguments, line, AddDay))
        line.command = Command::UsageError;
    else if (line.command == Command::Merge)
        CheckTogether(line);
    return line;
}

}  // namespace cli
