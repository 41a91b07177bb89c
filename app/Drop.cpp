#include "app/Drop.h"

#include <shellapi.h>

#include <vector>

#include "app/WindowPlatform.h"

merge::DropSequence Sequence;

void HandleDrop(HDROP drop) {
    // Asked for its length first, so that a long path arrives whole: the
    // pipeline refuses a path that does not fit, where a cut one could name
    // another file.
    UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    std::vector<char> path(length + 1, '\0');
    DragQueryFileA(drop, 0, path.data(), length + 1);
    DragFinish(drop);
    WindowPlatform platform;
    merge::HandleDroppedPath(Sequence, platform, path.data());
}
