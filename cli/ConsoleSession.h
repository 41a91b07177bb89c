// The pipeline's session on the command line: the options of the command
// line in place of the window's controls, and a model's own log in place of
// the log pane (written out in the order of the models).
#pragma once

#include <string>

#include "cli/Options.h"
#include "merge/Session.h"

namespace cli {

// A model's lines as the command line shows them: the window's, without the
// prompts that ask a window's user to drop the next model.
struct ModelLog {
    std::string text;
    // A warning, or the model left as it is: worth showing with --quiet even
    // when the model counts as done.
    bool remarked = false;
};

struct ConsoleSession final : merge::Session {
    ConsoleSession(const Options& options, ModelLog& log, bool oneFileMode)
        : options(options), log(log), oneFileMode(oneFileMode) {}

    bool IsTicked(merge::Option option) override;
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    merge::ChannelAdjustment AdjustmentOf(merge::Channel channel) override;
    void EnableOneFileMode(bool) override {}
    void AppendLog(const char* text) override;
    bool PathFits(const char* path) override;

    const Options& options;
    ModelLog& log;
    bool oneFileMode;
};

}  // namespace cli
