#pragma once
#include <string>

namespace zunor {
// "major.minor.build" of a program file's version resource (the fourth part too when it is not 0);
// empty when the file has no version resource.
std::wstring FileVersion(const std::wstring& path);
} // namespace zunor
