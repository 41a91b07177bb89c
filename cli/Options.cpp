#include "cli/Options.h"

#include <cstring>

namespace cli {

const char* const UsageText =
    "Usage: tintweld-cli [OPTION]... DAY...\n"
    "   or: tintweld-cli [OPTION]... --night NIGHT DAY\n"
    "   or: tintweld-cli [OPTION]... --night-folder NIGHTS DAY...\n"
    "Add night vertex colours to RW binary stream models (DFF).\n"
    "\n"
    "Each DAY is merged on its own, with night colours made from its own colours\n"
    "(--copy-day) or from one colour (--rgba). With --night, the night colours are\n"
    "taken from the NIGHT model, vertex by vertex; with --night-folder, each DAY\n"
    "takes them from the model of the same name (and the same path below a folder\n"
    "named as DAY) in NIGHTS. The merged model replaces DAY, or goes into a folder\n"
    "\"dff\" beside it (--dff-folder). A folder named as DAY stands for the .dff\n"
    "models in it, in name order.\n"
    "\n"
    "  -a, --always-merge       replace night colours that a model already has\n"
    "                             (without it such a model is refused)\n"
    "  -c, --copy-day           night colours = the day model's own vertex colours\n"
    "  -r, --rgba=R,G,B,A       the one night colour otherwise (default 64,64,64,255);\n"
    "                             each value as in the window's fields: 0-255, &HFF,\n"
    "                             &O377, wrapped modulo 256\n"
    "  -d, --dff-folder         write into the folder \"dff\" beside each DAY\n"
    "  -n, --night=NIGHT        merge NIGHT's vertex colours into the one DAY\n"
    "  -N, --night-folder=NIGHTS  pair each DAY with its night model in NIGHTS\n"
    "  -R, --recursive          go into the folders within a folder too (not into\n"
    "                             \"dff\" folders with --dff-folder)\n"
    "  -j, --jobs=N             merge N models at a time (default: one per processor)\n"
    "  -h, --help               show this help and exit\n"
    "      --version            show the version and exit\n"
    "  --                       end of options\n"
    "\n"
    "The log goes to standard output, each model's lines together and in the\n"
    "order of the arguments. Exit status: 0 when every merged model was written,\n"
    "1 when any was not or the log could not be written, 2 for a wrong command line.\n";

namespace {

struct OptionInfo {
    char shortName;
    const char* longName;
    bool takesValue;
};

constexpr OptionInfo KnownOptions[] = {
    {'a', "always-merge", false}, {'c', "copy-day", false},  {'d', "dff-folder", false},
    {'r', "rgba", true},          {'n', "night", true},      {'N', "night-folder", true},
    {'R', "recursive", false},    {'j', "jobs", true},       {'h', "help", false},
    {'\0', "version", false},
};

bool Fail(CommandLine& line, const std::string& error) {
    line.command = Command::UsageError;
    line.error = error;
    return false;
}

// Four texts separated by commas; each may be empty (it reads as 0).
bool SplitColours(const std::string& value, std::string texts[4]) {
    size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = value.find(',', from);
        if ((comma != std::string::npos) != (i < 3)) return false;
        texts[i] = value.substr(from, comma - from);
        from = comma + 1;
    }
    return true;
}

bool ParseJobs(const std::string& value, unsigned* jobs) {
    if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *jobs = static_cast<unsigned>(std::stoul(value));
    return *jobs > 0;
}

bool Apply(CommandLine& line, const OptionInfo& option, const std::string& value) {
    Options& options = line.options;
    const std::string name = std::string("--") + option.longName;
    if (option.takesValue && value.empty()) return Fail(line, "option '" + name + "' needs a value");
    switch (option.shortName) {
        case 'a': options.alwaysMerge = true; break;
        case 'c': options.copyDay = true; break;
        case 'd': options.dffFolder = true; break;
        case 'n': options.night = value; break;
        case 'N': options.nightFolder = value; break;
        case 'R': options.recursive = true; break;
        case 'h': line.command = Command::Help; break;
        case '\0': line.command = Command::Version; break;
        case 'r':
            if (!SplitColours(value, options.colourTexts))
                return Fail(line, "--rgba wants four values R,G,B,A, not '" + value + "'");
            break;
        case 'j':
            if (!ParseJobs(value, &options.jobs))
                return Fail(line, "--jobs wants a number from 1 to 9999, not '" + value + "'");
            break;
    }
    return true;
}

const OptionInfo* FindLong(const std::string& name) {
    for (const OptionInfo& option : KnownOptions)
        if (name == option.longName) return &option;
    return nullptr;
}

const OptionInfo* FindShort(char name) {
    for (const OptionInfo& option : KnownOptions)
        if (option.shortName != '\0' && name == option.shortName) return &option;
    return nullptr;
}

// "--name", "--name=value" or "--name value"; moves i past a separate value.
bool ParseLong(CommandLine& line, const std::vector<std::string>& arguments, size_t& i) {
    const std::string& text = arguments[i];
    const size_t equals = text.find('=');
    const std::string name = text.substr(2, equals == std::string::npos ? equals : equals - 2);
    const OptionInfo* option = FindLong(name);
    if (!option) return Fail(line, "unknown option '--" + name + "'");
    if (!option->takesValue) {
        if (equals != std::string::npos) return Fail(line, "option '--" + name + "' takes no value");
        return Apply(line, *option, "");
    }
    if (equals != std::string::npos) return Apply(line, *option, text.substr(equals + 1));
    if (i + 1 >= arguments.size()) return Fail(line, "option '--" + name + "' needs a value");
    return Apply(line, *option, arguments[++i]);
}

// "-acd", "-nNIGHT" or "-n NIGHT"; moves i past a separate value.
bool ParseShort(CommandLine& line, const std::vector<std::string>& arguments, size_t& i) {
    const std::string& text = arguments[i];
    for (size_t c = 1; c < text.size(); ++c) {
        const OptionInfo* option = FindShort(text[c]);
        if (!option) return Fail(line, std::string("unknown option '-") + text[c] + "'");
        if (!option->takesValue) {
            if (!Apply(line, *option, "")) return false;
            continue;
        }
        if (c + 1 < text.size()) return Apply(line, *option, text.substr(c + 1));
        if (i + 1 >= arguments.size())
            return Fail(line, std::string("option '-") + text[c] + "' needs a value");
        return Apply(line, *option, arguments[++i]);
    }
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    // Options may stand anywhere before "--", as with most Unix tools.
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool ok = true;
        if (argument.empty())
            ok = Fail(line, "an empty name is no model");
        else if (optionsEnded || argument[0] != '-' || argument.size() == 1)
            line.options.days.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else if (argument[1] == '-')
            ok = ParseLong(line, arguments, i);
        else
            ok = ParseShort(line, arguments, i);
        if (!ok) return line;
    }
    const Options& options = line.options;
    if (line.command != Command::Merge) return line;
    if (options.days.empty()) {
        Fail(line, options.night.empty() ? "missing DAY" : "missing DAY after --night NIGHT");
    } else if (!options.night.empty() && !options.nightFolder.empty()) {
        Fail(line, "--night and --night-folder do not go together");
    } else if (!options.night.empty() && options.days.size() > 1) {
        Fail(line, "--night merges one DAY, not " + std::to_string(options.days.size()));
    }
    return line;
}

}  // namespace cli
