#include "WindowFixture.h"

#include <vector>

#include "app/Controls.h"

bool PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return true;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return false;
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::vector<char> text(length + 1);
    GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data());
}

HWND Control(int id) {
    return GetDlgItem(MainWindowHandle, id);
}

std::string LogText() {
    return WindowText(Control(IdLogPane));
}

void MainWindowTest::SetUp() {
    ASSERT_TRUE(StartUp());
    PumpMessages();
}

void MainWindowTest::TearDown() {
    if (IsWindow(MainWindowHandle)) {
        SendMessageA(MainWindowHandle, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(MainWindowHandle));
        EXPECT_TRUE(PumpMessages()) << "WM_DESTROY posts WM_QUIT";
    }
    EXPECT_EQ(ControlFont, nullptr);
    EXPECT_EQ(BackgroundBrush, nullptr);
    UnregisterClassA("NORMAL0", GetModuleHandleA(nullptr));
}
