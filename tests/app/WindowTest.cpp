// MainWindow in this process, made and ended for each test as the program
// does: its eighteen controls, and a two-file sequence dropped as the shell
// drops files, in a folder whose name no ANSI code page holds.
#include <gtest/gtest.h>

#include "app/Controls.h"  // windows.h first

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Drop.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "tests/support/Models.h"

namespace {

using namespace testsupport;

// Handles the messages that are waiting; true once WM_QUIT has been taken.
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
    std::vector<char> text(GetWindowTextLengthA(window) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

HWND Control(int id) { return GetDlgItem(MainWindowHandle, id); }

struct WindowTest : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(StartUp());
        PumpMessages();
    }
    // Closes MainWindow as the user would, takes WM_QUIT off the queue and
    // unregisters the class, so that the next test can register it again.
    void TearDown() override {
        SendMessageA(MainWindowHandle, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(MainWindowHandle));
        EXPECT_TRUE(PumpMessages()) << "WM_DESTROY posts WM_QUIT";
        EXPECT_EQ(ControlFont, nullptr);
        EXPECT_EQ(BackgroundBrush, nullptr);
        UnregisterClassA(MainWindowClass, GetModuleHandleA(nullptr));
    }
};

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

// As the window starts: every control enabled, no box ticked.
TEST_F(WindowTest, EighteenControlsAsLaidOut) {
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
        const std::string kind = expected.className;
        if (kind == "Button") {
            EXPECT_EQ(SendMessageA(control, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        }
        if (kind != "msctls_updown32") continue;
        // An up-down steps the field before it from 0 to 255.
        EXPECT_EQ(HWND(SendMessageA(control, UDM_GETBUDDY, 0, 0)), Control(expected.id - 1));
        int low = -1, high = -1;
        SendMessageA(control, UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
        EXPECT_EQ(std::make_pair(low, high), std::make_pair(0, 255));
    }
}

std::string Utf8(const std::wstring& text) { return std::filesystem::path(text).u8string(); }
Bytes ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::wstring& path, const Bytes& bytes) {
    std::ofstream(path.c_str(), std::ios::binary) << std::string(bytes.begin(), bytes.end());
}
// A new folder in the temporary folder.
std::wstring Folder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + name + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A drop of these files, as the shell makes it: DROPFILES and the wide
// paths after it. HandleDrop releases it.
void Drop(const std::vector<std::wstring>& paths) {
    size_t characters = 1;
    for (const std::wstring& path : paths) characters += path.size() + 1;
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    wchar_t* at = reinterpret_cast<wchar_t*>(files + 1);
    for (const std::wstring& path : paths) at = std::copy(path.begin(), path.end(), at) + 1;
    GlobalUnlock(drop);
    EXPECT_EQ(SendMessageW(MainWindowHandle, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);
}

void Tick(int id) { SendMessageA(Control(id), BM_SETCHECK, BST_CHECKED, 0); }
TEST_F(WindowTest, ATwoFileSequenceDroppedOnTheWindow) {
    const std::wstring folder = Folder(L"tintweld żółw мод 表-");
    const std::wstring day = folder + L"\\day.dff", night = folder + L"\\ночь.dff";
    const Bytes dayModel = Build(Shape(4));
    WriteFile(day, dayModel);
    WriteFile(night, Build(Shape(2, {1, 2, 3, 4, 5, 6, 7, 8})));

    // The user's selection in the log does not take the appended text.
    SendMessageA(Control(IdLogPane), EM_SETSEL, 0, 5);
    SetWindowTextA(Control(IdFieldR), "&H10");
    Drop({day, night});  // only the first file of a drop counts
    EXPECT_FALSE(IsWindowEnabled(Control(IdOneFileMode)));
    // Read in the day stage, so changed now they have no effect...
    SetWindowTextA(Control(IdFieldR), "99");
    Tick(IdCopyDayColours);
    // ...while the folder is read when the output is written.
    Tick(IdOutputInDffFolder);
    Drop({night});

    const std::wstring output = folder + L"\\dff\\day.dff";
    EXPECT_EQ(WindowText(Control(IdLogPane)),
              Ready.substr(2) + Open(Utf8(day)) + Counted(4) + "\r\nDrop night dff file.\r\n" +
                  Open(Utf8(night)) + Counted(2) +
                  " Warning: Night DFF contains not enough vertex.\r\n" + Created(Utf8(output)));
    EXPECT_EQ(ReadFile(output),
              Merged(Shape(4), {1, 2, 3, 4, 5, 6, 7, 8, 16, 64, 64, 255, 16, 64, 64, 255}));
    EXPECT_EQ(ReadFile(day), dayModel);
    EXPECT_TRUE(IsWindowEnabled(Control(IdOneFileMode)));

    // The log is never cleared, so it grows past an edit control's usual limit.
    AppendLog(std::string(40000, 'x').c_str());
    EXPECT_GT(WindowText(Control(IdLogPane)).size(), 40000u);

    std::filesystem::remove_all(folder);
}

// Windows' classic limit counts UTF-16 code units, not the bytes of the
// process code page (UTF-8): a path of 259 Cyrillic or CJK characters is
// merged whole, one of 260 is refused, named, and left alone.
TEST_F(WindowTest, PathsOf259CharactersInAnyAlphabet) {
    Tick(IdOneFileMode);
    const std::wstring base = Folder(L"tw");
    std::string expected = Ready.substr(2);
    for (wchar_t letter : {L'\x0436', L'\x6A21'}) {  // ж, 模
        // Folders of 50 letters (a name of at most 255 bytes on Linux) up to
        // about 230 characters; the file's name fills the path to 259.
        std::wstring folder = base + L"\\" + std::wstring(1, letter);
        CreateDirectoryW(folder.c_str(), nullptr);
        while (folder.size() < 180) {
            folder += L"\\" + std::wstring(50, letter);
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        }
        const std::wstring name = folder + L"\\" + std::wstring(259 - folder.size() - 5, letter);
        const std::wstring fits = name + L".dff", tooLong = name + letter + L".dff";
        for (const std::wstring& path : {fits, tooLong})
            WriteFile(L"\\\\?\\" + path, Build(Shape(3)));
        Drop({fits});
        Drop({tooLong});
        expected += Open(Utf8(fits)) + Counted(3) + Created(Utf8(fits)) + Open(Utf8(tooLong)) +
                    Error("Path is longer than 259 characters.") + Ready;
        EXPECT_EQ(ReadFile(fits), Merged(Shape(3), Grey(3)));
    }
    EXPECT_EQ(WindowText(Control(IdLogPane)), expected);
    std::filesystem::remove_all(L"\\\\?\\" + base);
}

}  // namespace
