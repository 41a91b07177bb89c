// The replacement of a model on Windows: one rename over the target, the
// target's access list, creation time and attributes already on the new
// file, so that no step leaves the model's name without a whole model.
#include <cstring>
#include <vector>

#include "platform/Win32Os.h"

using merge::Status;

namespace {

// FILE_RENAME_INFO's flags (a union with its older BOOLEAN): replace a
// target, even one that another program has open, as POSIX renames do.
constexpr DWORD RenameFlags = 0x1 | 0x2;  // REPLACE_IF_EXISTS | POSIX_SEMANTICS
// FileRenameInfoEx, which older headers leave out.
constexpr auto RenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// The rename that replaces a file in use: false where the system has none
// (before Windows 10), or where it fails.
bool RenameByHandle(const ReplaceCalls& calls, const std::wstring& temporary,
                    const std::wstring& target) {
    HANDLE file = CreateFileW(temporary.c_str(), DELETE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    std::memcpy(buffer.data(), &RenameFlags, sizeof RenameFlags);
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.c_str(), nameBytes);
    const BOOL renamed = calls.setInformation(file, RenameInfoEx, info,
                                              static_cast<DWORD>(buffer.size()));
    CloseHandle(file);
    return renamed != FALSE;
}

}  // namespace

Status ReplaceInOneStep(const ReplaceCalls& calls, const std::wstring& temporary,
                        const std::wstring& target) {
    if (RenameByHandle(calls, temporary, target)) return {};
    if (calls.moveFile(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return Win32Error(GetLastError());
}

Status Win32Os::Replace(const char* temporary, const char* target) {
    const std::wstring to = WidePath(target);
    const DWORD attributes = GetFileAttributesW(to.c_str());
    // Windows refuses to replace a read-only file; so does this, everywhere.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return Win32Error(ERROR_ACCESS_DENIED);
    return ReplaceInOneStep(calls, WidePath(temporary), to);
}

// Windows swaps no two names in one step: the caller checks, then replaces.
Status Win32Os::Exchange(const char*, const char*) {
    Status status = Win32Error(ERROR_NOT_SUPPORTED);
    status.problem = merge::Problem::Unsupported;
    return status;
}

// Without MOVEFILE_REPLACE_EXISTING a move never replaces a file there.
Status Win32Os::MoveNew(const char* temporary, const char* target) {
    if (calls.moveFile(WidePath(temporary).c_str(), WidePath(target).c_str(),
                       MOVEFILE_WRITE_THROUGH))
        return {};
    return Win32Error(GetLastError());
}
