#include "system/known_folder.h"

#include <windows.h>

#include <shlobj.h>

namespace zunor {

std::optional<std::wstring> ShellFolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == L'\0')
        return std::nullopt;
    std::wstring folder(path);
    // Callers append "\name"; a root such as "C:\" keeps its backslash.
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

std::wstring QuerySystemDirectory() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

std::wstring FullPathOf(const std::wstring& path) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) {
        return {};
    }
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(length);
    return full;
}

} // namespace zunor
