// The real program, started as a process: its window appears, and closing it
// ends the process with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace {

// The build gives a Unix path under Wine; Z: is the Unix root there.
std::string ProgramPath() {
    std::string path = TINTWELD_EXE;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

struct Search {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // The window exists from the start of its creation, and shows at its end.
    if (processId != search->processId || std::string(className) != "NORMAL0" ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    search->window = window;
    return FALSE;
}

// Waits up to ten seconds for the process's MainWindow to show.
HWND WaitForMainWindow(DWORD processId) {
    Search search = {processId, nullptr};
    for (int i = 0; i < 200 && !search.window; ++i) {
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.window) Sleep(50);
    }
    return search.window;
}

}  // namespace

TEST(ProgramTest, StartsShowsItsWindowAndEndsWithCodeZeroOnClose) {
    std::string command = "\"" + ProgramPath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << command;
    HWND window = WaitForMainWindow(process.dwProcessId);
    if (!window) TerminateProcess(process.hProcess, 1);
    ASSERT_NE(window, nullptr);
    char title[32] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Tintweld");

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD waited = WaitForSingleObject(process.hProcess, 10000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
