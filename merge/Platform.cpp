#include "merge/Platform.h"

namespace merge {

void ReportLastError(Platform& platform, const char* prefix) {
    // Taken before the first append, which may change the last error.
    std::string text = platform.LastErrorText();
    platform.AppendLog(prefix);
    platform.AppendLog("Error: ");
    platform.AppendLog(text.c_str());
}

}  // namespace merge
