#pragma once
// Where things are: a shell folder, the system directory, the full form of a path.
#include <optional>
#include <string>

namespace zunor {

// A shell folder by its CSIDL, without a trailing backslash.
std::optional<std::wstring> ShellFolderPath(int csidl);

// The system directory ("C:\Windows\system32"; what a 32-bit program on 64-bit Windows asks for is
// redirected to SysWOW64); empty when it cannot be had.
std::wstring QuerySystemDirectory();

// GetFullPathName's form of path (made absolute, "." and ".." resolved, nothing looked up on disk);
// empty when it cannot be had.
std::wstring FullPathOf(const std::wstring& path);

} // namespace zunor
