#include <windows.h>
#include <wininet.h>

#include "download/modsetup.h"

namespace modSetup {

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
        if (!DeleteUrlCacheEntryW(url.c_str()))
            return passes;
    }
}

} // namespace modSetup
