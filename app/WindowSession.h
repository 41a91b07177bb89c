// The window as the pipeline's session: the options and colour fields are
// MainWindow's controls, found by id at every use, and the log is its pane.
#pragma once

#include "merge/Session.h"

struct WindowSession final : merge::Session {
    bool IsTicked(merge::Option option) override;
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override;
    merge::ChannelAdjustment AdjustmentOf(merge::Channel channel) override;
    std::vector<merge::LitRule> LitRules() override;
    void EnableOneFileMode(bool enabled) override;
    void AppendLog(const char* text) override;
    bool PathFits(const char* path) override;
};
