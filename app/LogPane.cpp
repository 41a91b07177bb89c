#include "app/LogPane.h"

#include "app/Controls.h"
#include "app/MainWindow.h"
#include "app/WindowSession.h"

void AppendLog(HWND edit, const char* text, BOOL canUndo) {
    LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    // An empty caret at the very end: the text is appended, never put over a
    // selection the user made.
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageA(edit, EM_REPLACESEL, static_cast<WPARAM>(canUndo),
                 reinterpret_cast<LPARAM>(text));
}

void AppendLog(const char* text) {
    AppendLog(GetDlgItem(MainWindowHandle, IdLogPane), text, FALSE);
}

void ReportLastError(const char* prefix) {
    // Taken before the first append, which may change the last error.
    const merge::Status error = Win32Error(GetLastError());
    WindowSession session;
    merge::ReportLastError(session, prefix, error);
}
