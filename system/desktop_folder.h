#pragma once
// The current user's desktop folder, where the desktop shortcut goes.
#include <string>

namespace zunor {

// The shell's desktop directory; only when the shell cannot tell, the path built from the logon name
// (DesktopFallbackDirectory). No trailing backslash.
std::wstring getDesktopDirectory();

// "C:\Documents and Settings\<logon name>\Desktop", the name as GetUserName gives it.
std::wstring DesktopFallbackDirectory();

} // namespace zunor
