// The operating system this build runs on, as the pipeline and the batch
// use it (merge/Os.h).
#pragma once

#ifdef _WIN32
#include "platform/Win32Os.h"
using SystemOs = Win32Os;
#else
#include "platform/PosixOs.h"
using SystemOs = PosixOs;
#endif
