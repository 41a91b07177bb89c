// The command line: options that stand for the window's check boxes and
// colour fields, the models that stand for its drops, and how a batch runs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "merge/Session.h"

namespace cli {

struct Options {
    bool alwaysMerge = false;
    bool copyDay = false;
    bool dffFolder = false;
    // The folder of the outputs, each at its model's path below the folder
    // named as DAY (a model named: its name), or none.
    std::string outputFolder;
    // The texts of the R, G, B and A fields, read by the fields' own rules.
    std::string colourTexts[4] = {merge::DefaultColourTexts[0], merge::DefaultColourTexts[1],
                                  merge::DefaultColourTexts[2], merge::DefaultColourTexts[3]};
    // Each night colour's channels, R, G, B and A: scaled by a percentage,
    // then moved by an offset.
    int scale[4] = {100, 100, 100, 100};
    int offset[4] = {0, 0, 0, 0};
    // The lit rules, in the order given.
    std::vector<merge::LitRule> lit;
    // The last of --rgba, --scale and --offset given (none: empty): colours
    // chosen, which a strip has none of.
    std::string coloursChosenBy;
    // Two-file mode: the night model for the one day model, or the folder
    // that holds a night model for each day model under its relative path.
    std::string night;
    std::string nightFolder;
    // What becomes of a day model without a night model in the night folder:
    // refused, left as it is, or merged as in one-file mode.
    enum class Unpaired { Error, Skip, Fill } unpaired = Unpaired::Error;
    bool unpairedGiven = false;
    bool recursive = false;
    bool everyGeometry = false;  // night colours for every geometry
    bool skipMerged = false;     // a model with night colours left as it is
    bool strip = false;          // night colours taken out, none put in
    bool list = false;           // the models' geometries listed, nothing changed
    bool dryRun = false;         // every check and line of the run, nothing written
    bool quiet = false;          // only the models with a warning or an error shown
    bool json = false;           // JSON Lines on standard output, for scripts
    std::string preview;         // the picture drawn instead of merging, or none
    unsigned jobs = 0;  // 0: one per processor
    // Prepared outputs committed together at most, where the system flushes
    // whole file systems: enough that one flush serves many, few enough that
    // their commit overlaps the next ones' work.
    size_t commitGroup = 256;
    // Models and folders of models, in the order given.
    std::vector<std::string> days;
};

enum class Command { Merge, Help, Version, UsageError };

struct [[nodiscard]] CommandLine {
    Command command = Command::Merge;
    Options options;
    std::string error;  // one line, for Command::UsageError
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What --help shows, and the manual page is made of.
std::string UsageText();

}  // namespace cli
