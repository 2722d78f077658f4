// download_bench URL DESTINATION: one DownloadFile, then its time, size, speed and the process's peak
// working set, to show that memory stays flat however large the file.
#include <windows.h>
// psapi.h needs the types windows.h defines.
#include <psapi.h>

#include <cstdio>

#include "download/modsetup.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: download_bench URL DESTINATION\n");
        return 2;
    }
    const ULONGLONG start = GetTickCount64();
    const auto result = modSetup::DownloadFile(argv[1], argv[2]);
    const ULONGLONG elapsed = GetTickCount64() - start;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    const double seconds = elapsed / 1000.0;
    const double mib = static_cast<double>(result.bytes) / (1024.0 * 1024.0);
    std::wprintf(
        L"DownloadFile: %ls, status %d, %llu bytes in %.2f s (%.1f MiB/s), peak working set %.1f MiB\n",
        result.ok() ? L"ok" : L"FAILED", result.status, static_cast<unsigned long long>(result.bytes),
        seconds, seconds > 0 ? mib / seconds : 0.0, memory.PeakWorkingSetSize / (1024.0 * 1024.0));
    return result.ok() ? 0 : 1;
}
