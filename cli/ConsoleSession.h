// The pipeline's session on the command line: the options of the command
// line in place of the window's controls, and a model's own log in place of
// the log pane (written out in the order of the models).
#pragma once

#include <string>

#include "cli/Options.h"
#include "merge/Session.h"

namespace cli {

struct ConsoleSession final : merge::Session {
    ConsoleSession(const Options& options, std::string& log, bool oneFileMode)
        : options(options), log(log), oneFileMode(oneFileMode) {}

    bool IsTicked(merge::Option option) override;
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    void EnableOneFileMode(bool) override {}
    void AppendLog(const char* text) override { log += text; }
    bool PathFits(const char* path) override;

    const Options& options;
    std::string& log;
    bool oneFileMode;
};

}  // namespace cli
