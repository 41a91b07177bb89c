// tintweld-cli: the merge pipeline of the window program, driven from the
// command line. Each model named is one drop (or a day and a night drop); the
// options are the window's check boxes and colour fields; the log goes to
// standard output.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

#include "cli/Console.h"
#include "cli/Options.h"
#include "platform/Process.h"
#include "platform/SystemOs.h"

namespace {

// Help and version: standard output, with the log's line ends, checked like
// the log.
int Print(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && process::LinesEndInCrLf) out += '\r';
        out += c;
    }
    std::fputs(out.c_str(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::perror("tintweld-cli: standard output");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool outputOpen = process::PrepareStandardStreams();
    std::vector<std::string> texts;
    std::set<std::string> inexact;
    for (const process::Argument& argument : process::ProgramArguments(argc, argv)) {
        texts.push_back(argument.text);
        if (!argument.exact) inexact.insert(argument.text);
    }
    const cli::CommandLine line = cli::ParseCommandLine(texts);
    if (line.command == cli::Command::UsageError) {
        std::fprintf(stderr, "tintweld-cli: %s (see tintweld-cli --help)\n", line.error.c_str());
        return 2;
    }
    if (line.command == cli::Command::Help) return Print(cli::UsageText());
    if (line.command == cli::Command::Version)
        return Print("tintweld-cli (Tintweld) " TINTWELD_VERSION "\n");
    if (!outputOpen) {
        std::fputs("tintweld-cli: standard output is closed: the log could not be written\n",
                   stderr);
        return 1;
    }

    process::Interruption interruption;
    process::CatchInterruptions(interruption);
    SystemOs os;
    os.stop = &interruption.requested;
    os.abandon = &interruption.abandoned;

    cli::Console console;
    cli::OpenConsole(console);
    std::string errors;
    const int status = cli::RunBatch(line.options, inexact, os, console, &errors);
    const bool logWritten = cli::CloseConsole(console);
    std::fputs(errors.c_str(), stderr);
    if (interruption.requested) process::EndInterrupted(interruption);
    if (!logWritten) {
        std::fprintf(stderr, "tintweld-cli: the log could not be written: %s\n",
                     console.failure.c_str());
        return 1;
    }
    return status;
}
