// The window as the pipeline sees it, in memory: it starts with no box
// ticked and the fields 64, 64, 64, 255.
#pragma once

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "merge/Session.h"

namespace testsupport {

struct MemorySession final : merge::Session {
    std::string log;
    std::set<merge::Option> ticked;
    std::string fields[4] = {merge::DefaultColourTexts[0], merge::DefaultColourTexts[1],
                             merge::DefaultColourTexts[2], merge::DefaultColourTexts[3]};
    merge::ChannelAdjustment adjustments[4];
    std::vector<merge::LitRule> lit;
    bool oneFileModeEnabled = true;

    bool IsTicked(merge::Option option) override { return ticked.count(option) > 0; }
    void ColourFieldText(merge::Channel channel, char* buffer, int size) override {
        merge::CopyFieldText(fields[static_cast<int>(channel)], buffer, size);
    }
    merge::ChannelAdjustment AdjustmentOf(merge::Channel channel) override {
        return adjustments[static_cast<int>(channel)];
    }
    std::vector<merge::LitRule> LitRules() override { return lit; }
    void EnableOneFileMode(bool enabled) override { oneFileModeEnabled = enabled; }
    void AppendLog(const char* text) override { log += text; }
    // The window's rule; the tests' paths are ASCII.
    bool PathFits(const char* path) override { return std::strlen(path) < 260; }
};

}  // namespace testsupport
