// Options as data: one row an option drives both the parser and --help (and
// so the manual page). The command line's table and the model generator's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// apply is given the value ("" when the option takes none); false when the
// value is wrong: Target::error then says why, or, left empty, that the
// value is not valid.
template <typename Target>
struct OptionRow {
    char shortName;        // none: '\0'
    const char* longName;  // null: a heading in the help, not an option
    const char* value;     // its name in the help, or null when it takes none
    const char* help;      // lines after the first stand two further in
    bool (*apply)(Target& target, const std::string& value);
};

template <typename Target>
struct OptionParser {
    const OptionRow<Target>* rows;
    size_t count;
    Target& target;

    bool Fail(const std::string& error) {
        target.error = error;
        return false;
    }

    const OptionRow<Target>* Find(const std::string& longName, char shortName) const {
        for (size_t k = 0; k < count; ++k)
            if (rows[k].longName && (shortName ? rows[k].shortName == shortName
                                               : longName == rows[k].longName))
                return &rows[k];
        return nullptr;
    }

    bool Apply(const OptionRow<Target>& row, const std::string& value) {
        const std::string name = std::string("option '--") + row.longName + "'";
        if (row.value && value.empty()) return Fail(name + " needs a value");
        if (row.apply(target, value)) return true;
        if (target.error.empty()) Fail("invalid value '" + value + "' for " + name);
        return false;
    }

    // "--name", "--name=value" or "--name value"; moves i past a separate value.
    bool Long(const std::vector<std::string>& arguments, size_t& i) {
        const std::string& text = arguments[i];
        const size_t equals = text.find('=');
        const std::string name = text.substr(2, equals == std::string::npos ? equals : equals - 2);
        const OptionRow<Target>* row = Find(name, '\0');
        if (!row) return Fail("unknown option '--" + name + "'");
        if (!row->value) {
            if (equals != std::string::npos)
                return Fail("option '--" + name + "' takes no value");
            return Apply(*row, "");
        }
        if (equals != std::string::npos) return Apply(*row, text.substr(equals + 1));
        if (i + 1 >= arguments.size()) return Fail("option '--" + name + "' needs a value");
        return Apply(*row, arguments[++i]);
    }

    // "-acd", "-nNIGHT" or "-n NIGHT"; moves i past a separate value.
    bool Short(const std::vector<std::string>& arguments, size_t& i) {
        const std::string& text = arguments[i];
        for (size_t c = 1; c < text.size(); ++c) {
            const OptionRow<Target>* row = Find("", text[c]);
            if (!row) return Fail(std::string("unknown option '-") + text[c] + "'");
            if (!row->value) {
                if (!Apply(*row, "")) return false;
                continue;
            }
            if (c + 1 < text.size()) return Apply(*row, text.substr(c + 1));
            if (i + 1 >= arguments.size())
                return Fail(std::string("option '-") + text[c] + "' needs a value");
            return Apply(*row, arguments[++i]);
        }
        return true;
    }
};

// Reads the arguments in order, options anywhere before "--", as with most
// Unix tools: each option by its row; every other argument ("-" too) goes
// to operand. False at the first error, which target.error then holds.
template <typename Target, size_t N>
bool ParseOptions(const OptionRow<Target> (&rows)[N], const std::vector<std::string>& arguments,
                  Target& target, bool (*operand)(Target& target, const std::string& argument)) {
    OptionParser<Target> parser{rows, N, target};
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool ok = true;
        if (optionsEnded || argument.size() < 2 || argument[0] != '-')
            ok = operand(target, argument);
        else if (argument == "--")
            optionsEnded = true;
        else if (argument[1] == '-')
            ok = parser.Long(arguments, i);
        else
            ok = parser.Short(arguments, i);
        if (!ok) return false;
    }
    return true;
}

// The rows as --help lists them, a line each (and the lines of their help),
// their help in a column of its own, within 80 columns; a heading as it is.
template <typename Target, size_t N>
std::string OptionHelp(const OptionRow<Target> (&rows)[N]) {
    constexpr size_t HelpColumn = 27, Width = 80;
    std::string text;
    for (const OptionRow<Target>& row : rows) {
        if (!row.longName) {
            text += std::string(row.help) + "\n";
            continue;
        }
        std::string names =
            row.shortName ? std::string("  -") + row.shortName + ", --" : "      --";
        names += row.longName;
        if (row.value) names += std::string("=") + row.value;
        const std::string help = row.help;
        size_t column = names.size();
        if (column + 2 + help.substr(0, help.find('\n')).size() > Width) {
            names += "\n";
            column = 0;
        }
        names.append(column < HelpColumn - 1 ? HelpColumn - column : 2, ' ');
        for (const char* c = row.help; *c; ++c)
            names += *c == '\n' ? "\n" + std::string(HelpColumn + 2, ' ') : std::string(1, *c);
        text += names + "\n";
    }
    return text;
}

}  // namespace cli
