// The eighteen controls of MainWindow: built and set up during its WM_CREATE.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

constexpr int IdAlwaysMerge = 1000;
constexpr int IdOutputInDffFolder = 1001;
constexpr int IdFrame = 1002;
constexpr int IdLabelR = 1003;
constexpr int IdFieldR = 1004;
constexpr int IdUpDownR = 1005;
constexpr int IdLabelG = 1006;
constexpr int IdFieldG = 1007;
constexpr int IdUpDownG = 1008;
constexpr int IdLabelB = 1009;
constexpr int IdFieldB = 1010;
constexpr int IdUpDownB = 1011;
constexpr int IdLabelA = 1012;
constexpr int IdFieldA = 1013;
constexpr int IdUpDownA = 1014;
constexpr int IdCopyDayColours = 1015;
constexpr int IdOneFileMode = 1016;
constexpr int IdLogPane = 1017;

// Creates the controls in table order, each with ControlFont where the table
// says so.
void CreateControls(HWND window);
// Pairs each up-down control with its field (range 0 to 255), lets the log
// grow without limit, and writes the first log line.
void InitControls();
