#include "app/console_output.h"

#include <windows.h>

#include "app/install_log.h"

namespace zunor {

ConsoleOutput::ConsoleOutput() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    isConsole_ = GetFileType(out) == FILE_TYPE_CHAR && GetConsoleMode(out, &mode);
    handle_ = out;
}

void ConsoleOutput::Print(std::wstring_view line) {
    if (!handle_) return;
    std::wstring text(line);
    text += L"\r\n";
    DWORD written = 0;
    if (isConsole_) {
        WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        std::string bytes = ToUtf8(text);
        WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

}  // namespace zunor
