#include "system/setings.h"

#include <windows.h>

namespace Setings {

std::wstring IniFilePath;

bool WriteSetting(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), IniFilePath.c_str()) !=
           FALSE;
}

} // namespace Setings
