// Start-up, MainWindow and the end of the loop, in this process.
#include "WindowFixture.h"

TEST_F(MainWindowTest, ClassNormal0) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "NORMAL0", &windowClass));
    EXPECT_EQ(windowClass.style, UINT(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
    EXPECT_EQ(windowClass.lpfnWndProc, &MainWindowProc);
    EXPECT_EQ(windowClass.hbrBackground, BackgroundBrush);
    EXPECT_EQ(windowClass.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(MainWindowTest, TitleStylesAndOuterSize) {
    EXPECT_EQ(WindowText(MainWindowHandle), "Tintweld");
    // The system adds WS_CLIPSIBLINGS and WS_EX_WINDOWEDGE on its own.
    EXPECT_EQ(GetWindowLongA(MainWindowHandle, GWL_STYLE) & ~WS_CLIPSIBLINGS, 0x10CA0000);
    EXPECT_EQ(GetWindowLongA(MainWindowHandle, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, WS_EX_ACCEPTFILES);
    RECT outer;
    GetWindowRect(MainWindowHandle, &outer);
    EXPECT_EQ(outer.right - outer.left, 318);
    EXPECT_EQ(outer.bottom - outer.top, 409);
}

TEST(StartUpTest, ClassThatCannotBeRegisteredEndsStartUpInOrder) {
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = "NORMAL0";
    ASSERT_TRUE(RegisterClassExA(&taken));
    EXPECT_FALSE(StartUp());
    EXPECT_EQ(FindWindowA("NORMAL0", nullptr), nullptr);
    EXPECT_EQ(ControlFont, nullptr);
    EXPECT_EQ(BackgroundBrush, nullptr);
    UnregisterClassA("NORMAL0", GetModuleHandleA(nullptr));
}
