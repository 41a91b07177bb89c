#include "app/WindowSession.h"

#include "app/Controls.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"

namespace {

// In the order of merge::Option and merge::Channel.
constexpr int OptionIds[] = {IdAlwaysMerge, IdOutputInDffFolder, IdCopyDayColours, IdOneFileMode};
constexpr int FieldIds[] = {IdFieldR, IdFieldG, IdFieldB, IdFieldA};

}  // namespace

bool WindowSession::IsTicked(merge::Option option) {
    // The command line's options have no box here.
    if (static_cast<size_t>(option) >= sizeof OptionIds / sizeof OptionIds[0]) return false;
    HWND box = GetDlgItem(MainWindowHandle, OptionIds[static_cast<int>(option)]);
    return SendMessageA(box, BM_GETCHECK, 0, 0) != 0;
}

void WindowSession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    GetDlgItemTextA(MainWindowHandle, FieldIds[static_cast<int>(channel)], buffer, size);
}

// The command line's scale and offset have no field here: colours as they are.
merge::ChannelAdjustment WindowSession::AdjustmentOf(merge::Channel) { return {}; }

void WindowSession::EnableOneFileMode(bool enabled) {
    EnableWindow(GetDlgItem(MainWindowHandle, IdOneFileMode), enabled ? TRUE : FALSE);
}

void WindowSession::AppendLog(const char* text) { ::AppendLog(text); }

// Windows' classic path length: 259 characters and the terminating zero.
bool WindowSession::PathFits(const char* path) { return Utf16Length(path) < MAX_PATH; }
