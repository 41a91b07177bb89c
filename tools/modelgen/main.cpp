// modelgen: writes a synthetic model file from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/modelgen/CommandLine.h"
#include "tools/modelgen/ModelGen.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const modelgen::CommandLine line = modelgen::ParseCommandLine(arguments);
    if (line.help) return std::fputs(modelgen::UsageText().c_str(), stdout) < 0;
    if (!line.error.empty()) {
        std::fprintf(stderr, "modelgen: %s\nTry 'modelgen --help' for more information.\n",
                     line.error.c_str());
        return 2;
    }
    errno = 0;
    if (!modelgen::WriteModelFile(line.shape, line.outputPath)) {
        std::fprintf(stderr, "modelgen: cannot write '%s': %s\n", line.outputPath.c_str(),
                     errno ? std::strerror(errno) : "write failed");
        return 1;
    }
    return 0;
}
