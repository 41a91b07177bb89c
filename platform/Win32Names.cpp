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

merge::Status Win32Error(DWORD code) { return merge::Status{true, code, SystemErrorText(code)}; }

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
    if (std::wcsncmp(path, L"\\\\?\\", 4) == 0) path += 4;
    return ToCodePage(path, CP_ACP, exact);
}

bool IsDeviceName(const char* name) {
    std::string base(name, std::strcspn(name, "."));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}
