#include "app/MainWindow.h"

#include <commctrl.h>

#include "app/Controls.h"
#include "app/Drop.h"

HWND MainWindowHandle = nullptr;
HFONT ControlFont = nullptr;
HBRUSH BackgroundBrush = nullptr;

namespace {

// No sizing border and no maximise box; visible from creation, so no
// ShowWindow follows.
constexpr DWORD MainWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int MainWindowWidth = 318;
constexpr int MainWindowHeight = 409;

void InitCommonControlClasses() {
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                    ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                    ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;
    InitCommonControlsEx(&classes);
}

HFONT CreateControlFont() {
    return CreateFontA(-19, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_STRING_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       FIXED_PITCH | FF_DONTCARE, "FixedSys");
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    // The size of this build's structure: a 64-bit build's is larger than a
    // 32-bit one's, and a wrong size registers nothing.
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = BackgroundBrush;
    windowClass.lpszClassName = MainWindowClass;
    return RegisterClassExA(&windowClass) != 0;
}

void ReleaseSharedObjects() {
    if (ControlFont) DeleteObject(ControlFont);
    if (BackgroundBrush) DeleteObject(BackgroundBrush);
    ControlFont = nullptr;
    BackgroundBrush = nullptr;
}

LRESULT OnCreate(HWND window) {
    // The controls are built while CreateWindowExA has not returned yet, so
    // they are found through the procedure's own handle.
    MainWindowHandle = window;
    CreateControls(window);
    InitControls();
    return 0;
}

LRESULT OnClose(HWND window) {
    DestroyWindow(window);
    return 0;
}

// Answered only once the drop's stage has run to its end.
LRESULT OnDropFiles(WPARAM wParam) {
    HandleDrop(reinterpret_cast<HDROP>(wParam));
    return 0;
}

LRESULT OnDestroy() {
    ReleaseSharedObjects();
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:    return OnCreate(window);
    case WM_DESTROY:   return OnDestroy();
    case WM_CLOSE:     return OnClose(window);
    case WM_DROPFILES: return OnDropFiles(wParam);
    default:           return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool StartUp() {
    InitCommonControlClasses();
    ControlFont = CreateControlFont();
    BackgroundBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    bool created = RegisterMainWindowClass(instance) &&
                   CreateWindowExA(WS_EX_ACCEPTFILES, MainWindowClass, MainWindowTitle,
                                   MainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, MainWindowWidth,
                                   MainWindowHeight, nullptr, nullptr, instance,
                                   nullptr) != nullptr;
    // Without a window the loop would wait forever: end in order instead.
    if (!created) ReleaseSharedObjects();
    return created;
}

void RunMessageLoop() {
    MSG message = {};
    // GetMessageA gives 0 for WM_QUIT and -1 on failure; both end the loop.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void RunProgram() {
    if (StartUp()) RunMessageLoop();
    ExitProcess(0);
}
