// PurgeUrlCache: one message step before every deletion attempt, repeated while deletions succeed.
// PurgeUrlCaches: many addresses in one pass over the cache.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <cwctype>
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

TEST(PurgeUrlCaches, OnePassTakesEveryListedEntryAndLeavesTheOthers) {
    const std::wstring first = FreshUrl();
    const std::wstring second = FreshUrl();
    const std::wstring other = FreshUrl();
    for (const auto& url : {first, second, other})
        ASSERT_TRUE(AddCacheEntry(url)) << "error " << GetLastError();
    std::wstring shouted = second;
    for (auto& c : shouted)
        c = static_cast<wchar_t>(towupper(c));
    bool entriesThereAtMessageStep = false;

    const int deleted = modSetup::PurgeUrlCaches({first, shouted, FreshUrl()},
                                                 [&] { entriesThereAtMessageStep = CacheHas(first) && CacheHas(second); });

    EXPECT_EQ(deleted, 2);
    EXPECT_TRUE(entriesThereAtMessageStep) << "the window has its turn before the pass";
    EXPECT_FALSE(CacheHas(first));
    // The case of the letters is not looked at: a near namesake purged is harmless, a stale copy kept is not.
    EXPECT_FALSE(CacheHas(second));
    EXPECT_TRUE(CacheHas(other));
    modSetup::PurgeUrlCache(other, [] {});
}

} // namespace
} // namespace zunor::test
