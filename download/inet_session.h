#pragma once
// The one WinINet session of the process. Created on first use and kept, so that the connection to
// the server stays open between requests.
#include <windows.h>
#include <wininet.h>

#include "download/timeouts.h"

namespace modSetup::detail {

// The session handle, or nullptr with the system's error code in *error.
HINTERNET Session(DWORD* error);

// Sets the current time limits on a session or request handle.
void ApplyTimeouts(HINTERNET handle);

} // namespace modSetup::detail
