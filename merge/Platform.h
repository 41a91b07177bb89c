// Everything the merge pipeline needs from the world: files, the controls
// that hold the options, the log, and memory. One implementation per platform
// (Win32 in the window program, POSIX for the native build) and an in-memory
// one for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rwstream/ByteStream.h"

namespace merge {

// A file open for writing; opaque to the pipeline.
struct OutputFile;

struct Platform {
    // Opens an existing file for reading, shared with other readers only.
    // Null on failure, with the system's last error set.
    virtual rw::ByteStream* OpenForReading(const char* path) = 0;
    virtual void Close(rw::ByteStream* file) = 0;

    // Creates a directory; failure (including "already exists") is not
    // reported, it shows when a file is created in it.
    virtual void MakeDirectory(const char* path) = 0;
    // Creates a new file for writing; fails, and never replaces, when the
    // path already exists.
    virtual OutputFile* CreateNewFile(const char* path) = 0;
    // True only when all bytes were written.
    virtual bool Write(OutputFile* file, const void* data, uint32_t size) = 0;
    // Closes the file; false when what was written could not be committed.
    virtual bool CloseOutput(OutputFile* file) = 0;
    // Moves the file at from over the file at to (which may not exist yet).
    // Fails, leaving to untouched, when to is read-only or in use.
    virtual bool MoveFileOver(const char* from, const char* to) = 0;
    virtual void RemoveFile(const char* path) = 0;

    // A zero-filled block; null when it cannot be allocated.
    virtual uint8_t* AllocateZeroed(size_t size) = 0;
    virtual void Release(uint8_t* block) = 0;

    // The options, read from the window's controls at the moment of use.
    virtual bool IsChecked(int controlId) = 0;
    // Copies the control's text into buffer, cut to size - 1 characters and
    // NUL-terminated, like GetDlgItemTextA.
    virtual void ControlText(int controlId, char* buffer, int size) = 0;
    virtual void EnableControl(int controlId, bool enabled) = 0;

    // Appends a text at the end of the log; no line break is added.
    virtual void AppendLog(const char* text) = 0;
    // The system's English text for the last error, ending in CR LF.
    virtual std::string LastErrorText() = 0;

protected:
    ~Platform() = default;
};

// The system's text for the last error, after prefix and "Error: ". Call it
// directly after the failing call.
void ReportLastError(Platform& platform, const char* prefix);

}  // namespace merge
