#pragma once
// One RAII owner per kind of Windows handle: move-only, explicit get(), no implicit conversion.
#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <memory>
#include <type_traits>

#include "system/loaded_on_use.h"

namespace zunor {

namespace detail {
struct HandleCloser {
    void operator()(HANDLE h) const noexcept {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
struct HkeyCloser {
    void operator()(HKEY k) const noexcept {
        if (k) RegCloseKey(k);
    }
};
struct HinternetCloser {
    void operator()(HINTERNET h) const noexcept {
        if (h)
            onUse::InternetCloseHandle(h);
    }
};
struct HmoduleCloser {
    void operator()(HMODULE m) const noexcept {
        if (m) FreeLibrary(m);
    }
};
}  // namespace detail

using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, detail::HandleCloser>;
using UniqueHkey = std::unique_ptr<std::remove_pointer_t<HKEY>, detail::HkeyCloser>;
using UniqueHinternet = std::unique_ptr<std::remove_pointer_t<HINTERNET>, detail::HinternetCloser>;
using UniqueHmodule = std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::HmoduleCloser>;

// CreateFile and friends return INVALID_HANDLE_VALUE on failure; keep that out of UniqueHandle.
inline UniqueHandle AdoptFileHandle(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// CoInitialize for the current thread, undone when the scope ends.
class ComScope {
public:
    ComScope() : hr_(onUse::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) onUse::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

}  // namespace zunor
