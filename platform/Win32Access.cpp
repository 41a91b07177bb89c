// Who may open a merged model on Windows: its temporary file lets its owner
// alone in until it has the access list of the model it replaces.
#include <aclapi.h>

#include "platform/Win32Os.h"

using merge::Status;

Status MakePrivateAccess(PrivateAccess* access) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return Win32Error(GetLastError());
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    access->user.resize(size);
    const BOOL known = GetTokenInformation(token, TokenUser, access->user.data(), size, &size);
    const DWORD error = GetLastError();
    CloseHandle(token);
    if (!known) return Win32Error(error);
    PSID user = reinterpret_cast<TOKEN_USER*>(access->user.data())->User.Sid;
    access->acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user));
    PACL acl = reinterpret_cast<PACL>(access->acl.data());
    SECURITY_DESCRIPTOR* descriptor = &access->descriptor;
    // Protected: nothing that the folder passes on to its files is added.
    const bool made =
        InitializeAcl(acl, static_cast<DWORD>(access->acl.size()), ACL_REVISION) &&
        AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) &&
        InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
        SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    return made ? Status{} : Win32Error(GetLastError());
}

namespace {

// Whether the file's volume keeps access lists: FAT keeps none, and refuses
// to be given one.
bool KeepsAccessLists(HANDLE file) {
    DWORD flags = 0;
    return !GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

// Nothing to replace: the access list that the folder gives its new files,
// which the system works out from the folder's own (by the file's path).
Status TakeFolderDefault(const std::wstring& path) {
    ACL empty;
    if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return Win32Error(GetLastError());
    const DWORD error = SetNamedSecurityInfoW(
        const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, &empty,
        nullptr);
    return error == ERROR_SUCCESS ? Status{} : Win32Error(error);
}

// from's access list given to file: its own entries, and the inherited ones
// only while it inherits.
DWORD CopyAccessList(HANDLE from, HANDLE file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    DWORD error = GetSecurityInfo(from, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &acl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION inherits = (control & SE_DACL_PROTECTED)
                                              ? PROTECTED_DACL_SECURITY_INFORMATION
                                              : UNPROTECTED_DACL_SECURITY_INFORMATION;
    error = SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inherits, nullptr,
                            nullptr, acl, nullptr);
    LocalFree(descriptor);
    return error;
}

}  // namespace

Status TakeAccessOf(const ReplaceCalls& calls, HANDLE file, const std::wstring& path,
                    const wchar_t* target) {
    const bool lists = KeepsAccessLists(file);
    HANDLE from = target ? CreateFileW(target, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr)
                         : INVALID_HANDLE_VALUE;
    if (from == INVALID_HANDLE_VALUE) {
        const DWORD error = target ? GetLastError() : ERROR_FILE_NOT_FOUND;
        if (error != ERROR_FILE_NOT_FOUND) return Win32Error(error);
        return lists ? TakeFolderDefault(path) : Status{};
    }
    FILE_BASIC_INFO basic{};
    DWORD error = lists ? CopyAccessList(from, file) : ERROR_SUCCESS;
    if (error == ERROR_SUCCESS &&
        !GetFileInformationByHandleEx(from, FileBasicInfo, &basic, sizeof basic))
        error = GetLastError();
    CloseHandle(from);
    if (error != ERROR_SUCCESS) return Win32Error(error);
    // The creation time and the attributes a program may set (hidden,
    // system, ...) too: a rename keeps the moved file's own. Zero times and
    // attributes stay as they are.
    constexpr DWORD Settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO taken{};
    taken.CreationTime = basic.CreationTime;
    taken.FileAttributes = basic.FileAttributes & Settable;
    return calls.setInformation(file, FileBasicInfo, &taken, sizeof taken)
               ? Status{}
               : Win32Error(GetLastError());
}
