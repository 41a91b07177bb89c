// The real program, started as a process: its window appears, and closing it
// ends the process with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

TEST(ProgramTest, StartsShowsItsWindowAndEndsWithCodeZeroOnClose) {
    // The build gives a Unix path under Wine; Z: is the Unix root there.
    std::string command = std::string("\"") + (TINTWELD_EXE[0] == '/' ? "Z:" : "") + TINTWELD_EXE;
    for (char& c : command) c = c == '/' ? '\\' : c;
    command += "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << command;
    // The window exists from the start of its creation, and shows at its end.
    HWND window = nullptr;
    for (int i = 0; i < 200 && !window; ++i) {  // up to ten seconds
        Sleep(50);
        window = FindWindowA("NORMAL0", "Tintweld");
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != process.dwProcessId || !IsWindowVisible(window)) window = nullptr;
    }
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    const DWORD waited = WaitForSingleObject(process.hProcess, 10000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(waited, DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(exitCode, 0u);
}
