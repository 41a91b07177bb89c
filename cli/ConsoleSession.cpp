#include "cli/ConsoleSession.h"

#include <cstring>

#include "merge/Messages.h"

namespace cli {

namespace {

namespace text = merge::text;

// Nobody drops a model on a command line; the empty line before each prompt
// is part of its text, so it goes too.
bool IsPrompt(const char* line) {
    return std::strcmp(line, text::ReadyPrompt) == 0 || std::strcmp(line, text::NightPrompt) == 0;
}

// The table's warnings and its line for a model left as it is (a new warning
// belongs here too), each whole or after " Geometry N: " without its blank.
bool IsRemark(const char* line) {
    for (const char* remark :
         {text::ReplacingNightColours, text::TooFewNightVertices, text::TooManyNightVertices,
          text::NoNightGeometry, text::NoVertexColourLeft, text::NoExtensionLeft, text::LeftAsItIs,
          text::GeometryLeftAsItIs, text::NothingToStrip, text::ReplacedPartly})
        if (std::strcmp(line, remark) == 0 || std::strcmp(line, remark + 1) == 0) return true;
    return false;
}

}  // namespace

bool ConsoleSession::IsTicked(merge::Option option) {
    switch (option) {
        case merge::Option::AlwaysMerge: return options.alwaysMerge;
        case merge::Option::OutputInDffFolder: return options.dffFolder;
        case merge::Option::CopyDayColours: return options.copyDay;
        case merge::Option::OneFileMode: return oneFileMode;
        case merge::Option::EveryGeometry: return options.everyGeometry;
        // A model is left as it is when it is where its output goes; an
        // output elsewhere is judged by the batch before the model is read.
        case merge::Option::SkipMerged:
            return options.skipMerged && !options.dffFolder && options.outputFolder.empty();
        case merge::Option::Strip: return options.strip;
    }
    return false;
}

void ConsoleSession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    merge::CopyFieldText(options.colourTexts[static_cast<int>(channel)], buffer, size);
}

void ConsoleSession::AppendLog(const char* line) {
    if (IsPrompt(line)) return;
    if (IsRemark(line)) log.remarked = true;
    log.text += line;
}

merge::ChannelAdjustment ConsoleSession::AdjustmentOf(merge::Channel channel) {
    const int c = static_cast<int>(channel);
    return {options.scale[c], options.offset[c]};
}

// Any path the system takes: the system itself refuses one too long for it.
bool ConsoleSession::PathFits(const char*) { return true; }

}  // namespace cli
