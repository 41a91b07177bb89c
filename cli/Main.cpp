// tintweld-cli: the merge pipeline of the window program, driven from the
// command line. Each model named is one drop; the options are the window's
// check boxes and colour fields; the log goes to standard output.
#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "cli/Console.h"
#include "cli/ConsolePlatform.h"
#include "cli/Options.h"
#include "merge/DropSequence.h"

namespace {

// The window gets full paths from a drop, and the "dff" folder is found from
// the path's last separator, so a relative name is made absolute first.
std::string FullPath(const char* path) {
#ifdef _WIN32
    char* full = _fullpath(nullptr, path, 0);
    if (!full) return path;
    std::string result = full;
    std::free(full);
    return result;
#else
    if (path[0] == '/') return path;
    std::string directory(4096, '\0');
    if (!getcwd(&directory[0], directory.size())) return path;
    return directory.c_str() + std::string("/") + path;
#endif
}

// One drop of path; true when the pipeline wrote an output in it. A path
// too long for the pipeline's buffers is refused and logged there.
bool Drop(merge::DropSequence& sequence, cli::ConsolePlatform& platform, const char* path) {
    return merge::HandleDroppedPath(sequence, platform, FullPath(path).c_str());
}

// One-file mode: every model is a sequence of its own. Returns the number of
// models whose output was not written.
size_t MergeEach(const cli::Options& options, cli::Console& console) {
    cli::ConsolePlatform platform(options, console, true);
    merge::DropSequence sequence;
    size_t failed = 0;
    for (size_t i = 0; i < options.days.size(); ++i) {
        cli::ShowProgress(console, i, options.days.size());
        if (!Drop(sequence, platform, options.days[i])) ++failed;
    }
    return failed;
}

// Two-file mode: the day drop, then the night drop if the day was accepted.
bool MergePair(const cli::Options& options, cli::Console& console) {
    cli::ConsolePlatform platform(options, console, false);
    merge::DropSequence sequence;
    Drop(sequence, platform, options.days[0]);
    if (sequence.state != merge::SequenceState::AwaitingNight) return false;
    return Drop(sequence, platform, options.night);
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line = cli::ParseCommandLine(argc, argv);
    if (line.command == cli::Command::UsageError) {
        std::fprintf(stderr, "tintweld-cli: %s (see tintweld-cli --help)\n", line.error.c_str());
        return 2;
    }
    if (line.command == cli::Command::Help) {
        std::fputs(cli::UsageText, stdout);
        return 0;
    }
    cli::Console console;
    cli::OpenConsole(console);
    bool allWritten = line.options.night ? MergePair(line.options, console)
                                         : MergeEach(line.options, console) == 0;
    cli::CloseConsole(console);
    return allWritten ? 0 : 1;
}
