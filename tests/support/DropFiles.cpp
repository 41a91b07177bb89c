#include "DropFiles.h"

#include <shlobj.h>

#include <cstring>

namespace testsupport {

HDROP MakeDrop(const std::vector<std::string>& paths, POINT point) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& path : paths) size += path.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = FALSE;
    char* next = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        std::memcpy(next, path.c_str(), path.size() + 1);
        next += path.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

LRESULT DropFiles(HWND window, const std::vector<std::string>& paths) {
    return SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

}  // namespace testsupport
