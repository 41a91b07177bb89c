#include "platform/Process.h"

#include <fcntl.h>
#include <io.h>

#include "platform/Win32Os.h"

#include <shellapi.h>

namespace process {

namespace {

Interruption* Caught = nullptr;
// Set once the run has wound down, for a console that is being closed.
HANDLE WoundDown = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const bool keyed = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    // A closed console leaves no time to put outputs in place.
    if (Caught->requested || !keyed) Caught->abandoned = true;
    if (!Caught->requested) Caught->signal = static_cast<int>(event);
    Caught->requested = true;
    // A closed console ends the process when this returns: wind down first.
    if (!keyed) WaitForSingleObject(WoundDown, 4000);
    return TRUE;
}

}  // namespace

std::vector<Argument> ProgramArguments(int, char**) {
    // The wide command line, so that a name the code page cannot hold is
    // known as such instead of arriving as a look-alike.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<Argument> arguments;
    for (int i = 1; i < count; ++i) {
        Argument argument;
        argument.text = ToCodePage(wide[i], CP_ACP, &argument.exact);
        arguments.push_back(argument);
    }
    LocalFree(wide);
    return arguments;
}

bool PrepareStandardStreams() {
    // The log's texts already end in CR LF: a text-mode stdout would make
    // that CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR) SetConsoleOutputCP(CP_UTF8);
    return true;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void CatchInterruptions(Interruption& interruption) {
    Caught = &interruption;
    WoundDown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void EndInterrupted(const Interruption&) {
    SetEvent(WoundDown);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace process
