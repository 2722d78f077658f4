#pragma once
#include <string>

namespace zunor {
// Starts the program at path, maximised, in its own folder, through the desktop shell: the shell's own
// process starts it, with the desktop user's rights, as when the user opens it; never with this
// program's (administrator's) token. False where there is no desktop shell to ask (a service, a server
// without one) or it refused: *step names the step that failed and *error its HRESULT.
bool LaunchThroughShell(const std::wstring& path, std::wstring* step, long* error);
} // namespace zunor
