#include "system/loaded_on_use.h"

#include <string>

#include "system/known_folder.h"

namespace zunor {

void LimitLibrarySearchToSystem() {
    // The current folder leaves the search wherever the next call is missing.
    SetDllDirectoryW(L"");
    // Windows 8, and 7 with KB2533623: every load by name, the system's own for this process too.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

namespace {

// What a library loads for itself later, by name (its delayed imports: the TLS provider and the
// certificates for WinINet), loaded beforehand from the system directory. A system whose own loads are
// not limited (Windows 7 without KB2533623, and Wine, whose delayed imports ignore the limit) would look
// for them beside the program first.
struct Companions {
    const wchar_t* library;
    const wchar_t* companions[3];
};
constexpr Companions kCompanions[] = {
    {L"wininet.dll", {L"crypt32.dll", L"secur32.dll", nullptr}},
};

HMODULE LoadOne(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    // A system without the search flags: the full path, and the library's own imports looked for in its
    // folder first.
    const std::wstring folder = QuerySystemDirectory();
    if (folder.empty())
        return nullptr;
    const std::wstring path = folder + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
    for (const Companions& entry : kCompanions) {
        if (lstrcmpiW(entry.library, name) != 0)
            continue;
        for (const wchar_t* companion : entry.companions) {
            if (companion && !GetModuleHandleW(companion))
                LoadOne(companion); // held for the rest of the process, like the library itself
        }
    }
    return LoadOne(name);
}

} // namespace zunor
