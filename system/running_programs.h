#pragma once
#include <string>
#include <vector>

namespace zunor {
// Full paths of the programs (other than this one) that run from inside folder, found in a snapshot of
// the system's processes, and of those that the Restart Manager finds holding the folder's programs
// and libraries.
std::vector<std::wstring> RunningProgramsIn(const std::wstring& folder);
} // namespace zunor
