// The operating system this build runs on: the pipeline's seam, and what the
// command line needs besides (folders to list, full paths, the identity of
// a file, a flush of a whole file system).
#pragma once

#include <string>

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // a folder itself, not a link to one
    bool exact = true;      // false: the code page could not hold the name
};

#ifdef _WIN32
#include "platform/Win32Os.h"
using SystemOs = Win32Os;
#else
#include "platform/PosixOs.h"
using SystemOs = PosixOs;
#endif
