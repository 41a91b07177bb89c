#include "cli/ConsolePlatform.h"

#include <cstring>

#include "merge/Controls.h"

namespace cli {

bool ConsolePlatform::IsChecked(int controlId) {
    switch (controlId) {
        case merge::IdAlwaysMerge: return options.alwaysMerge;
        case merge::IdOutputInDffFolder: return options.dffFolder;
        case merge::IdCopyDayColours: return options.copyDay;
        case merge::IdOneFileMode: return oneFileMode;
        default: return false;
    }
}

void ConsolePlatform::ControlText(int controlId, char* buffer, int size) {
    if (size <= 0) return;
    int channel = controlId == merge::IdFieldR   ? 0
                  : controlId == merge::IdFieldG ? 1
                  : controlId == merge::IdFieldB ? 2
                  : controlId == merge::IdFieldA ? 3
                                                 : -1;
    const char* text = channel >= 0 ? options.colourTexts[channel].c_str() : "";
    // Cut like GetDlgItemTextA: at most size - 1 characters.
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

void ConsolePlatform::AppendLog(const char* text) {
    WriteLog(console, text);
}

}  // namespace cli
