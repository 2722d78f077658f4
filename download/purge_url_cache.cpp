#include <windows.h>
#include <wininet.h>

#include <cwctype>
#include <memory>
#include <unordered_set>

#include "download/modsetup.h"
#include "system/loaded_on_use.h"

namespace modSetup {

namespace onUse = zunor::onUse;

namespace {

std::wstring Folded(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Every entry of the URL cache, by its address.
class CacheWalk {
public:
    CacheWalk() {
        for (int tries = 0; !find_ && tries < 2; ++tries) {
            DWORD size = size_;
            find_ = onUse::FindFirstUrlCacheEntryW(nullptr, Entry(), &size);
            if (!find_ && !Grown(size))
                break;
        }
        over_ = !find_;
    }
    ~CacheWalk() {
        if (find_)
            onUse::FindCloseUrlCache(find_);
    }
    CacheWalk(const CacheWalk&) = delete;
    CacheWalk& operator=(const CacheWalk&) = delete;

    // The current entry's address; nullptr when the walk is over.
    const wchar_t* Url() const { return over_ ? nullptr : Entry()->lpszSourceUrlName; }
    void Next() {
        for (int tries = 0; tries < 2; ++tries) {
            DWORD size = size_;
            if (onUse::FindNextUrlCacheEntryW(find_, Entry(), &size))
                return;
            if (!Grown(size))
                break;
        }
        over_ = true;
    }

private:
    INTERNET_CACHE_ENTRY_INFOW* Entry() const { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.get()); }
    // An entry that did not fit: the buffer takes the size the call asked for.
    bool Grown(DWORD size) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= size_)
            return false;
        buffer_ = std::make_unique<char[]>(size);
        size_ = size;
        return true;
    }

    DWORD size_ = 4096;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(size_);
    HANDLE find_ = nullptr;
    bool over_ = true;
};

} // namespace

int PurgeUrlCache(const std::wstring& url, const std::function<void()>& processMessages) {
    int passes = 0;
    for (;;) {
        ++passes;
        try {
            if (processMessages)
                processMessages();
        } catch (...) {
            // The window's trouble is not the purge's; the deletion still runs.
        }
        // Zero means no entry was removed, whatever the reason: that ends the purge.
        if (!onUse::DeleteUrlCacheEntryW(url.c_str()))
            return passes;
    }
}

int PurgeUrlCaches(const std::vector<std::wstring>& urls, const std::function<void()>& processMessages) {
    try {
        if (processMessages)
            processMessages();
    } catch (...) {
        // The window's trouble is not the purge's.
    }
    try {
        std::unordered_set<std::wstring> wanted;
        for (const std::wstring& url : urls)
            wanted.insert(Folded(url));
        // Deleted after the walk, not while it runs.
        std::vector<std::wstring> found;
        for (CacheWalk walk; walk.Url(); walk.Next()) {
            if (wanted.contains(Folded(walk.Url())))
                found.emplace_back(walk.Url());
        }
        int deleted = 0;
        for (const std::wstring& url : found)
            deleted += onUse::DeleteUrlCacheEntryW(url.c_str()) ? 1 : 0;
        return deleted;
    } catch (...) {
        return 0;
    }
}

} // namespace modSetup
