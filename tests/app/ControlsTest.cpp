// The eighteen controls as the user meets them, in this process.
#include "WindowFixture.h"

#include <commctrl.h>

#include "app/WindowPlatform.h"
#include "merge/Controls.h"

namespace {

struct Expected {
    int id;
    const char* className;
    const char* caption;
    LONG exStyle;
    LONG style;
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

const int CheckBoxes[] = {merge::IdAlwaysMerge, merge::IdOutputInDffFolder,
                          merge::IdCopyDayColours, merge::IdOneFileMode};

RECT ClientRect(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, MainWindowHandle, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PressKey(HWND field, WPARAM key) {
    SendMessageA(field, WM_KEYDOWN, key, 0);
    SendMessageA(field, WM_KEYUP, key, 0);
}

}  // namespace

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
        RECT rect = ClientRect(control);
        EXPECT_EQ(rect.left, expected.x);
        EXPECT_EQ(rect.top, expected.y);
        EXPECT_EQ(rect.right - rect.left, expected.width);
        EXPECT_EQ(rect.bottom - rect.top, expected.height);
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        EXPECT_EQ(font == ControlFont, expected.font);
        EXPECT_TRUE(IsWindowEnabled(control));
    }
}

TEST_F(MainWindowTest, UpDownsStepTheirFieldsFrom0To255) {
    for (int upDownId : {1005, 1008, 1011, 1014}) {
        SCOPED_TRACE(upDownId);
        HWND upDown = Control(upDownId);
        EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(upDown, UDM_GETBUDDY, 0, 0)),
                  Control(upDownId - 1));
        int low = -1, high = -1;
        SendMessageA(upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                     reinterpret_cast<LPARAM>(&high));
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 255);
    }
}

TEST_F(MainWindowTest, ArrowKeysInAFieldWrapAround) {
    HWND fieldA = Control(merge::IdFieldA);
    PressKey(fieldA, VK_UP);
    EXPECT_EQ(WindowText(fieldA), "0");
    PressKey(fieldA, VK_DOWN);
    EXPECT_EQ(WindowText(fieldA), "255");
    PressKey(fieldA, VK_DOWN);
    EXPECT_EQ(WindowText(fieldA), "254");

    HWND fieldR = Control(merge::IdFieldR);
    PressKey(fieldR, VK_UP);
    EXPECT_EQ(WindowText(fieldR), "65");
    SetWindowTextA(fieldR, "0");
    PressKey(fieldR, VK_DOWN);
    EXPECT_EQ(WindowText(fieldR), "255");
}

TEST_F(MainWindowTest, FieldsTakeOnlyDigitsAndTheLogTakesNoTyping) {
    HWND fieldB = Control(merge::IdFieldB);
    SetWindowTextA(fieldB, "");
    SendMessageA(fieldB, WM_CHAR, '7', 0);
    SendMessageA(fieldB, WM_CHAR, 'x', 0);
    EXPECT_EQ(WindowText(fieldB), "7");

    SendMessageA(Control(merge::IdLogPane), WM_CHAR, 'a', 0);
    EXPECT_EQ(LogText(), "Ready. Drop day dff file.\r\n");
}

TEST_F(MainWindowTest, StartsUntickedWithDefaultColoursAndOnePrompt) {
    for (int id : CheckBoxes) EXPECT_EQ(SendMessageA(Control(id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(WindowText(Control(merge::IdFieldR)), "64");
    EXPECT_EQ(WindowText(Control(merge::IdFieldG)), "64");
    EXPECT_EQ(WindowText(Control(merge::IdFieldB)), "64");
    EXPECT_EQ(WindowText(Control(merge::IdFieldA)), "255");
    EXPECT_EQ(LogText(), "Ready. Drop day dff file.\r\n");
}

TEST_F(MainWindowTest, WindowPlatformReadsTheControlsAtUse) {
    WindowPlatform platform;
    EXPECT_FALSE(platform.IsChecked(merge::IdAlwaysMerge));
    SendMessageA(Control(merge::IdAlwaysMerge), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(platform.IsChecked(merge::IdAlwaysMerge));

    // An 8-byte buffer takes at most 7 characters.
    SetWindowTextA(Control(merge::IdFieldG), "123456789");
    char text[8];
    platform.ControlText(merge::IdFieldG, text, sizeof text);
    EXPECT_STREQ(text, "1234567");

    platform.EnableControl(merge::IdOneFileMode, false);
    EXPECT_FALSE(IsWindowEnabled(Control(merge::IdOneFileMode)));
    platform.EnableControl(merge::IdOneFileMode, true);
    EXPECT_TRUE(IsWindowEnabled(Control(merge::IdOneFileMode)));

    platform.AppendLog("x");
    EXPECT_EQ(LogText(), "Ready. Drop day dff file.\r\nx");
}
