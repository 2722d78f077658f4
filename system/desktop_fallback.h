#pragma once
// The desktop path built from the logon name, for when the shell cannot tell where the desktop is.
#include <cstddef>
#include <string>
#include <string_view>

namespace zunor {

// Size of the space-filled buffer the logon name is read into.
inline constexpr std::size_t kUserNameBufferChars = 100;

// `buffer` is the name buffer as GetUserName left it: the name, its terminating NUL, then the spaces
// it was filled with (all spaces when the call failed). Spaces are trimmed at both ends and NULs
// dropped, so a name's inner spaces, and spaces before its NUL, stay. The profile root is fixed.
std::wstring DesktopPathFromUserBuffer(std::wstring_view buffer);

} // namespace zunor
