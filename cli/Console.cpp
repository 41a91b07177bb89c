#include "cli/Console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Process.h"

namespace cli {

namespace {

constexpr auto ProgressDelay = std::chrono::milliseconds(500);
constexpr auto ProgressInterval = std::chrono::milliseconds(100);
constexpr int ProgressWidth = 40;

void EraseProgress(Console& console) {
    if (!console.progressShown) return;
    std::fprintf(console.progress, "\r%*s\r", ProgressWidth, "");
    std::fflush(console.progress);
    console.progressShown = false;
}

bool Failed(Console& console) {
    if (console.failure.empty()) console.failure = std::strerror(errno);
    return false;
}

}  // namespace

void OpenConsole(Console& console) {
    console.crlf = process::LinesEndInCrLf;
    console.progressOnTerminal = process::IsTerminal(stderr);
    console.logOnTerminal = process::IsTerminal(stdout);
    console.start = console.now();
}

std::string WithLineEnds(const std::string& text, bool crlf) {
    if (crlf) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') out += text[i];
    return out;
}

bool Console::WriteLog(const std::string& text) {
    if (!failure.empty()) return false;
    // Both streams on one terminal: the log must not land inside the
    // progress line.
    if (logOnTerminal) EraseProgress(*this);
    // Flushed model by model: a log that cannot be written is known at
    // once, and no line after it claims the whole run.
    const std::string out = WithLineEnds(text, crlf);
    if (std::fwrite(out.data(), 1, out.size(), log) != out.size() || std::fflush(log) != 0 ||
        std::ferror(log))
        return Failed(*this);
    return true;
}

void Console::ShowProgress(size_t done, size_t total) {
    if (!progressOnTerminal) return;
    const Clock::time_point time = now();
    if (time - start < ProgressDelay) return;
    if (progressShown && time - lastDrawn < ProgressInterval) return;
    std::fprintf(progress, "\rtintweld-cli: %lu of %lu models", static_cast<unsigned long>(done),
                 static_cast<unsigned long>(total));
    std::fflush(progress);
    progressShown = true;
    lastDrawn = time;
}

bool CloseConsole(Console& console) {
    // Each write of the log was flushed and checked as it was made.
    EraseProgress(console);
    return console.failure.empty();
}

}  // namespace cli
