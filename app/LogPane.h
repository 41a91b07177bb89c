// The log pane: the only place where the program speaks to the user.
#pragma once

#include "platform/Win32Os.h"

// Appends text at the end of the edit control, whatever the user has
// selected; no line break is added. canUndo is passed to EM_REPLACESEL.
void AppendLog(HWND edit, const char* text, BOOL canUndo);
// Appends text to the log pane of MainWindow.
void AppendLog(const char* text);
// Writes prefix, "Error: " and the system's English text for the last error.
// Call it directly after the failing call.
void ReportLastError(const char* prefix);
