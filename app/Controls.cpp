#include "app/Controls.h"

#include <commctrl.h>

#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "merge/Messages.h"
#include "merge/Session.h"

namespace {

using merge::DefaultColourTexts;

constexpr char UpDownClass[] = UPDOWN_CLASSA;

struct ControlRow {
    int id;
    const char* className;
    const char* caption;
    DWORD exStyle;
    DWORD style;
    int x, y, width, height;
    bool font;
};

// No control takes Tab stops.
constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD CheckBox = Child | BS_AUTOCHECKBOX;
constexpr DWORD GroupBox = Child | BS_GROUPBOX;
constexpr DWORD Label = Child | SS_LEFT;
constexpr DWORD Field = Child | ES_NUMBER | ES_RIGHT;
constexpr DWORD UpDown = Child | UDS_ARROWKEYS | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_WRAP;
// Long lines are scrolled to, never wrapped.
constexpr DWORD Log =
    Child | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_AUTOVSCROLL | ES_MULTILINE;

constexpr ControlRow Controls[] = {
    {IdAlwaysMerge, "BUTTON", "Always Merge", 0, CheckBox, 0, 0, 128, 24, true},
    {IdOutputInDffFolder, "BUTTON", "Output in DFF Folder", 0, CheckBox, 0, 104, 192, 24, true},
    {IdFrame, "BUTTON", "Complemented NVC", 0, GroupBox, 16, 24, 296, 76, true},
    {IdLabelR, "STATIC", "R:", 0, Label, 24, 50, 16, 20, true},
    {IdFieldR, "EDIT", DefaultColourTexts[0], WS_EX_CLIENTEDGE, Field, 40, 48, 48, 24, true},
    {IdUpDownR, UpDownClass, nullptr, 0, UpDown, 72, 48, 16, 24, false},
    {IdLabelG, "STATIC", "G:", 0, Label, 96, 50, 16, 20, true},
    {IdFieldG, "EDIT", DefaultColourTexts[1], WS_EX_CLIENTEDGE, Field, 112, 48, 48, 24, true},
    {IdUpDownG, UpDownClass, nullptr, 0, UpDown, 144, 48, 16, 24, false},
    {IdLabelB, "STATIC", "B:", 0, Label, 168, 50, 16, 20, true},
    {IdFieldB, "EDIT", DefaultColourTexts[2], WS_EX_CLIENTEDGE, Field, 184, 48, 48, 24, true},
    {IdUpDownB, UpDownClass, nullptr, 0, UpDown, 216, 48, 16, 24, false},
    {IdLabelA, "STATIC", "A:", 0, Label, 240, 50, 16, 20, true},
    {IdFieldA, "EDIT", DefaultColourTexts[3], WS_EX_CLIENTEDGE, Field, 256, 48, 48, 24, true},
    {IdUpDownA, UpDownClass, nullptr, 0, UpDown, 288, 48, 16, 24, false},
    {IdCopyDayColours, "BUTTON", "Copy Day Vertex Color", 0, CheckBox, 24, 72, 280, 24, true},
    {IdOneFileMode, "BUTTON", "Don't request 2 DFF", 0, CheckBox, 136, 0, 176, 24, true},
    {IdLogPane, "EDIT", "", WS_EX_CLIENTEDGE, Log, 0, 128, 312, 256, true},
};

struct BuddyPair {
    int upDown;
    int field;
};

constexpr BuddyPair Buddies[] = {
    {IdUpDownR, IdFieldR},
    {IdUpDownG, IdFieldG},
    {IdUpDownB, IdFieldB},
    {IdUpDownA, IdFieldA},
};

void CreateControl(HWND window, const ControlRow& control) {
    if (control.className == UpDownClass) {
        // Created with a range of 0 to 100; InitControls sets the real one.
        HINSTANCE instance =
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
        CreateUpDownControl(control.style, control.x, control.y, control.width,
                            control.height, window, control.id, instance, nullptr, 0, 100, 0);
    } else {
        CreateWindowExA(control.exStyle, control.className, control.caption, control.style,
                        control.x, control.y, control.width, control.height, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                        GetModuleHandleA(nullptr), nullptr);
    }
    if (control.font) {
        SendMessageA(GetDlgItem(window, control.id), WM_SETFONT,
                     reinterpret_cast<WPARAM>(ControlFont), FALSE);
    }
}

}  // namespace

void CreateControls(HWND window) {
    for (const ControlRow& control : Controls) CreateControl(window, control);
}

void InitControls() {
    for (const BuddyPair& pair : Buddies) {
        HWND upDown = GetDlgItem(MainWindowHandle, pair.upDown);
        HWND field = GetDlgItem(MainWindowHandle, pair.field);
        SendMessageA(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field), 0);
        SendMessageA(upDown, UDM_SETRANGE32, 0, 255);
    }
    // An edit control stops taking text at about 32K characters by default;
    // the log is never cleared, so it gets the largest limit there is (0).
    SendMessageA(GetDlgItem(MainWindowHandle, IdLogPane), EM_SETLIMITTEXT, 0, 0);
    AppendLog(merge::text::FirstLogLine.text);
}
