#pragma once
#include <string>

namespace zunor {
// Starts install location + "zunor2021\Zunor2021VK.exe" maximised and active, without waiting for it.
// The location is used as it stands. On failure returns false with the system's error code.
bool LaunchProduct(const std::wstring& location, std::wstring* productPath, unsigned long* error);
}  // namespace zunor
