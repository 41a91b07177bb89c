// The eighteen controls as the user meets them, in this process.
#include "WindowFixture.h"

#include <commctrl.h>

#include <vector>

#include "app/Controls.h"

namespace {

struct Expected {
    int id;
    const char *className, *caption;
    LONG exStyle, style;
    int x, y, width, height;
    bool font;
};

// As the window shows them: an up-down control with a buddy narrows the field
// by its own width and stands on the field's right edge, over its border.
const Expected Controls[] = {
    {1000, "Button", "Always Merge", 0, 0x50000003, 0, 0, 128, 24, true},
    {1001, "Button", "Output in DFF Folder", 0, 0x50000003, 0, 104, 192, 24, true},
    {1002, "Button", "Complemented NVC", 0, 0x50000007, 16, 24, 296, 76, true},
    {1003, "Static", "R:", 0, 0x50000000, 24, 50, 16, 20, true},
    {1004, "Edit", "64", 0x200, 0x50002002, 40, 48, 32, 24, true},
    {1005, "msctls_updown32", "", 0, 0x50000027, 70, 48, 16, 24, false},
    {1006, "Static", "G:", 0, 0x50000000, 96, 50, 16, 20, true},
    {1007, "Edit", "64", 0x200, 0x50002002, 112, 48, 32, 24, true},
    {1008, "msctls_updown32", "", 0, 0x50000027, 142, 48, 16, 24, false},
    {1009, "Static", "B:", 0, 0x50000000, 168, 50, 16, 20, true},
    {1010, "Edit", "64", 0x200, 0x50002002, 184, 48, 32, 24, true},
    {1011, "msctls_updown32", "", 0, 0x50000027, 214, 48, 16, 24, false},
    {1012, "Static", "A:", 0, 0x50000000, 240, 50, 16, 20, true},
    {1013, "Edit", "255", 0x200, 0x50002002, 256, 48, 32, 24, true},
    {1014, "msctls_updown32", "", 0, 0x50000027, 286, 48, 16, 24, false},
    {1015, "Button", "Copy Day Vertex Color", 0, 0x50000003, 24, 72, 280, 24, true},
    {1016, "Button", "Don't request 2 DFF", 0, 0x50000003, 136, 0, 176, 24, true},
    {1017, "Edit", "Ready. Drop day dff file.\r\n", 0x200, 0x50300844, 0, 128, 312, 256, true},
};

void PressKey(HWND field, WPARAM key) {
    SendMessageA(field, WM_KEYDOWN, key, 0);
    SendMessageA(field, WM_KEYUP, key, 0);
}

}  // namespace

// As the window starts: every control enabled, no box ticked.
TEST_F(MainWindowTest, EighteenControlsAsLaidOut) {
    for (const Expected& expected : Controls) {
        SCOPED_TRACE(expected.id);
        HWND control = Control(expected.id);
        ASSERT_NE(control, nullptr);
        char className[64];
        GetClassNameA(control, className, sizeof className);
        EXPECT_STREQ(className, expected.className);
        EXPECT_EQ(WindowText(control), expected.caption);
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE), expected.style);
        EXPECT_EQ(GetWindowLongA(control, GWL_EXSTYLE), expected.exStyle);
        RECT r;  // in MainWindow's client area
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, MainWindowHandle, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  (std::vector<LONG>{expected.x, expected.y, expected.width, expected.height}));
        EXPECT_EQ(HFONT(SendMessageA(control, WM_GETFONT, 0, 0)) == ControlFont, expected.font);
        EXPECT_TRUE(IsWindowEnabled(control));
        EXPECT_EQ(SendMessageA(control, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        if (std::string(expected.className) != "msctls_updown32") continue;
        // An up-down steps the field before it from 0 to 255.
        EXPECT_EQ(HWND(SendMessageA(control, UDM_GETBUDDY, 0, 0)), Control(expected.id - 1));
        int low = -1, high = -1;
        SendMessageA(control, UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 255);
    }
}

TEST_F(MainWindowTest, ArrowKeysInAFieldWrapAround) {
    HWND fieldA = Control(IdFieldA);
    PressKey(fieldA, VK_UP);
    EXPECT_EQ(WindowText(fieldA), "0");
    PressKey(fieldA, VK_DOWN);
    EXPECT_EQ(WindowText(fieldA), "255");
}
