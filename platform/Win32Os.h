// The pipeline's operating system over kernel32: files, folders, paths,
// memory and the system's English error texts. Paths are texts of the
// process code page, UTF-8 where the program's manifest is honoured.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max stay usable beside <windows.h>
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "merge/Os.h"

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

// A path of the process code page as the wide calls take it: a full path in
// the \\?\ form, which the system takes as it is (trailing dots and
// blanks, device names, any length); other paths as they are.
std::wstring WidePath(const char* path);
// A wide path back in the process code page, without the \\?\ form that
// WidePath gives a drive's or a share's path; exact as ToCodePage says.
std::string NarrowPath(const wchar_t* path, bool* exact);

// Whether a path is in the \\?\ form, which names exactly what is written.
bool IsVerbatimPath(const char* path);

// Whether a file name is one that Windows keeps for a device (CON, NUL,
// COM1, COM¹, LPT1 and the like, in any case, with any extension and
// trailing dots or blanks).
bool IsDeviceName(const char* name);
// Whether a path names one of the system's devices: by its name, or in the
// device namespace (\\.\, or \\?\ other than to a drive, share or volume).
bool IsDevicePath(const char* path);

// A security descriptor for a new file whose access list lets this
// process's user alone in.
struct PrivateAccess {
    std::vector<BYTE> user, acl;
    SECURITY_DESCRIPTOR descriptor;
};
merge::Status MakePrivateAccess(PrivateAccess* access);

// The calls a replacement makes, as a test can stand in for them.
struct ReplaceCalls {
    decltype(&MoveFileExW) moveFile = MoveFileExW;
    // Of the temporary file's creation time and attributes, and of its
    // rename in one step.
    decltype(&SetFileInformationByHandle) setInformation = SetFileInformationByHandle;
};

// Gives file (open for WRITE_DAC and FILE_WRITE_ATTRIBUTES, named path) the
// access list, creation time and attributes of target (null: none), before
// it replaces it; where target does not exist, the access list that its
// folder gives a new file.
merge::Status TakeAccessOf(const ReplaceCalls& calls, HANDLE file, const std::wstring& path,
                           const wchar_t* target);

// Moves temporary over target in one step: by the rename that replaces a
// file in use where the system has it (Windows 10 and later), else by
// MoveFileEx; both leave both files as they were when they fail.
merge::Status ReplaceInOneStep(const ReplaceCalls& calls, const std::wstring& temporary,
                               const std::wstring& target);

struct Win32Os final : merge::Os {
    merge::Status OpenForReading(const char* path, rw::ByteStream** file) override;
    void Close(rw::ByteStream* file) override;
    merge::Status StampOf(rw::ByteStream* file, merge::FileStamp* stamp) override;
    merge::Status StampAt(const char* path, merge::FileStamp* stamp) override;
    merge::Status StampOfName(const char* path, merge::FileStamp* stamp) override;

    merge::Status MakeDirectory(const char* path, bool* made) override;
    merge::Status CreateNewFile(const char* path, merge::OutputFile** file) override;
    merge::Status Write(merge::OutputFile* file, const void* data, uint32_t size) override;
    merge::Status TakePermissionsOf(merge::OutputFile* file, const char* target) override;
    merge::Status CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                            merge::OutputFile* file, uint64_t* copied) override;
    merge::Status Flush(merge::OutputFile* file) override;
    merge::Status CloseOutput(merge::OutputFile* file) override;
    merge::Status Replace(const char* temporary, const char* target) override;
    merge::Status Exchange(const char* temporary, const char* target) override;
    merge::Status MoveNew(const char* temporary, const char* target) override;
    merge::Status SyncFolder(const char* folder) override;
    void Remove(const char* path) override;
    void RemoveFolder(const char* path) override;

    size_t NameStart(const char* path) override;
    merge::Status ResolveLinks(const char* path, std::string* resolved) override;

    uint8_t* AllocateZeroed(size_t size) override;
    void Release(uint8_t* block) override;

    merge::Status SyncFileSystem(const char* path) override;
    // Windows can flush files, not whole volumes (without administrator
    // rights): a batch flushes each file.
    bool SyncsWholeFileSystems() override { return false; }
    merge::Status FullPath(const char* name, std::string* full) override;
    merge::Status ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) override;
    char Separator() override { return '\\'; }
    bool NamesIgnoreCase() override { return true; }
    merge::Status Interrupted() override;

    ReplaceCalls calls;
};
