// download_bench URL DESTINATION [SHA256]: one DownloadFile (checked against SHA256, 64 hex digits, when
// given), then its time, size, speed and the process's peak working set, to show that memory stays flat
// however large the file.
#include <windows.h>
// psapi.h needs the types windows.h defines.
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "download/modsetup.h"

namespace {

bool ParseDigest(const wchar_t* hex, zunor::Sha256Digest& digest) {
    if (std::wcslen(hex) != 64)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        unsigned value = 0;
        if (std::swscanf(hex + 2 * i, L"%2x", &value) != 1)
            return false;
        digest[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    zunor::TransferOptions options;
    if (argc == 4) {
        zunor::Sha256Digest digest{};
        if (!ParseDigest(argv[3], digest)) {
            std::fwprintf(stderr, L"not a SHA-256: %ls\n", argv[3]);
            return 2;
        }
        options.expectedSha256 = digest;
    }
    if (argc != 3 && argc != 4) {
        std::fwprintf(stderr, L"usage: download_bench URL DESTINATION [SHA256]\n");
        return 2;
    }
    const ULONGLONG start = GetTickCount64();
    const auto result = modSetup::DownloadFile(argv[1], argv[2], options);
    const ULONGLONG elapsed = GetTickCount64() - start;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    const double seconds = elapsed / 1000.0;
    const double mib = static_cast<double>(result.bytes) / (1024.0 * 1024.0);
    std::wprintf(L"DownloadFile%ls: %ls, status %d, %llu bytes in %.2f s (%.1f MiB/s), peak working set %.1f MiB\n",
                 options.expectedSha256 ? L" with SHA-256" : L"", result.ok() ? L"ok" : L"FAILED", result.status,
                 static_cast<unsigned long long>(result.bytes), seconds, seconds > 0 ? mib / seconds : 0.0,
                 memory.PeakWorkingSetSize / (1024.0 * 1024.0));
    return result.ok() ? 0 : 1;
}
