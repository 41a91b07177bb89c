// Appending to the log and reporting system errors, in this process.
#include "WindowFixture.h"
#include "app/LogPane.h"
#include "merge/Controls.h"

const std::string FirstLine = "Ready. Drop day dff file.\r\n";

// Whatever the user selected, text goes at the end and the caret follows.
TEST_F(MainWindowTest, AppendLandsAtTheEndAndDropsTheUsersSelection) {
    HWND log = Control(merge::IdLogPane);
    std::string expected = FirstLine;
    for (const char* text : {" Analyzing file...\r\n", ""}) {
        SendMessageA(log, EM_SETSEL, 2, 7);
        AppendLog(text);
        expected += text;
        EXPECT_EQ(LogText(), expected);
        DWORD start = 0, end = 0;
        SendMessageA(log, EM_GETSEL, WPARAM(&start), LPARAM(&end));
        EXPECT_EQ(start, expected.size());
        EXPECT_EQ(end, expected.size());
    }
}

TEST_F(MainWindowTest, LogKeepsGrowingPastTheEditControlsDefaultLimit) {
    std::string block;
    for (int i = 0; i < 100; ++i) block += std::string(98, 'x') + "\r\n";
    for (int i = 0; i < 5; ++i) AppendLog(block.c_str());
    HWND log = Control(merge::IdLogPane);
    EXPECT_EQ(size_t(GetWindowTextLengthA(log)), FirstLine.size() + 5 * block.size());
    // The newest line is in view: the pane shows about a dozen of 502 lines.
    EXPECT_GT(SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0), 480);
}

TEST_F(MainWindowTest, ReportLastErrorGivesTheSystemsTextOrNamesTheCode) {
    ASSERT_EQ(CreateFileA("C:\\tintweld-missing.dff", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    ReportLastError(" ");
    char text[512] = {};  // the system's English text, read here without the program's code
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, 0x0409, text, sizeof text, nullptr);
    ASSERT_STRNE(text, "");
    SetLastError(0x20000001);  // an application's own code: the system has no text
    ReportLastError(" ");
    EXPECT_EQ(LogText(), FirstLine + " Error: " + text + " Error: Unknown error 536870913\r\n");
}
