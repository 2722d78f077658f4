#include <windows.h>

#include "download/modsetup.h"

namespace modSetup {

// Attributes only: a file that another program holds open without sharing is still there.
bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace modSetup
