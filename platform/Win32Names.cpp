// Texts and paths between the process code page and the system's wide
// (UTF-16) calls, and the system's error texts.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Win32Os.h"

std::string SystemErrorText(DWORD code) {
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD englishUs = 0x0409;
    char* text = nullptr;
    DWORD length =
        FormatMessageA(flags, nullptr, code, englishUs, reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        // No text for this code in English: name the code rather than log nothing.
        char fallback[40];
        std::snprintf(fallback, sizeof fallback, "Unknown error %lu\r\n",
                      static_cast<unsigned long>(code));
        return fallback;
    }
    std::string result(text, length);
    LocalFree(text);
    return result;
}

merge::Status Win32Error(DWORD code) {
    merge::Problem problem = merge::Problem::Other;
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL)
        problem = merge::Problem::OutOfSpace;
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        problem = merge::Problem::Absent;
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) problem = merge::Problem::Exists;
    return merge::Status{true, code, SystemErrorText(code), problem};
}

std::string ToCodePage(const wchar_t* text, UINT codePage, bool* exact) {
    // The process's own code page by its number: UTF-8 (where the manifest
    // is honoured) takes neither the best-fit flag nor a default character.
    if (codePage == CP_ACP) codePage = GetACP();
    // UTF-8 holds every character; only a broken UTF-16 text fails there.
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL replaced = FALSE;
    int size = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr,
                                   utf8 ? nullptr : &replaced);
    *exact = size > 0 && !replaced;
    if (size == 0) {
        flags = 0;
        size = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, nullptr);
    }
    std::string result(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, flags, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
    return result;
}

size_t Utf16Length(const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    return units > 0 ? static_cast<size_t>(units) - 1 : std::strlen(text);
}

size_t NameStartIn(const char* path, UINT codePage) {
    size_t start = 0;
    for (size_t i = 0; path[i]; ++i) {
        const BYTE c = static_cast<BYTE>(path[i]);
        if (IsDBCSLeadByteEx(codePage, c) && path[i + 1]) {
            ++i;  // the trail byte may look like a separator; it is not one
        } else if (c == '\\' || c == '/') {
            start = i + 1;
        }
    }
    return start;
}

namespace {

// Whether each part of the path after from is a name: no "." or ".." part
// and no repeated separator, which the \\?\ form would take as names too.
bool PartsAreNames(const std::wstring& path, size_t from) {
    for (size_t at = from, end; at < path.size(); at = end + 1) {
        end = path.find(L'\\', at);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(at, end - at);
        if (part.empty() ? end < path.size() : part == L"." || part == L"..") return false;
    }
    return true;
}

}  // namespace

std::wstring WidePath(const char* path) {
    const int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    std::wstring wide(units > 1 ? static_cast<size_t>(units) - 1 : 0, L'\0');
    if (units > 1) MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], units);
    std::wstring full = wide;
    std::replace(full.begin(), full.end(), L'/', L'\\');
    const bool drive = full.size() >= 3 && full[1] == L':' && full[2] == L'\\';
    const bool share =
        full.size() >= 3 && full.compare(0, 2, L"\\\\") == 0 && full[2] != L'?' && full[2] != L'.';
    // Any other path goes to the system's own reading of it, as does one
    // with "." or ".." parts (which it resolves).
    if (drive && PartsAreNames(full, 3)) return L"\\\\?\\" + full;
    if (share && PartsAreNames(full, 2)) return L"\\\\?\\UNC\\" + full.substr(2);
    return wide;
}

std::string NarrowPath(const wchar_t* path, bool* exact) {
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0)
        return "\\" + ToCodePage(path + 7, CP_ACP, exact);
    // Only a drive's path comes back without its \\?\ form: WidePath gives
    // it that form again. Any other (a volume's) keeps it.
    const bool drive = std::wcsncmp(path, L"\\\\?\\", 4) == 0 && path[4] && path[5] == L':' &&
                       path[6] == L'\\';
    return ToCodePage(drive ? path + 4 : path, CP_ACP, exact);
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Where a path in the \\?\ form names a file: on a drive, a share or a
// volume. Anything else there is one of the system's devices.
bool NamesAFileOnADisk(const std::wstring& rest) {
    const bool drive = rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\';
    return drive || _wcsnicmp(rest.c_str(), L"UNC\\", 4) == 0 ||
           _wcsnicmp(rest.c_str(), L"Volume{", 7) == 0;
}

}  // namespace

bool IsVerbatimPath(const char* path) { return std::strncmp(path, "\\\\?\\", 4) == 0; }

bool IsDeviceName(const char* name) {
    const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    std::wstring base(units > 1 ? static_cast<size_t>(units) - 1 : 0, L'\0');
    if (units > 1) MultiByteToWideChar(CP_ACP, 0, name, -1, &base[0], units);
    base.resize(base.find(L'.') == std::wstring::npos ? base.size() : base.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (base == device) return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    // 1 to 9, and the superscript 1, 2 and 3, which Windows reserves too.
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' ||
           digit == L'\x00B3';
}

bool IsDevicePath(const char* path) {
    const std::wstring wide = WidePath(path);
    const bool deviceForm = wide.size() >= 4 && IsSeparator(wide[0]) && IsSeparator(wide[1]) &&
                            (wide[2] == L'.' || wide[2] == L'?') && IsSeparator(wide[3]);
    // Only \\?\ with its backslashes is taken as written; \\.\ (or either
    // with slashes) is the system's device namespace.
    if (deviceForm && !(wide.compare(0, 4, L"\\\\?\\") == 0 && NamesAFileOnADisk(wide.substr(4))))
        return true;
    return IsDeviceName(path + NameStartIn(path, CP_ACP));
}
