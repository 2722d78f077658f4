#include "system/product_launch.h"

#include <windows.h>

#include "system/unique_handles.h"
#include "common/texts.h"

namespace zunor {

bool LaunchProduct(const std::wstring& location, std::wstring* productPath, unsigned long* error) {
    std::wstring path = location + texts::kProgramFolder + L"\\" + texts::kProductExe;
    if (productPath) *productPath = path;
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION process{};
    // Without its folder the product cannot be there either; let the error say the file is missing.
    const wchar_t* workingDirectory =
        GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES ? nullptr : folder.c_str();
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDirectory,
                        &startup, &process)) {
        if (error) *error = GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace zunor
