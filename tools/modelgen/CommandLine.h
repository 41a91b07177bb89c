// The modelgen command's arguments, turned into a ModelShape.
#pragma once

#include <string>
#include <vector>

#include "tools/modelgen/ModelGen.h"

namespace modelgen {

struct CommandLine {
    ModelShape shape;
    std::string outputPath;
    bool help = false;
};

extern const char* const UsageText;

// Reads the arguments after the program name. False on a usage error, with
// the reason in error.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line, std::string* error);

}  // namespace modelgen
