// A file drop made in this process exactly as the shell makes one: a movable
// global block holding a DROPFILES header and the paths, each NUL-terminated,
// with one more NUL at the end. DragQueryFileA reads it and DragFinish frees it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// A new drop of ANSI paths at a point in the client area; the receiver of
// WM_DROPFILES owns it and releases it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths, POINT point = {20, 200});

// Sends WM_DROPFILES with a new drop of paths to window and returns its answer.
LRESULT DropFiles(HWND window, const std::vector<std::string>& paths);

}  // namespace testsupport
