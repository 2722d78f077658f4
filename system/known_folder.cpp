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

} // namespace zunor
