// The platform interface of the window program: files and memory from
// Win32Platform, options and log from MainWindow's controls, looked up by id
// at every use.
#pragma once

#include "platform/Win32Platform.h"

struct WindowPlatform final : Win32Platform {
    bool IsChecked(int controlId) override;
    void ControlText(int controlId, char* buffer, int size) override;
    void EnableControl(int controlId, bool enabled) override;
    void AppendLog(const char* text) override;
};
