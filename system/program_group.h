#pragma once
// The Start-menu program group folder for all users.
#include <string>

namespace zunor {

// The shell's common programs folder + "\Brantovik"; the fixed all-users path when the shell cannot
// tell.
std::wstring ProgramGroupFolder();

} // namespace zunor
