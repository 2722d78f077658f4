#include "app/install_log.h"

#include <windows.h>

#include <cstdio>

namespace zunor {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

FileRunLog::FileRunLog(const std::wstring& path)
    : file_(AdoptFileHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

void FileRunLog::Write(std::wstring_view step, std::wstring_view detail) {
    if (!file_) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    std::string line(stamp);
    line += ToUtf8(step);
    if (!detail.empty()) {
        line += ' ';
        line += ToUtf8(detail);
    }
    // Multi-line details (the final report) stay one entry: continuation lines are indented.
    std::string out;
    out.reserve(line.size() + 2);
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\r') continue;
        out.push_back(line[i]);
        if (line[i] == '\n') out += "    ";
    }
    out += "\r\n";
    DWORD written = 0;
    WriteFile(file_.get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

}  // namespace zunor
