// A two-file sequence dropped on MainWindow as the shell delivers drops, in
// this process, with real files in a folder whose name the ANSI code pages
// cannot hold.
#include "WindowFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Drop.h"
#include "app/LogPane.h"
#include "tests/support/Checks.h"

namespace {

using testsupport::Bytes;

std::string Utf8(const std::wstring& text) {
    bool exact = false;
    return ToCodePage(text.c_str(), CP_UTF8, &exact);
}

Bytes ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::wstring& path, const Bytes& bytes) {
    std::ofstream(path.c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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

modelgen::ModelShape Shape(uint32_t vertices, const Bytes& colours = {}) {
    modelgen::ModelShape shape;
    shape.geometries[0].vertexCount = vertices;
    shape.geometries[0].colours = colours;
    return shape;
}

void Tick(int id) { SendMessageA(Control(id), BM_SETCHECK, BST_CHECKED, 0); }

TEST_F(MainWindowTest, ATwoFileSequenceDroppedOnTheWindow) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"tintweld żółw мод 表-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring day = folder + L"\\day.dff", night = folder + L"\\ночь.dff";
    const Bytes dayModel = modelgen::BuildModel(Shape(4)).bytes;
    WriteFile(day, dayModel);
    WriteFile(night, modelgen::BuildModel(Shape(2, {1, 2, 3, 4, 5, 6, 7, 8})).bytes);

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
    EXPECT_EQ(LogText(), "Ready. Drop day dff file.\r\n"
                         " Opening file: " + Utf8(day) + "\r\n"
                         " Analyzing file...\r\n"
                         " 4 vertex.\r\n"
                         "\r\nDrop night dff file.\r\n"
                         " Opening file: " + Utf8(night) + "\r\n"
                         " Analyzing file...\r\n"
                         " 2 vertex.\r\n"
                         " Warning: Night DFF contains not enough vertex.\r\n"
                         "\r\nDFF created: " + Utf8(output) + "\r\n"
                         "\r\nReady. Drop day dff file.\r\n");
    EXPECT_EQ(ReadFile(output),
              testsupport::Merged(Shape(4), {1, 2, 3, 4, 5, 6, 7, 8, 16, 64, 64, 255, 16, 64, 64, 255}));
    EXPECT_EQ(ReadFile(day), dayModel);
    EXPECT_TRUE(IsWindowEnabled(Control(IdOneFileMode)));

    // The log is never cleared, so it grows past an edit control's usual limit.
    AppendLog(std::string(40000, 'x').c_str());
    EXPECT_GT(LogText().size(), 40000u);

    std::wstring remove = folder + L'\0' + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = remove.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

}  // namespace
