// The replacement of a model on Windows. ReplaceFile keeps the target's
// access list, creation time and streams; given a backup name beside the
// target, its documented failures leave the target's old bytes under one
// name or the other, and this puts a whole model back under the target's
// name in every case it can, or keeps both files and says where.
#include "merge/Messages.h"
#include "platform/Win32Os.h"

using merge::Status;

namespace {

// The attributes a program may set; the others are the system's.
constexpr DWORD SettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr int BackupTries = 8;

// Which file a name leads to now (0 for none): a name that the target no
// longer bears may lead to another file whose name differs only in case.
uint64_t FileAt(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    const bool known =
        file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &information);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!known) return 0;
    return uint64_t{information.dwVolumeSerialNumber} << 48 ^
           (uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow);
}

// A new, empty file beside the temporary one for ReplaceFile to move the
// target to, so that no other file is ever overwritten as its backup; empty
// when no name is free.
std::wstring ReserveBackup(const ReplaceCalls& calls, const std::wstring& temporary) {
    std::wstring backup = temporary;
    for (int k = 0; k < BackupTries; ++k) {
        backup += L'~';
        HANDLE file = calls.createFile(backup.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        CloseHandle(file);
        return backup;
    }
    return L"";
}

// Once the merged model bears the target's name: the target's attributes,
// where the way it got there did not keep them (a move; Wine's ReplaceFile),
// put back. The model is replaced whatever comes of that: a failure is only
// told, in an ok status.
Status KeepAttributes(const ReplaceCalls& calls, const std::wstring& target, DWORD attributes) {
    const DWORD now = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || now == INVALID_FILE_ATTRIBUTES ||
        (now & SettableAttributes) == (attributes & SettableAttributes) ||
        calls.setAttributes(target.c_str(), attributes & SettableAttributes))
        return {};
    const Status failed = Win32Error(GetLastError());
    return Status{false, failed.code, failed.text};
}

// Both files kept (or the merged one alone, where no backup was made and
// the model is gone): the failure's text, and where each model is.
Status Kept(const Status& failed, const std::wstring& backup, const std::wstring& temporary) {
    bool exact = true;
    Status kept = failed;
    if (backup.empty())
        kept.text += merge::text::KeptMergedOnly;
    else
        kept.text += merge::text::KeptBefore + NarrowPath(backup.c_str(), &exact) +
                     merge::text::KeptBetween;
    kept.text += NarrowPath(temporary.c_str(), &exact) + merge::text::KeptAfter;
    return kept;
}

// Whether another file in the target's folder bears its name in another
// case (a folder whose names differ by case, or Wine): the name, once free,
// may then lead to that other file, so the target must keep it throughout.
bool HasCaseTwin(const std::wstring& target) {
    const size_t name = target.find_last_of(L'\\') + 1;
    std::wstring pattern = target;
    pattern.back() = L'?';  // matched without regard to case
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    int alike = 0;
    do {
        alike += CompareStringOrdinal(found.cFileName, -1, target.c_str() + name, -1, TRUE) ==
                 CSTR_EQUAL;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return alike > 1;
}

}  // namespace

Status ReplaceKeepingAModel(const ReplaceCalls& calls, const std::wstring& temporary,
                            const std::wstring& target, bool* temporaryKept) {
    *temporaryKept = false;
    const uint64_t replaced = FileAt(target);
    const std::wstring backup = ReserveBackup(calls, temporary);
    const wchar_t* backupName = backup.empty() ? nullptr : backup.c_str();
    if (calls.replaceFile(target.c_str(), temporary.c_str(), backupName, 0, nullptr, nullptr)) {
        if (backupName) DeleteFileW(backupName);
        return {};
    }
    const Status failed = Win32Error(GetLastError());
    // 1175, 1176 with a backup, and the refusals: the target is untouched,
    // and the backup is still the empty file reserved for it.
    if (FileAt(target) == replaced) {
        if (backupName) DeleteFileW(backupName);
        return failed;
    }
    // 1177 (the target moved to the backup), or 1176 without a backup (the
    // target gone): the merged model takes the free name, or else the old
    // one goes back to it. Never over a file that is there: under a name
    // that differs only in case, another model may be.
    if (calls.moveFile(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        if (backupName) DeleteFileW(backupName);
        return {};
    }
    if (backupName && calls.moveFile(backupName, target.c_str(), MOVEFILE_WRITE_THROUGH))
        return failed;
    *temporaryKept = true;
    return Kept(failed, backup, temporary);
}

Status Win32Os::Replace(const char* temporary, const char* target) {
    const std::wstring from = WidePath(temporary), to = WidePath(target);
    const DWORD attributes = GetFileAttributesW(to.c_str());
    Status status;
    bool temporaryKept = false;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Nothing to replace: a plain move, never over a file that appeared.
        if (!calls.moveFile(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
            status = Win32Error(GetLastError());
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        // Windows refuses to replace a read-only file; so does this, everywhere.
        status = Win32Error(ERROR_ACCESS_DENIED);
    } else if (HasCaseTwin(to)) {
        // Moved straight over the file of that very name, which never leaves
        // it (with the access list it took from the target).
        if (!calls.moveFile(from.c_str(), to.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            status = Win32Error(GetLastError());
    } else {
        status = ReplaceKeepingAModel(calls, from, to, &temporaryKept);
    }
    if (status.ok()) return KeepAttributes(calls, to, attributes);
    if (!temporaryKept) DeleteFileW(from.c_str());
    return status;
}
