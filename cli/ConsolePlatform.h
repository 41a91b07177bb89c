// The pipeline's platform for the command line: the system's files and
// memory, the options of the command line in place of the window's controls,
// and standard output in place of the log pane.
#pragma once

#ifdef _WIN32
#include "platform/Win32Platform.h"
using SystemPlatform = Win32Platform;
#else
#include "platform/PosixPlatform.h"
using SystemPlatform = PosixPlatform;
#endif

#include "cli/Console.h"
#include "cli/Options.h"

namespace cli {

struct ConsolePlatform final : SystemPlatform {
    ConsolePlatform(const Options& options, Console& console, bool oneFileMode)
        : options(options), console(console), oneFileMode(oneFileMode) {}

    bool IsChecked(int controlId) override;
    void ControlText(int controlId, char* buffer, int size) override;
    void EnableControl(int, bool) override {}
    void AppendLog(const char* text) override;

    const Options& options;
    Console& console;
    bool oneFileMode;
};

}  // namespace cli
