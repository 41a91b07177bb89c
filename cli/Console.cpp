#include "cli/Console.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto ProgressDelay = std::chrono::milliseconds(500);
constexpr auto ProgressInterval = std::chrono::milliseconds(100);
constexpr int ProgressWidth = 40;

void EraseProgress(Console& console) {
    if (!console.progressShown) return;
    std::fprintf(stderr, "\r%*s\r", ProgressWidth, "");
    std::fflush(stderr);
    console.progressShown = false;
}

}  // namespace

void OpenConsole(Console& console) {
#ifdef _WIN32
    // The log's texts already end in CR LF: a text-mode stdout would make
    // that CR CR LF.
    _setmode(fileno(stdout), _O_BINARY);
#endif
    console.progressOnTerminal = isatty(fileno(stderr)) != 0;
    console.logOnTerminal = isatty(fileno(stdout)) != 0;
    console.start = Clock::now();
}

void WriteLog(Console& console, const char* text) {
    // Both streams on one terminal: the log must not land inside the
    // progress line.
    if (console.logOnTerminal) EraseProgress(console);
#ifdef _WIN32
    std::fputs(text, stdout);
#else
    for (const char* c = text; *c; ++c) {
        if (console.pendingCr && *c != '\n') std::putchar('\r');
        console.pendingCr = *c == '\r';
        if (!console.pendingCr) std::putchar(*c);
    }
#endif
}

void ShowProgress(Console& console, size_t done, size_t total) {
    if (!console.progressOnTerminal) return;
    Clock::time_point now = Clock::now();
    if (now - console.start < ProgressDelay) return;
    if (console.progressShown && now - console.lastDrawn < ProgressInterval) return;
    std::fflush(stdout);
    std::fprintf(stderr, "\rtintweld-cli: %lu of %lu models", static_cast<unsigned long>(done),
                 static_cast<unsigned long>(total));
    std::fflush(stderr);
    console.progressShown = true;
    console.lastDrawn = now;
}

void CloseConsole(Console& console) {
    if (console.pendingCr) std::putchar('\r');
    console.pendingCr = false;
    std::fflush(stdout);
    EraseProgress(console);
}

}  // namespace cli
