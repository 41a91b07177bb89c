// Standard output carries the log, exactly the texts the window would show;
// standard error carries a progress line while a long batch runs on a
// terminal, never anything that a pipe or a file would keep.
#pragma once

#include <chrono>
#include <cstddef>

namespace cli {

struct Console {
    // A CR that ended the last text, held back until we know whether an LF
    // follows (the log's CR LF becomes the system's line break).
    bool pendingCr = false;
    bool progressOnTerminal = false;  // stderr is a terminal
    bool logOnTerminal = false;       // stdout is a terminal
    bool progressShown = false;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
};

void OpenConsole(Console& console);
void WriteLog(Console& console, const char* text);
// Shows "done of total" once the batch has run for a while, redrawn a few
// times a second at most.
void ShowProgress(Console& console, size_t done, size_t total);
// Takes the progress line away and flushes the log.
void CloseConsole(Console& console);

}  // namespace cli
