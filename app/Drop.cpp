#include "app/Drop.h"

#include <shellapi.h>

#include <string>

#include "app/WindowSession.h"
#include "platform/Win32Os.h"

merge::DropSequence Sequence;

void HandleDrop(HDROP drop) {
    // The wide name, asked for its length first, so that the path arrives
    // whole and is never mapped to a look-alike name: the pipeline refuses a
    // path that does not fit or that the code page cannot hold, where a cut
    // or approximated one could name another file.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring wide(length + 1, L'\0');
    DragQueryFileW(drop, 0, &wide[0], length + 1);
    DragFinish(drop);
    bool exact = true;
    const std::string path = ToCodePage(wide.c_str(), CP_ACP, &exact);
    Win32Os os;
    WindowSession session;
    // The window has no count of models to keep: the log has said what came of it.
    (void)merge::HandleDroppedPath(Sequence, os, session, path.c_str(),
                                   exact ? merge::PathForm::Exact
                                         : merge::PathForm::Approximated);
}
