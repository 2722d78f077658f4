#pragma once
// A shell folder by its CSIDL, without a trailing backslash.
#include <optional>
#include <string>

namespace zunor {

std::optional<std::wstring> ShellFolderPath(int csidl);

} // namespace zunor
