// The command line's process as the system has it: its arguments, its
// standard streams and its interruptions.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace process {

struct Argument {
    std::string text;  // in the process code page
    bool exact = true;  // false: the code page could not hold some character
};

// The program's arguments after its name.
std::vector<Argument> ProgramArguments(int argc, char** argv);

// Makes the standard streams fit for the log: a closed one is opened on the
// null device, so that no model file can take its place, and the console
// shows UTF-8. False when standard output was closed.
[[nodiscard]] bool PrepareStandardStreams();

bool IsTerminal(std::FILE* stream);

// The log's lines end in CR LF on Windows, in LF elsewhere.
#ifdef _WIN32
constexpr bool LinesEndInCrLf = true;
#else
constexpr bool LinesEndInCrLf = false;
#endif

// Ctrl+C, a closed console or terminal, SIGINT, SIGTERM or SIGHUP.
// The first stops the run: no model starts, the outputs already whole are
// still put in place; a second one (or a console closed) abandons them too.
struct Interruption {
    std::atomic<bool> requested{false};
    std::atomic<bool> abandoned{false};
    std::atomic<int> signal{0};  // the first one's
};

// To be called before any thread starts. From then on an interruption sets
// requested, from a thread of its own.
void CatchInterruptions(Interruption& interruption);

// Ends the process as the interruption would have, once the run has wound
// down: with the signal's own status.
[[noreturn]] void EndInterrupted(const Interruption& interruption);

}  // namespace process
