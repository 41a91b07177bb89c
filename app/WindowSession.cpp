#include "app/WindowSession.h"

#include <utility>

#include "app/Controls.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "platform/Win32Os.h"

namespace {

using merge::Channel;
using merge::Option;

// Each option's box and each channel's field, by id; the command line's
// options have no box here.
constexpr std::pair<Option, int> OptionBoxes[] = {
    {Option::AlwaysMerge, IdAlwaysMerge}, {Option::OutputInDffFolder, IdOutputInDffFolder},
    {Option::CopyDayColours, IdCopyDayColours}, {Option::OneFileMode, IdOneFileMode}};
constexpr std::pair<Channel, int> ChannelFields[] = {
    {Channel::Red, IdFieldR}, {Channel::Green, IdFieldG}, {Channel::Blue, IdFieldB},
    {Channel::Alpha, IdFieldA}};

// The control of key; null where the table has none.
template <typename Key, size_t N>
HWND Find(const std::pair<Key, int> (&table)[N], Key key) {
    for (const auto& row : table)
        if (row.first == key) return GetDlgItem(MainWindowHandle, row.second);
    return nullptr;
}

}  // namespace

bool WindowSession::IsTicked(merge::Option option) {
    HWND box = Find(OptionBoxes, option);
    return box && SendMessageA(box, BM_GETCHECK, 0, 0) != 0;
}

void WindowSession::ColourFieldText(merge::Channel channel, char* buffer, int size) {
    GetWindowTextA(Find(ChannelFields, channel), buffer, size);
}

// The command line's scale and offset have no field here: colours as they are.
merge::ChannelAdjustment WindowSession::AdjustmentOf(merge::Channel) { return {}; }

// Lit rules are the command line's: the window has no field for them.
std::vector<merge::LitRule> WindowSession::LitRules() { return {}; }

void WindowSession::EnableOneFileMode(bool enabled) {
    EnableWindow(GetDlgItem(MainWindowHandle, IdOneFileMode), enabled ? TRUE : FALSE);
}

void WindowSession::AppendLog(const char* text) { ::AppendLog(text); }

// Windows' classic path length: 259 characters and the terminating zero.
bool WindowSession::PathFits(const char* path) { return Utf16Length(path) < MAX_PATH; }
