#pragma once
#include <windows.h>

namespace zunor {
// The program: reads the command line, then shows the window or runs unattended. Returns the exit code.
int RunApplication(HINSTANCE instance, int showCommand);
}  // namespace zunor
