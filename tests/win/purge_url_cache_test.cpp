// PurgeUrlCache: one message step before every deletion attempt, repeated while deletions succeed.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <stdexcept>
#include <vector>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

bool CacheHas(const std::wstring& url) {
    DWORD size = 0;
    if (GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size))
        return true;
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// Puts an entry for url into the URL cache, as a browser visit would.
bool AddCacheEntry(const std::wstring& url) {
    wchar_t file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url.c_str(), 0, L"htm", file, 0))
        return false;
    if (!WriteBytes(file, "<html>cached listing</html>"))
        return false;
    FILETIME never{};
    const wchar_t headers[] = L"HTTP/1.1 200 OK\r\n\r\n";
    return CommitUrlCacheEntryW(url.c_str(), file, never, never, NORMAL_CACHE_ENTRY,
                                const_cast<wchar_t*>(headers), static_cast<DWORD>(wcslen(headers)), nullptr,
                                nullptr);
}

std::wstring FreshUrl() {
    return L"https://localhost:18443/zunor/purge-" + UniqueTag() + L".dat";
}

TEST(PurgeUrlCache, UrlWithoutEntryTakesOnePass) {
    const std::wstring url = FreshUrl();
    ASSERT_FALSE(CacheHas(url));
    int messageSteps = 0;

    EXPECT_EQ(modSetup::PurgeUrlCache(url, [&] { ++messageSteps; }), 1);
    EXPECT_EQ(messageSteps, 1);
}

TEST(PurgeUrlCache, RemovedEntryTakesTwoPassesWithMessagesFirst) {
    const std::wstring url = FreshUrl();
    ASSERT_TRUE(AddCacheEntry(url)) << "error " << GetLastError();
    ASSERT_TRUE(CacheHas(url));
    std::vector<bool> entryPresentAtMessageStep;

    int passes = modSetup::PurgeUrlCache(url, [&] { entryPresentAtMessageStep.push_back(CacheHas(url)); });

    EXPECT_EQ(passes, 2);
    // The window had its turn before the entry went, and again before the attempt that found none.
    EXPECT_EQ(entryPresentAtMessageStep, (std::vector<bool>{true, false}));
    EXPECT_FALSE(CacheHas(url));
}

TEST(PurgeUrlCache, ThrowingMessageStepDoesNotStopThePurge) {
    const std::wstring url = FreshUrl();
    ASSERT_TRUE(AddCacheEntry(url));

    int passes = modSetup::PurgeUrlCache(url, [] { throw std::runtime_error("window trouble"); });

    EXPECT_EQ(passes, 2);
    EXPECT_FALSE(CacheHas(url));
}

} // namespace
} // namespace zunor::test
