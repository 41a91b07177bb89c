// The platform interface over kernel32: files, memory and the system's error
// texts. The controls and the log are left to the program that owns them (the
// window program, a console program), so nothing here depends on a window.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max stay usable beside <windows.h>
#endif
#include <windows.h>

#include <string>

#include "merge/Platform.h"

// The system's English text for an error code, ending in CR LF; a fallback
// naming the code when the system has no text for it.
std::string SystemErrorText(DWORD code);

struct Win32Platform : merge::Platform {
    rw::ByteStream* OpenForReading(const char* path) override;
    void Close(rw::ByteStream* file) override;

    void MakeDirectory(const char* path) override;
    merge::OutputFile* CreateNewFile(const char* path) override;
    bool Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    bool CloseOutput(merge::OutputFile* file) override;
    bool MoveFileOver(const char* from, const char* to) override;
    void RemoveFile(const char* path) override;

    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    std::string LastErrorText() override;

protected:
    ~Win32Platform() = default;
};
