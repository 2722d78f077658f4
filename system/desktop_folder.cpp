#include "system/desktop_folder.h"

#include <windows.h>

#include <shlobj.h>

#include "system/desktop_fallback.h"
#include "system/known_folder.h"

namespace zunor {

std::wstring DesktopFallbackDirectory() {
    std::wstring buffer(kUserNameBufferChars, L' ');
    DWORD size = static_cast<DWORD>(buffer.size());
    GetUserNameW(buffer.data(), &size); // on failure the spaces stay and the name is empty
    return DesktopPathFromUserBuffer(buffer);
}

std::wstring getDesktopDirectory() {
    if (auto folder = ShellFolderPath(CSIDL_DESKTOPDIRECTORY))
        return *folder;
    return DesktopFallbackDirectory();
}

} // namespace zunor
