#include "cli/Options.h"

#include <cstring>

namespace cli {

const char* const UsageText =
    "Usage: tintweld-cli [OPTION]... DAY...\n"
    "   or: tintweld-cli [OPTION]... --night NIGHT DAY\n"
    "Add night vertex colours to RW binary stream models (DFF).\n"
    "\n"
    "Each DAY is merged on its own, with night colours made from its own colours\n"
    "(--copy-day) or from one colour (--rgba). With --night, the night colours are\n"
    "taken from the NIGHT model, vertex by vertex. The merged model replaces DAY,\n"
    "or goes into a folder \"dff\" beside it (--dff-folder).\n"
    "\n"
    "  -a, --always-merge    replace night colours that a model already has\n"
    "                          (without it such a model is refused)\n"
    "  -c, --copy-day        night colours = the day model's own vertex colours\n"
    "  -r, --rgba=R,G,B,A    the one night colour otherwise (default 64,64,64,255);\n"
    "                          each value as in the window's fields: 0-255, &HFF,\n"
    "                          &O377, wrapped modulo 256\n"
    "  -d, --dff-folder      write into the folder \"dff\" beside each DAY\n"
    "  -n, --night=NIGHT     merge NIGHT's vertex colours into the one DAY\n"
    "  -h, --help            show this help and exit\n"
    "  --                    end of options\n"
    "\n"
    "The log goes to standard output. Exit status: 0 when every merged model was\n"
    "written, 1 when any was not, 2 for a wrong command line.\n";

namespace {

struct OptionInfo {
    char shortName;
    const char* longName;
    bool takesValue;
};

constexpr OptionInfo KnownOptions[] = {
    {'a', "always-merge", false}, {'c', "copy-day", false}, {'d', "dff-folder", false},
    {'r', "rgba", true},          {'n', "night", true},     {'h', "help", false},
};

bool Fail(CommandLine& line, const std::string& error) {
    line.command = Command::UsageError;
    line.error = error;
    return false;
}

// Four texts separated by commas; each may be empty (it reads as 0).
bool SplitColours(const char* value, std::string texts[4]) {
    for (int i = 0; i < 4; ++i) {
        const char* comma = std::strchr(value, ',');
        if ((comma != nullptr) != (i < 3)) return false;
        texts[i] = comma ? std::string(value, comma) : std::string(value);
        if (comma) value = comma + 1;
    }
    return true;
}

bool Apply(CommandLine& line, const OptionInfo& option, const char* value) {
    Options& options = line.options;
    switch (option.shortName) {
        case 'a': options.alwaysMerge = true; break;
        case 'c': options.copyDay = true; break;
        case 'd': options.dffFolder = true; break;
        case 'n': options.night = value; break;
        case 'h': line.command = Command::Help; break;
        case 'r':
            if (!SplitColours(value, options.colourTexts))
                return Fail(line, "--rgba wants four values R,G,B,A, not '" + std::string(value) + "'");
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
        if (name == option.shortName) return &option;
    return nullptr;
}

// "--name", "--name=value" or "--name value"; moves i past a separate value.
bool ParseLong(CommandLine& line, int argc, char** argv, int& i) {
    const char* text = argv[i] + 2;
    const char* equals = std::strchr(text, '=');
    std::string name = equals ? std::string(text, equals) : std::string(text);
    const OptionInfo* option = FindLong(name);
    if (!option) return Fail(line, "unknown option '--" + name + "'");
    if (!option->takesValue) {
        if (equals) return Fail(line, "option '--" + name + "' takes no value");
        return Apply(line, *option, nullptr);
    }
    if (equals) return Apply(line, *option, equals + 1);
    if (i + 1 >= argc) return Fail(line, "option '--" + name + "' needs a value");
    return Apply(line, *option, argv[++i]);
}

// "-acd", "-nNIGHT" or "-n NIGHT"; moves i past a separate value.
bool ParseShort(CommandLine& line, int argc, char** argv, int& i) {
    for (const char* c = argv[i] + 1; *c; ++c) {
        const OptionInfo* option = FindShort(*c);
        if (!option) return Fail(line, std::string("unknown option '-") + *c + "'");
        if (!option->takesValue) {
            if (!Apply(line, *option, nullptr)) return false;
            continue;
        }
        if (c[1]) return Apply(line, *option, c + 1);
        if (i + 1 >= argc) return Fail(line, std::string("option '-") + *c + "' needs a value");
        return Apply(line, *option, argv[++i]);
    }
    return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    bool optionsEnded = false;
    // Options may stand anywhere before "--", as with most Unix tools.
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool ok = true;
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0')
            line.options.days.push_back(arg);
        else if (std::strcmp(arg, "--") == 0)
            optionsEnded = true;
        else if (arg[1] == '-')
            ok = ParseLong(line, argc, argv, i);
        else
            ok = ParseShort(line, argc, argv, i);
        if (!ok) return line;
    }
    if (line.command == Command::Help) return line;
    if (line.options.days.empty()) {
        Fail(line, line.options.night ? "missing DAY after --night NIGHT" : "missing DAY");
    } else if (line.options.night && line.options.days.size() > 1) {
        Fail(line, "--night merges one DAY, not " + std::to_string(line.options.days.size()));
    }
    return line;
}

}  // namespace cli
