// The program's run from start to exit: the objects the whole window shares,
// the window class, MainWindow and its procedure, and the message loop.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// What MainWindow is found by, from outside the program too.
constexpr char MainWindowClass[] = "NORMAL0";
constexpr char MainWindowTitle[] = "Tintweld";

// Set while MainWindow handles WM_CREATE; every control is found through it.
extern HWND MainWindowHandle;
// Given to every control except the up-down controls.
extern HFONT ControlFont;
// The window class's background: the button-face colour at start-up.
extern HBRUSH BackgroundBrush;

// Makes the shared objects, registers the class and creates MainWindow, whose
// WM_CREATE builds the controls and writes the first log line. Returns false,
// with everything it made released, when the class or the window cannot be made.
[[nodiscard]] bool StartUp();
// Runs until WM_QUIT or a GetMessageA failure.
void RunMessageLoop();
// Start-up, the loop and the end of the process, always with exit code 0.
[[noreturn]] void RunProgram();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
