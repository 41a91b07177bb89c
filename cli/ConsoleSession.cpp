#include "cli/ConsoleSession.h"

#include <algorithm>
#include <cstring>

namespace cli {

bool ConsoleSession::IsTicked(merge::Option option) {
    switch (option) {
        case merge::Option::AlwaysMerge: return options.alwaysMerge;
        case merge::Option::OutputInDffFolder: return options.dffFolder;
        case merge::Option::CopyDayColours: return options.copyDay;
        case merge::Option::OneFileMode: return oneFileMode;
        case merge::Option::EveryGeometry: return options.everyGeometry;
        case merge::Option::SkipMerged: return options.skipMerged;
    }
    return false;
}

void ConsoleSession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    const std::string& text = options.colourTexts[static_cast<int>(channel)];
    // Cut as the window's fields are read: at most size - 1 characters.
    const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// Any path the system takes: the system itself refuses one too long for it.
bool ConsoleSession::PathFits(const char*) { return true; }

}  // namespace cli
