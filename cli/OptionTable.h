// Options as data: one row an option drives both the parser and --help (and
// so the manual page). The command line's table and the model generator's.
#pragma once

#include <algorithm>
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

// Reads the arguments in order, options anywhere before "--", as with most
// Unix tools: "--name", "--name=value", "--name value", "-acd", "-nNIGHT",
// "-n NIGHT", each by its row; every other argument ("-" too) goes to
// operand. False at the first error, which target.error then holds.
template <typename Target, size_t N>
bool ParseOptions(const OptionRow<Target> (&rows)[N], const std::vector<std::string>& arguments,
                  Target& target, bool (*operand)(Target& target, const std::string& argument)) {
    const auto fail = [&target](const std::string& error) {
        target.error = error;
        return false;
    };
    const auto find = [&rows](const std::string& longName, char shortName) {
        for (const OptionRow<Target>& row : rows)
            if (row.longName &&
                (shortName ? row.shortName == shortName : longName == row.longName))
                return &row;
        return static_cast<const OptionRow<Target>*>(nullptr);
    };
    const auto apply = [&](const OptionRow<Target>& row, const std::string& value) {
        const std::string name = std::string("option '--") + row.longName + "'";
        if (row.value && value.empty()) return fail(name + " needs a value");
        if (row.apply(target, value)) return true;
        return target.error.empty() ? fail("invalid value '" + value + "' for " + name) : false;
    };
    // A row's value: the one given with it, or else the next argument.
    const auto take = [&](const OptionRow<Target>& row, const std::string& shown,
                          const std::string* given, size_t& i) {
        if (given) return apply(row, *given);
        if (i + 1 >= arguments.size()) return fail("option '" + shown + "' needs a value");
        return apply(row, arguments[++i]);
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& text = arguments[i];
        bool ok = true;
        if (optionsEnded || text.size() < 2 || text[0] != '-') {
            ok = operand(target, text);
        } else if (text == "--") {
            optionsEnded = true;
        } else if (text[1] == '-') {
            const size_t equals = std::min(text.find('='), text.size());
            const std::string name = "--" + text.substr(2, equals - 2);
            const std::string value = text.substr(std::min(equals + 1, text.size()));
            const OptionRow<Target>* row = find(name.substr(2), '\0');
            const bool given = equals < text.size();
            if (!row)
                ok = fail("unknown option '" + name + "'");
            else if (!row->value)
                ok = !given ? apply(*row, "") : fail("option '" + name + "' takes no value");
            else
                ok = take(*row, name, given ? &value : nullptr, i);
        } else {
            for (size_t c = 1; ok && c < text.size(); ++c) {
                const OptionRow<Target>* row = find("", text[c]);
                const std::string name = std::string("-") + text[c], value = text.substr(c + 1);
                if (!row) {
                    ok = fail("unknown option '" + name + "'");
                } else if (!row->value) {
                    ok = apply(*row, "");
                } else {
                    ok = take(*row, name, value.empty() ? nullptr : &value, i);
                    break;
                }
            }
        }
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
