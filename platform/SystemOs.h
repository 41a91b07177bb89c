// The operating system this build runs on: the pipeline's seam, and what the
// command line needs besides, which each system's class offers as well:
//   SyncFileSystem  puts everything written to the file system that holds a
//                   path on the disk;
//   FullPath        makes a name relative to the working folder a full path;
//   ListFolder      the entries of a folder;
//   FileIdentity    a text that two paths give alike exactly when they name
//                   the same file (through links, or as hard links), or, for
//                   a file not made yet, the same name in the same folder.
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
