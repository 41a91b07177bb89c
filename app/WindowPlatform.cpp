#include "app/WindowPlatform.h"

#include "app/LogPane.h"
#include "app/MainWindow.h"

bool WindowPlatform::IsChecked(int controlId) {
    return SendMessageA(GetDlgItem(MainWindowHandle, controlId), BM_GETCHECK, 0, 0) != 0;
}

void WindowPlatform::ControlText(int controlId, char* buffer, int size) {
    GetDlgItemTextA(MainWindowHandle, controlId, buffer, size);
}

void WindowPlatform::EnableControl(int controlId, bool enabled) {
    EnableWindow(GetDlgItem(MainWindowHandle, controlId), enabled ? TRUE : FALSE);
}

void WindowPlatform::AppendLog(const char* text) {
    ::AppendLog(text);
}
