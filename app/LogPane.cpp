#include "app/LogPane.h"

#include "app/Controls.h"
#include "app/MainWindow.h"

void AppendLog(const char* text) {
    HWND edit = GetDlgItem(MainWindowHandle, IdLogPane);
    LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    // An empty caret at the very end: the text is appended, never put over a
    // selection the user made. Nothing to undo: the log is never edited.
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}
