// The command line: options that stand for the window's check boxes and
// colour fields, and the model files that stand for its drops.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct Options {
    bool alwaysMerge = false;
    bool copyDay = false;
    bool dffFolder = false;
    // The texts of the R, G, B and A fields, read by the fields' own rules;
    // these are the fields' texts when the window opens.
    std::string colourTexts[4] = {"64", "64", "64", "255"};
    // Two-file mode: the night model for the one day model.
    const char* night = nullptr;
    std::vector<const char*> days;
};

enum class Command { Merge, Help, UsageError };

struct CommandLine {
    Command command = Command::Merge;
    Options options;
    std::string error;  // one line, for Command::UsageError
};

CommandLine ParseCommandLine(int argc, char** argv);

extern const char* const UsageText;

}  // namespace cli
