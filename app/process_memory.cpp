#include "app/process_memory.h"

#include <windows.h>
// psapi.h needs the types windows.h defines.
#include <psapi.h>

namespace zunor {

std::wstring PeakWorkingSetText() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    // K32GetProcessMemoryInfo lives in kernel32 from Windows 7 on; no psapi.dll needed.
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        return {};
    return L"peak working set " + std::to_wstring(memory.PeakWorkingSetSize / 1024) + L" KiB";
}

} // namespace zunor
