// wininet_floor URL_LIST OUT_FOLDER: the platform's floor for the installer's downloads. Fetches every
// URL of the list (one a line) one after another through one WinINet session, with the flags the
// installer uses, streaming each body in 64 KiB reads into OUT_FOLDER\<n>; nothing else. Prints the
// count, the bytes, the time and its peak working set.
// wininet_floor --idle: prints the peak working set of a Win32 process that does nothing.
#include <windows.h>
#include <wininet.h>
// psapi.h needs the types windows.h defines.
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

namespace {

double PeakMiB() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

std::vector<std::wstring> ReadList(const wchar_t* path) {
    std::vector<std::wstring> urls;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            urls.emplace_back(line.begin(), line.end()); // the list is ASCII
    }
    return urls;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--idle") == 0) {
        std::printf("idle peak working set %.1f MiB\n", PeakMiB());
        return 0;
    }
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: wininet_floor URL_LIST OUT_FOLDER | wininet_floor --idle\n");
        return 2;
    }
    const std::vector<std::wstring> urls = ReadList(argv[1]);
    const ULONGLONG start = GetTickCount64();
    HINTERNET session = InternetOpenW(L"wininet_floor", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) {
        std::fwprintf(stderr, L"InternetOpenW: error %lu\n", GetLastError());
        return 1;
    }
    static char buffer[64 * 1024];
    unsigned long long total = 0;
    int failed = 0;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        HINTERNET request = InternetOpenUrlW(session, urls[i].c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI,
                                             0);
        if (!request) {
            ++failed;
            continue;
        }
        const std::wstring out = std::wstring(argv[2]) + L"\\" + std::to_wstring(i);
        HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD read = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
            DWORD written = 0;
            WriteFile(file, buffer, read, &written, nullptr);
            total += read;
        }
        CloseHandle(file);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    std::printf("floor: %zu urls (%d failed), %llu bytes in %.2f s, peak working set %.1f MiB\n", urls.size(),
                failed, total, seconds, PeakMiB());
    return failed == 0 ? 0 : 1;
}
