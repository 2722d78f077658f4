#include "system/setings.h"

#include <windows.h>

namespace Setings {

std::wstring IniFilePath;

bool WriteSetting(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), IniFilePath.c_str()) !=
           FALSE;
}

bool AnsiHolds(const std::wstring& text) {
    if (text.empty())
        return true;
    const int units = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), units, bytes.data(), size, nullptr, nullptr);
    const int back = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (back != units)
        return false;
    std::wstring read(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, read.data(), back);
    return read == text;
}

} // namespace Setings
