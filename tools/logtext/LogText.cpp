// logtext: prints the text of the log pane of the running Tintweld window, as
// it stands, to standard output (line breaks as the log holds them, CR LF).
// Exit status 1 when no such window is there.
#include "app/Controls.h"  // windows.h first
#include "app/MainWindow.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main() {
    HWND window = FindWindowA(MainWindowClass, MainWindowTitle);
    HWND log = window ? GetDlgItem(window, IdLogPane) : nullptr;
    if (!log) {
        std::fputs("logtext: no Tintweld window\n", stderr);
        return 1;
    }
    LRESULT length = SendMessageA(log, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    SendMessageA(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    // The log's own CR LF, not turned into CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(text.data(), 1, std::strlen(text.data()), stdout);
    return 0;
}
