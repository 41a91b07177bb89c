// The pipeline's session on the command line: the options of the command
// line in place of the window's controls, and a model's own log in place of
// the log pane (written out in the order of the models).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/Options.h"
#include "merge/Session.h"

namespace cli {

// A model's lines as the command line shows them: the window's, without the
// prompts that ask a window's user to drop the next model.
struct ModelLog {
    std::string text;
    // Each line's kind and its text, without its line end or leading blank.
    std::vector<std::pair<merge::Kind, std::string>> lines;
    // A warning or an error among them: shown with --quiet.
    bool Remarkable() const;
};

struct ConsoleSession final : merge::Session {
    ConsoleSession(const Options& options, ModelLog& log, bool oneFileMode)
        : options(options), log(log), oneFileMode(oneFileMode) {}

    bool IsTicked(merge::Option option) override;
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    merge::ChannelAdjustment AdjustmentOf(merge::Channel channel) override;
    std::vector<merge::LitRule> LitRules() override { return options.lit; }
    void EnableOneFileMode(bool) override {}
    void BeginLine(merge::Kind kind) override;
    void AppendLog(const char* text) override;
    bool PathFits(const char* path) override;

    const Options& options;
    ModelLog& log;
    bool oneFileMode;
    bool prompt = false;  // the line begun is a prompt: nobody drops a model here
};

}  // namespace cli
