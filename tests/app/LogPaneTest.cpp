// Appending to the log and reporting system errors, in this process.
#include "WindowFixture.h"
#include "app/LogPane.h"
#include "merge/Controls.h"

namespace {

const std::string FirstLine = "Ready. Drop day dff file.\r\n";

DWORD SelectionStart(DWORD* end) {
    DWORD start = 0;
    SendMessageA(Control(merge::IdLogPane), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(end));
    return start;
}

// The system's English text, read here without the program's code.
std::string EnglishText(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   0x0409, text, sizeof text, nullptr);
    return text;
}

}  // namespace

TEST_F(MainWindowTest, AppendLandsAtTheEndAndDropsTheUsersSelection) {
    SendMessageA(Control(merge::IdLogPane), EM_SETSEL, 0, 5);
    AppendLog(" Analyzing file...\r\n");
    std::string expected = FirstLine + " Analyzing file...\r\n";
    EXPECT_EQ(LogText(), expected);
    DWORD end = 0;
    EXPECT_EQ(SelectionStart(&end), expected.size());
    EXPECT_EQ(end, expected.size());
}

TEST_F(MainWindowTest, EmptyAppendOnlyMovesTheCaretToTheEnd) {
    SendMessageA(Control(merge::IdLogPane), EM_SETSEL, 2, 7);
    AppendLog("");
    EXPECT_EQ(LogText(), FirstLine);
    DWORD end = 0;
    EXPECT_EQ(SelectionStart(&end), FirstLine.size());
    EXPECT_EQ(end, FirstLine.size());
}

TEST_F(MainWindowTest, LogKeepsGrowingPastTheEditControlsDefaultLimit) {
    std::string line(98, 'x');
    line += "\r\n";
    std::string block;
    for (int i = 0; i < 100; ++i) block += line;
    for (int i = 0; i < 5; ++i) AppendLog(block.c_str());
    HWND log = Control(merge::IdLogPane);
    EXPECT_EQ(size_t(GetWindowTextLengthA(log)), FirstLine.size() + 5 * block.size());
    // The newest line is in view: the pane shows about a dozen of 502 lines.
    EXPECT_GT(SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0), 480);
}

TEST_F(MainWindowTest, ReportLastErrorAfterOpeningAMissingFile) {
    HANDLE file = CreateFileA("C:\\tintweld-missing.dff", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(file, INVALID_HANDLE_VALUE);
    ReportLastError(" ");
    std::string text = EnglishText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(LogText(), FirstLine + " Error: " + text);
}

TEST_F(MainWindowTest, ReportLastErrorWithoutASystemTextNamesTheCode) {
    SetLastError(0x20000001);  // an application's own code: the system has no text
    ReportLastError(" ");
    EXPECT_EQ(LogText(), FirstLine + " Error: Unknown error 536870913\r\n");
}
