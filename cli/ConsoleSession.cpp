#include "cli/ConsoleSession.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include "platform/Win32Os.h"
#endif

namespace cli {

bool ConsoleSession::IsTicked(merge::Option option) {
    switch (option) {
        case merge::Option::AlwaysMerge: return options.alwaysMerge;
        case merge::Option::OutputInDffFolder: return options.dffFolder;
        case merge::Option::CopyDayColours: return options.copyDay;
        case merge::Option::OneFileMode: return oneFileMode;
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

// The window's rule, as Windows counts a path's characters.
bool ConsoleSession::PathFits(const char* path) {
#ifdef _WIN32
    return Utf16Length(path) < 260;
#else
    return std::strlen(path) < 260;
#endif
}

}  // namespace cli
