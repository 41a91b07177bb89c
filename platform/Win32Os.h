// The pipeline's operating system over kernel32: files, folders, paths,
// memory and the system's English error texts. Paths are texts of the
// process code page, UTF-8 where the program's manifest is honoured.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max stay usable beside <windows.h>
#endif
#include <windows.h>

#include <atomic>
#include <string>

#include <vector>

#include "merge/Os.h"

struct FolderEntry;

// The system's English text for an error code, ending in CR LF; a fallback
// naming the code when the system has no text for it.
std::string SystemErrorText(DWORD code);
merge::Status Win32Error(DWORD code);

// A text from the system's wide (UTF-16) interfaces in the given code page,
// the process's own (CP_ACP) in the program. exact is false when the code
// page cannot hold some character: it is then replaced by "?", never by a
// look-alike that could name another file.
std::string ToCodePage(const wchar_t* text, UINT codePage, bool* exact);

// The length of a text of the process code page in UTF-16 code units: a
// path's length as Windows counts it.
size_t Utf16Length(const char* text);

// Index of the file name in path, in the given code page: a separator is a
// character of its own, never the second byte of a double-byte character.
size_t NameStartIn(const char* path, UINT codePage);

struct Win32Os final : merge::Os {
    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;

    merge::Status MakeDirectory(const char* path) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override;
    merge::Status Flush(merge::OutputFile* file) override;
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status SyncFolder(const char* folder) override;
    void Remove(const char* path) override;

    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;

    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    // For the command line (platform/SystemOs.h says what they do).
    merge::Status SyncFileSystem(const char* path);
    merge::Status FullPath(const char* name, std::string* full);
    merge::Status ListFolder(const char* path, std::vector<FolderEntry>* entries);
    std::string FileIdentity(const char* path);

    // Windows can flush files, not whole volumes (without administrator
    // rights): a batch flushes each file.
    static constexpr bool SyncsWholeFileSystems = false;

    // Once set, no new file is made and nothing is replaced any more (an
    // interrupted run): those calls fail with ERROR_OPERATION_ABORTED.
    const std::atomic<bool>* stop = nullptr;
};
