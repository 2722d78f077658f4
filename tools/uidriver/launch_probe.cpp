// launch_probe: stands in for the installed product in the window tests. It records how it was started
// (arguments, show command, working directory) in started.txt beside itself, then ends.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

// The command line without the program's own name.
std::wstring Arguments(const wchar_t* line) {
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == L'"')
            quoted = !quoted;
        else if (*line == L' ' && !quoted)
            break;
    }
    while (*line == L' ')
        ++line;
    return line;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, n);
    folder.erase(folder.find_last_of(L'\\'));
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    std::string record = "args=" + Utf8(Arguments(GetCommandLineW())) + "\nshow=" + std::to_string(show) +
                         "\ncwd=" + Utf8(cwd) + "\n";
    // Written whole, then renamed, so that a reader never sees half of it.
    std::wstring part = folder + L"\\started.part", done = folder + L"\\started.txt";
    HANDLE file =
        CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || !MoveFileExW(part.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    return 0;
}
