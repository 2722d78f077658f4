// wininet_floor URL_LIST OUT_FOLDER [CONNECTIONS]: the platform's floor for the installer's downloads.
// Fetches every URL of the list (one a line) through one WinINet session, with the flags the installer
// uses, streaming each body in 64 KiB reads into OUT_FOLDER\<n>; nothing else. With CONNECTIONS (1 to 8,
// default 1) that many threads take the URLs in list order, one request at a time each, so at most
// that many connections are busy at once. Prints the count, the bytes, the time and its peak working set.
// wininet_floor --idle: prints the peak working set of a Win32 process that does nothing.
#include <windows.h>
#include <wininet.h>
// psapi.h needs the types windows.h defines.
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/url_list.h"

namespace {

double PeakMiB() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

struct Work {
    HINTERNET session = nullptr;
    const std::vector<std::wstring>* urls = nullptr;
    std::wstring folder;
    std::atomic<std::size_t> next{0};
    std::atomic<unsigned long long> total{0};
    std::atomic<int> failed{0};
};

// One connection's loop: the next URL of the list until none is left.
void Fetch(Work& work) {
    auto buffer = std::make_unique<char[]>(64 * 1024);
    for (std::size_t i = work.next++; i < work.urls->size(); i = work.next++) {
        HINTERNET request = InternetOpenUrlW(work.session, (*work.urls)[i].c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI,
                                             0);
        if (!request) {
            ++work.failed;
            continue;
        }
        const std::wstring out = work.folder + L"\\" + std::to_wstring(i);
        HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        DWORD read = 0;
        while (InternetReadFile(request, buffer.get(), 64 * 1024, &read) && read > 0) {
            DWORD written = 0;
            WriteFile(file, buffer.get(), read, &written, nullptr);
            work.total += read;
        }
        CloseHandle(file);
        InternetCloseHandle(request);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--idle") == 0) {
        std::printf("idle peak working set %.1f MiB\n", PeakMiB());
        return 0;
    }
    const int connections = argc == 4 ? _wtoi(argv[3]) : 1;
    if ((argc != 3 && argc != 4) || connections < 1 || connections > 8) {
        std::fwprintf(stderr, L"usage: wininet_floor URL_LIST OUT_FOLDER [CONNECTIONS] | wininet_floor --idle\n");
        return 2;
    }
    const std::vector<std::wstring> urls = ReadUrlList(argv[1]);
    const ULONGLONG start = GetTickCount64();
    // WinINet keeps two connections to a server unless told otherwise.
    ULONG limit = static_cast<ULONG>(connections);
    InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &limit, sizeof limit);
    InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &limit, sizeof limit);
    Work work;
    work.session = InternetOpenW(L"wininet_floor", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!work.session) {
        std::fwprintf(stderr, L"InternetOpenW: error %lu\n", GetLastError());
        return 1;
    }
    work.urls = &urls;
    work.folder = argv[2];
    std::vector<std::thread> threads;
    for (int i = 1; i < connections; ++i)
        threads.emplace_back(Fetch, std::ref(work));
    Fetch(work);
    for (auto& thread : threads)
        thread.join();
    InternetCloseHandle(work.session);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    std::printf("floor: %zu urls (%d failed) on %d connection(s), %llu bytes in %.2f s, peak working set %.1f MiB\n",
                urls.size(), work.failed.load(), connections, work.total.load(), seconds, PeakMiB());
    return work.failed == 0 ? 0 : 1;
}
