// Standard output carries the log, exactly the texts the window would show
// but its prompts, one model's lines together; standard error carries a
// progress line while a long batch runs on a terminal, never anything that a
// pipe or a file would keep.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "cli/Batch.h"

namespace cli {

struct Console final : BatchOutput {
    // Writes one model's log; false once standard output has failed.
    bool WriteLog(const std::string& text) override;
    // Shows "done of total" once the batch has run for a while, redrawn a
    // few times a second at most.
    void ShowProgress(size_t done, size_t total) override;

    std::FILE* log = stdout;
    std::FILE* progress = stderr;
    bool crlf = false;                // the log's CR LF kept, or made LF
    bool progressOnTerminal = false;  // stderr is a terminal
    bool logOnTerminal = false;       // stdout is a terminal
    bool progressShown = false;
    std::string failure;  // why standard output could not be written, once it could not
    // The clock that times the progress line: when the batch started, and
    // when the line was last drawn.
    using Clock = std::chrono::steady_clock;
    Clock::time_point (*now)() = [] { return Clock::now(); };
    Clock::time_point start;
    Clock::time_point lastDrawn;
};

void OpenConsole(Console& console);
// The log's text with its line ends as this console writes them.
std::string WithLineEnds(const std::string& text, bool crlf);
// Takes the progress line away; false when standard output has failed.
[[nodiscard]] bool CloseConsole(Console& console);

}  // namespace cli
