// seed_url_cache URL FILE: puts FILE's bytes into the WinINet URL cache as a fresh, unexpired copy
// of URL, as an earlier run (or a browser) could have left it; then reads the entry back and prints
// "cached <bytes>". Lets a test show that the installer never takes a listing from the cache.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: seed_url_cache URL FILE\n");
        return 2;
    }
    const wchar_t* url = argv[1];
    wchar_t cached[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url, 0, L"html", cached, 0)) {
        std::fwprintf(stderr, L"CreateUrlCacheEntryW: error %lu\n", GetLastError());
        return 1;
    }
    if (!CopyFileW(argv[2], cached, FALSE)) {
        std::fwprintf(stderr, L"CopyFileW: error %lu\n", GetLastError());
        return 1;
    }
    // A day from now: any reader that trusted the cache would take this copy as current.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += 24ULL * 3600 * 10000000;
    FILETIME expires{t.LowPart, t.HighPart};
    const wchar_t headers[] = L"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    if (!CommitUrlCacheEntryW(url, cached, expires, now, NORMAL_CACHE_ENTRY, const_cast<wchar_t*>(headers),
                              static_cast<DWORD>(wcslen(headers)), L"html", nullptr)) {
        std::fwprintf(stderr, L"CommitUrlCacheEntryW: error %lu\n", GetLastError());
        return 1;
    }
    DWORD size = 0;
    GetUrlCacheEntryInfoW(url, nullptr, &size);
    std::vector<char> info(size ? size : sizeof(INTERNET_CACHE_ENTRY_INFOW));
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(info.data());
    if (!GetUrlCacheEntryInfoW(url, entry, &size)) {
        std::fwprintf(stderr, L"GetUrlCacheEntryInfoW: error %lu\n", GetLastError());
        return 1;
    }
    std::printf("cached %lu\n", entry->dwSizeLow);
    return 0;
}
