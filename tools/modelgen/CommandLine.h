// The modelgen command's arguments, turned into a ModelShape.
#pragma once

#include <string>
#include <vector>

#include "tools/modelgen/ModelGen.h"

namespace modelgen {

struct [[nodiscard]] CommandLine {
    ModelShape shape;
    std::string outputPath;
    bool help = false;
    std::string error;  // a usage error, one line; empty when there is none
};

std::string UsageText();

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace modelgen
